// Job preparation over the real file system: the sharing rules and the files left on disk.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "job/prepare.h"
#include "testing/archive_bytes.h"
#include "testing/recording_view.h"
#include "testing/script_run.h"
#include "msg/format.h"
#include "sys/file_system.h"
#include "sys/system_error.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

class PrepareOnDiskTest : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) { scratch_.Put(name, bytes); }
  std::string Read(const std::string& name) { return scratch_.Get(name); }
  // The program's form of a path below the test directory: backslashes throughout.
  std::string ProgramPath(const std::string& name) {
    std::string path = dir_ + "/" + name;
    for (char& c : path) c = c == '/' ? '\\' : c;
    return path;
  }

  bool Prepare(const std::string& script) {
    Write("job.vlm", script);
    job_.ScriptPath = ProgramPath("job.vlm");
    job_.Script = std::make_unique<ScriptLines>(script);
    return PrepareJob(job_, SystemFileSystem(), view_);
  }

  ScratchDirectory scratch_{"prepare"};
  const std::string dir_ = scratch_.path();
  JobState job_;
  RecordingView view_;
};

const char kArchive[] = {'P', 'F', 'D', 'W', 0, 0, 0, 0, 12, 0, 0, 0};

TEST_F(PrepareOnDiskTest, TargetNamingTheOpenSourceInAnotherFormCannotTouchIt) {
  Write("gfx.wdf", std::string(kArchive, sizeof kArchive));
  ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
  EXPECT_FALSE(Prepare("#SrcFile=gfx.wdf\n#DestFile=sub\\..\\gfx.wdf\n"));
  ASSERT_EQ(view_.Boxes.size(), 2u);
  EXPECT_EQ(view_.Boxes[0].Kind, RecordingView::Box::kQuestion);
  SetLastSystemError(SystemErrorSharingViolation());
  EXPECT_EQ(view_.Boxes[1].Text, Message(MessageKey::MsgTargetCreateFailed,
                                         {ProgramPath("sub\\..\\gfx.wdf"), LastSystemErrorText()}));
  EXPECT_EQ(Read("gfx.wdf"), std::string(kArchive, sizeof kArchive));
  EXPECT_EQ(scratch_.Names(), (std::set<std::string>{"gfx.wdf", "job.vlm", "sub"}));
}

TEST_F(PrepareOnDiskTest, RefusedSourceLeavesAnExistingTargetAndNoTemporaryFile) {
  Write("gfx.wdf", "not an archive");
  Write("out.wdf", "keep me");
  EXPECT_FALSE(Prepare("#SrcFile=gfx.wdf\n#DestFile=out.wdf\n"));
  ASSERT_EQ(view_.Boxes.size(), 2u);
  EXPECT_EQ(view_.Boxes[1].Text, Message(MessageKey::MsgSourceNotWdf, {ProgramPath("gfx.wdf")}));
  EXPECT_EQ(Read("out.wdf"), "keep me");
  EXPECT_EQ(scratch_.Names(), (std::set<std::string>{"gfx.wdf", "job.vlm", "out.wdf"}));
  EXPECT_EQ(job_.OldTarget, nullptr);
}

TEST_F(PrepareOnDiskTest, NewArchiveGoesBesideAnExistingTargetInCreatedDirectories) {
  Write("gfx.wdf", std::string(kArchive, sizeof kArchive));
  EXPECT_TRUE(Prepare("#SrcFile=gfx.wdf\n#DestFile=a\\b\\new.wdf\n"));
  EXPECT_EQ(scratch_.Names("a/b"), (std::set<std::string>{"new.wdf.vlmtmp"}));
  job_ = JobState();
  Write("a/b/new.wdf.vlmtmp", "a killed run's leftover");

  view_ = RecordingView();
  Write("a/b/new.wdf", "old");
  EXPECT_TRUE(Prepare("#SrcFile=gfx.wdf\n#DestFile=a\\b\\new.wdf\n"));
  EXPECT_EQ(job_.TargetWritePath, ProgramPath("a\\b\\new.wdf.vlmtmp"));
  EXPECT_EQ(scratch_.Names("a/b"), (std::set<std::string>{"new.wdf", "new.wdf.vlmtmp"}));
  EXPECT_EQ(Read("a/b/new.wdf.vlmtmp"), "") << "the leftover was not replaced";
  EXPECT_EQ(Read("a/b/new.wdf"), "old");
}

// A name in another letter case is only ever taken to read a file the script names: every
// file a run writes, renames or keeps as a backup goes under the name as written, and an
// unrelated neighbour whose name differs only in letter case is never touched.
TEST_F(PrepareOnDiskTest, ANeighbourInAnotherLetterCaseIsNeverWrittenNorRenamed) {
  const std::string source = ArchiveOf({{1, "old"}});
  const std::string neighbour = ArchiveOf({{7, "the neighbour's own"}});
  const struct {
    const char* Name;
    const char* Neighbour;
    const char* Script;
    const char* Written;
    std::set<std::string> Files;  // the folder afterwards, the script and the rule file aside
  } cases[] = {
      {"in place",
       "UI.WDF",
       "#SrcFile=ui.wdf\n#DestFile=ui.wdf\n#InPlace=yes\n@00000001=new.bin\n",
       "ui.wdf",
       {"UI.WDF", "ui.wdf", "ui.wdf.1.bak", "ui.wdf.1.bak.info"}},
      {"in place by the default target",
       "JOB.WDF",
       "#SrcFile=job.wdf\n#InPlace=yes\n@00000001=new.bin\n",
       "job.wdf",
       {"JOB.WDF", "job.wdf", "job.wdf.1.bak", "job.wdf.1.bak.info"}},
      {"a new target",
       "OUT.WDF",
       "#SrcFile=ui.wdf\n#DestFile=out.wdf\n@00000001=new.bin\n",
       "out.wdf",
       {"OUT.WDF", "ui.wdf", "out.wdf"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ScratchDirectory scratch("letter-case");
    const std::string source_name = c.Files.count("job.wdf") ? "job.wdf" : "ui.wdf";
    scratch.Put(source_name, source);
    scratch.Put(c.Neighbour, neighbour);
    scratch.Put("new.bin", "NEW");
    std::string script_path = scratch.path() + "/job.vlm";
    for (char& ch : script_path) ch = ch == '/' ? '\\' : ch;
    const auto outcome = RunScriptText(SystemFileSystem(), script_path, c.Script);
    EXPECT_TRUE(outcome->Succeeded) << outcome->Error;
    EXPECT_TRUE(outcome->View.Boxes.empty()) << "no question about the neighbour";
    EXPECT_EQ(scratch.Get(c.Neighbour), neighbour);
    std::set<std::string> names = scratch.Names();
    names.erase("new.bin");
    EXPECT_EQ(names, c.Files);
    EXPECT_EQ(scratch.Get(c.Written), ArchiveOf({{1, "NEW"}}));
  }
}

}  // namespace
}  // namespace velmora
