#include "wdf/entry_kind.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_file_system.h"

namespace velmora {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// An uncompressed true-colour picture header of `w` x `h` at 24 bits.
std::string TgaHeader(int type, int w, int h) {
  return Bytes({0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, w, 0, h, 0, 24, 0});
}

struct KindCase {
  const char* Name;
  std::string Head;
  uint64_t Size;  // 0: the head's own size
  EntryKind Kind;
};

TEST(EntryKindTest, KindsFromTheFirstBytes) {
  const std::string bmp = "BM" + std::string(12, '\0') + Bytes({40, 0, 0, 0});
  const std::vector<KindCase> cases = {
      {"bmp", bmp, 0, EntryKind::kBmp},
      {"BM with an unknown info header", "BM" + std::string(12, '\0') + Bytes({41, 0, 0, 0}), 0,
       EntryKind::kData},
      {"png", "\x89PNG\r\n\x1A\n" + std::string(8, '\0'), 0, EntryKind::kPng},
      {"jpg", Bytes({0xFF, 0xD8, 0xFF, 0xE0}), 0, EntryKind::kJpg},
      {"gif", "GIF89a" + std::string(7, '\0'), 0, EntryKind::kGif},
      {"wav", "RIFF" + std::string(4, '\0') + "WAVEfmt ", 0, EntryKind::kWav},
      {"riff that is no sound", "RIFF" + std::string(4, '\0') + "AVI LIST", 0, EntryKind::kData},
      {"ogg", std::string("OggS\0\2", 6), 0, EntryKind::kOgg},
      {"mp3 tag", std::string("ID3\3\0\0", 6), 0, EntryKind::kMp3},
      {"mp3 frame", Bytes({0xFF, 0xFB, 0x90, 0x64}), 0, EntryKind::kMp3},
      {"frame with a bad bitrate", Bytes({0xFF, 0xFB, 0xF0, 0x64}), 0, EntryKind::kData},
      {"nested archive", "PFDW" + std::string(8, '\0'), 0, EntryKind::kWdf},
      {"tga", TgaHeader(2, 2, 2), 18 + 12, EntryKind::kTga},
      {"tga header without its pixels", TgaHeader(2, 2, 2), 18 + 11, EntryKind::kData},
      {"tga with a type it lacks", TgaHeader(4, 2, 2), 18 + 12, EntryKind::kData},
      {"ascii text", "title=Spring\r\nname=hero\n", 0, EntryKind::kText},
      {"code page 936 text", "\xD6\xD0\xCE\xC4\r\n", 0, EntryKind::kText},
      {"utf-8 text", "\xE4\xB8\xAD\xE6\x96\x87\n", 0, EntryKind::kText},
      {"utf-8 cut by the sample", "ab\xE4\xB8", 100, EntryKind::kText},
      {"a character cut at the entry's end", "ab\xE4", 0, EntryKind::kData},
      {"control bytes", std::string("ab\0cd", 5), 0, EntryKind::kData},
      {"empty", "", 0, EntryKind::kEmpty},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(DetectEntryKind(c.Head, c.Size ? c.Size : c.Head.size()), c.Kind);
  }
}

TEST(EntryKindTest, NamesAndExtensions) {
  EXPECT_STREQ(EntryKindName(EntryKind::kOutOfBounds), "out-of-bounds");
  EXPECT_STREQ(EntryKindExtension(EntryKind::kText), "txt");
  EXPECT_STREQ(EntryKindExtension(EntryKind::kData), "bin");
  EXPECT_STREQ(EntryKindExtension(EntryKind::kEmpty), "dat");
  EXPECT_STREQ(EntryKindExtension(EntryKind::kJpg), "jpg");
}

TEST(EntryKindTest, EntriesOutsideTheFileAreNeverRead) {
  MemoryFileSystem files;
  files.PutFile("C:\\a", "0123456789");
  files.FailReadsOfFrom("C:\\a", 0);
  auto stream = files.OpenShared("C:\\a");
  EntryKind kind = EntryKind::kData;
  EXPECT_TRUE(ReadEntryKind(*stream, {1, 5, 6, 0}, 10, &kind));
  EXPECT_EQ(kind, EntryKind::kOutOfBounds);
  EXPECT_TRUE(ReadEntryKind(*stream, {1, 3, 0, 0}, 10, &kind));
  EXPECT_EQ(kind, EntryKind::kEmpty);
  EXPECT_FALSE(ReadEntryKind(*stream, {1, 0, 4, 0}, 10, &kind));
}

}  // namespace
}  // namespace velmora
