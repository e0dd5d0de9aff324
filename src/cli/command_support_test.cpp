#include "cli/command_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/listing_format.h"
#include "testing/memory_console.h"

namespace velmora {
namespace {

TEST(CommandSupportTest, MessagesBecomeTerminalLines) {
  MemoryConsole console;
  PrintError(console, "a    \r\rb\r\nc");
  EXPECT_EQ(console.ErrText, "a\n\nb\nc\n");  // the box's blanks do not end a terminal line
  console.ErrText.clear();
  PrintError(console, "ends\n");
  EXPECT_EQ(console.ErrText, "ends\n");
}

TEST(ListingFormatTest, TsvAndJsonForPrograms) {
  ArchiveIndex index;
  index.FileSize = 77;
  index.Header.IndexOffset = 45;
  index.Entries = {{0xA1B3, 12, 33, 0}, {7, 45, 0, 4}};
  const std::vector<EntryKind> kinds = {EntryKind::kBmp, EntryKind::kEmpty};
  MemoryConsole console;
  console.UsesChinese = true;  // programs read the same words in every language
  EXPECT_EQ(FormatListing(ListingForm::kTsv, index, kinds, console, "ignored"),
            "id\toffset\tsize\tspace\tkind\n0000A1B3\t12\t33\t0\tbmp\n00000007\t45\t0\t4\tempty\n");
  EXPECT_EQ(FormatListing(ListingForm::kJson, index, kinds, console, "ignored"),
            "{\"count\":2,\"index_offset\":45,\"file_size\":77,\"entries\":["
            "{\"id\":\"0000A1B3\",\"offset\":12,\"size\":33,\"space\":0,\"kind\":\"bmp\"},"
            "{\"id\":\"00000007\",\"offset\":45,\"size\":0,\"space\":4,\"kind\":\"empty\"}]}\n");
}

}  // namespace
}  // namespace velmora
