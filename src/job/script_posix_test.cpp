// The double-byte rules of the script, run natively with GBK's lead bytes installed.
#include <gtest/gtest.h>

#include "job/script.h"
#include "testing/gbk_lead_bytes.h"

namespace velmora {
namespace {

class ScriptInGbk : public ::testing::Test {
 protected:
  GbkLeadBytes gbk_;
};

// GBK characters whose second byte is a backslash (0x5C) and the letter n.
const char kTrailBackslash[] = "\xD5\x5C";  // one character ending in 0x5C
const char kTrailLetterN[] = "\xB5\x6E";    // one character ending in 'n'

TEST_F(ScriptInGbk, TrailBackslashBeforeNIsNoEscape) {
  const std::string value = std::string("a") + kTrailBackslash + "n";
  EXPECT_EQ(value, CleanScriptValue(value, false));
  // At the very end of a value, and after a real escape.
  const std::string ending = std::string("\\n") + kTrailBackslash + "nb";
  EXPECT_EQ(std::string("\r") + kTrailBackslash + "nb", CleanScriptValue(ending, false));
}

TEST_F(ScriptInGbk, EscapeAfterADoubleByteCharacterStillCounts) {
  const std::string value = std::string(kTrailBackslash) + "\\n" + kTrailLetterN;
  EXPECT_EQ(std::string(kTrailBackslash) + "\r" + kTrailLetterN, CleanScriptValue(value, false));
}

TEST_F(ScriptInGbk, SeparatorIsFoundByCharacters) {
  // A name holding a character whose trail byte is 0x5C keeps it whole; the first real '='
  // separates.
  const std::string name = std::string("#Author") + kTrailBackslash;
  ScriptLines script(name + "=x=y\r\n");
  EXPECT_EQ(name, script.NameAt(0));
  EXPECT_EQ("x=y", script.ValueAt(0));
  EXPECT_EQ(0, script.FindKey(name));
}

TEST_F(ScriptInGbk, LeadByteSwallowsTheByteAfterIt) {
  // 0x81 0x3D: a lead byte followed by '='. The system steps them as one character, so that
  // '=' is no separator; the next one is.
  ScriptLines script("a\x81=b=c\n");
  EXPECT_EQ("a\x81=b", script.NameAt(0));
  EXPECT_EQ("c", script.ValueAt(0));
  // A lead byte right before the line's end stands alone.
  ScriptLines alone("a\x81\nb=c\n");
  EXPECT_EQ("", alone.NameAt(0));
  EXPECT_EQ("b", alone.NameAt(1));
}

TEST_F(ScriptInGbk, DoubleByteCharactersNeverBreakLinesOrTrim) {
  // Line breaks are bytes: a CR or LF ends a line wherever it stands.
  ScriptLines script("#Date=\xB5\r\n#Author= \xD6\xD0 \n");
  ASSERT_EQ(2u, script.Count());
  EXPECT_EQ("\xB5", script.ValueAt(0));
  EXPECT_EQ("\xD6\xD0", CleanScriptValue(script.ValueAt(1), true));
}

}  // namespace
}  // namespace velmora
