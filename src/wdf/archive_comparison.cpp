#include "wdf/archive_comparison.h"

#include <algorithm>
#include <tuple>

namespace velmora {

namespace {

struct Turn {
  uint32_t Id;
  uint32_t Occurrence;
  uint32_t Position;
  bool operator<(const Turn& other) const {
    return std::tie(Id, Occurrence) < std::tie(other.Id, other.Occurrence);
  }
};

std::vector<Turn> TurnsOf(const ArchiveIndex& index) {
  const std::vector<uint32_t> occurrences = IdOccurrences(index.entries);
  std::vector<Turn> turns;
  turns.reserve(index.entries.size());
  for (size_t k = 0; k < index.entries.size(); ++k) {
    turns.push_back({index.entries[k].Id, occurrences[k], static_cast<uint32_t>(k)});
  }
  std::sort(turns.begin(), turns.end());
  return turns;
}

EntryDifference CompareBytes(Stream& my_stream, const WdfEntry& mine, uint64_t my_size,
                             Stream& other_stream, const WdfEntry& other, uint64_t other_size) {
  if (!EntryBytesInFile(mine, my_size) || !EntryBytesInFile(other, other_size)) {
    return EntryDifference::kUnreadable;
  }
  if (mine.Size != other.Size) return EntryDifference::kChanged;
  std::vector<char> theirs(std::min<size_t>(other.Size, kEntryReadPiece));
  WdfEntry piece = other;
  bool equal = true;
  bool other_read = true;
  const bool read = ReadEntryBytes(my_stream, mine, [&](const char* data, size_t n) {
    piece.Size = static_cast<uint32_t>(n);
    other_read = ReadEntryBytes(other_stream, piece, [&](const char* their, size_t m) {
      std::copy(their, their + m, theirs.begin());
      return true;
    });
    piece.Offset += static_cast<uint32_t>(n);
    equal = other_read && std::equal(data, data + n, theirs.begin());
    return equal;
  });
  if (!other_read || (!read && equal)) return EntryDifference::kUnreadable;
  return equal ? EntryDifference::kSame : EntryDifference::kChanged;
}

}  // namespace

ArchiveComparison CompareArchives(Stream& my_stream, const ArchiveIndex& mine, Stream& other_stream,
                                  const ArchiveIndex& other) {
  ArchiveComparison comparison;
  comparison.Entries.assign(mine.entries.size(), EntryDifference::kOnlyHere);
  const std::vector<Turn> their_turns = TurnsOf(other);
  std::vector<bool> paired(other.entries.size(), false);
  const std::vector<uint32_t> my_occurrences = IdOccurrences(mine.entries);
  for (size_t k = 0; k < mine.entries.size(); ++k) {
    const Turn wanted{mine.entries[k].Id, my_occurrences[k], 0};
    auto found = std::lower_bound(their_turns.begin(), their_turns.end(), wanted);
    if (found != their_turns.end() && !(wanted < *found)) {
      paired[found->Position] = true;
      comparison.Entries[k] = CompareBytes(my_stream, mine.entries[k], mine.file_size, other_stream,
                                           other.entries[found->Position], other.file_size);
    }
    if (comparison.Entries[k] != EntryDifference::kSame) ++comparison.Changed;
  }
  for (size_t k = 0; k < paired.size(); ++k) {
    if (!paired[k]) comparison.OnlyInOther.push_back(static_cast<uint32_t>(k));
  }
  return comparison;
}

}  // namespace velmora
