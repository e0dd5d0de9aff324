// The archive format over real files beyond 4 GiB. The files are sparse: only the header, a few
// resources and the index take room on the disk.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

constexpr uint64_t k4GiB = 0x100000000ULL;

class WdfLargeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/velmora-wdf-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/large.wdf";
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
  }

  // Writes `bytes` at `position` of the open file.
  static void Put(Stream& stream, uint64_t position, const std::string& bytes) {
    ASSERT_TRUE(stream.Seek(position));
    ASSERT_TRUE(stream.Write(bytes.data(), bytes.size()));
  }
  static std::string Header(uint32_t count, uint32_t index_offset) {
    unsigned char bytes[kWdfHeaderSize];
    EncodeWdfHeader({kWdfMagic, count, index_offset}, bytes);
    return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
  }
  static std::string Entry(const WdfEntry& entry) {
    unsigned char bytes[kWdfEntrySize];
    EncodeWdfEntry(entry, bytes);
    return std::string(reinterpret_cast<char*>(bytes), sizeof bytes);
  }

  std::string dir_;
  std::string path_;
};

TEST_F(WdfLargeFileTest, IndexThatCrosses4GiBIsCheckedAndSearched) {
  // 4097 entries whose index starts 64 KiB below 4 GiB: entry 4096 lies at exactly 4 GiB and the
  // file ends 16 bytes beyond it. Entries left unwritten read as zeros.
  const uint32_t count = 4097;
  const uint32_t index_offset = static_cast<uint32_t>(k4GiB - 4096 * kWdfEntrySize);
  const uint64_t file_size = index_offset + uint64_t{count} * kWdfEntrySize;
  const uint32_t far_data = index_offset - 16;
  {
    auto stream = SystemFileSystem().CreateExclusive(path_);
    ASSERT_NE(stream, nullptr);
    Put(*stream, 0, Header(count, index_offset) + "abc");
    Put(*stream, far_data, "wxyz");
    Put(*stream, index_offset, Entry({5, 12, 3, 0}));
    Put(*stream, k4GiB, Entry({9, far_data, 4, 0}));
  }

  auto stream = SystemFileSystem().OpenShared(path_);
  ASSERT_NE(stream, nullptr);
  uint64_t size = 0;
  ASSERT_TRUE(stream->Size(&size));
  ASSERT_EQ(size, file_size);
  uint32_t read_count = 0, read_offset = 0;
  ASSERT_TRUE(ReadWdfHeader(*stream, &read_count, &read_offset));
  EXPECT_EQ(read_count, count);
  EXPECT_EQ(read_offset, index_offset);

  uint32_t found_size = 0;
  ASSERT_EQ(FindEntryInArchive(*stream, count, index_offset, &found_size, 9), IndexSearch::kFound);
  EXPECT_EQ(found_size, 4u);
  std::string bytes(4, '\0');
  EXPECT_EQ(stream->Read(&bytes[0], 4), 4u);
  EXPECT_EQ(bytes, "wxyz");
  ASSERT_EQ(FindEntryInArchive(*stream, count, index_offset, &found_size, 5), IndexSearch::kFound);
  bytes.resize(3);
  EXPECT_EQ(stream->Read(&bytes[0], 3), 3u);
  EXPECT_EQ(bytes, "abc");
  // A position reduced to 32 bits would read the header as an entry with the magic as its id.
  EXPECT_EQ(FindEntryInArchive(*stream, count, index_offset, &found_size, kWdfMagic),
            IndexSearch::kNotFound);
  EXPECT_TRUE(EntryInBounds({9, far_data, 4, 0}, size, count));
  EXPECT_TRUE(EntryInBounds({9, far_data, 16, 0}, size, count));
  EXPECT_FALSE(EntryInBounds({9, far_data, 17, 0}, size, count));

  stream.reset();
  ASSERT_EQ(truncate(path_.c_str(), static_cast<off_t>(file_size - 1)), 0);
  stream = SystemFileSystem().OpenShared(path_);
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(ReadWdfHeader(*stream, nullptr, nullptr));
}

TEST_F(WdfLargeFileTest, WriterFillsTheArchiveUpTo4GiBExactly) {
  auto stream = SystemFileSystem().CreateExclusive(path_);
  ASSERT_NE(stream, nullptr);
  WdfWriter writer(*stream);
  ASSERT_TRUE(writer.WritePlaceholderHeader());
  // Data up to 16 bytes below 4 GiB leaves room for exactly one index entry.
  Put(*stream, k4GiB - 17, "z");
  const WdfEntry entry{7, static_cast<uint32_t>(k4GiB - 17), 1, 0};
  bool too_large = true;
  ASSERT_TRUE(writer.Finish(&entry, 1, &too_large));
  EXPECT_FALSE(too_large);
  uint64_t size = 0;
  ASSERT_TRUE(stream->Size(&size));
  EXPECT_EQ(size, k4GiB);
  uint32_t count = 0, index_offset = 0;
  ASSERT_TRUE(ReadWdfHeader(*stream, &count, &index_offset));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(index_offset, k4GiB - 16);
  EXPECT_TRUE(EntryInBounds(entry, size, count));

  // One byte more of data and the index would pass 4 GiB.
  ASSERT_TRUE(stream->Seek(k4GiB - 15));
  EXPECT_FALSE(writer.Finish(&entry, 1, &too_large));
  EXPECT_TRUE(too_large);
}

}  // namespace
}  // namespace velmora
