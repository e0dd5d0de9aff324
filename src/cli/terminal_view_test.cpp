#include "cli/terminal_view.h"

#include <gtest/gtest.h>

#include "testing/memory_console.h"

namespace velmora {
namespace {

TEST(TerminalTextTest, LineBreaksBecomeLineFeeds) {
  EXPECT_EQ(TerminalText("a\r\rb"), "a\n\nb");
  EXPECT_EQ(TerminalText("failed    \r\rAccess is denied.\r\n"),
            "failed    \n\nAccess is denied.\n");
  EXPECT_EQ(TerminalText("\n\r"), "\n\n");
#if !defined(_WIN32)
  EXPECT_EQ(TerminalText("\\tmp\\demo\\ui.wdf"), "/tmp/demo/ui.wdf");
#endif
}

struct AnswerCase {
  const char* Name;
  bool AssumeYes;
  bool InTerminal;
  std::vector<std::string> Lines;
  int Answer;
  const char* ErrContains;
};

const AnswerCase kAnswers[] = {
    {"--yes answers OK without reading", true, false, {"n"}, 1, "Overwrite?\nreally [y/N] y\n"},
    {"no terminal: Cancel, and --yes is named", false, false, {"y"}, 2, "--yes"},
    {"y on the terminal", false, true, {"y"}, 1, "Overwrite?\nreally [y/N] "},
    {"YES with blanks", false, true, {" YES "}, 1, "[y/N]"},
    {"n", false, true, {"n"}, 2, "[y/N]"},
    {"an empty line takes the default", false, true, {""}, 2, "[y/N]"},
    {"ok is no yes", false, true, {"ok"}, 2, "[y/N]"},
    {"end of input", false, true, {}, 2, "[y/N] \n"},
};

TEST(TerminalViewTest, QuestionsAreAnsweredAsTheTerminalAllows) {
  for (const AnswerCase& c : kAnswers) {
    SCOPED_TRACE(c.Name);
    MemoryConsole console;
    console.InTerminal = c.InTerminal;
    console.Answers.assign(c.Lines.begin(), c.Lines.end());
    JobState job;
    TerminalOptions options;
    options.AssumeYes = c.AssumeYes;
    TerminalView view(console, job, options);
    EXPECT_EQ(view.AskOkCancel("Overwrite?\rreally"), c.Answer);
    EXPECT_NE(console.ErrText.find(c.ErrContains), std::string::npos) << console.ErrText;
    EXPECT_EQ(console.OutText, "") << "questions go to standard error";
    EXPECT_EQ(console.Answers.size(), c.InTerminal && !c.AssumeYes ? 0u : c.Lines.size())
        << "read only when asked on a terminal";
  }
}

TEST(TerminalViewTest, ReportsGoToTheirStreamsAndQuietDropsOnlySuccess) {
  for (bool quiet : {false, true}) {
    MemoryConsole console;
    JobState job;
    TerminalOptions options;
    options.Quiet = quiet;
    TerminalView view(console, job, options);
    view.ShowInfo("done\rall");
    view.ShowError("failed");
    EXPECT_EQ(console.OutText, quiet ? "" : "done\nall\n");
    EXPECT_EQ(console.ErrText, "failed\n");
  }
}

TEST(TerminalViewTest, ProgressOnlyOnATerminalAndNotWhenQuiet) {
  struct {
    bool ErrTerminal;
    bool Quiet;
    bool Shown;
  } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
  for (const auto& c : cases) {
    MemoryConsole console;
    console.ErrTerminal = c.ErrTerminal;
    JobState job;
    TerminalOptions options;
    options.Quiet = c.Quiet;
    TerminalView view(console, job, options);
    for (uint32_t i = 0; i < 5000; ++i) view.ReportProgress(i, 5000);
    EXPECT_EQ(view.EntriesBegun(), 5000u);
    if (!c.Shown) {
      EXPECT_EQ(console.ErrText, "");
      continue;
    }
    // Drawn at the first and the last entry; within a tenth of a second nothing between.
    EXPECT_EQ(console.ErrText.rfind("\r  0%  1/5000 entries  0.0 KiB written", 0), 0u)
        << console.ErrText;
    EXPECT_NE(console.ErrText.find("\r100%  5000/5000 entries"), std::string::npos)
        << console.ErrText;
    EXPECT_LE(std::count(console.ErrText.begin(), console.ErrText.end(), '\r'), 4);
    EXPECT_EQ(console.ErrText.find('\n'), std::string::npos) << "redrawn in place";
    const size_t before = console.ErrText.size();
    view.ShowError("x");
    const std::string cleared = console.ErrText.substr(before);
    EXPECT_EQ(cleared.rfind("\r    ", 0), 0u) << "the line is blanked before the report";
    EXPECT_EQ(cleared.substr(cleared.size() - 3), "\rx\n");
  }
}

TEST(ProgressLineTest, RateAndTimeLeftOnceTheRunHasGoneOnLongEnough) {
  EXPECT_EQ(ProgressLine(1, 4, 2048, 0.1, false), " 25%  1/4 entries  2.0 KiB written");
  EXPECT_EQ(ProgressLine(2, 4, 4 * 1024 * 1024, 2.0, false),
            " 50%  2/4 entries  4.0 MiB written  2.0 MiB/s  0:02 left");
  EXPECT_EQ(ProgressLine(1, 3601, 0, 1.0, false),
            "  0%  1/3601 entries  0.0 KiB written  0.0 KiB/s  1:00:00 left");
  EXPECT_EQ(ProgressLine(1, 2, 1024, 1.0, true),
            " 50%  1/2 个条目  已写 1.0 KiB  1.0 KiB/s  剩余 0:01");
  EXPECT_EQ(TerminalColumns("ab 已写"), 7u);
}

}  // namespace
}  // namespace velmora
