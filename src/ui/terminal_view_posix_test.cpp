#include "ui/terminal_view_posix.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace velmora {
namespace {

TEST(TerminalLinesTest, EveryCarriageReturnBreakBecomesOneLineFeed) {
  EXPECT_EQ(TerminalLines("a\r\rb"), "a\n\nb");
  EXPECT_EQ(TerminalLines("failed    \r\rAccess is denied.\r\n"),
            "failed    \n\nAccess is denied.\n");
  EXPECT_EQ(TerminalLines("\n\r"), "\n\n");
  EXPECT_EQ(TerminalLines("no break"), "no break");
}

TEST(TerminalViewTest, BoxesArePrintedWithTheirKind) {
  std::ostringstream out;
  std::istringstream in;
  TerminalView view(out, in, false);
  view.ShowInfo("done\rall");
  view.ShowError("failed");
  EXPECT_EQ(out.str(), "[info] done\nall\n[error] failed\n");
}

TEST(TerminalViewTest, OnlyAnAnswerBeginningWithYIsConsent) {
  std::ostringstream out;
  std::istringstream in("y\n  Yes\nn\n\nok\n");
  TerminalView view(out, in, false);
  EXPECT_EQ(view.AskOkCancel("overwrite?"), 1);
  EXPECT_EQ(view.AskOkCancel("again?"), 1);
  EXPECT_EQ(view.AskOkCancel("no?"), 2);
  EXPECT_EQ(view.AskOkCancel("empty?"), 2);
  EXPECT_EQ(view.AskOkCancel("ok?"), 2);
  EXPECT_EQ(view.AskOkCancel("input ended?"), 2) << "no answer is a refusal";
  EXPECT_EQ(out.str().find("[question] overwrite? [y/n] "), 0u) << out.str();
}

TEST(TerminalViewTest, AssumeYesAnswersWithoutReading) {
  std::ostringstream out;
  std::istringstream in("n\n");
  TerminalView view(out, in, true);
  EXPECT_EQ(view.AskOkCancel("run\rit?"), 1);
  EXPECT_EQ(out.str(), "[question] run\nit? [y/n] y\n");
}

TEST(TerminalViewTest, ProgressIsPrintedOncePerPercentAndEveryEntryCounted) {
  std::ostringstream out;
  std::istringstream in;
  TerminalView view(out, in, false);
  for (uint32_t i = 0; i < 1000; ++i) view.ReportProgress(i, 1000);
  EXPECT_EQ(view.EntriesBegun(), 1000u);
  std::istringstream printed(out.str());
  std::string line, last;
  int lines = 0;
  while (std::getline(printed, line)) {
    ++lines;
    last = line;
  }
  EXPECT_EQ(lines, 101);
  EXPECT_EQ(out.str().find("[progress] 0% 1/1000\n"), 0u) << out.str().substr(0, 40);
  EXPECT_EQ(last, "[progress] 100% 1000/1000");
}

}  // namespace
}  // namespace velmora
