#include "studio/studio_script.h"

#include <gtest/gtest.h>

#include "testing/pack_run_fixture.h"
#include "testing/memory_file_system.h"

namespace velmora {
namespace {

using pack_run_testing::MakeArchive;

// An archive of four entries (ids 1, 2, 3 and 2 again) at C:\mod\data\ui.wdf, with its script
// one level up in C:\mod\scripts.
class StudioScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.PutFile("C:\\mod\\data\\ui.wdf",
                   MakeArchive({{1, "one"}, {2, "two"}, {3, "three"}, {2, "later two"}}));
    ASSERT_TRUE(archive_.Open(files_, "C:\\mod\\data\\ui.wdf"));
  }

  // Reads `text` as the script C:\mod\scripts\ui.vlm into places_, rules_ and changes_.
  void ReadScript(const std::string& text) {
    script_text_ = text;
    script_ = ScriptDocument(text);
    std::string problem;
    ASSERT_TRUE(LocateScriptPlaces(script_.Lines(), "C:\\mod\\scripts\\ui.vlm", &places_, &problem))
        << problem;
    read_ = ReadScriptRules(script_, places_, archive_);
    rules_ = read_.ByPosition;
    changes_ = PendingChanges(archive_.Count());
    for (const auto& rule : rules_) {
      auto added = read_.AddedIds.find(rule.first);
      changes_.Load(rule.first, rule.second.Change,
                    added == read_.AddedIds.end() ? 0 : added->second);
    }
  }

  std::string Rewritten(const ScriptTarget& target = ScriptTarget()) {
    std::string text;
    std::string problem;
    EXPECT_TRUE(
        RewriteScriptText(script_, places_, read_, archive_, changes_, target, &text, &problem))
        << problem;
    return text;
  }

  MemoryFileSystem files_;
  StudioArchive archive_;
  std::string script_text_;
  ScriptDocument script_;
  ScriptRules read_;
  ScriptPlaces places_;
  std::map<uint32_t, RuleLine> rules_;
  PendingChanges changes_;
};

TEST_F(StudioScriptTest, RulesReadAsTheRunReadsThem) {
  ReadScript(
      "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf ; the source\r\n"
      "@00000001=@00000003\r\n"
      "@00000002=pics\\new.bmp   ; new picture\r\n"
      "@00000002=@Delete\r\n"  // a second line for 2: never reached
      "@00000003=extra\\icons.wdf/@10\r\n"
      "@00000009=lost.bmp\r\n"    // no entry 9 and no #AddEntries: left alone
      "@0000000A =@Delete\r\n");  // a blank in the name: never matches
  EXPECT_EQ(places_.SourcePath, "C:\\mod\\data\\ui.wdf");
  EXPECT_EQ(places_.TargetPath, "C:\\mod\\scripts\\ui.wdf");
  ASSERT_EQ(rules_.size(), 3u);
  EXPECT_EQ(rules_.at(0).Change, (PendingChange{ChangeKind::kEntry, 3, {}}));
  EXPECT_EQ(rules_.at(1).Change,
            (PendingChange{ChangeKind::kFile, 0, "C:\\mod\\scripts\\pics\\new.bmp"}));
  EXPECT_EQ(rules_.at(1).Line, 3u);
  EXPECT_EQ(rules_.at(2).Change,
            (PendingChange{ChangeKind::kOtherArchive, 0x10, "C:\\mod\\data\\extra\\icons.wdf"}));
}

TEST_F(StudioScriptTest, ScriptsThatARunRefusesAreRefusedInTheCataloguesWords) {
  ScriptPlaces places;
  std::string problem;
  EXPECT_FALSE(LocateScriptPlaces(ScriptLines("#Author=x\r\n"), "C:\\a.vlm", &places, &problem));
  EXPECT_EQ(problem, Message(MessageKey::MsgNoSource));
  EXPECT_FALSE(LocateScriptPlaces(ScriptLines("#SrcFile=a.wdf\r\n#SrcPath=up\r\n"), "C:\\a.vlm",
                                  &places, &problem));
  EXPECT_EQ(problem, Message(MessageKey::MsgSourcePathInvalid));
}

TEST_F(StudioScriptTest, SavingBackRewritesOnlyTheRuleLinesThatChanged) {
  const std::string head =
      "; my translation\n#SrcPath=..\\\n#SrcFile=data\\ui.wdf\n#RunEnd=done \\n ok\n";
  ReadScript(head +
             "@00000001=@00000003 ; keep this comment\n"
             "@00000002=@delete\n"
             "something the studio does not know\n"
             "@00000003=@00000001");  // no break at the end
  EXPECT_EQ(Rewritten(), script_text_) << "nothing changed: the same bytes";

  changes_.Set({1}, {ChangeKind::kFile, 0, "C:\\mod\\scripts\\edited\\00000002.txt"});
  changes_.Set({2}, PendingChange());  // restored: its line goes
  changes_.Set({0}, {ChangeKind::kOtherArchive, 5, "C:\\mod\\other.wdf"});
  EXPECT_EQ(Rewritten(), head +
                             "@00000001=..\\other.wdf/@00000005\n"
                             "@00000002=edited\\00000002.txt\n"
                             "something the studio does not know\n");

  ReadScript(head + "@00000002=@delete\n");
  changes_.Set({0}, {ChangeKind::kDelete, 0, {}});
  changes_.Add(0x99, "C:\\mod\\scripts\\new.png");
  EXPECT_EQ(Rewritten(), head +
                             "#AddEntries=yes\n"
                             "@00000002=@delete\n"
                             "@00000001=@Delete\n"
                             "@00000099=new.png\n");
}

TEST_F(StudioScriptTest, ARemovedLineKeepsTheEmptyLinesAroundItWhateverTheirBreaks) {
  // Lone CR, then a removed rule line, then an empty line ended by LF: written naively, CR and LF
  // would read as one break.
  const std::string head = "#SrcPath=..\\\r#SrcFile=data\\ui.wdf\r\r";
  ReadScript(head + "@00000002=@Delete\r\n\n; end\n");
  changes_.Set({1}, PendingChange());
  const std::string saved = Rewritten();
  EXPECT_EQ(saved, head + "\n\n; end\n");
  EXPECT_EQ(ScriptDocument(saved).Count(), ScriptDocument(script_text_).Count() - 1);
}

TEST_F(StudioScriptTest, NewRulesGoBeforeTheByteZeroThatEndsTheScriptForARun) {
  const std::string head = "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf\r\n";
  const std::string tail = std::string(1, '\0') + "@00000002=@Delete\r\n";
  ReadScript(head + tail);
  EXPECT_TRUE(rules_.empty()) << "a run never reads past the byte 0";
  changes_.Set({0}, {ChangeKind::kDelete, 0, {}});
  EXPECT_EQ(Rewritten(), head + "@00000001=@Delete\r\n" + tail);
}

TEST_F(StudioScriptTest, AddedEntriesReadBackFromAScriptWithAddEntries) {
  ReadScript(
      "#SrcFile=..\\data\\ui.wdf\r\n#AddEntries=yes\r\n@00000050=new.bin\r\n"
      "@00000051=@00000001\r\n");
  ASSERT_EQ(changes_.AddedCount(), 2u) << "an entry is added by a rule of any kind";
  const uint32_t position = changes_.AddedPositions()[0];
  EXPECT_EQ(changes_.AddedId(position), 0x50u);
  EXPECT_EQ(changes_.ChangeAt(position).Path, "C:\\mod\\scripts\\new.bin");
  EXPECT_EQ(changes_.ChangeAt(position + 1), (PendingChange{ChangeKind::kEntry, 1, {}}));
  EXPECT_EQ(Rewritten(), script_text_);
}

TEST_F(StudioScriptTest, ATargetChoiceSetsTheDestinationKeysInPlace) {
  ReadScript(
      "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf\r\n#DestFile=old.wdf\r\n@00000001=@Delete\r\n");
  ScriptTarget in_place;
  in_place.InPlace = true;
  EXPECT_EQ(Rewritten(in_place),
            "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf\r\n#DestFile=data\\ui.wdf\r\n"
            "#DestPath=..\\\r\n#InPlace=yes\r\n@00000001=@Delete\r\n");
}

TEST_F(StudioScriptTest, ANewScriptIsWrittenAsTheScriptCommandWritesIt) {
  PendingChanges changes(archive_.Count());
  changes.Set({2}, {ChangeKind::kFile, 0, "C:\\mod\\edited\\00000003.txt"});
  changes.Set({0}, {ChangeKind::kDelete, 0, {}});
  changes.Set({1}, {ChangeKind::kEntry, 1, {}});
  std::string text;
  std::string problem;
  ASSERT_TRUE(NewScriptText("C:\\mod\\scripts\\mod.vlm", archive_, changes, ScriptTarget(), &text,
                            &problem));
  EXPECT_EQ(text,
            "#SrcPath=..\\\r\n#SrcFile=data\\ui.wdf\r\n"
            "@00000001=@Delete\r\n@00000002=@00000001\r\n@00000003=..\\edited\\00000003.txt\r\n");

  changes.Add(0x40, "C:\\mod\\@odd.bin");
  ScriptTarget target;
  target.TargetPath = "C:\\mod\\out\\ui.wdf";
  ASSERT_TRUE(NewScriptText("C:\\mod\\m.vlm", archive_, changes, target, &text, &problem));
  EXPECT_EQ(text,
            "#SrcFile=data\\ui.wdf\r\n#DestFile=out\\ui.wdf\r\n#AddEntries=yes\r\n"
            "@00000001=@Delete\r\n@00000002=@00000001\r\n@00000003=edited\\00000003.txt\r\n"
            "@00000040=.\\@odd.bin\r\n");

  changes.Set({0}, {ChangeKind::kFile, 0, "C:\\mod\\semi;colon.bin"});
  EXPECT_FALSE(NewScriptText("C:\\mod\\m.vlm", archive_, changes, target, &text, &problem));
  EXPECT_EQ(problem, "C:\\mod\\semi;colon.bin");
}

}  // namespace
}  // namespace velmora
