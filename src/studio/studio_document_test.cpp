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

}  // namespace
}  // namespace velmora
