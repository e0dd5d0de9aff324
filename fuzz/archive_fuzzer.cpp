// Fuzzes the archive reading of the terminal tool's commands (list, extract, verify): the
// whole index, the soundness check, the entries' bytes and their kinds.
//
// Input: the bytes of an archive file. The reader must refuse exactly what the header check
// refuses and otherwise return the index the file holds; the check's errors must be exactly
// the entries a run refuses; duplicate ids and bytes that nothing covers must be counted as the
// plain model counts them; an entry's bytes must be those of the file, or refused when they do
// not all lie in it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plain_model.h"
#include "testing/memory_file_system.h"
#include "wdf/archive_check.h"
#include "wdf/archive_index.h"
#include "wdf/entry_kind.h"
#include "wdf/wdf.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

// Entries whose bytes and kind are read per input.
constexpr size_t kEntriesRead = 16;

ArchiveFault PlainFault(const std::string& bytes) {
  if (bytes.empty() || bytes.compare(0, std::min<size_t>(bytes.size(), 4), "PFDW", 0,
                                     std::min<size_t>(bytes.size(), 4)) != 0) {
    return ArchiveFault::kNoMagic;
  }
  if (bytes.size() < 12) return ArchiveFault::kHeaderTruncated;
  uint32_t count = 0, index_offset = 0;
  return PlainHeader(bytes, &count, &index_offset) ? ArchiveFault::kNone
                                                   : ArchiveFault::kIndexBeyondEnd;
}

// How many bytes of the file no part covers: the header, the index, and each entry with its
// reserved space, each cut at the end of the file.
uint64_t PlainUncoveredBytes(const std::string& bytes, uint32_t index_offset,
                             const std::vector<PlainEntry>& entries) {
  std::vector<bool> covered(bytes.size(), false);
  auto cover = [&covered](uint64_t start, uint64_t end) {
    for (uint64_t at = start; at < end && at < covered.size(); ++at) covered[at] = true;
  };
  cover(0, 12);
  cover(index_offset, index_offset + 16ull * entries.size());
  for (const PlainEntry& entry : entries) {
    cover(entry.Offset,
          std::min<uint64_t>(covered.size(), uint64_t{entry.Offset} + entry.Size + entry.Space));
  }
  return static_cast<uint64_t>(std::count(covered.begin(), covered.end(), false));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MemoryFileSystem files;
  files.PutFile("D:\\a.wdf", bytes);
  std::unique_ptr<Stream> stream = files.OpenShared("D:\\a.wdf");

  ArchiveIndex index;
  const ArchiveFault fault = ReadArchiveIndex(*stream, &index);
  FUZZ_CHECK(fault == PlainFault(bytes), "fault %d, expected %d", static_cast<int>(fault),
             static_cast<int>(PlainFault(bytes)));
  FUZZ_CHECK(index.FileSize == size, "file size %llu",
             static_cast<unsigned long long>(index.FileSize));
  FUZZ_CHECK(index.Entries.capacity() <= size / 16 + 4096, "room for %zu entries in %zu bytes",
             index.Entries.capacity(), size);

  std::vector<PlainEntry> plain;
  uint32_t count = 0, index_offset = 0;
  if (fault == ArchiveFault::kNone) {
    PlainHeader(bytes, &count, &index_offset);
    for (uint32_t k = 0; k < count; ++k)
      plain.push_back(PlainRecord(bytes, index_offset + 16ull * k));
    FUZZ_CHECK(index.Entries.size() == plain.size(), "%zu entries, expected %zu",
               index.Entries.size(), plain.size());
    for (size_t k = 0; k < plain.size(); ++k) {
      const WdfEntry& entry = index.Entries[k];
      FUZZ_CHECK(entry.Id == plain[k].Id && entry.Offset == plain[k].Offset &&
                     entry.Size == plain[k].Size && entry.Space == plain[k].Space,
                 "entry %zu read wrongly", k);
    }
  }

  // Errors are exactly what makes a run refuse the archive; warnings come after them.
  const ArchiveCheck check = CheckArchive(index, fault);
  uint64_t errors = 0, warnings = 0, duplicates = 0, uncovered = 0;
  bool warning_seen = false;
  for (const ArchiveFinding& finding : check.Findings) {
    if (finding.IsError()) {
      FUZZ_CHECK(!warning_seen, "an error after a warning");
      ++errors;
    } else {
      warning_seen = true;
      ++warnings;
    }
    if (finding.Kind == ArchiveFinding::Type::kDuplicateId) ++duplicates;
    if (finding.Kind == ArchiveFinding::Type::kUncovered) {
      uncovered += finding.Region.End - finding.Region.Start;
    }
    if (finding.Kind == ArchiveFinding::Type::kOverlap) {
      FUZZ_CHECK(
          finding.Other.Start <= finding.Region.Start && finding.Region.Start < finding.Other.End,
          "overlap of regions that do not meet");
    }
  }
  FUZZ_CHECK(errors == check.Errors && warnings == check.Warnings, "counts %llu/%llu",
             static_cast<unsigned long long>(check.Errors),
             static_cast<unsigned long long>(check.Warnings));
  uint64_t plain_errors = fault == ArchiveFault::kNone ? 0 : 1;
  uint64_t plain_duplicates = 0;
  for (size_t k = 0; k < plain.size(); ++k) {
    if (!PlainInBounds(plain[k], size, count)) ++plain_errors;
    bool repeated = false;
    for (size_t before = 0; before < k && !repeated; ++before)
      repeated = plain[before].Id == plain[k].Id;
    if (repeated) ++plain_duplicates;
  }
  FUZZ_CHECK(check.Errors == plain_errors, "%llu errors, expected %llu",
             static_cast<unsigned long long>(check.Errors),
             static_cast<unsigned long long>(plain_errors));
  FUZZ_CHECK(duplicates == plain_duplicates, "%llu duplicate ids, expected %llu",
             static_cast<unsigned long long>(duplicates),
             static_cast<unsigned long long>(plain_duplicates));
  if (fault == ArchiveFault::kNone) {
    const uint64_t plain_uncovered = PlainUncoveredBytes(bytes, index_offset, plain);
    FUZZ_CHECK(uncovered == plain_uncovered, "%llu bytes uncovered, expected %llu",
               static_cast<unsigned long long>(uncovered),
               static_cast<unsigned long long>(plain_uncovered));
  }

  const std::vector<uint32_t> occurrences = IdOccurrences(index.Entries);
  for (size_t k = 0; k < plain.size(); ++k) {
    uint32_t occurrence = 1;
    for (size_t before = 0; before < k; ++before) occurrence += plain[before].Id == plain[k].Id;
    FUZZ_CHECK(occurrences[k] == occurrence, "entry %zu is occurrence %u, expected %u", k,
               occurrences[k], occurrence);
  }

  for (size_t k = 0; k < plain.size() && k < kEntriesRead; ++k) {
    const WdfEntry& entry = index.Entries[k];
    // The commands take an entry as in the file when Offset + Size does not pass its end.
    const bool in_file = uint64_t{entry.Offset} + entry.Size <= size;
    const std::string expected = in_file ? bytes.substr(entry.Offset, entry.Size) : "";
    FUZZ_CHECK(EntryBytesInFile(entry, size) == in_file, "entry %zu in the file: %d", k, in_file);
    std::string read;
    const bool whole = ReadEntryBytes(*stream, entry, [&read](const char* piece, size_t n) {
      FUZZ_CHECK(n > 0 && n <= kEntryReadPiece, "a piece of %zu bytes", n);
      read.append(piece, n);
      return true;
    });
    FUZZ_CHECK(whole == (in_file || entry.Size == 0), "entry %zu read whole: %d", k, whole);
    if (whole) FUZZ_CHECK(read == expected, "entry %zu read wrongly", k);

    EntryKind kind = EntryKind::kData;
    FUZZ_CHECK(ReadEntryKind(*stream, entry, size, &kind), "kind of entry %zu unread", k);
    EntryKind plain_kind = EntryKind::kOutOfBounds;
    if (in_file) {
      plain_kind = entry.Size == 0
                       ? EntryKind::kEmpty
                       : DetectEntryKind(expected.substr(0, kEntryKindSample), entry.Size);
    }
    FUZZ_CHECK(kind == plain_kind, "entry %zu of kind %s, expected %s", k, EntryKindName(kind),
               EntryKindName(plain_kind));
    FUZZ_CHECK(EntryKindName(kind) != nullptr && EntryKindExtension(kind) != nullptr,
               "kind without a name");
  }
  return 0;
}
