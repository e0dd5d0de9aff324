// An archive read as a whole, for the commands that show, take apart or judge it: the header,
// the file's size and every index entry. Nothing the file says can make the reader allocate or
// read more than the file holds: the index is read only after the header check has placed it
// inside the file, and in pieces that grow the entry list only as bytes arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

// Why an archive could not be read. The first three are exactly the ways the header check
// fails, so a file refused here is one a run refuses too.
enum class ArchiveFault {
  kNone,
  kNoMagic,          // the file does not begin with "PFDW"
  kHeaderTruncated,  // it begins like one, but ends within the 12 header bytes
  kIndexBeyondEnd,   // IndexOffset + EntryCount * 16 lies beyond the end of the file
  kReadFailed,       // the system could not deliver bytes that the file's size promises
};

struct ArchiveIndex {
  uint64_t FileSize = 0;
  WdfHeader Header;
  std::vector<WdfEntry> Entries;  // header.EntryCount entries, in index order
};

// Reads the header and the whole index of `stream`. On a fault, `index` holds what was learnt
// before it (the file size, and the header once 12 bytes arrived).
ArchiveFault ReadArchiveIndex(Stream& stream, ArchiveIndex* index);

// The bytes an archive command reads for an entry, its Size bytes from Offset, all lie within
// the file. Looser than the run's entry bounds rule, which also counts the reserved Space and
// keeps the last EntryCount * 16 bytes for the index: an entry may be shown and extracted that a
// run refuses (verify reports that as an error).
bool EntryBytesInFile(const WdfEntry& entry, uint64_t file_size);

// Entry bytes are read in pieces of at most this many bytes, never held whole.
constexpr size_t kEntryReadPiece = 61440;

// Reads the `entry.Size` bytes from `entry.Offset` in pieces, handing each to `sink`. False when
// the file delivers fewer bytes (the system's reason stays in the last error) or `sink` returns
// false.
bool ReadEntryBytes(Stream& stream, const WdfEntry& entry,
                    const std::function<bool(const char* data, size_t n)>& sink);

// For each entry, which occurrence of its Id it is in index order: 1 for the first entry with
// that Id (the one rules and references reach), 2 for the next, and so on.
std::vector<uint32_t> IdOccurrences(const std::vector<WdfEntry>& entries);

}  // namespace velmora
