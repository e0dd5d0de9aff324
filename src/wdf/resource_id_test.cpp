#include "wdf/resource_id.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Both readers share the digits rule; only the command-line form takes a prefix.
TEST(ResourceIdTest, ParsedByTheOneRuleAndItsCommandLinePrefixes) {
  const struct {
    const char* Text;
    bool AsKey;       // accepted as a rule key or reference
    bool AsArgument;  // accepted as a command argument
    uint32_t Id;
  } cases[] = {
      {"0000A1B2", true, true, 0xA1B2},
      {"a1b2", true, true, 0xA1B2},
      {"000000000000A1B2", true, true, 0xA1B2},
      {"FFFFFFFF", true, true, 0xFFFFFFFF},
      {"0fFfFfFfF", true, true, 0xFFFFFFFF},
      {"0", true, true, 0},
      {"00000000000", true, true, 0},
      {"@0000A1B3", false, true, 0xA1B3},
      {"0xa1b3", false, true, 0xA1B3},
      {"0XA1B3", false, true, 0xA1B3},
      {"@ffffffff", false, true, 0xFFFFFFFF},
      {"", false, false, 0},
      {"@", false, false, 0},
      {"0x", false, false, 0},
      {"@0x12", false, false, 0},
      {"1A2B3C4D5", false, false, 0},
      {"100000000", false, false, 0},
      {"-1", false, false, 0},
      {"+1", false, false, 0},
      {" A1B2", false, false, 0},
      {"A1B2 ", false, false, 0},
      {"$A1B2", false, false, 0},
      {"G1", false, false, 0},
      {"1 2", false, false, 0},
  };
  for (const auto& c : cases) {
    uint32_t key = 7;
    uint32_t argument = 7;
    EXPECT_EQ(ParseHexId(c.Text, &key), c.AsKey) << '"' << c.Text << '"';
    EXPECT_EQ(ParseIdArgument(c.Text, &argument), c.AsArgument) << '"' << c.Text << '"';
    EXPECT_EQ(key, c.AsKey ? c.Id : 7u) << c.Text;
    EXPECT_EQ(argument, c.AsArgument ? c.Id : 7u) << c.Text;
  }
}

TEST(ResourceIdTest, PrintedAsEightUpperCaseDigits) {
  EXPECT_EQ(FormatId(0), "00000000");
  EXPECT_EQ(FormatId(0xA1B3), "0000A1B3");
  EXPECT_EQ(FormatId(0xFFFFFFFF), "FFFFFFFF");
}

}  // namespace
}  // namespace velmora
