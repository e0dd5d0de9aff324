#include "cli/json_text.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(JsonText, EveryTextBecomesAnAsciiJsonString) {
  const struct {
    std::string Utf8;
    const char* json;
  } cases[] = {
      {"", "\"\""},
      {"D:\\Game\\ui.wdf", "\"D:\\\\Game\\\\ui.wdf\""},  // backslashes as written
      {"say \"yes\"\r\n\t", "\"say \\\"yes\\\"\\r\\n\\t\""},
      {std::string("a\0b\x7f", 4), "\"a\\u0000b\\u007f\""},
      {"源文件", "\"\\u6e90\\u6587\\u4ef6\""},
      {"\xF0\x9F\x98\x80", "\"\\ud83d\\ude00\""},     // beyond U+FFFF: a surrogate pair
      {"\xB4\xD4x", "\"\\ufffd\\ufffdx\""},           // GBK bytes are no UTF-8
      {"\xE6\xBA", "\"\\ufffd\\ufffd\""},             // cut short at the end
      {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},  // a surrogate written out
  };
  for (const auto& c : cases) EXPECT_EQ(c.json, JsonString(c.Utf8)) << c.Utf8;
}

}  // namespace
}  // namespace velmora
