#include "job/program_entry.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/fake_current_directory.h"
#include "job/script_path.h"
#include "testing/recording_view.h"
#include "msg/format.h"
#include "testing/memory_file_system.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

// The front-end of a process whose current directory is C:\work.
class FakeFrontEnd final : public EntryFrontEnd {
 public:
  FakeFrontEnd() : dirs_("C:\\work") {}

  std::string MakeAbsolute(const std::string& argument) override {
    return MakeAbsoluteScriptPath(argument, dirs_);
  }
  void RegisterScriptType() override {
    ++Registrations;
    if (RegistrationFails) throw AppFailure("ERegistryError", "access denied");
  }
  void UnregisterScriptType() override {
    ++Removals;
    if (RemovalFails) throw AppFailure("ERegistryError", "access denied");
  }
  void RunWithProgress(JobState& job) override {
    ++Runs;
    if (DuringRun) DuringRun(job);
  }

  int Registrations = 0;
  int Removals = 0;
  int Runs = 0;
  bool RegistrationFails = false;
  bool RemovalFails = false;
  std::function<void(JobState&)> DuringRun;

 private:
  FakeCurrentDirectory dirs_;
};

// A source archive with no entries: the header and an empty index at offset 12.
std::string EmptyArchive() { return std::string("PFDW\0\0\0\0\x0C\0\0\0", 12); }

const char kRunnableScript[] = "#SrcFile=ui.wdf\r\n#DestFile=out.wdf\r\n";

class ProgramEntry : public ::testing::Test {
 protected:
  EntryEnd Run(const std::vector<std::string>& arguments) {
    return RunEntry(static_cast<int>(arguments.size()), arguments.empty() ? "" : arguments[0], job_,
                    files_, view_, front_);
  }

  void ExpectOnlyMissingScriptBox(const std::string& path) {
    ASSERT_EQ(1u, view_.Boxes.size());
    EXPECT_EQ(RecordingView::Box::kError, view_.Boxes[0].Kind);
    EXPECT_EQ(Message(MessageKey::MsgScriptNotFound, {path}), view_.Boxes[0].Text);
  }

  JobState job_;
  MemoryFileSystem files_;
  RecordingView view_;
  FakeFrontEnd front_;
};

TEST_F(ProgramEntry, WithoutArgumentOnlyRegisters) {
  EXPECT_EQ(EntryEnd::kNoArgument, Run({}));
  EXPECT_EQ(1, front_.Registrations);
  EXPECT_EQ(0, front_.Removals);
  EXPECT_TRUE(view_.Boxes.empty());
  EXPECT_EQ("", job_.ScriptPath);
}

TEST_F(ProgramEntry, RemovalLoadsNothingEvenWhenTheFileExists) {
  for (const std::string argument : {"-u", "-U", "C:\\scripts\\-u.vlm", "-u.txt"}) {
    SCOPED_TRACE(argument);
    JobState job;
    MemoryFileSystem files;
    files.PutFile("C:\\scripts\\-u.vlm", kRunnableScript);
    files.PutFile("C:\\work\\-u.txt", kRunnableScript);
    FakeFrontEnd front;
    EXPECT_EQ(EntryEnd::kRemoved, RunEntry(1, argument, job, files, view_, front));
    EXPECT_EQ(1, front.Removals);
    EXPECT_EQ(0, front.Registrations);
    EXPECT_FALSE(job.Script);
    EXPECT_TRUE(view_.Boxes.empty());
  }
}

TEST_F(ProgramEntry, FailedRemovalGoesOnWithTheArgumentAsScript) {
  front_.RemovalFails = true;
  EXPECT_EQ(EntryEnd::kScriptMissing, Run({"-u"}));
  EXPECT_EQ(0, front_.Registrations);
  ExpectOnlyMissingScriptBox("C:\\work\\-u");
}

TEST_F(ProgramEntry, FailedRegistrationDoesNotStopTheRun) {
  front_.RegistrationFails = true;
  EXPECT_EQ(EntryEnd::kScriptMissing, Run({"a.vlm"}));
  ExpectOnlyMissingScriptBox("C:\\work\\a.vlm");
}

TEST_F(ProgramEntry, SlashUIsAScriptPath) {
  EXPECT_EQ(EntryEnd::kScriptMissing, Run({"/u"}));
  EXPECT_EQ(1, front_.Registrations);
  EXPECT_EQ(0, front_.Removals);
  ExpectOnlyMissingScriptBox("C:\\work\\/u");
}

TEST_F(ProgramEntry, MissingScriptIsReportedWithItsUnsimplifiedAbsolutePath) {
  EXPECT_EQ(EntryEnd::kScriptMissing, Run({"..\\name.vlm"}));
  ExpectOnlyMissingScriptBox("C:\\work\\..\\name.vlm");
  EXPECT_EQ(0, front_.Runs);
}

TEST_F(ProgramEntry, DirectoryCountsAsMissingScript) {
  files_.PutDirectory("C:\\work\\dir.vlm");
  EXPECT_EQ(EntryEnd::kScriptMissing, Run({"dir.vlm"}));
  ExpectOnlyMissingScriptBox("C:\\work\\dir.vlm");
}

TEST_F(ProgramEntry, ScriptThatCannotBeOpenedFailsThrough) {
  files_.PutFile("C:\\work\\a.vlm", kRunnableScript);
  files_.FailOpensOf("C:\\work\\a.vlm", SystemErrorSharingViolation());
  try {
    Run({"a.vlm"});
    FAIL() << "expected the load failure to pass through";
  } catch (const AppFailure& failure) {
    EXPECT_STREQ("EFOpenError", failure.TypeName());
    EXPECT_EQ(0u, std::string(failure.what()).find("Cannot open file \"C:\\work\\a.vlm\". "))
        << failure.what();
  }
  EXPECT_TRUE(view_.Boxes.empty());
  EXPECT_EQ(0, front_.Runs);
  EXPECT_EQ("C:\\work\\", job_.ScriptDir);
}

TEST_F(ProgramEntry, RefusedScriptIsReleasedWithoutARun) {
  files_.PutFile("C:\\work\\a.vlm", "; no source\r\n");
  EXPECT_EQ(EntryEnd::kScriptRunEnded, Run({"a.vlm"}));
  EXPECT_EQ(0, front_.Runs);
  EXPECT_EQ(1u, view_.Boxes.size());
  EXPECT_FALSE(job_.Script);
}

TEST_F(ProgramEntry, PreparedScriptRunsAndEverythingLeftOpenIsClosed) {
  files_.PutFile("C:\\work\\a.vlm", kRunnableScript);
  files_.PutFile("C:\\work\\ui.wdf", EmptyArchive());
  bool prepared_state_seen = false;
  front_.DuringRun = [&](JobState& job) {
    prepared_state_seen = job.Script && job.SourceStream && job.TargetStream;
    job.SourceIndex.resize(3);
  };
  EXPECT_EQ(EntryEnd::kScriptRunEnded, Run({"a.vlm"}));
  EXPECT_EQ(1, front_.Runs);
  EXPECT_TRUE(prepared_state_seen);
  EXPECT_EQ("C:\\work\\", job_.ScriptDir);
  EXPECT_FALSE(job_.Script);
  EXPECT_FALSE(job_.SourceStream);
  EXPECT_FALSE(job_.TargetStream);
  EXPECT_TRUE(job_.SourceIndex.empty());
  EXPECT_EQ(0, files_.OpenStreamCount());
  EXPECT_TRUE(files_.HasFile("C:\\work\\ui.wdf"));
}

TEST_F(ProgramEntry, FailureDuringTheRunPassesThroughAfterTheCleanUp) {
  files_.PutFile("C:\\work\\a.vlm", kRunnableScript);
  files_.PutFile("C:\\work\\ui.wdf", EmptyArchive());
  front_.DuringRun = [](JobState&) { throw std::runtime_error("dialog failed"); };
  EXPECT_THROW(Run({"a.vlm"}), std::runtime_error);
  EXPECT_FALSE(job_.Script);
  EXPECT_FALSE(job_.SourceStream);
  EXPECT_FALSE(job_.TargetStream);
  EXPECT_EQ(0, files_.OpenStreamCount());
}

// A stream that notes when it is closed.
class NotingStream final : public Stream {
 public:
  NotingStream(std::vector<std::string>& closed, std::string name)
      : closed_(closed), name_(std::move(name)) {}
  ~NotingStream() override { closed_.push_back(name_); }
  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void*, size_t) override { return false; }
  bool Seek(uint64_t) override { return false; }
  uint64_t Position() override { return 0; }
  bool Size(uint64_t*) override { return false; }
  bool Flush() override { return false; }

 private:
  std::vector<std::string>& closed_;
  std::string name_;
};

TEST(ReleaseRun, ClosesSourceThenTargetThenTheOldTarget) {
  std::vector<std::string> closed;
  JobState job;
  job.Script = std::make_unique<ScriptLines>("a=b");
  job.OldTarget = std::make_unique<NotingStream>(closed, "old target");
  job.TargetStream = std::make_unique<NotingStream>(closed, "target");
  job.SourceStream = std::make_unique<NotingStream>(closed, "source");
  job.TargetIndex.resize(2);
  ReleaseRun(job);
  EXPECT_EQ(std::vector<std::string>({"source", "target", "old target"}), closed);
  EXPECT_FALSE(job.Script);
  EXPECT_TRUE(job.TargetIndex.empty());
  ReleaseRun(job);  // nothing is released twice
  EXPECT_EQ(3u, closed.size());
}

}  // namespace
}  // namespace velmora
