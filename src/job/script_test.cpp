#include "job/script.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sys/code_page.h"
#include "testing/memory_file_system.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

std::vector<std::string> Lines(const ScriptLines& script) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < script.Count(); ++i) lines.push_back(script.TextAt(i));
  return lines;
}

std::vector<std::string> LinesOf(const std::string& bytes) { return Lines(ScriptLines(bytes)); }

using Texts = std::vector<std::string>;

// A byte string that may hold zero bytes.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

TEST(ScriptLines, SplitsAtEveryLineBreakAndEndsAtTheFirstZeroByte) {
  const Texts four = {"#SrcFile=a.wdf", "", "@00000001=", "x"};
  const struct {
    std::string Bytes;
    Texts Lines;
  } cases[] = {
      {"#SrcFile=a.wdf\r\n\r\n@00000001=\r\nx\r\n", four},
      {"#SrcFile=a.wdf\r\r@00000001=\rx\r", four},
      {"#SrcFile=a.wdf\n\n@00000001=\nx\n", four},
      {"#SrcFile=a.wdf\r\n\r@00000001=\nx", four},
      // A line feed before a carriage return ends two lines.
      {"a\n\rb", {"a", "", "b"}},
      {"a\n\r", {"a", ""}},
      {"a\r\n\n\r", {"a", "", ""}},
      // The last line needs no break, and a final break adds none.
      {"#SrcFile=a.wdf", {"#SrcFile=a.wdf"}},
      {"#SrcFile=a.wdf\r\n", {"#SrcFile=a.wdf"}},
      {"\r\n", {""}},
      {"\n\n", {"", ""}},
      {"", {}},
      // The first zero byte ends the text.
      {Bytes("#SrcFile=a.wdf\r\n@1\0=x\r\n#DestFile=b.wdf\r\n"), {"#SrcFile=a.wdf", "@1"}},
      {Bytes("\0#SrcFile=a.wdf"), {}},
      {Bytes("a\r\n\0b"), {"a"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Lines, LinesOf(c.Bytes)) << "script " << testing::PrintToString(c.Bytes);
  }
  EXPECT_EQ(-1, ScriptLines(Bytes("#SrcFile=a.wdf\n\0#DestFile=b.wdf\n")).FindKey("#DestFile"));
}

TEST(ScriptLines, NothingIsTrimmedOrConverted) {
  ScriptLines script("#SrcFile=a.wdf\r\n \t#x= y \r\n\xB5\xC4=\x80\xFF");
  EXPECT_EQ((Texts{"#SrcFile=a.wdf", " \t#x= y ", "\xB5\xC4=\x80\xFF"}), Lines(script));
  EXPECT_FALSE(script.HasByteOrderMark());
  for (size_t i = 0; i < script.Count(); ++i) EXPECT_EQ(0, script.UsedMarkAt(i));
}

// A UTF-8 byte-order mark says how the text is encoded, and nothing else: the key written first
// is that key, for every program that reads the script. Only the very first bytes are a mark.
TEST(ScriptLines, AByteOrderMarkAtTheStartMarksTheEncodingAndIsNoPartOfTheFirstKey) {
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    std::string Bytes;
    Texts Lines;
    bool Mark;
    int DestFileLine;
  } cases[] = {
      {bom + "#DestFile=b.wdf\r\n#SrcFile=a.wdf", {"#DestFile=b.wdf", "#SrcFile=a.wdf"}, true, 0},
      {bom + "\r\n#DestFile=b.wdf", {"", "#DestFile=b.wdf"}, true, 1},
      {bom, {}, true, -1},
      {bom + bom + "#DestFile=b.wdf", {bom + "#DestFile=b.wdf"}, true, -1},
      {"\r\n" + bom + "#DestFile=b.wdf", {"", bom + "#DestFile=b.wdf"}, false, -1},
      {"\xEF\xBB#DestFile=b.wdf", {"\xEF\xBB#DestFile=b.wdf"}, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.Bytes));
    const ScriptLines script(c.Bytes);
    EXPECT_EQ(c.Lines, Lines(script));
    EXPECT_EQ(c.Mark, script.HasByteOrderMark());
    EXPECT_EQ(c.DestFileLine, script.FindKey("#DestFile"));
  }
}

TEST(ScriptLines, UsedMarksStartAtZeroAndStayOnceSet) {
  ScriptLines script("@00000001=\n@00000002=\n");
  script.SetUsedMark(1);
  script.SetUsedMark(1);
  EXPECT_EQ(0, script.UsedMarkAt(0));
  EXPECT_EQ(1, script.UsedMarkAt(1));
}

TEST(FindKey, IgnoresLetterCaseButNotBlanks) {
  ScriptLines script("#SrcFile =blank\r\n #SrcFile=indented\r\n#SRCFILE=a.wdf\r\n");
  EXPECT_EQ(2, script.FindKey("#SrcFile"));
  EXPECT_EQ(2, script.FindKey("#srcfile"));
  EXPECT_EQ(0, script.FindKey("#SrcFile "));
  EXPECT_EQ(-1, script.FindKey("#SrcFil"));
  EXPECT_EQ(-1, script.FindKey("#SrcFile="));
}

TEST(FindKey, LinesWithoutSeparatorNeverMatch) {
  ScriptLines script("#SrcFile\n#RunEnd\n=no name\n#RunEnd=\n");
  EXPECT_EQ(-1, script.FindKey("#SrcFile"));
  EXPECT_EQ(3, script.FindKey("#RunEnd"));
  EXPECT_EQ(2, script.FindKey(""));  // a line may have an empty name
  EXPECT_EQ("", script.NameAt(0));
  EXPECT_EQ("", script.ValueAt(0));
  EXPECT_EQ("", script.NameAt(2));
  EXPECT_EQ("no name", script.ValueAt(2));
}

TEST(FindKey, ValueIsEverythingAfterTheFirstSeparator) {
  ScriptLines script("#Author=a=b\n#Date= x ; y \n");
  EXPECT_EQ("#Author", script.NameAt(0));
  EXPECT_EQ("a=b", script.ValueAt(script.FindKey("#Author")));
  EXPECT_EQ(" x ; y ", script.ValueAt(script.FindKey("#Date")));
}

TEST(FindKey, EntryRuleNeedsAllEightDigitsInEitherCase) {
  const std::string key = EntryKey(0x1A2B);
  ASSERT_EQ("@00001A2B", key);
  EXPECT_EQ(0, ScriptLines("@00001A2B=\n").FindKey(key));
  EXPECT_EQ(0, ScriptLines("@00001a2b=\n").FindKey(key));
  EXPECT_EQ(-1, ScriptLines("@1A2B=\n@00001A2B =\n @00001A2B=\n;@00001A2B=\n").FindKey(key));
  EXPECT_EQ(-1, ScriptLines("@000001A2B=\n@0001A2B=\n").FindKey(key));
  // Lower-case key and the header keys still go through the same rules.
  EXPECT_EQ(1, ScriptLines("@00001a2c=\n@00001A2B=\n").FindKey("@00001a2b"));
}

// The plain rule: the first line, from the top, whose name equals the key.
int FindByScanning(const ScriptLines& script, const std::string& key) {
  for (size_t i = 0; i < script.Count(); ++i) {
    const std::string& text = script.TextAt(i);
    size_t separator = FindChar(text, '=');
    if (separator != std::string::npos && EqualIgnoringCase(text.substr(0, separator), key)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

TEST(FindKey, AgreesWithAPlainScanOverGeneratedScripts) {
  // Names that are, or nearly are, entry rules and header keys, mixed in random order, case
  // and multiplicity.
  const std::vector<std::string> names = {"@00001A2B",
                                          "@00001a2b",
                                          "@00001A2C",
                                          "@0000a1B2",
                                          "@FFFFFFFF",
                                          "@ffffffff",
                                          "@00000000",
                                          "@1A2B",
                                          "@00001A2B ",
                                          " @00001A2B",
                                          ";@00001A2B",
                                          "@00001A2BX",
                                          "@00001A2-",
                                          "@0000'1A2",
                                          "#SrcFile",
                                          "#srcfile",
                                          "#RunEnd",
                                          "",
                                          "\xB5\x40",
                                          "@00001A2\x01",
                                          "@\xD6\xD0",
                                          "x",
                                          "@00001A2B\x01",
                                          "\xA3\xC0"
                                          "00001A2B",
                                          "@0000-1A2B",
                                          "'@00001A2B",
                                          "\xA3\xBB@00001A2B",
                                          "@00001A2\xB0\x61",
                                          "#Src-File",
                                          "#SrcFil\xA3\xC5"};
  const std::vector<std::string> keys = {EntryKey(0x1A2B),
                                         "@00001a2b",
                                         EntryKey(0x1A2C),
                                         EntryKey(0xA1B2),
                                         EntryKey(0xFFFFFFFF),
                                         EntryKey(0),
                                         EntryKey(7),
                                         "#SrcFile",
                                         "#RUNEND",
                                         "@1A2B",
                                         "",
                                         "x"};
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    std::string bytes;
    int line_count = static_cast<int>(random() % 40);
    for (int i = 0; i < line_count; ++i) {
      switch (random() % 6) {
        case 0:
          bytes += names[random() % names.size()];  // no separator
          break;
        default:
          bytes += names[random() % names.size()] + "=v" + std::to_string(i);
      }
      bytes += random() % 2 ? "\r\n" : "\n";
    }
    ScriptLines script(bytes);
    for (const std::string& key : keys) {
      ASSERT_EQ(FindByScanning(script, key), script.FindKey(key))
          << "key \"" << key << "\" in script:\n"
          << bytes;
    }
  }
}

TEST(CleanScriptValue, TrimsCutsAtSemicolonTrimsAgainAndReplacesBackslashN) {
  const struct {
    std::string Value;
    bool KeepEscapes;
    const char* Expected;
  } cases[] = {
      {"  a.wdf ; old name  ", true, "a.wdf"},
      {"\t a.wdf\x01\x1F \r", true, "a.wdf"},
      {";a.wdf", true, ""},
      {"   ", true, ""},
      {"x=y", true, "x=y"},
      {" a ; b ; c", true, "a"},
      {Bytes("\0a\0"), true, "a"},
      {" \xA0x\xFF ", true, "\xA0x\xFF"},  // bytes of 128 and above are text, never blanks
      {" Replace.\\nBack up!   ; shown first", true, "Replace.\\nBack up!"},
      {" Replace.\\nBack up!   ; shown first", false, "Replace.\rBack up!"},
      {"a\\Nb", false, "a\\Nb"},
      {"\\\\n", false, "\\\r"},  // backslash, then the escape
      {"\\n\\n", false, "\r\r"},
      {" \\nx\\n ", false, "\rx\r"},  // no trim after replacing
      {"a\\tb\\", false, "a\\tb\\"},
      {"n", false, "n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Expected, CleanScriptValue(c.Value, c.KeepEscapes))
        << testing::PrintToString(c.Value) << (c.KeepEscapes ? " keeping escapes" : "");
  }
}

TEST(EntryKey, EightUpperCaseDigits) {
  EXPECT_EQ("@00000000", EntryKey(0));
  EXPECT_EQ("@0000A1B2", EntryKey(0xA1B2));
  EXPECT_EQ("@FFFFFFFF", EntryKey(0xFFFFFFFF));
  EXPECT_EQ("@80000000", EntryKey(0x80000000));
}

TEST(PathSegments, SplitAtTheLastSlash) {
  EXPECT_EQ("@10", LastPathSegment("a/b/@10"));
  EXPECT_EQ("a/b", PathBeforeLastSlash("a/b/@10"));
  EXPECT_EQ("", LastPathSegment("a/"));
  EXPECT_EQ("a", PathBeforeLastSlash("a/"));
  EXPECT_EQ("extra\\icons.wdf", PathBeforeLastSlash("extra\\icons.wdf/@00000010"));
  EXPECT_EQ("pic\\title.bmp", LastPathSegment("pic\\title.bmp"));
  EXPECT_EQ("pic\\title.bmp", PathBeforeLastSlash("pic\\title.bmp"));
  EXPECT_EQ("@1", LastPathSegment("/@1"));
  EXPECT_EQ("", PathBeforeLastSlash("/@1"));
  EXPECT_EQ("", LastPathSegment(""));
}

TEST(LoadScript, ReadsTheWholeFile) {
  MemoryFileSystem files;
  files.PutFile("C:\\s\\ui.vlm", "#SrcFile=a.wdf\r\n@00000001=@Delete");
  EXPECT_EQ((Texts{"#SrcFile=a.wdf", "@00000001=@Delete"}),
            Lines(LoadScript(files, "C:\\s\\ui.vlm")));
  EXPECT_EQ(0, files.OpenStreamCount());
  files.PutFile("C:\\s\\empty.vlm", "");
  EXPECT_EQ(0u, LoadScript(files, "C:\\s\\empty.vlm").Count());
  // More than one read takes.
  std::string bytes;
  for (uint32_t id = 0; id < 50000; ++id) bytes += EntryKey(id) + "=@Delete\r\n";
  files.PutFile("C:\\big.vlm", bytes);
  ScriptLines script = LoadScript(files, "C:\\big.vlm");
  ASSERT_EQ(50000u, script.Count());
  EXPECT_EQ(49999, script.FindKey("@0000c34f"));
}

TEST(LoadScript, OpenFailureRaisesTheFileLayersError) {
  MemoryFileSystem files;
  files.PutFile("C:\\s\\ui.vlm", "#SrcFile=a.wdf");
  files.FailOpensOf("C:\\s\\ui.vlm", SystemErrorSharingViolation());
  try {
    LoadScript(files, "C:\\s\\ui.vlm");
    FAIL() << "no failure raised";
  } catch (const AppFailure& failure) {
    EXPECT_STREQ("EFOpenError", failure.TypeName());
    SetLastSystemError(SystemErrorSharingViolation());
    EXPECT_EQ("Cannot open file \"C:\\s\\ui.vlm\". " + LastSystemErrorText(), failure.what());
  }
}

TEST(LoadScript, ShortReadRaisesAReadError) {
  MemoryFileSystem files;
  files.PutFile("C:\\s\\ui.vlm", "#SrcFile=a.wdf\r\n#DestFile=b.wdf\r\n");
  files.FailReadsOfFrom("C:\\s\\ui.vlm", 10);
  try {
    LoadScript(files, "C:\\s\\ui.vlm");
    FAIL() << "no failure raised";
  } catch (const AppFailure& failure) {
    EXPECT_STREQ("EReadError", failure.TypeName());
    EXPECT_EQ(0, std::string(failure.what()).find("Cannot read file \"C:\\s\\ui.vlm\". "))
        << failure.what();
  }
  EXPECT_EQ(0, files.OpenStreamCount());
}

}  // namespace
}  // namespace velmora
