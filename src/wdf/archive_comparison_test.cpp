#include "wdf/archive_comparison.h"

#include <gtest/gtest.h>

#include "job/pack_run_fixture.h"
#include "sys/memory_file_system.h"

namespace velmora {
namespace {

using pack_run_testing::MakeArchive;

TEST(ArchiveComparisonTest, EntriesPairByIdAndTurnAndCompareByBytes) {
  MemoryFileSystem files;
  const std::string big(150000, 'x');
  std::string big_changed = big;
  big_changed[140000] = 'y';  // in the third piece of a streamed comparison
  files.PutFile(
      "C:\\old.wdf",
      MakeArchive({{1, "a"}, {2, "first"}, {2, "second"}, {3, big}, {4, "gone"}, {6, big}}));
  files.PutFile("C:\\new.wdf", MakeArchive({{2, "first"},
                                            {1, "a"},
                                            {2, "SECOND"},
                                            {3, big_changed},
                                            {5, "new"},
                                            {6, big},
                                            {2, "third"}}));
  auto old_stream = files.OpenShared("C:\\old.wdf");
  auto new_stream = files.OpenShared("C:\\new.wdf");
  ArchiveIndex old_index;
  ArchiveIndex new_index;
  ASSERT_EQ(ReadArchiveIndex(*old_stream, &old_index), ArchiveFault::kNone);
  ASSERT_EQ(ReadArchiveIndex(*new_stream, &new_index), ArchiveFault::kNone);

  const ArchiveComparison comparison =
      CompareArchives(*old_stream, old_index, *new_stream, new_index);
  EXPECT_EQ(comparison.Entries,
            (std::vector<EntryDifference>{EntryDifference::kSame, EntryDifference::kSame,
                                          EntryDifference::kChanged, EntryDifference::kChanged,
                                          EntryDifference::kOnlyHere, EntryDifference::kSame}));
  EXPECT_EQ(comparison.OnlyInOther, (std::vector<uint32_t>{4, 6}));
  EXPECT_EQ(comparison.Changed, 3u);
}

TEST(ArchiveComparisonTest, EntriesOutsideTheFileAreUnreadableNotEqual) {
  MemoryFileSystem files;
  std::string damaged = MakeArchive({{1, "abc"}});
  damaged[12 + 3 + 8] = '\x50';  // the entry's size now reaches past the end
  files.PutFile("C:\\a.wdf", damaged);
  files.PutFile("C:\\b.wdf", MakeArchive({{1, "abc"}}));
  auto a = files.OpenShared("C:\\a.wdf");
  auto b = files.OpenShared("C:\\b.wdf");
  ArchiveIndex ai;
  ArchiveIndex bi;
  ReadArchiveIndex(*a, &ai);
  ReadArchiveIndex(*b, &bi);
  EXPECT_EQ(CompareArchives(*a, ai, *b, bi).Entries[0], EntryDifference::kUnreadable);
  EXPECT_EQ(CompareArchives(*b, bi, *a, ai).Entries[0], EntryDifference::kUnreadable);
}

}  // namespace
}  // namespace velmora
