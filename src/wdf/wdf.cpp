#include "wdf/wdf.h"

#include <algorithm>

namespace velmora {

namespace {

// The index is read in pieces of this many entries: archives hold tens of thousands of entries,
// and one read per probe would make every search a stream of tiny reads.
constexpr uint32_t kIndexEntriesPerRead = 4096;

// The format cannot address a byte at or beyond 4 GiB.
constexpr uint64_t kWdfAddressLimit = 0x100000000ULL;

void PutUint32(uint32_t value, unsigned char* out) {
  out[0] = static_cast<unsigned char>(value);
  out[1] = static_cast<unsigned char>(value >> 8);
  out[2] = static_cast<unsigned char>(value >> 16);
  out[3] = static_cast<unsigned char>(value >> 24);
}

uint32_t GetUint32(const unsigned char* in) {
  return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
         (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

uint64_t IndexBytes(uint32_t count) { return static_cast<uint64_t>(count) * kWdfEntrySize; }

}  // namespace

void EncodeWdfHeader(const WdfHeader& header, unsigned char out[kWdfHeaderSize]) {
  PutUint32(header.Magic, out);
  PutUint32(header.EntryCount, out + 4);
  PutUint32(header.IndexOffset, out + 8);
}

WdfHeader DecodeWdfHeader(const unsigned char in[kWdfHeaderSize]) {
  WdfHeader header;
  header.Magic = GetUint32(in);
  header.EntryCount = GetUint32(in + 4);
  header.IndexOffset = GetUint32(in + 8);
  return header;
}

void EncodeWdfEntry(const WdfEntry& entry, unsigned char out[kWdfEntrySize]) {
  PutUint32(entry.Id, out);
  PutUint32(entry.Offset, out + 4);
  PutUint32(entry.Size, out + 8);
  PutUint32(entry.Space, out + 12);
}

WdfEntry DecodeWdfEntry(const unsigned char in[kWdfEntrySize]) {
  WdfEntry entry;
  entry.Id = GetUint32(in);
  entry.Offset = GetUint32(in + 4);
  entry.Size = GetUint32(in + 8);
  entry.Space = GetUint32(in + 12);
  return entry;
}

bool ReadWdfHeader(Stream& stream, uint32_t* count, uint32_t* index_offset) {
  unsigned char bytes[kWdfHeaderSize];
  if (!stream.Seek(0) || stream.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  const WdfHeader header = DecodeWdfHeader(bytes);
  if (header.Magic != kWdfMagic) return false;
  uint64_t size = 0;
  if (!stream.Size(&size)) return false;
  // Both terms are below 2^36, so the sum is exact in 64 bits.
  if (size < IndexBytes(header.EntryCount) + header.IndexOffset) return false;
  if (count) *count = header.EntryCount;
  if (index_offset) *index_offset = header.IndexOffset;
  return true;
}

bool EntryInBounds(const WdfEntry& entry, uint64_t file_size, uint32_t count) {
  const uint64_t index_room = IndexBytes(count);
  if (file_size < index_room) return false;
  const uint64_t end = static_cast<uint64_t>(entry.Offset) + entry.Size + entry.Space;
  return end <= file_size - index_room;
}

IndexSearch FindEntryInArchive(Stream& stream, uint32_t count, uint32_t index_offset,
                               uint32_t* size, uint32_t id) {
  if (count == 0) return IndexSearch::kNotFound;
  std::vector<unsigned char> buffer(static_cast<size_t>(std::min(count, kIndexEntriesPerRead)) *
                                    kWdfEntrySize);
  for (uint32_t first = 0; first < count;) {
    const uint32_t wanted = std::min(count - first, kIndexEntriesPerRead);
    const size_t wanted_bytes = static_cast<size_t>(wanted) * kWdfEntrySize;
    size_t got = 0;
    if (stream.Seek(index_offset + IndexBytes(first)))
      got = stream.Read(buffer.data(), wanted_bytes);
    // Entries that arrived whole are searched before a short read is reported, so the result is
    // the one a probe of each entry in turn would give.
    const size_t whole = got / kWdfEntrySize;
    for (size_t k = 0; k < whole; ++k) {
      const unsigned char* record = buffer.data() + k * kWdfEntrySize;
      if (GetUint32(record) != id) continue;
      const WdfEntry entry = DecodeWdfEntry(record);
      if (!stream.Seek(entry.Offset)) return IndexSearch::kReadFailed;
      if (size) *size = entry.Size;
      return IndexSearch::kFound;
    }
    if (got != wanted_bytes) return IndexSearch::kReadFailed;
    first += wanted;
  }
  return IndexSearch::kNotFound;
}

bool EntryFitsWdf(uint64_t offset, uint64_t size) {
  const uint64_t last_offset = kWdfAddressLimit - 1;
  return offset <= last_offset && size <= last_offset - offset;
}

bool IndexFitsWdf(uint64_t index_offset, uint32_t count) {
  return index_offset < kWdfAddressLimit && IndexBytes(count) <= kWdfAddressLimit - index_offset;
}

bool WdfWriter::WritePlaceholderHeader() {
  WdfHeader header;  // "PFDW", 0, 0 until Finish knows the real counts
  unsigned char bytes[kWdfHeaderSize];
  EncodeWdfHeader(header, bytes);
  return target_.Write(bytes, sizeof bytes);
}

bool WdfWriter::Finish(const WdfEntry* entries, uint32_t count, bool* too_large) {
  if (too_large) *too_large = false;
  const uint64_t index_offset = target_.Position();
  if (!IndexFitsWdf(index_offset, count)) {
    if (too_large) *too_large = true;
    return false;
  }
  std::vector<unsigned char> buffer(static_cast<size_t>(std::min(count, kIndexEntriesPerRead)) *
                                    kWdfEntrySize);
  for (uint32_t first = 0; first < count;) {
    const uint32_t n = std::min(count - first, kIndexEntriesPerRead);
    for (uint32_t k = 0; k < n; ++k) {
      EncodeWdfEntry(entries[first + k], buffer.data() + static_cast<size_t>(k) * kWdfEntrySize);
    }
    if (!target_.Write(buffer.data(), static_cast<size_t>(n) * kWdfEntrySize)) return false;
    first += n;
  }
  unsigned char counts[8];
  PutUint32(count, counts);
  PutUint32(static_cast<uint32_t>(index_offset), counts + 4);
  return target_.Seek(4) && target_.Write(counts, sizeof counts);
}

}  // namespace velmora
