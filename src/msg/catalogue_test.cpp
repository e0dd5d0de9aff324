#include "msg/catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "msg/ansi_text.h"
#include "msg/format.h"

namespace velmora {
namespace {

struct CatalogueEntry {
  MessageKey Key;
  const char* Name;
  unsigned Id;
  const char* Utf8Text;
  const char* utf8_english;
};

const std::vector<CatalogueEntry>& CatalogueList() {
  static const std::vector<CatalogueEntry> list = {
#define VELMORA_MESSAGE(key, id, chinese, english) {MessageKey::key, #key, id, chinese, english},
#include "catalogue.def"
#undef VELMORA_MESSAGE
  };
  return list;
}

// The placeholders of a text in order, e.g. "sd" for "%s ... %d"; "%%" is none.
std::string Placeholders(const std::string& text) {
  std::string kinds;
  for (size_t pos = 0; pos < text.size(); ++pos) {
    if (text[pos] != '%') continue;
    if (text.compare(pos, 2, "%%") == 0) {
      ++pos;
    } else if (text.compare(pos, 2, "%s") == 0 || text.compare(pos, 2, "%d") == 0) {
      kinds += text[++pos];
    } else if (text.compare(pos, 4, "%.8x") == 0) {
      kinds += 'x';
      pos += 3;
    } else {
      kinds += '?';
    }
  }
  return kinds;
}

// The arguments each message is given by the program, in order.
std::string ExpectedPlaceholders(MessageKey key) {
  switch (key) {
    case MessageKey::MsgConfirmScriptSuffix:
    case MessageKey::MsgNoSource:
    case MessageKey::MsgSourcePathInvalid:
    case MessageKey::MsgTargetPathInvalid:
    case MessageKey::MsgFromPrefix:
    case MessageKey::MsgToPrefix:
    case MessageKey::MsgUnexecutedHeading:
    case MessageKey::MsgModNothingChanged:
    case MessageKey::MsgModUnfinished:
    case MessageKey::MsgModRecovered:
    case MessageKey::MsgModOtherBase:
      return "";
    case MessageKey::MsgSourceOpenFailed:
    case MessageKey::MsgTargetSameAsSource:
    case MessageKey::MsgTargetDirFailed:
    case MessageKey::MsgTargetCreateFailed:
    case MessageKey::MsgExternalIdInvalid:
    case MessageKey::MsgRefArchiveOpenFailed:
    case MessageKey::MsgRefArchiveIdNotFound:
    case MessageKey::MsgRefFileOpenFailed:
    case MessageKey::MsgPackSucceeded:
    case MessageKey::MsgPackFailed:
    case MessageKey::MsgScriptError:
    case MessageKey::MsgTargetWriteFailed:
    case MessageKey::MsgTargetReplaceFailed:
    case MessageKey::MsgBackupFailed:
    case MessageKey::MsgBackupRemoveFailed:
    case MessageKey::MsgPatchOtherBase:
    case MessageKey::MsgRestoredFrom:
    case MessageKey::MsgPathHasDrive:
    case MessageKey::MsgModPartOtherBase:
      return "ss";
    case MessageKey::MsgPatchApplyAnyway:
      return "";
    case MessageKey::MsgMoreEntries:
      return "d";
    case MessageKey::MsgDeletedCount:
      return "dd";
    case MessageKey::MsgAddedCount:
    case MessageKey::MsgModApplied:
    case MessageKey::MsgModUndone:
    case MessageKey::MsgModAlreadyApplied:
      return "d";
    default:
      return "s";
  }
}

TEST(Catalogue, EveryKeyHasItsTextWithTheExpectedPlaceholders) {
  for (const CatalogueEntry& entry : CatalogueList()) {
    SCOPED_TRACE(entry.Name);
    const std::string loaded = LoadMessage(entry.Key);
    EXPECT_EQ(AnsiFromUtf8(entry.Utf8Text), loaded);
    EXPECT_FALSE(loaded.empty());
    EXPECT_EQ(ExpectedPlaceholders(entry.Key), Placeholders(loaded));
  }
}

// The terminal tool's language: the same keys and placeholders, one language per text, and no
// line ending in blanks (the Chinese texts keep the blanks Velmora.exe's boxes show).
TEST(Catalogue, EnglishTextsMatchTheChineseOnesInPlaceholdersAndAreShownWhenChosen) {
  SetMessageLanguage(MessageLanguage::kEnglish);
  for (const CatalogueEntry& entry : CatalogueList()) {
    SCOPED_TRACE(entry.Name);
    const std::string english = LoadMessage(entry.Key);
    EXPECT_EQ(AnsiFromUtf8(entry.utf8_english), english);
    EXPECT_EQ(ExpectedPlaceholders(entry.Key), Placeholders(english));
    for (unsigned char c : english) EXPECT_LT(c, 0x80u) << english;
    for (size_t cr = english.find('\r'); cr != std::string::npos; cr = english.find('\r', cr + 1)) {
      EXPECT_TRUE(cr == 0 || english[cr - 1] != ' ') << english;
    }
  }
  EXPECT_EQ("Entries in the new archive: 8; deleted: 2",
            Message(MessageKey::MsgDeletedCount, {8, 2}));
  SetMessageLanguage(MessageLanguage::kChinese);
  EXPECT_EQ(AnsiFromUtf8("脚本文件 a 不存在"), Message(MessageKey::MsgScriptNotFound, {"a"}));
}

TEST(Catalogue, KeysAndIdsAreDistinct) {
  std::set<unsigned> ids;
  std::set<std::string> names;
  for (const CatalogueEntry& entry : CatalogueList()) {
    EXPECT_TRUE(ids.insert(entry.Id).second) << "id " << entry.Id << " twice";
    EXPECT_TRUE(names.insert(entry.Name).second) << entry.Name << " twice";
    EXPECT_EQ(entry.Id, static_cast<unsigned>(entry.Key)) << entry.Name;
    EXPECT_EQ(0, std::string(entry.Name).compare(0, 3, "Msg")) << entry.Name;
  }
  EXPECT_EQ(62u, CatalogueList().size());
}

TEST(Catalogue, KeyMissingFromTheResourcesGivesTheEmptyText) {
  EXPECT_EQ("", LoadMessage(static_cast<MessageKey>(999)));
  EXPECT_EQ("", LoadMessage(static_cast<MessageKey>(1999)));
  EXPECT_EQ("", Message(static_cast<MessageKey>(999), {"a"}));
}

TEST(Catalogue, TextsKeepTheirBlanksAndCarriageReturns) {
  EXPECT_EQ(AnsiFromUtf8("打开源文件 %s 失败    \r\r%s"),
            LoadMessage(MessageKey::MsgSourceOpenFailed));
  EXPECT_EQ(AnsiFromUtf8("\r\r确定执行这个脚本吗？"),
            LoadMessage(MessageKey::MsgConfirmScriptSuffix));
  EXPECT_EQ(AnsiFromUtf8("脚本执行错误\r\r@00000001=@XYZ\r引用的内部资源ID XYZ 无效"),
            Message(MessageKey::MsgScriptError,
                    {"@00000001=@XYZ", Message(MessageKey::MsgInternalIdInvalid, {"XYZ"})}));
  EXPECT_EQ(AnsiFromUtf8("新文件中资源数共 8 个，被删除 2 个"),
            Message(MessageKey::MsgDeletedCount, {8, 2}));
}

}  // namespace
}  // namespace velmora
