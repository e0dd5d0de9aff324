#include "cli/script_warnings.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using K = ScriptWarningKind;

TEST(ScriptWarnings, NameTheLinesTheRunIgnoresOrReadsOtherwise) {
  const struct {
    const char* Line;  // the script's second line; its first is "#SrcFile=ui.wdf"
    bool Warned;
    K Kind;
    const char* Detail;
  } cases[] = {
      {"@00000001=@Delete", false, K::kUnknownKey, ""},
      {"#DestFile=out.wdf ; a comment", false, K::kUnknownKey, ""},
      {"#destfile=out.wdf", false, K::kUnknownKey, ""},  // the run ignores case
      {"; #DestFlie=not a key, a comment", false, K::kUnknownKey, ""},
      {"#DestFlie=out.wdf", true, K::kUnknownKey, "#DestFile"},
      {"#Comment=free text", true, K::kUnknownKey, ""},
      {" @00000001=@Delete", true, K::kBlankBeforeKey, "@00000001"},
      {"\t#DestFile=out.wdf", true, K::kBlankBeforeKey, "#DestFile"},
      {"@00000001 =@Delete", true, K::kBlankBeforeEquals, "@00000001"},
      {"00000001=@Delete", true, K::kRuleWithoutAt, "@00000001"},
      {"@A1B3=@Delete", true, K::kShortRuleId, "@A1B3"},
      {"#SrcFile=other.wdf", true, K::kRepeatedKey, "#SrcFile"},
      {"@0000000A=@Delete", true, K::kIdNotInSource, "@0000000A"},
  };
  const std::unordered_set<uint32_t> source_ids = {1, 2};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Line);
    const ScriptLines script(std::string("#SrcFile=ui.wdf\r\n") + c.Line + "\r\n");
    const std::vector<ScriptWarning> warnings = FindScriptWarnings(script, &source_ids);
    ASSERT_EQ(c.Warned ? 1u : 0u, warnings.size());
    if (!c.Warned) continue;
    EXPECT_EQ(c.Kind, warnings[0].Kind);
    EXPECT_EQ(2u, warnings[0].Line);
    EXPECT_EQ(c.Line, warnings[0].Text);
    EXPECT_EQ(c.Detail, warnings[0].Detail);
    EXPECT_EQ(c.Kind == K::kRepeatedKey ? 1u : 0u, warnings[0].Other);
  }
}

// A byte-order mark marks the encoding: the key after it is read as the key, and nothing is
// said about it.
TEST(ScriptWarnings, ByteOrderMarkRepeatedIdsAndAnUnreadSource) {
  const ScriptLines script(
      "\xEF\xBB\xBF#SrcFile=ui.wdf\r\n@00000001=@Delete\r\n@00000002=a.bin\r\n"
      "@00000001=@00000002\r\n@00000009=@Delete\r\n");
  const std::vector<ScriptWarning> warnings = FindScriptWarnings(script, nullptr);
  ASSERT_EQ(1u, warnings.size());
  EXPECT_EQ(K::kRepeatedKey, warnings[0].Kind);
  EXPECT_EQ(4u, warnings[0].Line);
  EXPECT_EQ(2u, warnings[0].Other);  // without the source, id 9 is not judged
}

// A rule for an id the source lacks is a line the run never carries out, unless #AddEntries=yes
// makes it add the entry, as its writer meant: then check says nothing about it.
TEST(ScriptWarnings, RulesForIdsTheSourceLacksAreNamedUnlessEntriesAreAdded) {
  const struct {
    const char* Switch;
    bool Warned;
  } cases[] = {
      {"", true},
      {"#AddEntries=yes\r\n", false},
      {"#addentries= YES ; as written on Windows\r\n", false},
      {"#AddEntries=no\r\n", true},
      {"#AddEntries=\r\n", true},
      {"; #AddEntries=yes\r\n", true},
  };
  const std::unordered_set<uint32_t> source_ids = {1};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Switch);
    const ScriptLines script(std::string("#SrcFile=ui.wdf\r\n") + c.Switch +
                             "@00000001=@Delete\r\n@00000009=nine.bin\r\n");
    const std::vector<ScriptWarning> warnings = FindScriptWarnings(script, &source_ids);
    ASSERT_EQ(c.Warned ? 1u : 0u, warnings.size());
    if (c.Warned) {
      EXPECT_EQ(K::kIdNotInSource, warnings[0].Kind);
    }
  }
}

TEST(ScriptWarnings, Utf16IsRecognisedWithAndWithoutItsMark) {
  const std::string ascii_le("#\0S\0r\0c\0F\0i\0l\0e\0=\0u\0i\0", 22);
  EXPECT_TRUE(LooksLikeUtf16("\xFF\xFE" + ascii_le));
  EXPECT_TRUE(LooksLikeUtf16(std::string("\xFE\xFF\0#", 4)));
  EXPECT_TRUE(LooksLikeUtf16(ascii_le));
  EXPECT_FALSE(LooksLikeUtf16("#SrcFile=ui.wdf\r\n"));
  EXPECT_FALSE(LooksLikeUtf16("\xEF\xBB\xBF#SrcFile=\xD4\xB4.wdf"));
  EXPECT_FALSE(LooksLikeUtf16(""));
}

}  // namespace
}  // namespace velmora
