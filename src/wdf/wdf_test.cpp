#include "wdf/wdf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_file_system.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\work\\gfx.wdf";
constexpr uint64_t k4GiB = 0x100000000ULL;

std::string HeaderBytes(uint32_t magic, uint32_t count, uint32_t index_offset) {
  unsigned char bytes[kWdfHeaderSize];
  EncodeWdfHeader({magic, count, index_offset}, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

std::string EntryBytes(const WdfEntry& entry) {
  unsigned char bytes[kWdfEntrySize];
  EncodeWdfEntry(entry, bytes);
  return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// An archive in the writer layout: the given resources' bytes from offset 12, then the index.
std::string ArchiveOf(const std::vector<std::pair<uint32_t, std::string>>& resources) {
  std::string data;
  std::string index;
  for (const auto& resource : resources) {
    index += EntryBytes({resource.first, static_cast<uint32_t>(kWdfHeaderSize + data.size()),
                         static_cast<uint32_t>(resource.second.size()), 0});
    data += resource.second;
  }
  return HeaderBytes(kWdfMagic, static_cast<uint32_t>(resources.size()),
                     static_cast<uint32_t>(kWdfHeaderSize + data.size())) +
         data + index;
}

class WdfTest : public ::testing::Test {
 protected:
  // Opens `bytes` stored as the archive, as the program opens a source.
  Stream& Archive(const std::string& bytes) {
    files_.PutFile(kArchive, bytes);
    stream_ = files_.OpenShared(kArchive);
    EXPECT_NE(stream_, nullptr);
    return *stream_;
  }
  Stream& ArchiveOfApparentSize(const std::string& bytes, uint64_t size) {
    Stream& stream = Archive(bytes);
    files_.SetApparentSize(kArchive, size);
    return stream;
  }

  // The header check's verdict, with the out parameters preset so that a fill on failure shows.
  bool HeaderValid(Stream& stream, uint32_t* count = nullptr, uint32_t* index_offset = nullptr) {
    uint32_t c = 0xDEADBEEF, o = 0xDEADBEEF;
    bool valid = ReadWdfHeader(stream, &c, &o);
    if (!valid) {
      EXPECT_EQ(c, 0xDEADBEEFu) << "count filled on failure";
      EXPECT_EQ(o, 0xDEADBEEFu) << "index offset filled on failure";
    }
    if (count) *count = c;
    if (index_offset) *index_offset = o;
    return valid;
  }

  MemoryFileSystem files_;
  std::unique_ptr<Stream> stream_;
};

TEST_F(WdfTest, RecordsAreLittleEndianByteForByte) {
  EXPECT_EQ(Hex(HeaderBytes(kWdfMagic, 0x01020304, 0xA0B0C0D0)),
            "50 46 44 57 04 03 02 01 D0 C0 B0 A0");
  EXPECT_EQ(Hex(EntryBytes({0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00})),
            "44 33 22 11 88 77 66 55 CC BB AA 99 00 FF EE DD");
  unsigned char bytes[kWdfEntrySize] = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55,
                                        0xCC, 0xBB, 0xAA, 0x99, 0x00, 0xFF, 0xEE, 0xDD};
  WdfEntry entry = DecodeWdfEntry(bytes);
  EXPECT_EQ(entry.Id, 0x11223344u);
  EXPECT_EQ(entry.Offset, 0x55667788u);
  EXPECT_EQ(entry.Size, 0x99AABBCCu);
  EXPECT_EQ(entry.Space, 0xDDEEFF00u);
  WdfHeader header = DecodeWdfHeader(bytes);
  EXPECT_EQ(header.Magic, 0x11223344u);
  EXPECT_EQ(header.EntryCount, 0x55667788u);
  EXPECT_EQ(header.IndexOffset, 0x99AABBCCu);
}

TEST_F(WdfTest, HeaderCheckPassesAtTheExactSizeAndFailsOneByteShort) {
  // Two entries at offset 20: the index ends at 20 + 32 = 52.
  std::string bytes = HeaderBytes(kWdfMagic, 2, 20) + std::string(40, 'x');
  uint32_t count = 0, index_offset = 0;
  EXPECT_TRUE(HeaderValid(Archive(bytes), &count, &index_offset));
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(index_offset, 20u);
  EXPECT_FALSE(HeaderValid(Archive(bytes.substr(0, 51))));
  // Nothing ties the index to the data: one inside the header passes when it fits.
  EXPECT_TRUE(HeaderValid(Archive(HeaderBytes(kWdfMagic, 1, 0) + std::string(4, 'x'))));
}

TEST_F(WdfTest, HeaderCheckOfAnEmptyIndex) {
  const std::string header = HeaderBytes(kWdfMagic, 0, 12);
  EXPECT_TRUE(HeaderValid(Archive(header)));
  EXPECT_TRUE(HeaderValid(Archive(HeaderBytes(kWdfMagic, 0, 0))));
  EXPECT_FALSE(HeaderValid(Archive(HeaderBytes(kWdfMagic, 0, 13))));
}

TEST_F(WdfTest, HeaderCheckRefusesOtherMagicAndShortHeaders) {
  EXPECT_FALSE(HeaderValid(Archive("WDFP" + HeaderBytes(kWdfMagic, 0, 12).substr(4))));
  EXPECT_FALSE(HeaderValid(Archive("pfdw" + HeaderBytes(kWdfMagic, 0, 12).substr(4))));
  const std::string header = HeaderBytes(kWdfMagic, 0, 0);
  for (size_t length = 0; length < kWdfHeaderSize; ++length) {
    EXPECT_FALSE(HeaderValid(Archive(header.substr(0, length)))) << length << " bytes";
  }
  EXPECT_TRUE(HeaderValid(Archive(header)));
}

TEST_F(WdfTest, HeaderCheckReadsFromTheStartWhereverTheStreamStands) {
  Stream& stream = Archive(HeaderBytes(kWdfMagic, 0, 12));
  ASSERT_TRUE(stream.Seek(7));
  EXPECT_TRUE(HeaderValid(stream));
}

TEST_F(WdfTest, HeaderCheckCountsAHeaderThatCannotBeReadWholeAsInvalid) {
  Stream& stream = Archive(HeaderBytes(kWdfMagic, 0, 12));
  files_.FailReadsOfFrom(kArchive, 8);
  EXPECT_FALSE(HeaderValid(stream));
}

TEST_F(WdfTest, HeaderCheckComputesTheIndexEndBeyond32Bits) {
  // 0x10000000 entries of 16 bytes end at 4 GiB; a 32-bit product would be 0.
  const std::string header = HeaderBytes(kWdfMagic, 0x10000000, 0);
  EXPECT_FALSE(HeaderValid(Archive(header)));
  EXPECT_FALSE(HeaderValid(ArchiveOfApparentSize(header, k4GiB - 1)));
  EXPECT_TRUE(HeaderValid(ArchiveOfApparentSize(header, k4GiB)));
  // The largest index the format can describe.
  const std::string largest = HeaderBytes(kWdfMagic, 0xFFFFFFFF, 0xFFFFFFFF);
  const uint64_t end = 0xFFFFFFFFULL * 16 + 0xFFFFFFFFULL;
  EXPECT_FALSE(HeaderValid(ArchiveOfApparentSize(largest, end - 1)));
  EXPECT_TRUE(HeaderValid(ArchiveOfApparentSize(largest, end)));
}

TEST(WdfBoundsTest, EntryMayEndExactlyWhereTheIndexRoomBegins) {
  // 100 bytes, 2 entries: the last 32 bytes are the index's room, so entries end by 68.
  EXPECT_TRUE(EntryInBounds({1, 60, 8, 0}, 100, 2));
  EXPECT_FALSE(EntryInBounds({1, 60, 9, 0}, 100, 2));
  EXPECT_FALSE(EntryInBounds({1, 61, 8, 0}, 100, 2));
  // Reserved space counts toward the limit.
  EXPECT_TRUE(EntryInBounds({1, 60, 4, 4}, 100, 2));
  EXPECT_FALSE(EntryInBounds({1, 60, 4, 5}, 100, 2));
  EXPECT_FALSE(EntryInBounds({1, 60, 0, 9}, 100, 2));
  // The room is the file's end whatever the index offset, and an entry may start in the header.
  EXPECT_TRUE(EntryInBounds({1, 0, 0, 0}, 0, 0));
  EXPECT_TRUE(EntryInBounds({1, 0, 100, 0}, 100, 0));
}

TEST(WdfBoundsTest, SumsAreNotReducedTo32Bits) {
  // 0x10 + 0xFFFFFFF0 is 4 GiB, not 0.
  EXPECT_FALSE(EntryInBounds({1, 0x10, 0xFFFFFFF0, 0}, 100, 0));
  EXPECT_FALSE(EntryInBounds({1, 0x10, 0xFFFFFFF0, 0}, k4GiB - 1, 0));
  EXPECT_TRUE(EntryInBounds({1, 0x10, 0xFFFFFFF0, 0}, k4GiB, 0));
  EXPECT_FALSE(EntryInBounds({1, 0xFFFFFFFF, 0xFFFFFFFF, 2}, k4GiB, 0));
  EXPECT_TRUE(EntryInBounds({1, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}, 3 * (k4GiB - 1), 0));
  // 0x10000000 entries take 4 GiB of room, not 0.
  EXPECT_FALSE(EntryInBounds({1, 0, 0, 0}, k4GiB - 1, 0x10000000));
  EXPECT_TRUE(EntryInBounds({1, 0, 0, 0}, k4GiB, 0x10000000));
  EXPECT_FALSE(EntryInBounds({1, 0, 1, 0}, k4GiB, 0x10000000));
}

TEST(WdfBoundsTest, FileSmallerThanTheIndexPutsEveryEntryOutOfBounds) {
  EXPECT_FALSE(EntryInBounds({1, 0, 0, 0}, 31, 2));
  EXPECT_TRUE(EntryInBounds({1, 0, 0, 0}, 32, 2));
  EXPECT_FALSE(EntryInBounds({1, 0, 0, 0}, 0, 1));
}

class WdfSearchTest : public WdfTest {
 protected:
  struct Result {
    IndexSearch Search;
    uint32_t Size;
    std::string Bytes;  // the `size` bytes from where the stream stands on kFound
  };
  Result Find(Stream& stream, uint32_t id) {
    uint32_t count = 0, index_offset = 0;
    EXPECT_TRUE(ReadWdfHeader(stream, &count, &index_offset));
    return FindIn(stream, count, index_offset, id);
  }
  Result FindIn(Stream& stream, uint32_t count, uint32_t index_offset, uint32_t id) {
    Result result{IndexSearch::kNotFound, 0xDEADBEEF, ""};
    result.Search = FindEntryInArchive(stream, count, index_offset, &result.Size, id);
    if (result.Search == IndexSearch::kFound) {
      result.Bytes.resize(result.Size);
      result.Bytes.resize(stream.Read(&result.Bytes[0], result.Size));
    } else {
      EXPECT_EQ(result.Size, 0xDEADBEEFu) << "size changed by a search that found nothing";
    }
    return result;
  }
};

TEST_F(WdfSearchTest, FindsTheFirstEntryInIndexOrderAndStandsAtItsBytes) {
  Stream& stream = Archive(ArchiveOf(
      {{0x300, "ccc"}, {0x12345678, "first"}, {0x100, "a"}, {0x12345678, "second"}, {0, ""}}));
  Result found = Find(stream, 0x12345678);
  EXPECT_EQ(found.Search, IndexSearch::kFound);
  EXPECT_EQ(found.Size, 5u);
  EXPECT_EQ(found.Bytes, "first");
  EXPECT_EQ(Find(stream, 0x300).Bytes, "ccc");
  Result empty = Find(stream, 0);
  EXPECT_EQ(empty.Search, IndexSearch::kFound);
  EXPECT_EQ(empty.Size, 0u);
}

TEST_F(WdfSearchTest, ComparesAll32Bits) {
  Stream& stream = Archive(ArchiveOf({{0x12345678, "x"}}));
  EXPECT_EQ(Find(stream, 0x02345678).Search, IndexSearch::kNotFound);
  EXPECT_EQ(Find(stream, 0x92345678).Search, IndexSearch::kNotFound);
  EXPECT_EQ(Find(stream, 0x12345679).Search, IndexSearch::kNotFound);
  EXPECT_EQ(Find(stream, 0x12345678).Search, IndexSearch::kFound);
}

TEST_F(WdfSearchTest, EmptyIndexFindsNothing) {
  Stream& stream = Archive(ArchiveOf({}));
  EXPECT_EQ(Find(stream, 0).Search, IndexSearch::kNotFound);
}

TEST_F(WdfSearchTest, LongIndexIsSearchedAcrossItsWholeLength) {
  // More entries than one read of the index takes, with ids placed at the seams.
  std::vector<std::pair<uint32_t, std::string>> resources;
  for (uint32_t i = 0; i < 10000; ++i) resources.push_back({i, std::to_string(i)});
  resources[4095].first = 0xAAAA0000;
  resources[4096].first = 0xBBBB0000;
  resources[8191].first = 0xAAAA0000;
  resources[9999].first = 0xCCCC0000;
  Stream& stream = Archive(ArchiveOf(resources));
  EXPECT_EQ(Find(stream, 0xAAAA0000).Bytes, "4095");
  EXPECT_EQ(Find(stream, 0xBBBB0000).Bytes, "4096");
  EXPECT_EQ(Find(stream, 0xCCCC0000).Bytes, "9999");
  EXPECT_EQ(Find(stream, 5000).Bytes, "5000");
  EXPECT_EQ(Find(stream, 10000).Search, IndexSearch::kNotFound);
}

TEST_F(WdfSearchTest, IndexThatCannotBeReadWholeIsAReadFailure) {
  std::vector<std::pair<uint32_t, std::string>> resources;
  for (uint32_t i = 0; i < 6000; ++i) resources.push_back({i, "r"});
  Stream& stream = Archive(ArchiveOf(resources));
  uint32_t count = 0, index_offset = 0;
  ASSERT_TRUE(ReadWdfHeader(stream, &count, &index_offset));
  // The device fails in the middle of entry 5000.
  files_.FailReadsOfFrom(kArchive, index_offset + 5000 * kWdfEntrySize + 7);
  // An entry before the fault is found as an entry-by-entry search would find it...
  EXPECT_EQ(FindIn(stream, count, index_offset, 4999).Search, IndexSearch::kFound);
  EXPECT_EQ(FindIn(stream, count, index_offset, 100).Search, IndexSearch::kFound);
  // ...while one at or behind it, or none at all, cannot be told.
  EXPECT_EQ(FindIn(stream, count, index_offset, 5000).Search, IndexSearch::kReadFailed);
  EXPECT_EQ(FindIn(stream, count, index_offset, 5999).Search, IndexSearch::kReadFailed);
  EXPECT_EQ(FindIn(stream, count, index_offset, 7000).Search, IndexSearch::kReadFailed);
}

TEST_F(WdfSearchTest, IndexPositionsAreComputedBeyond32Bits) {
  // An index that crosses 4 GiB: entry 4096 lies exactly at 4 GiB, which a 32-bit position would
  // wrap to the header, whose first four bytes would then read as the id 0x57444650.
  const uint32_t index_offset = static_cast<uint32_t>(k4GiB - 4096 * kWdfEntrySize);
  const std::string header = HeaderBytes(kWdfMagic, 4097, index_offset);
  Stream& stream = ArchiveOfApparentSize(header, index_offset + 4097ULL * kWdfEntrySize);
  EXPECT_EQ(Find(stream, kWdfMagic).Search, IndexSearch::kNotFound);
  // Bytes beyond those stored read as zeros: every entry is {0, 0, 0, 0}.
  Result found = Find(stream, 0);
  EXPECT_EQ(found.Search, IndexSearch::kFound);
  EXPECT_EQ(found.Size, 0u);
  EXPECT_EQ(stream.Position(), 0u);
}

TEST(WdfLimitsTest, WrittenOffsetsStayWithin32Bits) {
  EXPECT_TRUE(EntryFitsWdf(12, 0xFFFFFFFF - 12));
  EXPECT_FALSE(EntryFitsWdf(12, 0xFFFFFFFF - 11));
  EXPECT_TRUE(EntryFitsWdf(0xFFFFFFFF, 0));
  EXPECT_FALSE(EntryFitsWdf(k4GiB, 0));
  EXPECT_FALSE(EntryFitsWdf(12, 0xFFFFFFFFFFFFFFF0ULL));  // no wrap of the sum
  EXPECT_TRUE(IndexFitsWdf(0xFFFFFFF0, 1));
  EXPECT_FALSE(IndexFitsWdf(0xFFFFFFF1, 1));
  EXPECT_TRUE(IndexFitsWdf(0xFFFFFFFF, 0));
  EXPECT_FALSE(IndexFitsWdf(k4GiB, 0));
  EXPECT_TRUE(IndexFitsWdf(0, 0x10000000));
  EXPECT_FALSE(IndexFitsWdf(1, 0x10000000));
}

class WdfWriterTest : public WdfTest {
 protected:
  std::unique_ptr<Stream> Create() {
    files_.PutDirectory("C:\\work");
    auto stream = files_.CreateExclusive(kArchive);
    EXPECT_NE(stream, nullptr);
    return stream;
  }
};

TEST_F(WdfWriterTest, LayoutOfThreeEntriesOfSizesFiveZeroSeven) {
  auto target = Create();
  WdfWriter writer(*target);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  EXPECT_EQ(Hex(files_.FileBytes(kArchive)), "50 46 44 57 00 00 00 00 00 00 00 00");
  ASSERT_TRUE(target->Write("AAAAA", 5));
  ASSERT_TRUE(target->Write("BBBBBBB", 7));
  const WdfEntry entries[] = {{0x10, 12, 5, 0}, {0x20, 17, 0, 0}, {0x10, 17, 7, 0}};
  bool too_large = true;
  ASSERT_TRUE(writer.Finish(entries, 3, &too_large));
  EXPECT_FALSE(too_large);
  target.reset();

  const std::string expected = HeaderBytes(kWdfMagic, 3, 24) + "AAAAABBBBBBB" +
                               EntryBytes(entries[0]) + EntryBytes(entries[1]) +
                               EntryBytes(entries[2]);
  const std::string written = files_.FileBytes(kArchive);
  EXPECT_EQ(written.size(), 72u);
  EXPECT_EQ(Hex(written), Hex(expected));
  // What is written passes the header check and keeps every entry in bounds.
  uint32_t count = 0, index_offset = 0;
  Stream& archive = Archive(written);
  ASSERT_TRUE(ReadWdfHeader(archive, &count, &index_offset));
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(index_offset, 24u);
  for (const WdfEntry& entry : entries) EXPECT_TRUE(EntryInBounds(entry, 72, count));
}

TEST_F(WdfWriterTest, EmptyArchiveIsTheHeaderAlone) {
  auto target = Create();
  WdfWriter writer(*target);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  ASSERT_TRUE(writer.Finish(nullptr, 0, nullptr));
  target.reset();
  EXPECT_EQ(Hex(files_.FileBytes(kArchive)), "50 46 44 57 00 00 00 00 0C 00 00 00");
}

TEST_F(WdfWriterTest, LongIndexIsWrittenWhole) {
  auto target = Create();
  WdfWriter writer(*target);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  std::vector<WdfEntry> entries;
  for (uint32_t i = 0; i < 9000; ++i) entries.push_back({i * 7, 12, 0, 0});
  ASSERT_TRUE(writer.Finish(entries.data(), 9000, nullptr));
  target.reset();
  const std::string written = files_.FileBytes(kArchive);
  ASSERT_EQ(written.size(), 12u + 9000 * 16);
  for (uint32_t i : {0u, 4095u, 4096u, 8999u}) {
    WdfEntry entry = DecodeWdfEntry(reinterpret_cast<const unsigned char*>(written.data()) + 12 +
                                    i * kWdfEntrySize);
    EXPECT_EQ(entry.Id, i * 7) << "entry " << i;
  }
}

TEST_F(WdfWriterTest, FailedWritesAreReported) {
  files_.LimitWrittenBytes(11);
  {
    auto target = Create();
    EXPECT_FALSE(WdfWriter(*target).WritePlaceholderHeader());
  }
  files_.LimitWrittenBytes(12 + 16 + 7);  // the header, one entry, not the header's counts
  auto target = Create();
  WdfWriter writer(*target);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  const WdfEntry entry{1, 12, 0, 0};
  EXPECT_FALSE(writer.Finish(&entry, 1, nullptr));
  target.reset();
  files_.LimitWrittenBytes(12 + 15);
  auto again = Create();
  WdfWriter writer_again(*again);
  ASSERT_TRUE(writer_again.WritePlaceholderHeader());
  bool too_large = true;
  EXPECT_FALSE(writer_again.Finish(&entry, 1, &too_large));
  EXPECT_FALSE(too_large);
}

TEST_F(WdfWriterTest, IndexBeyond4GiBIsRefusedWithoutWriting) {
  auto target = Create();
  WdfWriter writer(*target);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  ASSERT_TRUE(target->Seek(0xFFFFFFF8));
  const WdfEntry entry{1, 12, 0, 0};
  bool too_large = false;
  EXPECT_FALSE(writer.Finish(&entry, 1, &too_large));
  EXPECT_TRUE(too_large);
  EXPECT_EQ(files_.FileBytes(kArchive).size(), kWdfHeaderSize);
}

}  // namespace
}  // namespace velmora
