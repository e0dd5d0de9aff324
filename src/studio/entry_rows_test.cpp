#include "studio/entry_rows.h"

#include <gtest/gtest.h>

#include "testing/pack_run_fixture.h"
#include "testing/memory_file_system.h"

namespace velmora {
namespace {

using pack_run_testing::MakeArchive;

TEST(EntryRowsTest, FilterTextsReadAsIdPrefixesOrKinds) {
  struct Case {
    const char* Text;
    bool Valid;
    RowFilter::Type Type;
    uint32_t Prefix;
    int Digits;
  };
  const Case cases[] = {
      {"", true, RowFilter::Type::kAll, 0, 0},
      {"  ", true, RowFilter::Type::kAll, 0, 0},
      {"a1", true, RowFilter::Type::kIdPrefix, 0xA1, 2},
      {"@0000A1B2", true, RowFilter::Type::kIdPrefix, 0xA1B2, 8},
      {"0x1F", true, RowFilter::Type::kIdPrefix, 0x1F, 2},
      {"PNG", true, RowFilter::Type::kKind, 0, 0},
      {"out-of-bounds", true, RowFilter::Type::kKind, 0, 0},
      {"123456789", false, RowFilter::Type::kAll, 0, 0},
      {"0x", false, RowFilter::Type::kAll, 0, 0},
      {"pictures", false, RowFilter::Type::kAll, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    RowFilter filter;
    ASSERT_EQ(ParseRowFilter(c.Text, &filter), c.Valid);
    if (!c.Valid) continue;
    EXPECT_EQ(filter.Kind, c.Type);
    EXPECT_EQ(filter.Prefix, c.Prefix);
    EXPECT_EQ(filter.Digits, c.Digits);
  }
}

TEST(EntryRowsTest, RowsFilterAndSortStablyByEveryColumn) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", MakeArchive({{0x30, "hello\r\n"},
                                          {0x10, std::string("\x89PNG\r\n\x1a\n", 8)},
                                          {0x3A, ""},
                                          {0x10, "xy"}}));
  StudioArchive archive;
  ASSERT_TRUE(archive.Open(files, "C:\\a.wdf"));
  PendingChanges changes(archive.Count());
  changes.Set({2}, {ChangeKind::kDelete, 0, {}});
  const uint32_t added = changes.Add(0x3F, "C:\\n.bin");
  RowFilter all;
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kPosition, false),
            (std::vector<uint32_t>{0, 1, 2, 3, added}));
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kPosition, true),
            (std::vector<uint32_t>{added, 3, 2, 1, 0}));
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kId, false),
            (std::vector<uint32_t>{1, 3, 0, 2, added}));
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kSize, true),
            (std::vector<uint32_t>{1, 0, 3, 2, added}));
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kChange, true),
            (std::vector<uint32_t>{added, 2, 0, 1, 3}));
  const std::vector<EntryChange> compared = {EntryChange::kSame, EntryChange::kRemoved,
                                             EntryChange::kChanged, EntryChange::kSame};
  EXPECT_EQ(BuildRows(archive, changes, all, EntryColumn::kCompared, true, &compared),
            (std::vector<uint32_t>{1, 2, 0, 3, added}));
  RowFilter filter;
  ASSERT_TRUE(ParseRowFilter("0000003", &filter));  // a prefix of the eight digits shown
  EXPECT_EQ(BuildRows(archive, changes, filter, EntryColumn::kPosition, false),
            (std::vector<uint32_t>{0, 2, added}));
  ASSERT_TRUE(ParseRowFilter("png", &filter));
  EXPECT_EQ(BuildRows(archive, changes, filter, EntryColumn::kId, false), std::vector<uint32_t>{1});
  ASSERT_TRUE(ParseRowFilter("text", &filter));
  EXPECT_EQ(BuildRows(archive, changes, filter, EntryColumn::kKind, false),
            (std::vector<uint32_t>{0, 3}));
  EXPECT_TRUE(archive.IsLaterOccurrence(3));
  EXPECT_FALSE(archive.IsLaterOccurrence(1));
}

}  // namespace
}  // namespace velmora
