#include "studio/entry_rows.h"
#include "studio/studio_document.h"

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

TEST(EntryRowsTest, RowsFilterAndSortStablyByWhatTheRebuildWrites) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", MakeArchive({{0x30, "hello\r\n"},
                                          {0x10, std::string("\x89PNG\r\n\x1a\n", 8)},
                                          {0x3A, ""},
                                          {0x10, "xy"}}));
  files.PutFile("C:\\n.bin", std::string("\x01\x02\x03\x04", 4));
  files.PutFile("C:\\pic.png", std::string("\x89PNG\r\n\x1a\nmore", 12));
  StudioDocument document(files);
  std::string problem;
  ASSERT_TRUE(document.Open("C:\\a.wdf", &problem)) << problem;
  document.Changes().Set({2}, {ChangeKind::kDelete, 0, {}});
  document.Changes().Set({0}, {ChangeKind::kFile, 0, "C:\\pic.png"});
  const uint32_t added = document.Changes().Add(0x3F, "C:\\n.bin");
  RowFilter all;
  EXPECT_EQ(document.Rows(all, EntryColumn::kPosition, false),
            (std::vector<uint32_t>{0, 1, 2, 3, added}));
  EXPECT_EQ(document.Rows(all, EntryColumn::kPosition, true),
            (std::vector<uint32_t>{added, 3, 2, 1, 0}));
  EXPECT_EQ(document.Rows(all, EntryColumn::kId, false),
            (std::vector<uint32_t>{1, 3, 0, 2, added}));
  // The sizes of the bytes written: the picture that replaces entry 0, the added file.
  EXPECT_EQ(document.Rows(all, EntryColumn::kSize, true),
            (std::vector<uint32_t>{0, 1, added, 3, 2}));
  EXPECT_EQ(document.Rows(all, EntryColumn::kChange, true),
            (std::vector<uint32_t>{2, added, 0, 1, 3}));
  RowFilter filter;
  ASSERT_TRUE(ParseRowFilter("0000003", &filter));  // a prefix of the eight digits shown
  EXPECT_EQ(document.Rows(filter, EntryColumn::kPosition, false),
            (std::vector<uint32_t>{0, 2, added}));
  ASSERT_TRUE(ParseRowFilter("png", &filter));
  EXPECT_EQ(document.Rows(filter, EntryColumn::kId, false), (std::vector<uint32_t>{1, 0}));
  ASSERT_TRUE(ParseRowFilter("text", &filter));
  EXPECT_EQ(document.Rows(filter, EntryColumn::kKind, false), std::vector<uint32_t>{3});
  EXPECT_TRUE(document.Archive().IsLaterOccurrence(3));
  EXPECT_FALSE(document.Archive().IsLaterOccurrence(1));
}

}  // namespace
}  // namespace velmora
