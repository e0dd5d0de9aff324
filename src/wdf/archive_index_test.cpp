#include "wdf/archive_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_file_system.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\a.wdf";

std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}
std::string Entry(uint32_t id, uint32_t offset, uint32_t size, uint32_t space = 0) {
  return U32(id) + U32(offset) + U32(size) + U32(space);
}

struct HostileCase {
  const char* Name;
  std::string Bytes;
  ArchiveFault Fault;
};

// Every way a header can fail, and each agrees with the header check a run makes.
TEST(ArchiveIndexTest, HostileArchivesGiveTheirFaultAndMatchTheRunsHeaderCheck) {
  const std::string two = Entry(1, 44, 2) + Entry(2, 46, 1);
  const std::vector<HostileCase> cases = {
      {"empty file", "", ArchiveFault::kNoMagic},
      {"magic cut", "PF", ArchiveFault::kHeaderTruncated},
      {"wrong magic cut", "PX", ArchiveFault::kNoMagic},
      {"other byte order", "WDFP" + U32(0) + U32(12), ArchiveFault::kNoMagic},
      {"cut in the count", "PFDW" + U32(0).substr(0, 2), ArchiveFault::kHeaderTruncated},
      {"cut in the offset", "PFDW" + U32(0) + U32(12).substr(0, 3), ArchiveFault::kHeaderTruncated},
      {"count 0xFFFFFFFF", "PFDW" + U32(0xFFFFFFFF) + U32(12) + two, ArchiveFault::kIndexBeyondEnd},
      {"index offset beyond the end", "PFDW" + U32(0) + U32(13), ArchiveFault::kIndexBeyondEnd},
      {"index one byte short", "PFDW" + U32(2) + U32(12) + two.substr(1),
       ArchiveFault::kIndexBeyondEnd},
      {"empty archive", "PFDW" + U32(0) + U32(12), ArchiveFault::kNone},
      {"index inside the header", "PFDW" + U32(1) + U32(0) + "xxxx", ArchiveFault::kNone},
      {"two entries", "PFDW" + U32(2) + U32(12) + two + "abc", ArchiveFault::kNone},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kArchive, c.Bytes);
    auto stream = files.OpenShared(kArchive);
    ArchiveIndex index;
    EXPECT_EQ(ReadArchiveIndex(*stream, &index), c.Fault);
    EXPECT_EQ(ReadWdfHeader(*stream, nullptr, nullptr), c.Fault == ArchiveFault::kNone);
    EXPECT_EQ(index.FileSize, c.Bytes.size());
    if (c.Fault == ArchiveFault::kNone) {
      EXPECT_EQ(index.Entries.size(), index.Header.EntryCount);
    } else {
      EXPECT_TRUE(index.Entries.empty());
    }
  }
}

TEST(ArchiveIndexTest, ReadsEveryEntryInIndexOrderAcrossReadPieces) {
  std::string data = "PFDW" + U32(5000) + U32(12);
  for (uint32_t k = 0; k < 5000; ++k) data += Entry(k * 7, k, 1);
  MemoryFileSystem files;
  files.PutFile(kArchive, data);
  auto stream = files.OpenShared(kArchive);
  ArchiveIndex index;
  ASSERT_EQ(ReadArchiveIndex(*stream, &index), ArchiveFault::kNone);
  ASSERT_EQ(index.Entries.size(), 5000u);
  EXPECT_EQ(index.Entries[4999].Id, 4999u * 7);
  EXPECT_EQ(index.Entries[4097].Offset, 4097u);
}

TEST(ArchiveIndexTest, AnIndexTheSystemCannotDeliverIsAReadFault) {
  MemoryFileSystem files;
  files.PutFile(kArchive, "PFDW" + U32(2) + U32(12) + Entry(1, 0, 0) + Entry(2, 0, 0));
  files.FailReadsOfFrom(kArchive, 20);
  auto stream = files.OpenShared(kArchive);
  ArchiveIndex index;
  EXPECT_EQ(ReadArchiveIndex(*stream, &index), ArchiveFault::kReadFailed);
  EXPECT_TRUE(index.Entries.empty());
}

TEST(ArchiveIndexTest, EntryBytesInFileCountsSizeButNotSpaceAndNeverWraps) {
  EXPECT_TRUE(EntryBytesInFile({1, 90, 10, 0}, 100));
  EXPECT_TRUE(EntryBytesInFile({1, 90, 10, 500}, 100));
  EXPECT_FALSE(EntryBytesInFile({1, 91, 10, 0}, 100));
  EXPECT_TRUE(EntryBytesInFile({1, 100, 0, 0}, 100));
  EXPECT_FALSE(EntryBytesInFile({1, 101, 0, 0}, 100));
  EXPECT_FALSE(EntryBytesInFile({1, 0x10, 0xFFFFFFF0, 0}, 100));
}

TEST(ArchiveIndexTest, ReadEntryBytesDeliversExactlyTheEntryInPieces) {
  std::string payload(kEntryReadPiece + 5, 'x');
  payload.back() = 'y';
  MemoryFileSystem files;
  files.PutFile(kArchive, "head" + payload + "tail");
  auto stream = files.OpenShared(kArchive);
  std::string got;
  int pieces = 0;
  const auto sink = [&](const char* data, size_t n) {
    got.append(data, n);
    ++pieces;
    return true;
  };
  EXPECT_TRUE(ReadEntryBytes(*stream, {1, 4, static_cast<uint32_t>(payload.size()), 0}, sink));
  EXPECT_EQ(got, payload);
  EXPECT_EQ(pieces, 2);
  EXPECT_FALSE(ReadEntryBytes(*stream, {1, 10, static_cast<uint32_t>(payload.size()), 0}, sink));
}

TEST(ArchiveIndexTest, IdOccurrencesCountRepeatsInIndexOrder) {
  EXPECT_EQ(IdOccurrences({{5, 0, 0, 0}, {6, 0, 0, 0}, {5, 0, 0, 0}, {5, 0, 0, 0}}),
            (std::vector<uint32_t>{1, 1, 2, 3}));
}

}  // namespace
}  // namespace velmora
