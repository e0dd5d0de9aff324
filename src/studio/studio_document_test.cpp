#include "studio/studio_document.h"

#include <gtest/gtest.h>

#include "testing/pack_run_fixture.h"
#include "msg/format.h"
#include "testing/memory_file_system.h"

namespace velmora {
namespace {

using pack_run_testing::MakeArchive;

const char kArchive[] = "C:\\mod\\ui.wdf";
const char kScript[] = "C:\\mod\\ui.vlm";

class StudioDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.PutFile(kArchive, MakeArchive({{1, "one"}, {2, "two"}, {3, "three"}}));
    files_.PutFile(kScript, "; mine\r\n#SrcFile=ui.wdf\r\n@00000002=@Delete\r\n");
  }
  MemoryFileSystem files_;
  StudioDocument document_{files_};
};

TEST_F(StudioDocumentTest, AScriptOpensAsItsArchiveWithItsRulesAndSavesBackInPlace) {
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  EXPECT_EQ(document_.Archive().Path(), kArchive);
  EXPECT_EQ(document_.Changes().ChangeAt(1).Kind, ChangeKind::kDelete);
  EXPECT_FALSE(document_.Changes().Modified());
  EXPECT_EQ(document_.TargetPath(), "C:\\mod\\ui.wdf") << "the run's default target";

  document_.Changes().Set({0}, {ChangeKind::kEntry, 3, {}});
  document_.Changes().Set({1}, PendingChange());
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript), "; mine\r\n#SrcFile=ui.wdf\r\n@00000001=@00000003\r\n");
  EXPECT_FALSE(document_.Changes().Modified());
  EXPECT_FALSE(files_.HasFile("C:\\mod\\ui.vlm.vlmtmp"));

  // The saved text is what later saves are measured against.
  document_.Changes().Undo();
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript),
            "; mine\r\n#SrcFile=ui.wdf\r\n@00000001=@00000003\r\n@00000002=@Delete\r\n");
}

TEST_F(StudioDocumentTest, AFailedSaveLeavesTheOldScriptWhole) {
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  document_.Changes().Set({2}, {ChangeKind::kDelete, 0, {}});
  files_.FailRenames();
  EXPECT_FALSE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_EQ(files_.FileBytes(kScript), "; mine\r\n#SrcFile=ui.wdf\r\n@00000002=@Delete\r\n");
  EXPECT_FALSE(files_.HasFile("C:\\mod\\ui.vlm.vlmtmp"));
  EXPECT_TRUE(document_.Changes().Modified());
}

TEST_F(StudioDocumentTest, ScriptsThatNameNoReadableArchiveDoNotOpen) {
  files_.PutFile("C:\\mod\\lost.vlm", "#SrcFile=gone.wdf\r\n");
  std::string problem;
  EXPECT_FALSE(document_.Open("C:\\mod\\lost.vlm", &problem));
  EXPECT_EQ(problem, Message(MessageKey::MsgSourceNotFound, {"C:\\mod\\gone.wdf"}));
  EXPECT_FALSE(document_.IsOpen());
}

TEST_F(StudioDocumentTest, AddedIdsMustBeFreeAndComparisonMarksTheDifferences) {
  std::string problem;
  ASSERT_TRUE(document_.Open(kArchive, &problem)) << problem;
  EXPECT_FALSE(document_.IdIsFree(2));
  EXPECT_TRUE(document_.IdIsFree(9));
  document_.Changes().Add(9, "C:\\mod\\nine.bin");
  EXPECT_FALSE(document_.IdIsFree(9));

  files_.PutFile("C:\\mod\\new.wdf",
                 MakeArchive({{3, "three"}, {1, "one"}, {2, "TWO"}, {7, "new"}}));
  ASSERT_TRUE(document_.CompareWith("C:\\mod\\new.wdf", &problem)) << problem;
  EXPECT_EQ(
      document_.Comparison()->Entries,
      (std::vector<EntryChange>{EntryChange::kSame, EntryChange::kChanged, EntryChange::kSame}));
  EXPECT_EQ(document_.Comparison()->Differing, 1u);
  EXPECT_EQ(document_.Comparison()->OnlyThere, 1u);

  files_.PutFile("C:\\mod\\text.wdf", "not an archive");
  EXPECT_FALSE(document_.CompareWith("C:\\mod\\text.wdf", &problem));
  EXPECT_EQ(problem, Message(MessageKey::MsgRefArchiveNotWdf, {"C:\\mod\\text.wdf"}));
  EXPECT_EQ(document_.ComparedPath(), "C:\\mod\\new.wdf") << "the last comparison stays";
}

// A line for an id the archive lacks comes into force once a save sets #AddEntries=yes; an edit
// saved after that still lands on the line a run takes, and the other lines stay.
TEST_F(StudioDocumentTest, ALineBroughtIntoForceByASaveKeepsItsOwnEntry) {
  files_.PutFile("C:\\mod\\nine.bin", "9");
  files_.PutFile("C:\\mod\\new.bin", "new");
  files_.PutFile(kScript, "#SrcFile=ui.wdf\r\n@00000001=@00000003\r\n@00000009=nine.bin\r\n");
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  EXPECT_EQ(document_.Row(kFirstDormantRow).State, RowState::kNotCarriedOut);
  EXPECT_EQ(document_.Row(kFirstDormantRow).Id, 9u);

  document_.Changes().Add(0x20, "C:\\mod\\new.bin");
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript),
            "#SrcFile=ui.wdf\r\n#AddEntries=yes\r\n@00000001=@00000003\r\n"
            "@00000009=nine.bin\r\n@00000020=new.bin\r\n");
  EXPECT_EQ(document_.Changes().AddedCount(), 2u) << "the line for 9 now adds an entry";
  EXPECT_FALSE(document_.Changes().Modified());

  document_.Changes().Set({0}, {ChangeKind::kDelete, 0, {}});
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript),
            "#SrcFile=ui.wdf\r\n#AddEntries=yes\r\n@00000001=@Delete\r\n"
            "@00000009=nine.bin\r\n@00000020=new.bin\r\n");
  StudioDocument reopened(files_);
  ASSERT_TRUE(reopened.Open(kScript, &problem)) << problem;
  EXPECT_EQ(reopened.Changes().ChangeAt(0).Kind, ChangeKind::kDelete);
  EXPECT_EQ(reopened.Changes().AddedCount(), 2u);
}

// A restored entry whose id has a second line is kept by its own line, so that the second line
// does not come into force; with no second line, its line goes.
TEST_F(StudioDocumentTest, RestoringNeverBringsAnotherLineIntoForce) {
  files_.PutFile(kScript,
                 "#SrcFile=ui.wdf\r\n@00000002=@Delete\r\n@00000003=@00000001\r\n"
                 "@00000002=@00000001\r\n");
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  document_.Changes().Set({1, 2}, PendingChange());
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript), "#SrcFile=ui.wdf\r\n@00000002=\r\n@00000002=@00000001\r\n");
  EXPECT_TRUE(document_.Changes().All().empty());
}

TEST_F(StudioDocumentTest, UndoBackToTheSavedStateIsUnmodifiedAndOnlyThatState) {
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  PendingChanges& changes = document_.Changes();
  changes.Set({0}, {ChangeKind::kDelete, 0, {}});
  changes.Undo();
  EXPECT_FALSE(changes.Modified()) << "back where the script was read";
  changes.Set({0}, {ChangeKind::kDelete, 0, {}});
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  changes.Undo();
  EXPECT_TRUE(changes.Modified());
  changes.Redo();
  EXPECT_FALSE(changes.Modified()) << "redone up to the saved state";
  changes.Undo();
  changes.Set({2}, {ChangeKind::kDelete, 0, {}});  // the saved state can no longer be reached
  changes.Undo();
  EXPECT_TRUE(changes.Modified());
  EXPECT_EQ(changes.ChangeAt(0).Kind, ChangeKind::kUnchanged);
}

TEST_F(StudioDocumentTest, AScriptWithNoRulesSavesItsKeysAndReopens) {
  std::string problem;
  std::string unwritable;
  ASSERT_TRUE(document_.Open(kArchive, &problem)) << problem;
  ASSERT_TRUE(document_.SaveScript("C:\\mod\\empty.vlm", ScriptTarget(), &unwritable, &problem))
      << problem;
  EXPECT_EQ(files_.FileBytes("C:\\mod\\empty.vlm"), "#SrcFile=ui.wdf\r\n");
  EXPECT_TRUE(document_.RebuildFailures().empty());

  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  document_.Changes().Set({1}, PendingChange());
  ASSERT_TRUE(document_.SaveScript(kScript, ScriptTarget(), &unwritable, &problem)) << problem;
  EXPECT_EQ(files_.FileBytes(kScript), "; mine\r\n#SrcFile=ui.wdf\r\n");
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  EXPECT_TRUE(document_.Changes().All().empty());
}

// What a rebuild cannot carry out is in the list itself and in the failures said before it.
TEST_F(StudioDocumentTest, RulesThatCannotBeCarriedOutAreMarkedWithTheRunsReason) {
  files_.PutFile(kScript,
                 "#SrcFile=ui.wdf\r\n#AddEntries=yes\r\n@00000003=gone.bmp\r\n"
                 "@00000001=@00000007\r\n@00000008=@00000002\r\n@00000009=@Delete\r\n");
  std::string problem;
  ASSERT_TRUE(document_.Open(kScript, &problem)) << problem;
  const RowFacts gone = document_.Row(2);
  EXPECT_EQ(gone.State, RowState::kFails);
  EXPECT_EQ(gone.Reason, Message(MessageKey::MsgRefFileNotFound, {"C:\\mod\\gone.bmp"}));
  EXPECT_EQ(document_.Row(0).Reason, Message(MessageKey::MsgInternalIdNotFound, {"00000007"}));
  const uint32_t added = document_.Changes().AddedPositions().at(0);
  EXPECT_EQ(document_.Row(added).State, RowState::kAdded);
  EXPECT_EQ(document_.Row(added).Size, 3u) << "the bytes of entry 2";
  EXPECT_EQ(document_.Row(kFirstDormantRow).Id, 9u) << "nothing to delete";
  const std::vector<PlannedFailure> failures = document_.RebuildFailures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].Line, 3u);
  EXPECT_EQ(failures[0].Rule, "@00000003=gone.bmp");
  EXPECT_EQ(failures[1].Line, 4u);
  EXPECT_EQ(document_.Rows(RowFilter(), EntryColumn::kPosition, false),
            (std::vector<uint32_t>{0, 1, 2, added, kFirstDormantRow}))
      << "the new entry follows the source's, whose ids ascend, by its id";
}

}  // namespace
}  // namespace velmora
