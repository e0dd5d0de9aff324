#include "wdf/archive_diff.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

#include "sys/system_error.h"
#include "wdf/entry_reader.h"

namespace velmora {

namespace {

void Tally(ArchiveDifference* difference, EntryPair pair) {
  ++difference->Counts[static_cast<size_t>(pair.Change)];
  difference->Pairs.push_back(pair);
}

// True when the `size` bytes at `old_offset` of one reader equal those at `new_offset` of the
// other. Each side reads ahead while its entries come in the file's order, so that two archives
// of many small entries are compared at the cost of reading both through.
bool SameReadBytes(EntryReader& olds, uint64_t old_offset, EntryReader& news, uint64_t new_offset,
                   uint32_t size, int* failed_side) {
  *failed_side = 0;
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, EntryReader::kWindowSize));
    const uint64_t old_at = old_offset + done;
    const uint64_t new_at = new_offset + done;
    size_t old_got = 0;
    const unsigned char* old_bytes = olds.Bytes(old_at, n, olds.Follows(old_at), &old_got);
    if (!old_bytes) {
      *failed_side = 1;
      return false;
    }
    size_t new_got = 0;
    const unsigned char* new_bytes = news.Bytes(new_at, old_got, news.Follows(new_at), &new_got);
    if (!new_bytes) {
      *failed_side = 2;
      return false;
    }
    if (std::memcmp(old_bytes, new_bytes, new_got) != 0) return false;
    done += new_got;
  }
  return true;
}

// Pairs of equal size are those PairEntries calls the same until their bytes are compared.
bool SameSize(const ArchiveIndex& old_index, const ArchiveIndex& new_index, const EntryPair& pair) {
  return pair.OldEntry != EntryPair::kNoEntry && pair.NewEntry != EntryPair::kNoEntry &&
         old_index.Entries[pair.OldEntry].Size == new_index.Entries[pair.NewEntry].Size;
}

// How comparing pairs in turn ended: at the first pair whose bytes could not be read, if any,
// with the system's reason.
struct ComparedRun {
  size_t FailedPair = static_cast<size_t>(-1);
  int FailedSide = 0;  // 1 the old archive, 2 the new one
  unsigned long Error = 0;
};

// Compares the bytes of the pairs in [begin, end) that PairEntries called the same and marks
// those that differ kChanged; stops at the first that cannot be read.
ComparedRun CompareRun(Stream& old_stream, const ArchiveIndex& old_index, Stream& new_stream,
                       const ArchiveIndex& new_index, std::vector<EntryPair>& pairs, size_t begin,
                       size_t end) {
  EntryReader olds(old_stream);
  EntryReader news(new_stream);
  ComparedRun run;
  for (size_t k = begin; k < end; ++k) {
    EntryPair& pair = pairs[k];
    if (pair.Change != EntryChange::kSame) continue;
    const WdfEntry& old_entry = old_index.Entries[pair.OldEntry];
    const WdfEntry& new_entry = new_index.Entries[pair.NewEntry];
    int failed_side = 0;
    if (SameReadBytes(olds, old_entry.Offset, news, new_entry.Offset, old_entry.Size,
                      &failed_side)) {
      continue;
    }
    if (failed_side != 0) {
      run.FailedPair = k;
      run.FailedSide = failed_side;
      run.Error = LastSystemError();
      return run;
    }
    pair.Change = EntryChange::kChanged;
  }
  return run;
}

// Below this many bytes to compare, a second thread costs more than it saves.
constexpr uint64_t kMostBytesComparedAlone = 8u << 20;

// Compares the pairs before `end`. Files that can be read from two threads at once are compared
// in two halves side by side: the system then copies both archives' bytes on two processors.
ComparedRun CompareRuns(Stream& old_stream, const ArchiveIndex& old_index, Stream& new_stream,
                        const ArchiveIndex& new_index, std::vector<EntryPair>& pairs, size_t end) {
  uint64_t total = 0;
  for (size_t k = 0; k < end; ++k) {
    if (pairs[k].Change == EntryChange::kSame) total += old_index.Entries[pairs[k].OldEntry].Size;
  }
  if (total < kMostBytesComparedAlone || !old_stream.ReadsFromThreads() ||
      !new_stream.ReadsFromThreads()) {
    return CompareRun(old_stream, old_index, new_stream, new_index, pairs, 0, end);
  }
  size_t middle = 0;
  for (uint64_t half = 0; middle < end && half < total / 2; ++middle) {
    if (pairs[middle].Change == EntryChange::kSame) {
      half += old_index.Entries[pairs[middle].OldEntry].Size;
    }
  }
  ComparedRun second;
  std::thread other;
  try {
    other = std::thread([&] {
      second = CompareRun(old_stream, old_index, new_stream, new_index, pairs, middle, end);
    });
  } catch (...) {
    return CompareRun(old_stream, old_index, new_stream, new_index, pairs, 0, end);
  }
  const ComparedRun first =
      CompareRun(old_stream, old_index, new_stream, new_index, pairs, 0, middle);
  other.join();
  return first.FailedSide != 0 ? first : second;
}

}  // namespace

ArchiveDifference PairEntries(const ArchiveIndex& old_index, const ArchiveIndex& new_index) {
  ArchiveDifference difference;
  const std::vector<WdfEntry>& olds = old_index.Entries;
  const std::vector<WdfEntry>& news = new_index.Entries;
  difference.Pairs.reserve(olds.size());
  // The new archive's entries by id and then index order: the k-th entry of an id is the k-th
  // of its run. Sorted once, so that pairing needs no map of small lists.
  std::vector<std::pair<uint32_t, uint32_t>> new_by_id(news.size());
  for (size_t k = 0; k < news.size(); ++k) new_by_id[k] = {news[k].Id, static_cast<uint32_t>(k)};
  std::sort(new_by_id.begin(), new_by_id.end());
  const std::vector<uint32_t> old_occurrences = IdOccurrences(olds);
  std::vector<bool> paired(news.size(), false);
  for (size_t k = 0; k < olds.size(); ++k) {
    EntryPair pair;
    pair.Id = olds[k].Id;
    pair.Occurrence = old_occurrences[k];
    pair.OldEntry = k;
    const auto first =
        std::lower_bound(new_by_id.begin(), new_by_id.end(), std::make_pair(pair.Id, uint32_t{0}));
    const size_t at = static_cast<size_t>(first - new_by_id.begin()) + pair.Occurrence - 1;
    if (at >= new_by_id.size() || new_by_id[at].first != pair.Id) {
      pair.Change = EntryChange::kRemoved;
    } else {
      pair.NewEntry = new_by_id[at].second;
      paired[pair.NewEntry] = true;
      pair.Change =
          olds[k].Size == news[pair.NewEntry].Size ? EntryChange::kSame : EntryChange::kChanged;
    }
    Tally(&difference, pair);
  }
  const std::vector<uint32_t> new_occurrences = IdOccurrences(news);
  for (size_t k = 0; k < news.size(); ++k) {
    if (paired[k]) continue;
    EntryPair pair;
    pair.Change = EntryChange::kAdded;
    pair.Id = news[k].Id;
    pair.Occurrence = new_occurrences[k];
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
  EntryReader olds(old_stream);
  EntryReader news(new_stream);
  return SameReadBytes(olds, old_offset, news, new_offset, size, failed_side);
}

DiffResult CompareArchives(Stream& old_stream, const ArchiveIndex& old_index, Stream& new_stream,
                           const ArchiveIndex& new_index) {
  DiffResult result;
  result.Difference = PairEntries(old_index, new_index);
  ArchiveDifference& difference = result.Difference;
  std::vector<EntryPair>& pairs = difference.Pairs;
  // The first pair with an entry outside its file: the pairs before it are compared, and a read
  // that fails among them is the fault, as if each pair were checked and compared in turn.
  size_t outside = pairs.size();
  DiffFault outside_fault = DiffFault::kNone;
  for (size_t k = 0; k < pairs.size() && outside == pairs.size(); ++k) {
    const EntryPair& pair = pairs[k];
    if (pair.OldEntry != EntryPair::kNoEntry &&
        !EntryBytesInFile(old_index.Entries[pair.OldEntry], old_index.FileSize)) {
      outside = k;
      outside_fault = DiffFault::kOldEntryOutside;
    } else if (pair.NewEntry != EntryPair::kNoEntry &&
               !EntryBytesInFile(new_index.Entries[pair.NewEntry], new_index.FileSize)) {
      outside = k;
      outside_fault = DiffFault::kNewEntryOutside;
    }
  }
  const ComparedRun run = CompareRuns(old_stream, old_index, new_stream, new_index, pairs, outside);
  size_t stop = outside;
  if (run.FailedPair < outside) {
    stop = run.FailedPair;
    result.Fault = run.FailedSide == 1 ? DiffFault::kOldReadFailed : DiffFault::kNewReadFailed;
    result.FaultEntry = run.FailedSide == 1 ? pairs[stop].OldEntry : pairs[stop].NewEntry;
    SetLastSystemError(run.Error);
  } else if (outside < pairs.size()) {
    result.Fault = outside_fault;
    result.FaultEntry = outside_fault == DiffFault::kOldEntryOutside ? pairs[outside].OldEntry
                                                                     : pairs[outside].NewEntry;
  }
  // Bytes found to differ count as changed, up to where the comparison stopped.
  for (size_t k = 0; k < pairs.size(); ++k) {
    EntryPair& pair = pairs[k];
    if (pair.Change != EntryChange::kChanged || !SameSize(old_index, new_index, pair)) continue;
    if (k >= stop) {
      pair.Change = EntryChange::kSame;
      continue;
    }
    --difference.Counts[static_cast<size_t>(EntryChange::kSame)];
    ++difference.Counts[static_cast<size_t>(EntryChange::kChanged)];
  }
  return result;
}

}  // namespace velmora
