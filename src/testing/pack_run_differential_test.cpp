// RunPack against the plain reference run over random archives and scripts: every rule kind,
// repeated ids, names that locale comparisons treat specially, references into other archives
// (the source itself, the target, one that changes during the run, one that is no archive),
// external files, stops and full disks. Both must leave the same files, marks, failure and
// report.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "job/pack_run.h"
#include "testing/pack_run_fixture.h"
#include "sys/code_page.h"
#include "testing/gbk_lead_bytes.h"
#include "testing/locked_file_system.h"
#include "testing/memory_file_system.h"
#include "testing/random_pack_case.h"
#include "testing/reference_pack_run.h"
#include "job/run_report.h"

namespace velmora {
namespace {

using random_pack_case::Case;
using random_pack_case::CaseMaker;
using random_pack_case::kDataDir;
using random_pack_case::kDir;
using random_pack_case::kSource;
using random_pack_case::kTarget;

// Everything a run leaves that anyone can see.
struct Outcome {
  std::string ErrorText, ErrorRule, Report;
  bool Succeeded = false;
  uint32_t TargetCount = 0;
  std::vector<int> Marks;
  std::vector<std::pair<std::string, std::string>> Files;
  std::vector<uint32_t> Progress;
  int FinishedCalls = 0;
  int OpenStreams = 0;
};

using Runner = std::function<void(JobState&, FileSystem&, RunView&)>;

// `on_threads`: the run sees the files through one lock, opens rule files ahead and reads the
// source ahead on threads.
Outcome RunCase(const Case& c, const Runner& run, bool on_threads = false) {
  MemoryFileSystem memory;
  memory.SetHeldFilesStayInPlace(c.HeldFilesStay);
  for (const auto& file : c.Files) memory.PutFile(file.first, file.second);
  LockedFileSystem locked(memory);
  FileSystem& files = on_threads ? static_cast<FileSystem&>(locked) : memory;
  JobState job;
  job.ScriptPath = kDir + "ui.vlm";
  job.ScriptDir = kDir;
  job.Script = std::make_unique<ScriptLines>(c.Script);
  job.SourcePath = kSource;
  job.TargetPath = kTarget;
  job.SourceStream = files.OpenShared(kSource);
  if (c.TargetExists) {
    memory.PutFile(kTarget, "the old archive");
    job.OldTarget = files.OpenExclusive(kTarget);
    job.TargetWritePath = kTarget + ".vlmtmp";
  } else {
    job.TargetWritePath = kTarget;
  }
  job.TargetStream = files.CreateNewExclusive(job.TargetWritePath);
  if (!ReadWdfHeader(*job.SourceStream, &job.SourceCount, &job.SourceIndexOffset)) {
    ADD_FAILURE() << "the generated source is no archive";
  }
  if (!c.FailReadsOf.empty()) memory.FailReadsOfFrom(c.FailReadsOf, c.FailReadsFrom);
  if (c.WriteLimit >= 0) memory.LimitWrittenBytes(static_cast<uint64_t>(c.WriteLimit));
  RecordingView view;
  view.StopAfterReports = c.StopAfter;
  view.OnReport = [&memory, &locked, &c](uint32_t index) {
    if (static_cast<int64_t>(index) != c.ChangeAt) return;
    const std::unique_lock<std::mutex> hold = locked.Hold();
    memory.PutFile(c.Change.first, c.Change.second);
  };
  run(job, files, view);

  Outcome out;
  out.ErrorText = job.ErrorText;
  out.ErrorRule = job.ErrorRule;
  out.Succeeded = RunSucceeded(job, static_cast<uint32_t>(view.Progress.size()));
  if (out.Succeeded) {
    out.TargetCount = job.TargetCount;
    out.Report = SuccessReport(job).value_or("(no report)");
  } else {
    out.Report = FailureReport(job);
  }
  for (size_t k = 0; k < job.Script->Count(); ++k) out.Marks.push_back(job.Script->UsedMarkAt(k));
  job.SourceStream.reset();
  job.TargetStream.reset();
  job.OldTarget.reset();
  for (const std::string& path : memory.FilePaths())
    out.Files.push_back({path, memory.FileBytes(path)});
  out.Progress = view.Progress;
  out.FinishedCalls = view.FinishedCalls;
  out.OpenStreams = memory.OpenStreamCount();
  return out;
}

std::string FileList(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string list;
  for (const auto& file : files) {
    list += "  " + file.first + ": " + std::to_string(file.second.size()) + " bytes\n";
  }
  return list;
}

void ExpectSameOutcome(const Case& c, uint32_t seed, bool on_threads) {
  const Outcome fast = RunCase(c, RunPack, on_threads);
  const Outcome plain = RunCase(c, ReferenceRunPack);
  SCOPED_TRACE("case seed " + std::to_string(seed) + ", script:\n" + c.Script);
  EXPECT_EQ(fast.ErrorText, plain.ErrorText);
  EXPECT_EQ(fast.ErrorRule, plain.ErrorRule);
  EXPECT_EQ(fast.Succeeded, plain.Succeeded);
  EXPECT_EQ(fast.Report, plain.Report);
  EXPECT_EQ(fast.TargetCount, plain.TargetCount);
  EXPECT_EQ(fast.Marks, plain.Marks);
  EXPECT_TRUE(fast.Files == plain.Files) << "the files after the run differ:\n"
                                         << FileList(fast.Files) << "against\n"
                                         << FileList(plain.Files);
  EXPECT_EQ(fast.FinishedCalls, plain.FinishedCalls);
  EXPECT_EQ(fast.OpenStreams, plain.OpenStreams);
  // A full disk is found where the held bytes are written, which may be some entries later; it
  // changes nothing else.
  if (c.WriteLimit < 0) {
    EXPECT_EQ(fast.Progress, plain.Progress);
  }
}

// Random cases, up to the first that fails: one case in full is enough to read. Every
// `large_every`-th case may hold entries larger than the run's buffers.
void ExpectRandomRunsAlike(uint32_t cases, uint32_t large_every, bool on_threads) {
  [[maybe_unused]] GbkLeadBytes gbk;
  for (uint32_t seed = 1; seed <= cases; ++seed) {
    const Case c = CaseMaker(seed).Make(seed % large_every == 0);
    ExpectSameOutcome(c, seed, on_threads);
    if (::testing::Test::HasFailure()) break;
  }
}

TEST(PackRunDifferentialTest, RandomRunsLeaveWhatThePlainRunLeaves) {
#if defined(_WIN32)
  ExpectRandomRunsAlike(150, 40, false);  // the system's comparison and sort keys, under 936
#else
  ExpectRandomRunsAlike(3000, 40, false);
#endif
}

// The same where opening a file costs many times its read and the source may be read from
// threads: rule files are then opened and closed on threads of their own, the source read ahead
// on another, and whether the run finds each file open, or each byte read, changes nothing
// anyone can see.
TEST(PackRunDifferentialTest, RunsOnThreadsLeaveWhatThePlainRunLeaves) {
#if defined(_WIN32)
  ExpectRandomRunsAlike(60, 4, true);
#else
  ExpectRandomRunsAlike(800, 4, true);
#endif
}

}  // namespace
}  // namespace velmora
