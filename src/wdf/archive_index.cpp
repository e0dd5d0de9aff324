#include "wdf/archive_index.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velmora {

namespace {

constexpr uint32_t kEntriesPerRead = 4096;
const unsigned char kMagicBytes[4] = {'P', 'F', 'D', 'W'};

}  // namespace

ArchiveFault ReadArchiveIndex(Stream& stream, ArchiveIndex* index) {
  *index = ArchiveIndex();
  if (!stream.Size(&index->FileSize)) return ArchiveFault::kReadFailed;
  unsigned char header[kWdfHeaderSize];
  if (!stream.Seek(0)) return ArchiveFault::kReadFailed;
  const size_t got = stream.Read(header, sizeof header);
  // Whatever arrived of the magic must match it; a file shorter than the header whose bytes do
  // begin like an archive is a truncated one.
  if (std::memcmp(header, kMagicBytes, std::min<size_t>(got, 4)) != 0) {
    return ArchiveFault::kNoMagic;
  }
  if (got < sizeof header) {
    if (got < index->FileSize) return ArchiveFault::kReadFailed;
    return got == 0 ? ArchiveFault::kNoMagic : ArchiveFault::kHeaderTruncated;
  }
  index->Header = DecodeWdfHeader(header);
  const uint64_t index_end =
      static_cast<uint64_t>(index->Header.EntryCount) * kWdfEntrySize + index->Header.IndexOffset;
  if (index_end > index->FileSize) return ArchiveFault::kIndexBeyondEnd;

  const uint32_t count = index->Header.EntryCount;
  std::vector<unsigned char> buffer(static_cast<size_t>(std::min(count, kEntriesPerRead)) *
                                    kWdfEntrySize);
  for (uint32_t first = 0; first < count;) {
    const uint32_t n = std::min(count - first, kEntriesPerRead);
    const size_t bytes = static_cast<size_t>(n) * kWdfEntrySize;
    const uint64_t at = index->Header.IndexOffset + static_cast<uint64_t>(first) * kWdfEntrySize;
    if (!stream.Seek(at) || stream.Read(buffer.data(), bytes) != bytes) {
      index->Entries.clear();
      return ArchiveFault::kReadFailed;
    }
    for (uint32_t k = 0; k < n; ++k) {
      index->Entries.push_back(
          DecodeWdfEntry(buffer.data() + static_cast<size_t>(k) * kWdfEntrySize));
    }
    first += n;
  }
  return ArchiveFault::kNone;
}

bool EntryBytesInFile(const WdfEntry& entry, uint64_t file_size) {
  return static_cast<uint64_t>(entry.Offset) + entry.Size <= file_size;
}

bool ReadEntryBytes(Stream& stream, const WdfEntry& entry,
                    const std::function<bool(const char* data, size_t n)>& sink) {
  if (entry.Size == 0) return true;
  std::vector<char> buffer(std::min<size_t>(entry.Size, kEntryReadPiece));
  if (!stream.Seek(entry.Offset)) return false;
  for (uint32_t left = entry.Size; left > 0;) {
    const size_t n = std::min<size_t>(left, buffer.size());
    if (stream.Read(buffer.data(), n) != n) return false;
    if (!sink(buffer.data(), n)) return false;
    left -= static_cast<uint32_t>(n);
  }
  return true;
}

std::vector<uint32_t> IdOccurrences(const std::vector<WdfEntry>& entries) {
  // Positions sorted by id and then by position: each id's entries form a run in index order.
  std::vector<std::pair<uint32_t, uint32_t>> by_id(entries.size());
  for (size_t k = 0; k < entries.size(); ++k) by_id[k] = {entries[k].Id, static_cast<uint32_t>(k)};
  std::sort(by_id.begin(), by_id.end());
  std::vector<uint32_t> occurrences(entries.size());
  for (size_t k = 0; k < by_id.size(); ++k) {
    const bool same_id = k > 0 && by_id[k - 1].first == by_id[k].first;
    occurrences[by_id[k].second] = same_id ? occurrences[by_id[k - 1].second] + 1 : 1;
  }
  return occurrences;
}

}  // namespace velmora
