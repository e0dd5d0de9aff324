#include "cli/terminal_view.h"

#include <cstdio>

#include "cli/arguments.h"
#include "cli/interrupt.h"
#include "cli/terminal_texts.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/file_system.h"
#include "job/paths.h"
#include "job/progress_text.h"

namespace velmora {
namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;
// At most ten redraws a second: a terminal fed faster only slows the run.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
// Before this, a rate or time left says more about the start than about the run.
constexpr double kSecondsBeforeEstimates = 0.5;

std::string Bytes(uint64_t bytes) {
  char text[32];
  if (bytes < 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  } else if (bytes < uint64_t{1024} * 1024 * 1024) {
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
  } else {
    std::snprintf(text, sizeof text, "%.2f GiB",
                  static_cast<double>(bytes) / (1024.0 * 1024 * 1024));
  }
  return text;
}

std::string Duration(double seconds) {
  const uint64_t whole = static_cast<uint64_t>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(whole / 3600),
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(whole / 60),
                  static_cast<unsigned>(whole % 60));
  }
  return text;
}

// y and yes in any letter case, and the Chinese words for yes and OK, as typed (in the program's
// text encoding); blanks around them do not count.
bool IsYes(const std::string& answer) {
  std::string word;
  for (char c : answer) {
    if (c == ' ' || c == '\t' || c == '\r') continue;
    word += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return word == "y" || word == "yes" || word == AnsiFromUtf8("是") || word == AnsiFromUtf8("确定");
}

}  // namespace

std::string TerminalText(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t next = NextCharOffset(text, pos);
    if (next != pos + 1) {
      lines.append(text, pos, next - pos);
    } else if (text[pos] == '\r') {
      lines += '\n';
      if (next < text.size() && text[next] == '\n') {
        pos = next + 1;
        continue;
      }
    } else {
      lines += text[pos];
    }
    pos = next;
  }
  return WithoutTrailingBlanks(lines);
}

std::string LetterCaseNote(const Console& console) {
  std::string note;
#if !defined(_WIN32)
  for (const std::string& candidates : TakeLetterCaseCandidates()) {
    std::string names = candidates;
    for (size_t pos = names.find('\n'); pos != std::string::npos; pos = names.find('\n', pos)) {
      names.replace(pos, 1, ", ");
    }
    note +=
        ToolText(console, TextKey::TxtLetterCaseAmbiguous, {ActiveCodePageFromUtf8(names)}) + "\n";
  }
#else
  (void)console;
#endif
  return note;
}

std::string ProgressLine(uint32_t done, uint32_t count, uint64_t bytes, double seconds,
                         bool chinese) {
  const int percent = count == 0 ? 100 : static_cast<int>(uint64_t{done} * 100 / count);
  char head[64];
  std::snprintf(head, sizeof head, "%3d%%  %u/%u", percent, done, count);
  std::string line =
      head + FormatText(chinese ? texts_zh::TxtProgressWritten : texts_en::TxtProgressWritten,
                        {Bytes(bytes)});
  if (seconds >= kSecondsBeforeEstimates && done > 0) {
    line += "  " + Bytes(static_cast<uint64_t>(static_cast<double>(bytes) / seconds)) + "/s";
    const double left = seconds * (count - done) / done;
    line += FormatText(chinese ? texts_zh::TxtProgressLeft : texts_en::TxtProgressLeft,
                       {Duration(left)});
  }
  return line;
}

size_t TerminalColumns(const std::string& utf8) {
  size_t columns = 0;
  for (unsigned char byte : utf8) {
    if (byte < 0x80) {
      ++columns;
    } else if (byte >= 0xC0) {
      columns += 2;
    }
  }
  return columns;
}

TerminalView::TerminalView(Console& console, const JobState& job, TerminalOptions options)
    : console_(console),
      job_(job),
      options_(options),
      show_progress_(!options.Quiet && console.ErrIsTerminal()) {}

void TerminalView::ShowInfo(const std::string& text) {
  ClearProgress();
  if (!options_.Quiet) console_.Out(TerminalText(text) + "\n");
}

void TerminalView::ShowError(const std::string& text) {
  ClearProgress();
  console_.Err(TerminalText(text) + "\n" + LetterCaseNote(console_));
}

int TerminalView::AskOkCancel(const std::string& text) {
  ClearProgress();
  const std::string question = TerminalText(text) + " [y/N] ";
  if (options_.AssumeYes) {
    if (!options_.Quiet) console_.Err(question + "y\n");
    return kOk;
  }
  // Every question comes before the run changes anything, so a No leaves all as it was.
  const std::string nothing_changed = ToolText(console_, TextKey::TxtNothingChanged) + "\n";
  if (!console_.InIsTerminal()) {
    console_.Err(WithoutTrailingBlanks(question) + "n\n" +
                 ToolText(console_, TextKey::TxtNoTerminalToAnswer) + "\n" + nothing_changed);
    return kCancel;
  }
  console_.Err(question);
  std::string answer;
  if (!console_.ReadLine(&answer)) {
    console_.Err("\n" + nothing_changed);
    return kCancel;
  }
  if (IsYes(answer)) return kOk;
  console_.Err(nothing_changed);
  return kCancel;
}

int TerminalView::AskToApplyOnOtherBase(const std::string& finding) {
  ShowError(finding + "\r" + ToolText(console_, TextKey::TxtPatchForceApplies));
  return kCancel;
}

std::string TerminalView::UndoAdvice(const std::string& undo_script) {
  return "\r" + ToolText(console_, TextKey::TxtPatchUndoInTerminal, {ShownPath(undo_script)});
}

void TerminalView::ReportProgress(uint32_t index, uint32_t count) {
  DrawProgress(index, count, job_.TargetStream ? job_.TargetStream->Position() : 0);
}

void TerminalView::ReportPartsProgress(uint32_t index, uint32_t count, uint64_t bytes_written) {
  DrawProgress(index, count, bytes_written);
}

void TerminalView::DrawProgress(uint32_t index, uint32_t count, uint64_t bytes) {
  ++entries_begun_;
  if (!show_progress_) return;
  const Clock::time_point now = Clock::now();
  if (entries_begun_ == 1) started_ = now;
  const bool last = uint64_t{index} + 1 >= count;
  if (drawn_columns_ != 0 && !last && now - last_drawn_ < kRedrawInterval) return;
  last_drawn_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const std::string line = ProgressLine(index + 1, count, bytes, seconds, console_.Chinese());
  const size_t columns = TerminalColumns(line);
  // Blanks over what is left of a longer line drawn before.
  const std::string padding(drawn_columns_ > columns ? drawn_columns_ - columns : 0, ' ');
  console_.Err("\r" + AnsiFromUtf8(line) + padding);
  drawn_columns_ = columns;
}

bool TerminalView::StopRequested() { return InterruptRequested(); }

void TerminalView::RunFinished() { ClearProgress(); }

void TerminalView::ClearProgress() {
  if (drawn_columns_ == 0) return;
  console_.Err("\r" + std::string(drawn_columns_, ' ') + "\r");
  drawn_columns_ = 0;
}

}  // namespace velmora
