// Runs killed at any moment over the real file system: the source and an old target survive
// byte for byte, or the complete new archive stands in the target's place; the next run on the
// same target removes what the killed one left beside it; and a second run on a target that a
// run is writing is refused without harming the first.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "job/pack_run.h"
#include "job/prepare.h"
#include "msg/format.h"
#include "sys/file_system.h"
#include "sys/system_error.h"
#include "testing/child_process.h"
#include "testing/pack_run_fixture.h"
#include "testing/recording_view.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

using pack_run_testing::Entries;
using pack_run_testing::MakeArchive;

// Long enough that a kill lands in the middle of the writing, short enough for every build.
constexpr uint32_t kEntryCount = 6000;
const char kScript[] =
    "#SrcFile=gfx.wdf\r\n#DestFile=new.wdf\r\n@00000002=@Delete\r\n@00000003=@00000001\r\n";
const char kOldTarget[] = "the archive that was there before";

class KilledRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Entries entries;
    for (uint32_t id = 1; id <= kEntryCount; ++id) {
      entries.emplace_back(id, std::string(48 + id % 32, static_cast<char>('a' + id % 26)));
    }
    source_ = MakeArchive(entries);
    entries.erase(entries.begin() + 1);     // @00000002=@Delete
    entries[1].second = entries[0].second;  // @00000003=@00000001
    new_archive_ = MakeArchive(entries);
    Write("gfx.wdf", source_);
    Write("job.vlm", kScript);
  }
  void Write(const std::string& name, const std::string& bytes) { scratch_.Put(name, bytes); }
  bool Exists(const std::string& name) { return scratch_.Exists(name); }
  std::string Read(const std::string& name) { return scratch_.Get(name); }
  std::set<std::string> Names() { return scratch_.Names(); }
  std::string ProgramPath(const std::string& name) { return dir_ + "\\" + name; }

  // A whole run as the program makes it, every question answered with OK: true on success.
  bool RunScript(RecordingView& view) {
    JobState job;
    job.ScriptPath = ProgramPath("job.vlm");
    job.ScriptDir = dir_ + "\\";
    job.Script = std::make_unique<ScriptLines>(kScript);
    if (!PrepareJob(job, SystemFileSystem(), view)) return false;
    RunPack(job, SystemFileSystem(), view);
    return job.ErrorText.empty();
  }

  // The same run as the body of a process of its own: its exit code.
  int RunAlone(const std::function<void(uint32_t)>& on_report = nullptr) {
    RecordingView view;
    view.OnReport = on_report;
    return RunScript(view) ? 0 : 1;
  }

  ScratchDirectory scratch_{"killed"};
  const std::string dir_ = scratch_.path();
  std::string source_;
  std::string new_archive_;
};

// When to kill: once the temporary file holds this share of the new archive's bytes (0: as
// soon as it exists; below 0: at once, during preparation), then after this many microseconds.
// A share of 1 puts the kill among the last steps: the header's counts, the flush, the rename.
struct KillPoint {
  double Share;
  int DelayUs;
};

TEST_F(KilledRunTest, KillAtAnyMomentLeavesTheOldTargetOrTheCompleteNewArchive) {
  const KillPoint kPoints[] = {{-1, 0},   {0, 0}, {0.2, 0}, {0.4, 0},  {0.6, 0},  {0.8, 0},
                               {0.95, 0}, {1, 0}, {1, 100}, {1, 1000}, {1, 5000}, {1, 20000}};
  const std::string temporary = dir_ + "/new.wdf.vlmtmp";
  const std::string target = dir_ + "/new.wdf";
  int kills_mid_run = 0;
  for (size_t k = 0; k < sizeof kPoints / sizeof kPoints[0]; ++k) {
    const KillPoint point = kPoints[k];
    const bool target_existed = k % 2 == 0;
    SCOPED_TRACE(::testing::Message() << "kill at share " << point.Share << " + " << point.DelayUs
                                      << " us, old target " << target_existed);
    if (target_existed) Write("new.wdf", kOldTarget);
    ChildProcess run([this] { return RunAlone(); });
    ASSERT_TRUE(run.Started());
    // Waits for the kill point; a run that ends first is simply complete.
    const uint64_t threshold =
        point.Share <= 0 ? 0 : static_cast<uint64_t>(point.Share * new_archive_.size());
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool ended = false;
    while (point.Share >= 0 && std::chrono::steady_clock::now() < give_up) {
      if (run.Ended()) {
        ended = true;
        break;
      }
      // Wherever the new archive grows: beside the target, or, should it ever be written in
      // place, under the target's name.
      struct stat st;
      if (stat(temporary.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) >= threshold) {
        break;
      }
      if (!target_existed && stat(target.c_str(), &st) == 0 &&
          static_cast<uint64_t>(st.st_size) >= threshold) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (!ended) {
      std::this_thread::sleep_for(std::chrono::microseconds(point.DelayUs));
      run.Kill();
    }

    EXPECT_EQ(Read("gfx.wdf"), source_) << "the source changed";
    const bool complete = Exists("new.wdf") && Read("new.wdf") == new_archive_;
    const bool as_before =
        target_existed ? Exists("new.wdf") && Read("new.wdf") == kOldTarget : !Exists("new.wdf");
    EXPECT_TRUE(complete || as_before)
        << "the target holds " << (Exists("new.wdf") ? Read("new.wdf").size() : 0) << " bytes";
    if (Exists("new.wdf.vlmtmp") || !(complete || as_before)) ++kills_mid_run;

    // The next run on the same target takes the leftover's place and completes.
    RecordingView view;
    EXPECT_TRUE(RunScript(view));
    EXPECT_EQ(Read("new.wdf"), new_archive_);
    EXPECT_EQ(Names(), (std::set<std::string>{"gfx.wdf", "job.vlm", "new.wdf"}));
    unlink((dir_ + "/new.wdf").c_str());
  }
  EXPECT_GT(kills_mid_run, 0) << "no kill landed while the new archive was being written";
}

TEST_F(KilledRunTest, SecondRunOnTheSameTargetIsRefusedAndTheFirstCompletes) {
  for (const bool target_existed : {false, true}) {
    SCOPED_TRACE(target_existed ? "old target" : "no target");
    if (target_existed) Write("new.wdf", kOldTarget);
    Pipe paused, resume;
    ASSERT_TRUE(paused.IsOpen() && resume.IsOpen());
    // The first run waits in the middle of its walk until the second has been tried.
    ChildProcess first([&] {
      paused.CloseReadEnd();
      resume.CloseWriteEnd();
      return RunAlone([&](uint32_t index) {
        if (index == 100 && !(paused.Send() && resume.Receive())) _exit(3);
      });
    });
    ASSERT_TRUE(first.Started());
    paused.CloseWriteEnd();
    resume.CloseReadEnd();
    ASSERT_TRUE(paused.Receive()) << "the first run did not reach its pause";

    RecordingView second;
    EXPECT_FALSE(RunScript(second));
    ASSERT_FALSE(second.Boxes.empty());
    SetLastSystemError(SystemErrorSharingViolation());
    EXPECT_EQ(second.Boxes.back().Text, Message(MessageKey::MsgTargetCreateFailed,
                                                {ProgramPath("new.wdf"), LastSystemErrorText()}));
    EXPECT_EQ(second.Boxes.size(), target_existed ? 2u : 1u) << "only the overwrite question";

    ASSERT_TRUE(resume.Send());
    int status = 0;
    ASSERT_TRUE(first.Wait(&status)) << "the first run did not end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(Read("new.wdf"), new_archive_);
    EXPECT_EQ(Names(), (std::set<std::string>{"gfx.wdf", "job.vlm", "new.wdf"}));
    unlink((dir_ + "/new.wdf").c_str());
  }
}

}  // namespace
}  // namespace velmora
