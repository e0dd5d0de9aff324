#include "cli/script_from_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

TEST(ScriptFromDirTest, FileNamesAsExtractionWritesThem) {
  struct Case {
    const char* Name;
    bool Ok;
    uint32_t Id;
    uint32_t Occurrence;
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
    EXPECT_EQ(ParseEditedFileName(c.Name, &parsed), c.Ok) << c.Name;
    if (!c.Ok) continue;
    EXPECT_EQ(parsed.Id, c.Id) << c.Name;
    EXPECT_EQ(parsed.Occurrence, c.Occurrence) << c.Name;
  }
}

TEST(ScriptFromDirTest, FolderFilesSortedAgainstTheIndex) {
  ArchiveIndex index;
  index.Entries = {{0x30, 0, 0, 0}, {0x10, 0, 0, 0}, {0x20, 0, 0, 0}, {0x10, 0, 0, 0}};
  const FolderSorting sorting =
      SortFolderFiles(index, {"00000010-2.bin", "00000010-3.bin", "00000010.bin", "00000020.bmp",
                              "00000020.png", "00000030.txt", "00000040.bin", "readme.txt"});
  ASSERT_EQ(sorting.Files.size(), 3u);
  EXPECT_EQ(sorting.Files[0].Name, "00000030.txt");  // the index's order, not the names'
  EXPECT_EQ(sorting.Files[1].Name, "00000010.bin");
  EXPECT_EQ(sorting.Files[1].Entry, 1u);
  EXPECT_EQ(sorting.Files[2].Name, "00000020.bmp");
  const std::vector<std::pair<std::string, UnusableReason>> unusable = {
      {"00000010-2.bin", UnusableReason::kUnreachable},
      {"00000010-3.bin", UnusableReason::kNotInArchive},
      {"00000020.png", UnusableReason::kSecondFile},
      {"00000040.bin", UnusableReason::kNotInArchive},
      {"readme.txt", UnusableReason::kNotAnId},
  };
  ASSERT_EQ(sorting.Unusable.size(), unusable.size());
  for (size_t k = 0; k < unusable.size(); ++k) {
    EXPECT_EQ(sorting.Unusable[k].Name, unusable[k].first);
    EXPECT_EQ(sorting.Unusable[k].Reason, unusable[k].second) << unusable[k].first;
  }
  EXPECT_EQ(sorting.Unusable[2].Other, "00000020.bmp");

  // With --add, ids the archive lacks become new entries behind the others; later entries of
  // an id the archive lacks, and a second file for one, stay unusable.
  const FolderSorting adding = SortFolderFiles(
      index, {"00000005.bin", "00000005.txt", "00000010.bin", "00000040-2.bin", "00000040.bin"},
      true);
  ASSERT_EQ(adding.Files.size(), 3u);
  EXPECT_EQ(adding.Files[0].Name, "00000010.bin");
  EXPECT_FALSE(adding.Files[0].Added);
  EXPECT_EQ(adding.Files[1].Name, "00000005.bin");
  EXPECT_TRUE(adding.Files[1].Added);
  EXPECT_EQ(adding.Files[2].Name, "00000040.bin");
  ASSERT_EQ(adding.Unusable.size(), 2u);
  EXPECT_EQ(adding.Unusable[0].Reason, UnusableReason::kSecondFile);
  EXPECT_EQ(adding.Unusable[1].Reason, UnusableReason::kNotInArchive);
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
  header.SrcFile = "ui.wdf";
  EXPECT_EQ(WriteScriptText(header, {{0xA1B3, "edited\\0000A1B3.bmp"}}),
            "#SrcFile=ui.wdf\r\n@0000A1B3=edited\\0000A1B3.bmp\r\n");
  header.SrcPath = "..\\";
  header.DestPath = "..\\..\\";
  header.DestFile = "out\\ui.wdf";
  EXPECT_EQ(WriteScriptText(header, {}),
            "#SrcPath=..\\\r\n#SrcFile=ui.wdf\r\n#DestPath=..\\..\\\r\n#DestFile=out\\ui.wdf\r\n");
}

}  // namespace
}  // namespace velmora
