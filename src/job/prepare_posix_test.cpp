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
#include "testing/recording_view.h"
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

}  // namespace
}  // namespace velmora
