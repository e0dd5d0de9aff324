#include "studio/preview_content.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(PreviewContentTest, HexDumpShowsOffsetsBytesAndPrintableText) {
  EXPECT_EQ(HexDump(""), "");
  EXPECT_EQ(HexDump(std::string("PFDW\0\x01", 6) + "0123456789AB"),
            "00000000  50 46 44 57 00 01 30 31  32 33 34 35 36 37 38 39  PFDW..0123456789\r\n"
            "00000010  41 42                                             AB\r\n");
}

TEST(PreviewContentTest, TextIsUtf8OnlyWhenItIsValidUtf8) {
  EXPECT_EQ(PreviewTextEncoding("plain"), TextEncoding::kUtf8);
  EXPECT_EQ(PreviewTextEncoding("\xe4\xb8\xad\xe6\x96"), TextEncoding::kUtf8) << "cut at the end";
  EXPECT_EQ(PreviewTextEncoding("\xd6\xd0\xce\xc4"), TextEncoding::kCp936);
  EXPECT_EQ(PreviewTextEncoding("\xed\xa0\x80"), TextEncoding::kCp936) << "a surrogate";
  EXPECT_EQ(PreviewTextEncoding("\xc0\xaf"), TextEncoding::kCp936) << "an overlong form";
}

TEST(PreviewContentTest, NestedArchivesTellTheirEntryCount) {
  uint32_t count = 0;
  EXPECT_TRUE(NestedArchiveCount(std::string("PFDW\x07\0\0\0\x0c\0\0\0", 12), &count));
  EXPECT_EQ(count, 7u);
  EXPECT_FALSE(NestedArchiveCount("PFDW", &count));
  EXPECT_FALSE(NestedArchiveCount(std::string("WDFP\x07\0\0\0\x0c\0\0\0", 12), &count));
}

}  // namespace
}  // namespace velmora
