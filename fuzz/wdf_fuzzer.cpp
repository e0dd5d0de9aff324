// Fuzzes the header check, the entry bounds rule and the index search on arbitrary bytes.
//
// Input: the bytes of an archive file. The header check, the bounds rule for every entry of a
// valid index, and the search for the ids the file holds (and for some it may not) must agree
// with the plain model; a search with a count and an index offset taken from anywhere must
// end, and agree too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plain_model.h"
#include "testing/memory_file_system.h"
#include "wdf/wdf.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

// Entries whose bounds and ids are checked per input.
constexpr uint32_t kEntriesPerInput = 16;

// The plain search: probes entry k at index_offset + 16k in turn; an entry that does not lie
// whole inside the file is a read failure.
IndexSearch PlainSearch(const std::string& bytes, uint32_t count, uint32_t index_offset,
                        uint32_t id, PlainEntry* found) {
  for (uint64_t k = 0; k < count; ++k) {
    const uint64_t at = index_offset + 16 * k;
    if (at + 16 > bytes.size()) return IndexSearch::kReadFailed;
    const PlainEntry entry = PlainRecord(bytes, at);
    if (entry.Id == id) {
      *found = entry;
      return IndexSearch::kFound;
    }
  }
  return IndexSearch::kNotFound;
}

void CheckSearch(MemoryFileSystem& files, const std::string& bytes, uint32_t count,
                 uint32_t index_offset, uint32_t id) {
  std::unique_ptr<Stream> stream = files.OpenShared("D:\\a.wdf");
  PlainEntry expected;
  const IndexSearch plain = PlainSearch(bytes, count, index_offset, id, &expected);
  uint32_t size = 0xDEADBEEF;
  const IndexSearch result = FindEntryInArchive(*stream, count, index_offset, &size, id);
  FUZZ_CHECK(result == plain, "search for %08X in %u entries at %u: %d, expected %d", id, count,
             index_offset, static_cast<int>(result), static_cast<int>(plain));
  if (result == IndexSearch::kFound) {
    FUZZ_CHECK(size == expected.Size, "size %u, expected %u", size, expected.Size);
    FUZZ_CHECK(stream->Position() == expected.Offset, "positioned at %llu, expected %u",
               static_cast<unsigned long long>(stream->Position()), expected.Offset);
  } else {
    FUZZ_CHECK(size == 0xDEADBEEF, "size changed by a failed search");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MemoryFileSystem files;
  files.PutFile("D:\\a.wdf", bytes);
  std::unique_ptr<Stream> stream = files.OpenShared("D:\\a.wdf");

  uint32_t plain_count = 0, plain_offset = 0;
  const bool plain_valid = PlainHeader(bytes, &plain_count, &plain_offset);
  uint32_t count = 0x12345678, index_offset = 0x9ABCDEF0;
  stream->Seek(size / 2);  // the check reads from the start wherever the stream stands
  const bool valid = ReadWdfHeader(*stream, &count, &index_offset);
  FUZZ_CHECK(valid == plain_valid, "header check %d, expected %d", valid, plain_valid);
  FUZZ_CHECK(ReadWdfHeader(*stream, nullptr, nullptr) == valid, "without out parameters");
  if (!valid) {
    FUZZ_CHECK(count == 0x12345678 && index_offset == 0x9ABCDEF0, "out parameters changed");
  } else {
    FUZZ_CHECK(count == plain_count && index_offset == plain_offset, "count %u offset %u", count,
               index_offset);
    for (uint32_t k = 0; k < count && k < kEntriesPerInput; ++k) {
      const PlainEntry plain = PlainRecord(bytes, index_offset + 16ull * k);
      const WdfEntry entry{plain.Id, plain.Offset, plain.Size, plain.Space};
      FUZZ_CHECK(EntryInBounds(entry, size, count) == PlainInBounds(plain, size, count),
                 "bounds of entry %u", k);
      CheckSearch(files, bytes, count, index_offset, plain.Id);
      CheckSearch(files, bytes, count, index_offset, plain.Id ^ 0x80000000u);
    }
  }

  // Counts, offsets and entries taken from anywhere in the file: the bounds rule computed
  // exactly, and a search over an index that may lie partly or wholly outside the file.
  for (size_t at = 0; at + 24 <= size && at < 16 * kEntriesPerInput; at += 24) {
    const PlainEntry plain = PlainRecord(bytes, at);
    const uint32_t any_count = PlainLe32(bytes, at + 16);
    const uint64_t any_size = static_cast<uint64_t>(PlainLe32(bytes, at + 20)) << (at % 33);
    const WdfEntry entry{plain.Id, plain.Offset, plain.Size, plain.Space};
    FUZZ_CHECK(
        EntryInBounds(entry, any_size, any_count) == PlainInBounds(plain, any_size, any_count),
        "bounds of %u+%u+%u in %llu bytes with %u entries", plain.Offset, plain.Size, plain.Space,
        static_cast<unsigned long long>(any_size), any_count);
    CheckSearch(files, bytes, any_count, plain.Offset, plain.Id);
  }

  // The records survive their encoding byte for byte.
  if (size >= 16) {
    const PlainEntry plain = PlainRecord(bytes, 0);
    unsigned char out[kWdfEntrySize];
    EncodeWdfEntry(DecodeWdfEntry(data), out);
    FUZZ_CHECK(std::string(reinterpret_cast<char*>(out), 16) == bytes.substr(0, 16),
               "entry record changed by decoding and encoding");
    const WdfEntry entry = DecodeWdfEntry(data);
    FUZZ_CHECK(entry.Id == plain.Id && entry.Offset == plain.Offset && entry.Size == plain.Size &&
                   entry.Space == plain.Space,
               "entry decoded wrongly");
  }
  return 0;
}
