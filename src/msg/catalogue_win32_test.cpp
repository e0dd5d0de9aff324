// The catalogue as the program sees it on Windows: the string table linked into this test
// program, delivered by the system in the ANSI code page (GBK under code page 936).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msg/catalogue.h"
#include "msg/format.h"

namespace velmora {
namespace {

// UTF-8 text in the ANSI code page, converted by the system itself.
std::string SystemAnsiFromUtf8(const std::string& utf8) {
  int wide_length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                        static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(wide_length, L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                      &wide[0], wide_length);
  BOOL lossy = FALSE;
  int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, &lossy);
  std::string ansi(length, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, &ansi[0], length, nullptr, &lossy);
  EXPECT_FALSE(lossy) << "the code page lacks characters of \"" << utf8 << "\"";
  return ansi;
}

class CatalogueInCodePage936 : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(936u, GetACP()) << "tests run with the Chinese locale"; }
};

TEST_F(CatalogueInCodePage936, EveryTextArrivesInGbk) {
  struct Entry {
    MessageKey Key;
    const char* Name;
    const char* Utf8;
  };
  const std::vector<Entry> entries = {
#define VELMORA_MESSAGE(key, id, text) {MessageKey::key, #key, text},
#include "catalogue.def"
#undef VELMORA_MESSAGE
  };
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.Name);
    const std::string loaded = LoadMessage(entry.Key);
    EXPECT_EQ(SystemAnsiFromUtf8(entry.Utf8), loaded);
    // Fetched anew each time, with the same result.
    EXPECT_EQ(loaded, LoadMessage(entry.Key));
  }
}

TEST_F(CatalogueInCodePage936, KnownGbkBytes) {
  EXPECT_EQ("\xB4\xD3\xA3\xBA", LoadMessage(MessageKey::MsgFromPrefix));
  EXPECT_EQ("\xBD\xC5\xB1\xBE\xD6\xB4\xD0\xD0\xB4\xED\xCE\xF3\r\r%s\r%s",
            LoadMessage(MessageKey::MsgScriptError));
  EXPECT_EQ(
      "\xCE\xC4\xBC\xFE\xB4\xF2\xB0\xFC\xCA\xA7\xB0\xDC\xA3\xAC\xC8\xCE\xCE\xF1\xB1\xBB\xD6\xD0"
      "\xB6\xCF    \r\r\xB4\xD3\xA3\xBA a\r\xB5\xBD\xA3\xBA b",
      Message(MessageKey::MsgPackFailed, {"a", "b"}));
}

TEST_F(CatalogueInCodePage936, MissingKeyGivesTheEmptyText) {
  EXPECT_EQ("", LoadMessage(static_cast<MessageKey>(1000)));
  // One past the last message of the list.
  unsigned last = 0;
#define VELMORA_MESSAGE(key, id, text) last = id > last ? id : last;
#include "catalogue.def"
#undef VELMORA_MESSAGE
  EXPECT_EQ("", LoadMessage(static_cast<MessageKey>(last + 1)));
  EXPECT_EQ("", LoadMessage(static_cast<MessageKey>(40000)));
}

}  // namespace
}  // namespace velmora
