#include "ui/terminal_run_posix.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <sstream>
#include <string>

#include "job/pack_run_fixture.h"
#include "msg/format.h"

namespace velmora {
namespace {

using pack_run_testing::Entries;
using pack_run_testing::MakeArchive;

const Entries kThreeEntries = {{0x10, "alpha"}, {0x20, "bravo!"}, {0x30, "charlie"}};

// A terminal view that presses Ctrl-C while the entry `interrupt_at` is being begun.
class InterruptingView : public TerminalView {
 public:
  InterruptingView(std::ostream& out, std::istream& in, uint32_t interrupt_at)
      : TerminalView(out, in, false), interrupt_at_(interrupt_at) {}
  void ReportProgress(uint32_t index, uint32_t count) override {
    TerminalView::ReportProgress(index, count);
    if (index == interrupt_at_) raise(SIGINT);
  }

 private:
  uint32_t interrupt_at_;
};

class TerminalRunTest : public pack_run_testing::PackRunFixture {
 protected:
  std::ostringstream out;
  std::istringstream in;

  // The archive the run left at the target path.
  Entries Written() {
    Entries entries;
    EXPECT_TRUE(pack_run_testing::ReadWrittenArchive(files.FileBytes(kTargetPath), &entries));
    EXPECT_EQ(files.OpenStreamCount(), 1) << "only the source may stay open";
    return entries;
  }

  // The lines after the progress lines.
  std::string Report() {
    std::string text = out.str();
    size_t end_of_progress = text.rfind("[progress]");
    if (end_of_progress == std::string::npos) return text;
    return text.substr(text.find('\n', end_of_progress) + 1);
  }
};

TEST_F(TerminalRunTest, SuccessfulRunReportsWhatTheScriptAsksFor) {
  SetUpJob(MakeArchive(kThreeEntries),
           "#RunEnd=Done.\\nAll good.\r\n@00000020=@Delete\r\n@00000099=@Delete\r\n");
  TerminalView terminal(out, in, false);
  RunInTerminal(job, files, terminal);
  EXPECT_EQ(terminal.EntriesBegun(), 3u);
  EXPECT_EQ(Report(),
            "[info] " +
                TerminalLines("Done.\rAll good.\r\r" +
                              Message(MessageKey::MsgDeletedCount, {2, 1}) + "\r\r" +
                              Message(MessageKey::MsgUnexecutedHeading) + "\r@00000099=@Delete") +
                "\n");
  EXPECT_EQ(Written(), (Entries{{0x10, "alpha"}, {0x30, "charlie"}}));
}

TEST_F(TerminalRunTest, SuccessfulRunWithoutRunEndEndsSilently) {
  SetUpJob(MakeArchive(kThreeEntries), "@00000020=@Delete\r\n@00000099=@Delete\r\n");
  TerminalView terminal(out, in, false);
  RunInTerminal(job, files, terminal);
  EXPECT_EQ(Report(), "");
  EXPECT_EQ(Written().size(), 2u);
}

TEST_F(TerminalRunTest, RuleFailureShowsTheRuleAndTheMessage) {
  SetUpJob(MakeArchive(kThreeEntries), "#RunEnd=\r\n@00000020=@00000077 ; no such entry\r\n");
  TerminalView terminal(out, in, false);
  RunInTerminal(job, files, terminal);
  ASSERT_FALSE(job.ErrorText.empty());
  EXPECT_EQ(Report(), "[error] " +
                          TerminalLines(Message(MessageKey::MsgScriptError,
                                                {"@00000020=@00000077", job.ErrorText})) +
                          "\n");
  EXPECT_FALSE(files.HasFile(kTargetPath));
}

TEST_F(TerminalRunTest, InterruptStopsTheRunBeforeItsNextEntryAndRemovesTheTarget) {
  SetUpJob(MakeArchive(kThreeEntries), "#RunEnd=\r\n");
  struct sigaction before = {};
  sigaction(SIGINT, nullptr, &before);
  InterruptingView terminal(out, in, 0);
  RunInTerminal(job, files, terminal);
  EXPECT_EQ(terminal.EntriesBegun(), 1u);
  EXPECT_EQ(Report(),
            "[error] " +
                TerminalLines(Message(MessageKey::MsgPackFailed, {kSourcePath, kTargetPath})) +
                "\n");
  EXPECT_EQ(job.ErrorText, "");
  EXPECT_FALSE(files.HasFile(kTargetPath)) << "a cancelled run leaves its target behind";

  struct sigaction after = {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler) << "Ctrl-C is given back after the run";
}

TEST_F(TerminalRunTest, InterruptDuringTheLastEntryStillCompletesTheArchive) {
  SetUpJob(MakeArchive(kThreeEntries), "#RunEnd=\r\n");
  InterruptingView terminal(out, in, 2);
  RunInTerminal(job, files, terminal);
  EXPECT_EQ(Report(),
            "[info] " +
                TerminalLines(Message(MessageKey::MsgPackSucceeded, {kSourcePath, kTargetPath})) +
                "\n");
  EXPECT_EQ(Written(), kThreeEntries);
}

}  // namespace
}  // namespace velmora
