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
#include "job/recording_view.h"
#include "msg/format.h"
#include "sys/file_system.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

class PrepareOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/velmora-prepare-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { RemoveTree(dir_); }

  static void RemoveTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
      for (const std::string& name : Names(path)) RemoveTree(path + "/" + name);
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }
  static std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.insert(name);
      }
      closedir(d);
    }
    return names;
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
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

  std::string dir_;
  JobState job_;
  RecordingView view_;
};

const char kArchive[] = {'P', 'F', 'D', 'W', 0, 0, 0, 0, 12, 0, 0, 0};

TEST_F(PrepareOnDiskTest, TargetNamingTheOpenSourceInAnotherFormCannotTouchIt) {
  Write("gfx.wdf", std::string(kArchive, sizeof kArchive));
  ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
  EXPECT_FALSE(Prepare("#SrcFile=gfx.wdf\n#DestFile=sub\\..\\gfx.wdf\n"));
  ASSERT_EQ(view_.boxes.size(), 2u);
  EXPECT_EQ(view_.boxes[0].kind, RecordingView::Box::kQuestion);
  SetLastSystemError(SystemErrorSharingViolation());
  EXPECT_EQ(view_.boxes[1].text, Message(MessageKey::MsgTargetCreateFailed,
                                         {ProgramPath("sub\\..\\gfx.wdf"), LastSystemErrorText()}));
  EXPECT_EQ(Read("gfx.wdf"), std::string(kArchive, sizeof kArchive));
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"gfx.wdf", "job.vlm", "sub"}));
}

TEST_F(PrepareOnDiskTest, RefusedSourceLeavesAnExistingTargetAndNoTemporaryFile) {
  Write("gfx.wdf", "not an archive");
  Write("out.wdf", "keep me");
  EXPECT_FALSE(Prepare("#SrcFile=gfx.wdf\n#DestFile=out.wdf\n"));
  ASSERT_EQ(view_.boxes.size(), 2u);
  EXPECT_EQ(view_.boxes[1].text, Message(MessageKey::MsgSourceNotWdf, {ProgramPath("gfx.wdf")}));
  EXPECT_EQ(Read("out.wdf"), "keep me");
  EXPECT_EQ(Names(dir_), (std::set<std::string>{"gfx.wdf", "job.vlm", "out.wdf"}));
  EXPECT_EQ(job_.OldTarget, nullptr);
}

TEST_F(PrepareOnDiskTest, NewArchiveGoesBesideAnExistingTargetInCreatedDirectories) {
  Write("gfx.wdf", std::string(kArchive, sizeof kArchive));
  EXPECT_TRUE(Prepare("#SrcFile=gfx.wdf\n#DestFile=a\\b\\new.wdf\n"));
  EXPECT_EQ(Names(dir_ + "/a/b"), (std::set<std::string>{"new.wdf.vlmtmp"}));
  job_ = JobState();
  Write("a/b/new.wdf.vlmtmp", "a killed run's leftover");

  view_ = RecordingView();
  Write("a/b/new.wdf", "old");
  EXPECT_TRUE(Prepare("#SrcFile=gfx.wdf\n#DestFile=a\\b\\new.wdf\n"));
  EXPECT_EQ(job_.TargetWritePath, ProgramPath("a\\b\\new.wdf.vlmtmp"));
  EXPECT_EQ(Names(dir_ + "/a/b"), (std::set<std::string>{"new.wdf", "new.wdf.vlmtmp"}));
  EXPECT_EQ(Read("a/b/new.wdf.vlmtmp"), "") << "the leftover was not replaced";
  EXPECT_EQ(Read("a/b/new.wdf"), "old");
}

}  // namespace
}  // namespace velmora
