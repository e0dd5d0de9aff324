#include "wdf/archive_diff.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace velmora {

namespace {

void Tally(ArchiveDifference* difference, EntryPair pair) {
  ++difference->Counts[static_cast<size_t>(pair.Change)];
  difference->Pairs.push_back(pair);
}

// Reads `n` bytes at `offset`; false when fewer arrive.
bool ReadAt(Stream& stream, uint64_t offset, char* buffer, size_t n) {
  return stream.Seek(offset) && stream.Read(buffer, n) == n;
}

}  // namespace

ArchiveDifference PairEntries(const ArchiveIndex& old_index, const ArchiveIndex& new_index) {
  ArchiveDifference difference;
  const std::vector<WdfEntry>& olds = old_index.Entries;
  const std::vector<WdfEntry>& news = new_index.Entries;
  // The positions of each id's entries in the new archive, in index order.
  std::unordered_map<uint32_t, std::vector<size_t>> new_by_id;
  for (size_t k = 0; k < news.size(); ++k) new_by_id[news[k].Id].push_back(k);
  std::vector<bool> paired(news.size(), false);
  std::unordered_map<uint32_t, uint32_t> seen;
  for (size_t k = 0; k < olds.size(); ++k) {
    EntryPair pair;
    pair.Id = olds[k].Id;
    pair.Occurrence = ++seen[pair.Id];
    pair.OldEntry = k;
    const auto found = new_by_id.find(pair.Id);
    if (found == new_by_id.end() || found->second.size() < pair.Occurrence) {
      pair.Change = EntryChange::kRemoved;
    } else {
      pair.NewEntry = found->second[pair.Occurrence - 1];
      paired[pair.NewEntry] = true;
      pair.Change =
          olds[k].Size == news[pair.NewEntry].Size ? EntryChange::kSame : EntryChange::kChanged;
    }
    Tally(&difference, pair);
  }
  seen.clear();
  for (size_t k = 0; k < news.size(); ++k) {
    const uint32_t occurrence = ++seen[news[k].Id];
    if (paired[k]) continue;
    EntryPair pair;
    pair.Change = EntryChange::kAdded;
    pair.Id = news[k].Id;
    pair.Occurrence = occurrence;
    pair.NewEntry = k;
    Tally(&difference, pair);
  }
  difference.SameOrder = olds.size() == news.size();
  for (size_t k = 0; difference.SameOrder && k < olds.size(); ++k) {
    difference.SameOrder = olds[k].Id == news[k].Id;
  }
  return difference;
}

bool SameBytes(Stream& old_stream, uint32_t old_offset, Stream& new_stream, uint32_t new_offset,
               uint32_t size, int* failed_side) {
  *failed_side = 0;
  std::vector<char> old_piece(std::min<size_t>(size, kEntryReadPiece));
  std::vector<char> new_piece(old_piece.size());
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, old_piece.size()));
    if (!ReadAt(old_stream, old_offset + done, old_piece.data(), n)) {
      *failed_side = 1;
      return false;
    }
    if (!ReadAt(new_stream, new_offset + done, new_piece.data(), n)) {
      *failed_side = 2;
      return false;
    }
    if (std::memcmp(old_piece.data(), new_piece.data(), n) != 0) return false;
    done += n;
  }
  return true;
}

DiffResult CompareArchives(Stream& old_stream, const ArchiveIndex& old_index, Stream& new_stream,
                           const ArchiveIndex& new_index) {
  DiffResult result;
  result.Difference = PairEntries(old_index, new_index);
  ArchiveDifference& difference = result.Difference;
  const auto fail = [&result](DiffFault fault, size_t entry) {
    result.Fault = fault;
    result.FaultEntry = entry;
    return result;
  };
  for (EntryPair& pair : difference.Pairs) {
    if (pair.OldEntry != EntryPair::kNoEntry &&
        !EntryBytesInFile(old_index.Entries[pair.OldEntry], old_index.FileSize)) {
      return fail(DiffFault::kOldEntryOutside, pair.OldEntry);
    }
    if (pair.NewEntry != EntryPair::kNoEntry &&
        !EntryBytesInFile(new_index.Entries[pair.NewEntry], new_index.FileSize)) {
      return fail(DiffFault::kNewEntryOutside, pair.NewEntry);
    }
    if (pair.Change != EntryChange::kSame) continue;
    const WdfEntry& old_entry = old_index.Entries[pair.OldEntry];
    const WdfEntry& new_entry = new_index.Entries[pair.NewEntry];
    int failed_side = 0;
    if (SameBytes(old_stream, old_entry.Offset, new_stream, new_entry.Offset, old_entry.Size,
                  &failed_side)) {
      continue;
    }
    if (failed_side == 1) return fail(DiffFault::kOldReadFailed, pair.OldEntry);
    if (failed_side == 2) return fail(DiffFault::kNewReadFailed, pair.NewEntry);
    pair.Change = EntryChange::kChanged;
    --difference.Counts[static_cast<size_t>(EntryChange::kSame)];
    ++difference.Counts[static_cast<size_t>(EntryChange::kChanged)];
  }
  return result;
}

}  // namespace velmora
