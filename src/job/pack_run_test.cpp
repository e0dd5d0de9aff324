// The pack run as a whole: the walk and its checks, stopping, the finished archive, and the
// faults of the file layer, each of which must leave no partial archive and no lost target.
#include "job/pack_run.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "testing/pack_run_fixture.h"

namespace velmora {
namespace {

using pack_run_testing::CountingStream;
using pack_run_testing::Entries;
using pack_run_testing::IndexRecord;
using pack_run_testing::Le32;
using pack_run_testing::MakeArchive;
using pack_run_testing::PackRunFixture;
using pack_run_testing::ShiftedStream;
using pack_run_testing::SystemText;

const Entries kThreeEntries = {{0x10, "alpha"}, {0x20, "bravo!"}, {0x30, "charlie"}};

// Header, 10 bytes of the first entry at 12, the index at 22, 10 bytes of the second entry at
// 54: the header passes, the second entry lies where the check takes the index to be.
std::string SixtyFourByteArchive() {
  return "PFDW" + Le32(2) + Le32(22) + "0123456789" + IndexRecord(1, 12, 10) +
         IndexRecord(2, 54, 10) + "ABCDEFGHIJ";
}

class PackRunTest : public PackRunFixture {
 protected:
  std::string SourceNotWdf() { return Message(MessageKey::MsgSourceNotWdf, {kSourcePath}); }
  std::string WriteFailed(unsigned long code) {
    return Message(MessageKey::MsgTargetWriteFailed, {kTargetPath, SystemText(code)});
  }
};

TEST_F(PackRunTest, CopiesEveryEntryWithoutRules) {
  SetUpJob(MakeArchive(kThreeEntries), "#SrcFile=ui.wdf\r\n");
  Run();
  EXPECT_EQ(ExpectWritten(), kThreeEntries);
  EXPECT_EQ(view.Progress, (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_EQ(job.TargetCount, 3u);
}

TEST_F(PackRunTest, EmptySourceGivesTheTwelveByteArchive) {
  const std::string empty_archive = "PFDW" + Le32(0) + Le32(12);
  SetUpJob(MakeArchive({}), "");
  Run();
  ExpectWritten();
  EXPECT_EQ(files.FileBytes(kTargetPath), empty_archive);
  EXPECT_TRUE(view.Progress.empty());
}

TEST_F(PackRunTest, DeletingEveryEntryGivesTheTwelveByteArchive) {
  SetUpJob(MakeArchive(kThreeEntries), "@00000010=@Delete\n@00000020=@delete\n@00000030=@DELETE\n");
  Run();
  ExpectWritten();
  EXPECT_EQ(files.FileBytes(kTargetPath), "PFDW" + Le32(0) + Le32(12));
  EXPECT_EQ(job.TargetCount, 0u);
}

TEST_F(PackRunTest, SourceSizeIsAskedAnewForEveryEntry) {
  SetUpJob(SixtyFourByteArchive(), "");
  // The file grows while the first entry is copied: the second entry is then in bounds.
  view.OnReport = [this](uint32_t index) {
    if (index == 0) files.SetApparentSize(kSourcePath, 96);
  };
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{1, "0123456789"}, {2, "ABCDEFGHIJ"}}));
}

TEST_F(PackRunTest, ThirdEntryOutOfBoundsEndsTheRunAfterTwoEntriesWereProcessed) {
  std::string source = MakeArchive(kThreeEntries);
  const size_t third_size_at = source.size() - 16 + 8;
  source.replace(third_size_at, 4, Le32(1000));
  SetUpJob(source, "@00000010=\n@00000020=@00000010 ; same as the first\n@00000030=@Delete\n",
           true);
  Run();
  ExpectNothingWritten(SourceNotWdf(), true);
  EXPECT_EQ(view.Progress, (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(job.Script->UsedMarkAt(0), 1);
  EXPECT_EQ(job.Script->UsedMarkAt(1), 1);
  EXPECT_EQ(job.Script->UsedMarkAt(2), 0);
  EXPECT_EQ(job.ErrorRule, "@00000020=@00000010");
}

TEST_F(PackRunTest, StopBeforeTheFirstEntryRunsNoStepAndLeavesNoTarget) {
  SetUpJob(MakeArchive(kThreeEntries), "@00000010=@Delete\n");
  view.StopAfterReports = 0;
  Run();
  ExpectNothingWritten("");
  EXPECT_TRUE(view.Progress.empty());
  EXPECT_EQ(job.Script->UsedMarkAt(0), 0);
}

TEST_F(PackRunTest, StopInTheMiddleFinishesTheEntryThenRemovesTheNewArchive) {
  SetUpJob(MakeArchive(kThreeEntries), "", true);
  view.StopAfterReports = 2;
  Run();
  ExpectNothingWritten("", true);
  EXPECT_EQ(view.Progress, (std::vector<uint32_t>{0, 1}));
}

TEST_F(PackRunTest, StopDuringTheLastEntryStillCompletesTheArchive) {
  SetUpJob(MakeArchive(kThreeEntries), "", true);
  view.StopAfterReports = 3;  // asked while the last entry is being copied
  Run();
  EXPECT_EQ(ExpectWritten(), kThreeEntries);
}

TEST_F(PackRunTest, FailedRuleLeavesTheOldTargetAsItWas) {
  SetUpJob(MakeArchive(kThreeEntries), "@00000030=@nothing\n", true);
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgInternalIdInvalid, {"nothing"}), true);
  EXPECT_EQ(job.ErrorRule, "@00000030=@nothing");
}

TEST_F(PackRunTest, FailedReplacementIsAFailureAndKeepsTheOldTarget) {
  SetUpJob(MakeArchive(kThreeEntries), "", true);
  files.FailRenames();
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgTargetReplaceFailed,
                               {kTargetPath, SystemText(SystemErrorAccessDenied())}),
                       true);
}

// The new archive's bytes must be on the disk before it takes the target's name: a flush that
// fails is a failed write, found while the old target (or no target) is still in place.
TEST_F(PackRunTest, FailedFlushIsAWriteFailureAndKeepsTheOldTarget) {
  SetUpJob(MakeArchive(kThreeEntries), "", true);
  files.FailFlushes(SystemErrorDiskFull());
  Run();
  ExpectNothingWritten(WriteFailed(SystemErrorDiskFull()), true);
}

TEST_F(PackRunTest, FailedFlushOfANewTargetLeavesNoTarget) {
  SetUpJob(MakeArchive(kThreeEntries), "");
  files.FailFlushes(SystemErrorDiskFull());
  Run();
  ExpectNothingWritten(WriteFailed(SystemErrorDiskFull()));
}

TEST_F(PackRunTest, CompletedArchiveSurvivesAPowerCutThatFollowsTheRun) {
  SetUpJob(MakeArchive(kThreeEntries), "@00000020=@Delete\n", true);
  Run();
  files.CutPower();
  EXPECT_EQ(ExpectWritten(), (Entries{{0x10, "alpha"}, {0x30, "charlie"}}));
}

TEST_F(PackRunTest, ShortReadOfTheSourceIndexIsAnInvalidSource) {
  const std::string source = MakeArchive(kThreeEntries);
  SetUpJob(source, "", true);
  files.FailReadsOfFrom(kSourcePath, source.size() - 20);
  Run();
  ExpectNothingWritten(SourceNotWdf(), true);
  EXPECT_TRUE(view.Progress.empty());
}

TEST_F(PackRunTest, ShortReadOfAnEntryIsAnInvalidSource) {
  // The index before the data, and room behind the data where the check expects the index.
  const std::string source = "PFDW" + Le32(3) + Le32(12) + IndexRecord(0x10, 60, 5) +
                             IndexRecord(0x20, 65, 6) + IndexRecord(0x30, 71, 7) + "alpha" +
                             "bravo!" + "charlie" + std::string(48, '-');
  SetUpJob(source, "");
  files.FailReadsOfFrom(kSourcePath, 60 + 5 + 3);  // inside the second entry
  Run();
  ExpectNothingWritten(SourceNotWdf());
  EXPECT_EQ(view.Progress, (std::vector<uint32_t>{0, 1}));
}

TEST_F(PackRunTest, InternalReferenceToAnEntryBeyondTheFileIsAnInvalidSource) {
  // The later entry has not met the bounds check yet when the first one takes its bytes.
  std::string source = MakeArchive({{1, "aaaa"}, {2, "bbbb"}});
  source.replace(source.size() - 16 + 4, 8, Le32(5000) + Le32(10));
  SetUpJob(source, "@00000001=@00000002\n");
  Run();
  ExpectNothingWritten(SourceNotWdf());
}

// A job whose entries take every kind of bytes: kept, an external file, another archive.
class MixedJobTest : public PackRunTest {
 public:
  // 12 header + 5 + 7 + 6 data + 48 index + 8 header counts.
  static constexpr int kBytesWritten = 86;

  void SetUpMixedJob() {
    files.PutFile(kScriptDir + "pic.bmp", "PICTURE");
    files.PutFile("D:\\proj\\data\\more.wdf", MakeArchive({{0x99, "OTHER!"}}));
    SetUpJob(MakeArchive(kThreeEntries), "@00000020=pic.bmp\n@00000030=more.wdf/@99\n", true);
  }
};

// The run's writes fail after `limit` bytes (a full disk): at whatever byte that happens, the
// run fails with the system's reason, and neither a partial archive nor the temporary file
// remains while the old target is untouched.
class PackRunWriteLimitTest : public MixedJobTest, public ::testing::WithParamInterface<int> {};

TEST_P(PackRunWriteLimitTest, FullDiskAtAnyByteLosesNothing) {
  SetUpMixedJob();
  files.LimitWrittenBytes(static_cast<uint64_t>(GetParam()));
  Run();
  ExpectNothingWritten(WriteFailed(SystemErrorDiskFull()), true);
  if (GetParam() < 12) {
    EXPECT_TRUE(view.Progress.empty()) << "an entry begun without a header";
  }
}

INSTANTIATE_TEST_SUITE_P(EveryByte, PackRunWriteLimitTest,
                         ::testing::Range(0, MixedJobTest::kBytesWritten));

TEST_F(MixedJobTest, AllBytesWrittenIsASuccess) {
  SetUpMixedJob();
  files.LimitWrittenBytes(kBytesWritten);
  Run();
  EXPECT_EQ(ExpectWritten(), (Entries{{0x10, "alpha"}, {0x20, "PICTURE"}, {0x30, "OTHER!"}}));
}

TEST_F(PackRunTest, EntryEndingExactlyAtTheLimitIsWrittenButAnIndexBehindItIsTooLarge) {
  SetUpJob(MakeArchive({{1, "123456789"}}), "");
  std::vector<size_t> reads, writes;
  // The file being written pretends to start so far in that the entry ends at 0xFFFFFFFF.
  const uint64_t base = 0xFFFFFFFFull - 12 - 9;
  job.TargetStream = std::make_unique<CountingStream>(
      std::make_unique<ShiftedStream>(std::move(job.TargetStream), base), &reads, &writes);
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgTargetTooLarge, {kTargetPath}));
  EXPECT_EQ(writes, (std::vector<size_t>{12, 9})) << "the index must not be written";
}

TEST_F(PackRunTest, EntryThatWouldEndBeyondTheLimitIsNotWritten) {
  SetUpJob(MakeArchive({{1, "1234567890"}}), "");
  std::vector<size_t> reads, writes;
  const uint64_t base = 0xFFFFFFFFull - 12 - 9;
  job.TargetStream = std::make_unique<CountingStream>(
      std::make_unique<ShiftedStream>(std::move(job.TargetStream), base), &reads, &writes);
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgTargetTooLarge, {kTargetPath}));
  EXPECT_EQ(writes, (std::vector<size_t>{12})) << "no byte of the entry may be written";
}

TEST_F(PackRunTest, IndexBuffersBeyondTheAddressSpaceAreALackOfMemory) {
  if (sizeof(size_t) > 4) {
    GTEST_SKIP() << "needs a 32-bit address space, where two indexes of 4 GiB cannot exist";
  }
  SetUpJob(MakeArchive({}), "");
  job.SourceCount = 0x0FFFFFFF;
  files.SetApparentSize(kSourcePath, 0x0FFFFFFFull * 16 + 12);
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgOutOfMemory, {kSourcePath}));
}

TEST_F(PackRunTest, LackOfMemoryDuringTheWalkIsAFailureNotACrash) {
  SetUpJob(MakeArchive(kThreeEntries), "", true);
  view.OnReport = [](uint32_t index) {
    if (index == 1) throw std::bad_alloc();
  };
  Run();
  ExpectNothingWritten(Message(MessageKey::MsgOutOfMemory, {kSourcePath}), true);
}

TEST_F(PackRunTest, AnyOtherExceptionStillReportsAFailure) {
  SetUpJob(MakeArchive(kThreeEntries), "");
  view.OnReport = [](uint32_t) { throw 42; };
  Run();
  EXPECT_NE(job.ErrorText, "");
  ExpectNothingWritten(job.ErrorText);
}

TEST(WalkSourceIndexTest, WithoutAStepOnlyTheChecksRun) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", SixtyFourByteArchive());
  JobState job;
  job.SourcePath = "C:\\a.wdf";
  job.SourceStream = files.OpenShared(job.SourcePath);
  job.SourceIndex = {{1, 12, 10, 0}, {2, 54, 10, 0}};
  RecordingView view;
  EXPECT_TRUE(WalkSourceIndex(job, view, nullptr, 1));
  EXPECT_FALSE(WalkSourceIndex(job, view, nullptr, 2));
  EXPECT_EQ(job.ErrorText, Message(MessageKey::MsgSourceNotWdf, {"C:\\a.wdf"}));
  job.ErrorText.clear();
  // A reserved Space counts toward the entry's end; the index's room is the last 16 bytes.
  job.SourceIndex[0].Space = 26;
  EXPECT_TRUE(WalkSourceIndex(job, view, nullptr, 1));
  job.SourceIndex[0].Space = 27;
  EXPECT_FALSE(WalkSourceIndex(job, view, nullptr, 1));
}

}  // namespace
}  // namespace velmora
