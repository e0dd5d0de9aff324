#include "cli/script_from_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

TEST(ScriptFromDirTest, FileNamesAsExtractionWritesThem) {
  struct Case {
    const char* name;
    bool ok;
    uint32_t id;
    uint32_t occurrence;
  };
  const std::vector<Case> cases = {
      {"0000A1B3.bmp", true, 0xA1B3, 1},     {"0000a1b3.BMP", true, 0xA1B3, 1},
      {"0000A1B3", true, 0xA1B3, 1},         {"0000A1B3.tar.gz", true, 0xA1B3, 1},
      {"0000A1B3-2.bmp", true, 0xA1B3, 2},   {"0000A1B3-12", true, 0xA1B3, 12},
      {"0000A1B3-1.bmp", false, 0, 0},       {"0000A1B3-02.bmp", false, 0, 0},
      {"0000A1B3-.bmp", false, 0, 0},        {"A1B3.bmp", false, 0, 0},
      {"0000A1B3x.bmp", false, 0, 0},        {"0000A1B39.bmp", false, 0, 0},
      {"0000A1B3-99999999999", false, 0, 0}, {"notes.txt", false, 0, 0},
  };
  for (const Case& c : cases) {
    EditedFileName parsed;
    EXPECT_EQ(ParseEditedFileName(c.name, &parsed), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(parsed.id, c.id) << c.name;
    EXPECT_EQ(parsed.occurrence, c.occurrence) << c.name;
  }
}

TEST(ScriptFromDirTest, FolderFilesSortedAgainstTheIndex) {
  ArchiveIndex index;
  index.entries = {{0x30, 0, 0, 0}, {0x10, 0, 0, 0}, {0x20, 0, 0, 0}, {0x10, 0, 0, 0}};
  const FolderSorting sorting =
      SortFolderFiles(index, {"00000010-2.bin", "00000010-3.bin", "00000010.bin", "00000020.bmp",
                              "00000020.png", "00000030.txt", "00000040.bin", "readme.txt"});
  ASSERT_EQ(sorting.files.size(), 3u);
  EXPECT_EQ(sorting.files[0].name, "00000030.txt");  // the index's order, not the names'
  EXPECT_EQ(sorting.files[1].name, "00000010.bin");
  EXPECT_EQ(sorting.files[1].entry, 1u);
  EXPECT_EQ(sorting.files[2].name, "00000020.bmp");
  const std::vector<std::pair<std::string, UnusableReason>> unusable = {
      {"00000010-2.bin", UnusableReason::kUnreachable},
      {"00000010-3.bin", UnusableReason::kNotInArchive},
      {"00000020.png", UnusableReason::kSecondFile},
      {"00000040.bin", UnusableReason::kNotInArchive},
      {"readme.txt", UnusableReason::kNotAnId},
  };
  ASSERT_EQ(sorting.unusable.size(), unusable.size());
  for (size_t k = 0; k < unusable.size(); ++k) {
    EXPECT_EQ(sorting.unusable[k].name, unusable[k].first);
    EXPECT_EQ(sorting.unusable[k].reason, unusable[k].second) << unusable[k].first;
  }
  EXPECT_EQ(sorting.unusable[2].other, "00000020.bmp");

  // With --add, ids the archive lacks become new entries behind the others; later entries of
  // an id the archive lacks, and a second file for one, stay unusable.
  const FolderSorting adding = SortFolderFiles(
      index, {"00000005.bin", "00000005.txt", "00000010.bin", "00000040-2.bin", "00000040.bin"},
      true);
  ASSERT_EQ(adding.files.size(), 3u);
  EXPECT_EQ(adding.files[0].name, "00000010.bin");
  EXPECT_FALSE(adding.files[0].added);
  EXPECT_EQ(adding.files[1].name, "00000005.bin");
  EXPECT_TRUE(adding.files[1].added);
  EXPECT_EQ(adding.files[2].name, "00000040.bin");
  ASSERT_EQ(adding.unusable.size(), 2u);
  EXPECT_EQ(adding.unusable[0].reason, UnusableReason::kSecondFile);
  EXPECT_EQ(adding.unusable[1].reason, UnusableReason::kNotInArchive);
}

TEST(ScriptFromDirTest, PathsAsRuleValues) {
  EXPECT_EQ(ScriptRouteText(0, {"edited", "0000A1B3.bmp"}), "edited\\0000A1B3.bmp");
  EXPECT_EQ(ScriptRouteText(2, {"x.bmp"}), "..\\..\\x.bmp");
  EXPECT_EQ(ScriptRouteText(2, {}), "..\\..");
  std::string value;
  EXPECT_TRUE(RulePathValue("a b\\c.bmp", &value));
  EXPECT_EQ(value, "a b\\c.bmp");
  EXPECT_TRUE(RulePathValue("@mods\\c.bmp", &value));
  EXPECT_EQ(value, ".\\@mods\\c.bmp");  // not a reference to an entry
  for (const char* refused : {"a;b.bmp", "a.bmp ", " a.bmp", "a\tb", "a\r\nb", "", "a/@10"}) {
    EXPECT_FALSE(RulePathValue(refused, &value)) << refused;
  }
}

TEST(ScriptFromDirTest, ScriptTextWithCrLfAndOptionalKeys) {
  ScriptHeader header;
  header.src_file = "ui.wdf";
  EXPECT_EQ(RebuildScriptText(header, {{0xA1B3, "edited\\0000A1B3.bmp"}}),
            "#SrcFile=ui.wdf\r\n@0000A1B3=edited\\0000A1B3.bmp\r\n");
  header.src_path = "..\\";
  header.dest_path = "..\\..\\";
  header.dest_file = "out\\ui.wdf";
  EXPECT_EQ(RebuildScriptText(header, {}),
            "#SrcPath=..\\\r\n#SrcFile=ui.wdf\r\n#DestPath=..\\..\\\r\n#DestFile=out\\ui.wdf\r\n");
}

}  // namespace
}  // namespace velmora
