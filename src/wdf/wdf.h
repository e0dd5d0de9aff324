// The WDF archive format: a 12-byte header, the resources' bytes, and an index of 16-byte
// entries. All integers are unsigned 32-bit little-endian on disk, whatever the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

constexpr uint32_t kWdfMagic = 0x57444650;  // the bytes "PFDW"
constexpr size_t kWdfHeaderSize = 12;
constexpr size_t kWdfEntrySize = 16;

struct WdfHeader {
  uint32_t Magic = kWdfMagic;
  uint32_t EntryCount = 0;
  uint32_t IndexOffset = 0;
};

struct WdfEntry {
  uint32_t Id = 0;
  uint32_t Offset = 0;
  uint32_t Size = 0;
  uint32_t Space = 0;
};

// Encoding and decoding of the on-disk records.
void EncodeWdfHeader(const WdfHeader& header, unsigned char out[kWdfHeaderSize]);
WdfHeader DecodeWdfHeader(const unsigned char in[kWdfHeaderSize]);
void EncodeWdfEntry(const WdfEntry& entry, unsigned char out[kWdfEntrySize]);
WdfEntry DecodeWdfEntry(const unsigned char in[kWdfEntrySize]);

// The header check. True when the stream begins with "PFDW", supplies all 12 header bytes, and
// its size is at least EntryCount * 16 + IndexOffset (computed exactly). The out parameters
// (either may be null) are filled only on true. The position afterwards is unspecified.
bool ReadWdfHeader(Stream& stream, uint32_t* count, uint32_t* index_offset);

// The entry bounds rule: the entry, with its reserved Space, ends within the file before the
// index's room, which is taken as the last `count` * 16 bytes of a file of `file_size` bytes.
bool EntryInBounds(const WdfEntry& entry, uint64_t file_size, uint32_t count);

enum class IndexSearch { kFound, kNotFound, kReadFailed };

// Searches the index on disk for the first entry whose Id equals `id`, in index order. On
// kFound, `size` holds the entry's Size and the stream is positioned at its Offset. An index
// entry that cannot be read whole gives kReadFailed.
IndexSearch FindEntryInArchive(Stream& stream, uint32_t count, uint32_t index_offset,
                               uint32_t* size, uint32_t id);

// Offsets and sizes of the format are 32-bit: an archive the program writes must keep every
// offset, the index's included, at or below 0xFFFFFFFF, and end at or below 4 GiB.
// True when an entry of `size` bytes starting at `offset` ends (exclusive) at or below
// 0xFFFFFFFF, so that the offset behind it is still addressable.
bool EntryFitsWdf(uint64_t offset, uint64_t size);
// True when an index of `count` entries at `index_offset` keeps the archive within 4 GiB.
bool IndexFitsWdf(uint64_t index_offset, uint32_t count);

// Writes the frame of a new archive in the writer layout: the placeholder header "PFDW", 0, 0
// at the start; the entries' bytes follow from offset 12 (written by the caller, one directly
// after another, in index order); Finish appends the index behind the last data byte and fills
// in the header's EntryCount and IndexOffset.
class WdfWriter {
 public:
  explicit WdfWriter(Stream& target) : target_(target) {}
  // Writes the placeholder header at the stream's current position, the start of the file.
  bool WritePlaceholderHeader();
  // Appends `count` entries at the current position (just behind the last data byte) and
  // patches the header. False when a write fails or the index would pass 4 GiB
  // (*too_large is then set).
  bool Finish(const WdfEntry* entries, uint32_t count, bool* too_large);

 private:
  Stream& target_;
};

}  // namespace velmora
