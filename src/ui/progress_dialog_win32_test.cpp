#include "ui/progress_dialog_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "job/script.h"
#include "msg/format.h"
#include "resource_ids.h"
#include "testing/memory_file_system.h"
#include "ui/progress_bar_win32.h"
#include "job/run_report.h"

namespace velmora {
namespace {

uint32_t GetProgressPos(HWND bar) {
  return static_cast<uint32_t>(SendMessageA(bar, PBM_GETPOS, 0, 0));
}

// The progress dialog's template built in memory: the test program has no resources of its own.
class DialogTemplate {
 public:
  // `bar_class` names the progress bar's window class; a class that does not exist makes a
  // dialog that cannot be created.
  explicit DialogTemplate(const wchar_t* bar_class = L"msctls_progress32") {
    Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER);
    Dword(0);
    count_at_ = words_.size();
    words_.insert(words_.end(), {0, 10, 10, 264, 70});  // item count, rectangle
    words_.insert(words_.end(), {0, 0});                // no menu, default class
    Text(L"Velmora");
    Item(IDC_AUTHOR_LINE, 0x0082, SS_LEFTNOWORDWRAP, 44, 8, 208, 12);
    Item(IDC_DATE_LINE, 0x0082, SS_LEFTNOWORDWRAP, 44, 20, 208, 12);
    Item(IDC_CREDIT_LINE, 0x0082, WS_GROUP | SS_RIGHT, 0, 40, 252, 12);
    Item(IDC_PROGRESS_CAPTION, 0x0082, SS_LEFTNOWORDWRAP, 12, 40, 108, 12);
    Item(IDC_PROGRESS_BAR, 0, PBS_SMOOTH, 12, 52, 240, 10, bar_class);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void Text(const wchar_t* text) {
    for (; *text; ++text) words_.push_back(static_cast<WORD>(*text));
    words_.push_back(0);
  }
  void Item(WORD id, WORD atom, DWORD style, short x, short y, short cx, short cy,
            const wchar_t* class_name = nullptr) {
    if (words_.size() % 2) words_.push_back(0);  // items start on a 4-byte boundary
    Dword(WS_CHILD | WS_VISIBLE | style);
    Dword(0);
    words_.insert(words_.end(), {static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(cx),
                                 static_cast<WORD>(cy), id});
    if (class_name) {
      Text(class_name);
    } else {
      words_.insert(words_.end(), {0xFFFF, atom});
    }
    words_.push_back(0);  // no title
    words_.push_back(0);  // no creation data
    ++words_[count_at_];
  }

  std::vector<WORD> words_;
  size_t count_at_ = 0;
};

// Records the boxes instead of showing them. Like a real box's own message loop, each one
// dispatches the messages that are waiting meanwhile, so a close request that arrives during
// the report reaches the dialog.
class RecordingWindowsView : public WindowsView {
 public:
  using WindowsView::WindowsView;
  struct Box {
    bool Error;
    std::string Text;
    // The dialog as the person sees it under the box.
    std::string Title, Caption;
    uint32_t Position;
  };
  std::vector<Box> Boxes;

  void ShowInfo(const std::string& text) override { Record(false, text); }
  void ShowError(const std::string& text) override { Record(true, text); }

 private:
  void Record(bool error, const std::string& text) {
    char title[512] = {}, caption[512] = {};
    GetWindowTextA(Handles.DialogWindow, title, sizeof title);
    GetDlgItemTextA(Handles.DialogWindow, IDC_PROGRESS_CAPTION, caption, sizeof caption);
    Boxes.push_back({error, text, title, caption, GetProgressPos(Handles.ProgressBar)});
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
};

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

// What a stand-in worker saw of the dialog, read on the worker thread.
struct Seen {
  std::string Title, Author, Date, Caption, Credit;
  uint32_t Position = 0, range = 0;
  bool Stopped = false;
};

void See(RunView& view, Seen* seen) {
  HWND dialog = static_cast<WindowsView&>(view).Handles.DialogWindow;
  HWND bar = static_cast<WindowsView&>(view).Handles.ProgressBar;
  seen->Title = WindowText(dialog);
  seen->Author = ControlText(dialog, IDC_AUTHOR_LINE);
  seen->Date = ControlText(dialog, IDC_DATE_LINE);
  seen->Caption = ControlText(dialog, IDC_PROGRESS_CAPTION);
  seen->Credit = ControlText(dialog, IDC_CREDIT_LINE);
  seen->Position = GetProgressPos(bar);
  seen->range = static_cast<uint32_t>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  seen->Stopped = view.StopRequested();
}

// The scenario a stand-in worker plays; a worker body is a plain function, so it lives here.
struct Scenario {
  Seen AtStart, AfterFirst, AfterLast;
  uint32_t FirstReported = 0;  // entries before this one are skipped (long archives)
  bool PressEscAfterLast = false;
  bool PressEscAfterFirst = false;
  std::string ErrorAfterStop;  // recorded once the stop has been seen
  bool PostExtraClose = false;
  bool StopSeen = false;
  bool Ended = false;
  bool CountBarUpdates = false;
  int BarUpdates = 0;
};
Scenario g_scenario;

WNDPROC g_bar_procedure = nullptr;

// Counts the positions the dialog gives its bar, then lets the bar handle them.
LRESULT CALLBACK CountingBarProcedure(HWND bar, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == PBM_SETPOS) ++g_scenario.BarUpdates;
  return CallWindowProcA(g_bar_procedure, bar, message, wparam, lparam);
}

// Presses Esc as the person would and waits for the worker's stop signal.
void PressEscAndWaitForStop(RunView& view) {
  HWND dialog = static_cast<WindowsView&>(view).Handles.DialogWindow;
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  for (int k = 0; k < 500 && !view.StopRequested(); ++k) Sleep(10);
  g_scenario.StopSeen = view.StopRequested();
  Sleep(100);  // the worker is still busy when the dialog has ended
}

void StandInWorker(JobState& job, FileSystem&, RunView& view) {
  Scenario& s = g_scenario;
  See(view, &s.AtStart);
  if (s.CountBarUpdates) {
    HWND bar = static_cast<WindowsView&>(view).Handles.ProgressBar;
    g_bar_procedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingBarProcedure)));
  }
  for (uint32_t i = s.FirstReported; i < job.SourceCount; ++i) {
    view.ReportProgress(i, job.SourceCount);
    if (i == s.FirstReported) See(view, &s.AfterFirst);
    if (i == s.FirstReported && s.PressEscAfterFirst) {
      PressEscAndWaitForStop(view);
      break;
    }
  }
  if (job.SourceCount > 0) See(view, &s.AfterLast);
  if (s.PressEscAfterLast) PressEscAndWaitForStop(view);
  job.ErrorText = s.ErrorAfterStop;
  if (s.PostExtraClose) {
    PostMessageA(static_cast<WindowsView&>(view).Handles.DialogWindow, WM_CLOSE, 0, 0);
  }
  view.RunFinished();
  s.Ended = true;
}

class ProgressDialogTest : public ::testing::Test {
 protected:
  MemoryFileSystem files;
  JobState job;
  RecordingWindowsView view{job};
  DialogTemplate dialog_template;

  void SetUp() override {
    g_scenario = Scenario();
    job.Script = std::make_unique<ScriptLines>("#RunEnd=Done.\r\n");
    job.SourcePath = "D:\\proj\\data\\ui.wdf";
    job.TargetPath = "D:\\proj\\build\\ui.wdf";
    job.Texts.AuthorLine = "from here";
    job.Texts.DateLine = "to there";
  }

  void Show(uint32_t count) {
    job.SourceCount = count;
    job.TargetCount = count;
    INT_PTR result =
        ShowProgressDialogFromTemplate(dialog_template.Get(), job, files, view, StandInWorker);
    ASSERT_EQ(result, 0) << "the dialog could not be shown: error " << GetLastError();
    EXPECT_TRUE(g_scenario.Ended) << "returned before the worker had ended";
    EXPECT_FALSE(IsWindow(view.Handles.DialogWindow));
  }

  void ExpectOneBox(bool error, const std::string& text) {
    ASSERT_EQ(view.Boxes.size(), 1u);
    EXPECT_EQ(view.Boxes[0].Error, error);
    EXPECT_EQ(view.Boxes[0].Text, text);
  }
};

TEST_F(ProgressDialogTest, DialogThatCannotBeShownStartsNoRunAndLeavesNoNewArchive) {
  const std::string target = job.TargetPath;
  const std::string temporary = target + ".vlmtmp";
  files.PutFile(target, "old archive");
  files.PutFile(temporary, "");
  job.OldTarget = files.OpenExclusive(target);
  job.TargetWritePath = temporary;
  job.TargetStream = files.OpenExclusive(temporary);
  DialogTemplate broken(L"no_such_window_class");
  EXPECT_EQ(ShowProgressDialogFromTemplate(broken.Get(), job, files, view, StandInWorker), -1);
  EXPECT_FALSE(g_scenario.Ended) << "a run started without its dialog";
  EXPECT_TRUE(view.Boxes.empty());
  EXPECT_FALSE(files.HasFile(temporary));
  EXPECT_EQ(files.FileBytes(target), "old archive");
  EXPECT_EQ(files.OpenStreamCount(), 0);
}

TEST_F(ProgressDialogTest, ShowsTheRunsTextsThenTitleCaptionAndBarPerEntry) {
  Show(3);
  const Seen& start = g_scenario.AtStart;
  EXPECT_EQ(start.Title, job.Texts.Title);
  EXPECT_EQ(start.Author, "from here");
  EXPECT_EQ(start.Date, "to there");
  EXPECT_EQ(start.Caption, job.Texts.ProgressCaption);
  EXPECT_EQ(start.Credit, job.Texts.CreditLine);
  EXPECT_EQ(start.Position, 0u);
  EXPECT_EQ(start.range, 3u);
  EXPECT_FALSE(start.Stopped);

  EXPECT_EQ(g_scenario.AfterFirst.Title, "Velmora 0%");
  EXPECT_EQ(g_scenario.AfterFirst.Caption, job.Texts.ProgressCaption + " 1/3");
  EXPECT_EQ(g_scenario.AfterFirst.Position, 1u);
  EXPECT_EQ(g_scenario.AfterLast.Title, "Velmora 100%");
  EXPECT_EQ(g_scenario.AfterLast.Caption, job.Texts.ProgressCaption + " 3/3");
  EXPECT_EQ(g_scenario.AfterLast.Position, 3u);

  ExpectOneBox(false, "Done.");
}

TEST_F(ProgressDialogTest, OneEntryShowsHundredPercent) {
  Show(1);
  EXPECT_EQ(g_scenario.AfterFirst.Title, "Velmora 100%");
  EXPECT_EQ(g_scenario.AfterFirst.Caption, job.Texts.ProgressCaption + " 1/1");
  ExpectOneBox(false, "Done.");
}

TEST_F(ProgressDialogTest, ArchiveWithoutEntriesSucceedsWithTheTextsUnchanged) {
  Show(0);
  EXPECT_EQ(g_scenario.AtStart.Title, job.Texts.Title);
  EXPECT_EQ(g_scenario.AtStart.Caption, job.Texts.ProgressCaption);
  ExpectOneBox(false, "Done.");
}

TEST_F(ProgressDialogTest, MoreThan65535EntriesAreJudgedByTheEntriesBegun) {
  g_scenario.FirstReported = 69999;  // only the last entry is reported: the bar must hold it
  Show(70000);
  EXPECT_EQ(g_scenario.AtStart.range, 70000u);
  EXPECT_EQ(g_scenario.AfterLast.Position, 70000u);
  ExpectOneBox(false, "Done.");
}

// Entries begun faster than a person can read are shown at a human rate, and the report is
// shown over the dialog's true final state.
TEST_F(ProgressDialogTest, ManyQuickEntriesUpdateTheDisplayRarelyAndEndOnTheFinalState) {
  g_scenario.CountBarUpdates = true;
  Show(20000);
  EXPECT_GE(g_scenario.BarUpdates, 1);
  EXPECT_LT(g_scenario.BarUpdates, 2000) << "the display followed every entry";
  ASSERT_EQ(view.Boxes.size(), 1u);
  EXPECT_EQ(view.Boxes[0].Title, "Velmora 100%");
  EXPECT_EQ(view.Boxes[0].Caption, job.Texts.ProgressCaption + " 20000/20000");
  EXPECT_EQ(view.Boxes[0].Position, 20000u);
}

TEST_F(ProgressDialogTest, CancelShowsTheEntriesBegunUnderItsReport) {
  g_scenario.PressEscAfterFirst = true;
  Show(300);
  ASSERT_EQ(view.Boxes.size(), 1u);
  EXPECT_EQ(view.Boxes[0].Caption, job.Texts.ProgressCaption + " 1/300");
  EXPECT_EQ(view.Boxes[0].Position, 1u);
}

TEST_F(ProgressDialogTest, NoRunEndLineClosesWithoutABox) {
  job.Script = std::make_unique<ScriptLines>("@00000001=@Delete\r\n");
  Show(2);
  EXPECT_TRUE(view.Boxes.empty());
}

TEST_F(ProgressDialogTest, EscDuringTheRunStopsTheWorkerAndReportsTheInterruption) {
  g_scenario.PressEscAfterFirst = true;
  Show(3);
  EXPECT_TRUE(g_scenario.StopSeen);
  ExpectOneBox(true, Message(MessageKey::MsgPackFailed, {job.SourcePath, job.TargetPath}));
}

TEST_F(ProgressDialogTest, EscDuringTheLastEntryWaitsForTheWorkersOutcome) {
  // Every entry was begun when Esc came, but the worker then failed to finish the archive: the
  // report must not call that a success.
  g_scenario.PressEscAfterLast = true;
  g_scenario.ErrorAfterStop = "index not written";
  Show(3);
  EXPECT_TRUE(g_scenario.StopSeen);
  ExpectOneBox(true, Message(MessageKey::MsgScriptError, {"", "index not written"}));
}

TEST_F(ProgressDialogTest, WorkerFailureIsReportedWhateverTheBarShows) {
  g_scenario.ErrorAfterStop = "rule failed";
  job.ErrorRule = "@00000002=x.bmp";
  Show(3);
  ExpectOneBox(true, Message(MessageKey::MsgScriptError, {"@00000002=x.bmp", "rule failed"}));
}

TEST_F(ProgressDialogTest, ASecondCloseRequestDuringTheReportShowsNothingMore) {
  g_scenario.PostExtraClose = true;
  Show(2);
  ExpectOneBox(false, "Done.");
}

// A mod's parts under one dialog. The stand-in body reports every entry of every part as one
// run, or presses Esc after the first; the part named by `FailingPart` records its failure only
// after that, as a part still writing when the Esc came would. It returns `Reported`, as
// RunModParts would.
struct PartsScenario {
  bool PressEsc = false;
  int FailingPart = -1;
  int Reported = -1;
};
PartsScenario g_parts;

int StandInPartsWorker(std::vector<JobState>& parts, FileSystem&, RunView& view) {
  See(view, &g_scenario.AtStart);
  uint32_t total = 0;
  for (const JobState& part : parts) total += part.SourceCount;
  for (uint32_t i = 0; i < total; ++i) {
    view.ReportPartsProgress(i, total, i);
    if (g_parts.PressEsc) {
      PressEscAndWaitForStop(view);
      break;
    }
  }
  if (g_parts.FailingPart >= 0) parts[g_parts.FailingPart].ErrorText = "part failed";
  view.RunFinished();
  g_scenario.Ended = true;
  return g_parts.Reported;
}

TEST_F(ProgressDialogTest, ModPartsShowOneRunAndReportOnlyOnceEveryPartHasEnded) {
  struct Case {
    const char* Name;
    PartsScenario Plays;
    std::vector<std::string> Reports;  // the boxes: errors start with '!'
    uint32_t Position;                 // the bar under the last box
  };
  const Case cases[] = {
      {"every part succeeds", {false, -1, -1}, {"First done.", "Second done."}, 5},
      {"the second fails after the Esc",
       {true, 1, 1},
       {"!" + Message(MessageKey::MsgScriptError, {"", "part failed"})},
       1},
      {"Esc alone",
       {true, -1, 0},
       {"!" + Message(MessageKey::MsgPackFailed, {"D:\\a.wdf", "D:\\a.wdf"})},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    g_scenario = Scenario();
    g_parts = c.Plays;
    std::vector<JobState> parts(2);
    const char* names[] = {"D:\\a.wdf", "D:\\b.wdf"};
    const char* ends[] = {"#RunEnd=First done.\r\n", "#RunEnd=Second done.\r\n"};
    for (size_t k = 0; k < parts.size(); ++k) {
      parts[k].Script = std::make_unique<ScriptLines>(ends[k]);
      parts[k].SourcePath = parts[k].TargetPath = names[k];
      parts[k].SourceCount = parts[k].TargetCount = static_cast<uint32_t>(2 + k);
      parts[k].Texts.AuthorLine = "part " + std::to_string(k);
    }
    JobState summary;
    SummarizeParts(parts, summary);
    RecordingWindowsView parts_view(summary);
    ASSERT_EQ(ShowPartsProgressDialogFromTemplate(dialog_template.Get(), parts, summary, files,
                                                  parts_view, StandInPartsWorker),
              0);
    EXPECT_TRUE(g_scenario.Ended);
    EXPECT_EQ(g_scenario.AtStart.Author, "part 0");
    EXPECT_EQ(g_scenario.AtStart.range, 5u);
    std::vector<std::string> reports;
    for (const RecordingWindowsView::Box& box : parts_view.Boxes) {
      reports.push_back((box.Error ? "!" : "") + box.Text);
    }
    EXPECT_EQ(reports, c.Reports);
    ASSERT_FALSE(parts_view.Boxes.empty());
    EXPECT_EQ(parts_view.Boxes.back().Position, c.Position);
  }
}

TEST(ProgressBarTest, RangeAndPositionHoldCountsBeyondSixteenBits) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  ASSERT_TRUE(InitCommonControlsEx(&controls));
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(bar, nullptr) << "error " << GetLastError();
  SetProgressPos(bar, 0);
  SetProgressRange(bar, 70000);
  EXPECT_EQ(GetProgressPos(bar), 0u);
  SetProgressPos(bar, 65536);
  EXPECT_EQ(GetProgressPos(bar), 65536u);
  SetProgressPos(bar, 70000);
  EXPECT_EQ(GetProgressPos(bar), 70000u);
  DestroyWindow(bar);
}

TEST(WindowsViewTest, StopIsSignalledByADisabledOrDestroyedWindow) {
  JobState job;
  WindowsView view(job);
  view.Handles.DialogWindow = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                              nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(view.Handles.DialogWindow, nullptr);
  HWND window = view.Handles.DialogWindow;
  MSG message;

  EXPECT_FALSE(view.StopRequested());
  view.RunFinished();
  EXPECT_TRUE(PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE))
      << "a run that ends by itself asks the window to close";

  EnableWindow(window, FALSE);
  EXPECT_TRUE(view.StopRequested());
  view.RunFinished();
  EXPECT_FALSE(PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE))
      << "a window that is closing already is not asked again";

  EnableWindow(window, TRUE);
  view.RequestStop();
  EXPECT_FALSE(IsWindowEnabled(window));
  EnableWindow(window, TRUE);
  EXPECT_TRUE(view.StopRequested()) << "a requested stop holds when the window is enabled again";

  DestroyWindow(window);
  WindowsView fresh(job);
  fresh.Handles.DialogWindow = window;
  EXPECT_TRUE(fresh.StopRequested());
}

}  // namespace
}  // namespace velmora
