#include "job/run_report.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "job/script.h"
#include "msg/format.h"

namespace velmora {
namespace {

// A prepared-and-run job over a script given as lines; `used` lists the lines the walk marked.
JobState RunJob(const std::vector<std::string>& lines, const std::vector<size_t>& used = {}) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  JobState job;
  job.Script = std::make_unique<ScriptLines>(bytes);
  for (size_t index : used) job.Script->SetUsedMark(index);
  job.SourcePath = "D:\\proj\\data\\ui.wdf";
  job.TargetPath = "D:\\proj\\build\\ui.wdf";
  job.SourceCount = 10;
  job.TargetCount = 10;
  return job;
}

std::string PackSucceeded(const JobState& job) {
  return Message(MessageKey::MsgPackSucceeded, {job.SourcePath, job.TargetPath});
}

TEST(SuccessReportTest, NoRunEndLineMeansNoReportWhateverHappened) {
  JobState job = RunJob({"#SrcFile=ui.wdf", "@00000001=@Delete", "@00000002=", "#RunEndX="});
  job.TargetCount = 9;  // one entry deleted, one rule line never reached
  EXPECT_EQ(SuccessReport(job), std::nullopt);

  JobState without_script;
  EXPECT_EQ(SuccessReport(without_script), std::nullopt);
}

TEST(SuccessReportTest, EmptyOrCommentedOutEndTextGivesTheStandardMessage) {
  for (const char* line : {"#RunEnd=", "#RunEnd=   \t", "#RunEnd=;Done.", "#runend= ; note"}) {
    JobState job = RunJob({"#SrcFile=ui.wdf", line});
    EXPECT_EQ(SuccessReport(job), PackSucceeded(job)) << "line: " << line;
  }
}

TEST(SuccessReportTest, EndTextIsCleanedWithItsLineBreakEscapes) {
  JobState job = RunJob({"#RunEnd=  Title pictures replaced.\\nBack \\N up ; old text  "});
  EXPECT_EQ(SuccessReport(job), "Title pictures replaced.\rBack \\N up");

  // The first #RunEnd line wins.
  job = RunJob({"#RunEnd=\\nfirst\\n", "#RunEnd=second"});
  EXPECT_EQ(SuccessReport(job), "\rfirst\r");
}

TEST(SuccessReportTest, DeletedEntriesAreCountedAfterAnEmptyLine) {
  JobState job = RunJob({"#RunEnd=Done."});
  job.TargetCount = 8;
  EXPECT_EQ(SuccessReport(job), "Done.\r\r" + Message(MessageKey::MsgDeletedCount, {8, 2}));

  job = RunJob({"#RunEnd="});
  job.TargetCount = 0;
  EXPECT_EQ(SuccessReport(job),
            PackSucceeded(job) + "\r\r" + Message(MessageKey::MsgDeletedCount, {0, 10}));
}

TEST(SuccessReportTest, UnexecutedRuleLinesAreListedCleanedInScriptOrder) {
  JobState job = RunJob(
      {
          "#RunEnd=Done.",                 // 0: header key, never listed
          "@0000A1B2=",                    // 1: reached
          "  @0000A1B7 =@Delete  ; note",  // 2: name ends in a blank, never reached
          ";@0000A1B8=@Delete",            // 3: comment line
          "@0000A1B2=@Delete",             // 4: second line for a reached id
          "\t\x01@00000001=a\\nb ; c",     // 5: control bytes before the '@'
          "",                              // 6: empty line
          "x@00000002=",                   // 7: not a rule line
          "\xB0\xA1@00000003=",            // 8: a character before the '@'
          "@",                             // 9: a bare '@'
          "#SrcFile=@ui.wdf",              // 10: header key whose value begins with '@'
      },
      {1});
  std::string expected = std::string("Done.\r\r") + Message(MessageKey::MsgUnexecutedHeading) +
                         "\r@0000A1B7 =@Delete" + "\r@0000A1B2=@Delete" + "\r@00000001=a\\nb" +
                         "\r@";
  EXPECT_EQ(SuccessReport(job), expected);
}

TEST(SuccessReportTest, MarkedLinesAndNonRuleLinesLeaveNoHeading) {
  JobState job = RunJob({"#RunEnd=Done.", "@00000001=", ";@00000002=", "  ", "#Author=@x"}, {1});
  EXPECT_EQ(SuccessReport(job), "Done.");
}

TEST(SuccessReportTest, DeletedCountComesBeforeTheUnexecutedLines) {
  JobState job = RunJob({"#RunEnd=", "@00000001=@Delete", "@00000001=@Delete"}, {1});
  job.SourceCount = 3;
  job.TargetCount = 2;
  EXPECT_EQ(SuccessReport(job),
            PackSucceeded(job) + "\r\r" + Message(MessageKey::MsgDeletedCount, {2, 1}) + "\r\r" +
                Message(MessageKey::MsgUnexecutedHeading) + "\r@00000001=@Delete");
}

#if !defined(_WIN32)
// The catalogue is compiled into POSIX builds; the words of the report can be checked whole.
TEST(SuccessReportTest, ReportOfTheWorkedExampleReadsInTheProgramsWords) {
  JobState job =
      RunJob({"#RunEnd=Title pictures replaced.", "@0000A1B4=@delete", "@0000A1B7 =@Delete"}, {1});
  job.TargetCount = 9;
  EXPECT_EQ(SuccessReport(job),
            "Title pictures replaced.\r\r新文件中资源数共 9 个，被删除 1 个\r\r"
            "请注意，以下脚本未被执行：\r@0000A1B7 =@Delete");
}
#endif

TEST(RunOutcomeTest, ASuccessNeedsEveryEntryBegunAndNoError) {
  JobState job = RunJob({});
  job.SourceCount = 10;
  EXPECT_TRUE(RunSucceeded(job, 10));
  EXPECT_FALSE(RunSucceeded(job, 9)) << "a cancel before the last entry";
  job.ErrorText = "error";
  EXPECT_FALSE(RunSucceeded(job, 10)) << "a failure after the last entry was begun";

  JobState empty = RunJob({});
  empty.SourceCount = 0;
  EXPECT_TRUE(RunSucceeded(empty, 0)) << "an archive without entries";
}

TEST(RunOutcomeTest, ArchivesBeyondSixteenBitCountsAreJudgedByEntriesBegun) {
  JobState job = RunJob({});
  job.SourceCount = 70000;
  EXPECT_TRUE(RunSucceeded(job, 70000));
  EXPECT_FALSE(RunSucceeded(job, 69999));
  EXPECT_FALSE(RunSucceeded(job, 70000 & 0xFFFF)) << "a count cut to 16 bits is not complete";
}

TEST(RunOutcomeTest, FailureReportShowsTheWorkersMessageOrTheInterruption) {
  JobState job = RunJob({});
  EXPECT_EQ(FailureReport(job),
            Message(MessageKey::MsgPackFailed, {job.SourcePath, job.TargetPath}));

  job.ErrorRule = "@00000001=missing.bmp";
  job.ErrorText = "error text";
  EXPECT_EQ(FailureReport(job),
            Message(MessageKey::MsgScriptError, {"@00000001=missing.bmp", "error text"}));

  // A source entry out of bounds before any rule was found leaves the rule line empty.
  job.ErrorRule.clear();
  EXPECT_EQ(FailureReport(job), Message(MessageKey::MsgScriptError, {"", "error text"}));
#if !defined(_WIN32)
  EXPECT_EQ(FailureReport(job), "脚本执行错误\r\r\rerror text");
#endif
}

}  // namespace
}  // namespace velmora
