// Double-byte characters on the command line, with GBK's lead bytes installed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/command_line.h"
#include "testing/gbk_lead_bytes.h"

namespace velmora {
namespace {

using Words = std::vector<std::string>;

class DoubleByteCommandLine : public ::testing::Test {
 protected:
  GbkLeadBytes gbk_;
};

// Trail bytes that look like a quote, a blank or a backslash belong to their character.
TEST_F(DoubleByteCommandLine, TrailBytesAreNeverSyntax) {
  const struct {
    const char* Line;
    Words Expected;
  } cases[] = {
      {"prog \"\x95\x22 a\" b", {"prog", "\x95\x22 a", "b"}},  // the quote does not close
      {"prog \x95\x22 b", {"prog", "\x95\x22", "b"}},          // nor open a stretch
      {"prog \x81\x20x y", {"prog", "\x81\x20x", "y"}},        // the blank does not separate
      {"prog C:\\\xD5\x5C\\\"a b.vlm\"", {"prog", "C:\\\xD5\x5C\\a b.vlm"}},
      {"prog a\x81", {"prog", "a\x81"}},  // a lead byte at the end is a character of its own
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.Expected, SplitCommandLine(c.Line)) << testing::PrintToString(c.Line);
  }
}

}  // namespace
}  // namespace velmora
