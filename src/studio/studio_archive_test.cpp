#include "studio/studio_archive.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "testing/pack_run_fixture.h"

namespace velmora {
namespace {

using pack_run_testing::IndexRecord;
using pack_run_testing::Le32;
using pack_run_testing::MakeArchive;

// Whatever the file holds, the archive opens or is refused, and every entry can be asked for
// its kind and its bytes without reading outside the file.
TEST(StudioArchiveTest, HostileFilesOpenWithTheirFindingsAndNothingOutsideIsRead) {
  struct Case {
    const char* Name;
    std::string Bytes;
    uint64_t Errors;
    std::vector<bool> Bad;
  };
  const std::string two = MakeArchive({{1, "ab"}, {2, "cde"}});
  std::string beyond = two;
  beyond.replace(12 + 5 + 16 + 8, 4, Le32(0xFFFFFFF0));  // entry 2's size
  const Case cases[] = {
      {"empty file", "", 1, {}},
      {"not an archive", "hello world", 1, {}},
      {"index beyond the end", "PFDW" + Le32(1000000) + Le32(12), 1, {}},
      {"sound", two, 0, {false, false}},
      {"entry beyond the end", beyond, 1, {false, true}},
      {"entry inside the index room",
       "PFDW" + Le32(1) + Le32(12) + IndexRecord(7, 12, 16),
       1,
       {true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile("C:\\a.wdf", c.Bytes);
    StudioArchive archive;
    ASSERT_TRUE(archive.Open(files, "C:\\a.wdf"));
    EXPECT_EQ(archive.Check().Errors, c.Errors);
    ASSERT_EQ(archive.Count(), c.Bad.size());
    for (uint32_t k = 0; k < archive.Count(); ++k) {
      EXPECT_EQ(archive.IsBad(k), c.Bad[k]) << k;
      std::string head;
      const bool in_file = EntryBytesInFile(archive.Entry(k), archive.FileSize());
      EXPECT_EQ(archive.ReadHead(k, 4096, &head), in_file) << k;
      if (!in_file) {
        EXPECT_EQ(archive.KindAt(k), EntryKind::kOutOfBounds) << k;
      }
    }
  }
  MemoryFileSystem files;
  StudioArchive archive;
  EXPECT_FALSE(archive.Open(files, "C:\\missing.wdf"));
}

TEST(StudioArchiveTest, RepeatedIdsAnswerWithTheirFirstEntry) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", MakeArchive({{5, "x"}, {3, "y"}, {5, "z"}, {5, "w"}}));
  StudioArchive archive;
  ASSERT_TRUE(archive.Open(files, "C:\\a.wdf"));
  uint32_t position = 99;
  EXPECT_TRUE(archive.FirstWithId(5, &position));
  EXPECT_EQ(position, 0u);
  EXPECT_FALSE(archive.FirstWithId(4, &position));
  EXPECT_EQ(std::vector<bool>({archive.IsLaterOccurrence(0), archive.IsLaterOccurrence(1),
                               archive.IsLaterOccurrence(2), archive.IsLaterOccurrence(3)}),
            std::vector<bool>({false, false, true, true}));
  EXPECT_EQ(archive.TotalSize(), 4u);
}

}  // namespace
}  // namespace velmora
