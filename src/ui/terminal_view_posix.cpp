#include "ui/terminal_view_posix.h"

#include <istream>
#include <ostream>

#include "ui/progress_text.h"

namespace velmora {

static_assert(std::atomic<bool>::is_always_lock_free, "the interrupt handler stores the flag");

std::string TerminalLines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      lines += text[i];
      continue;
    }
    lines += '\n';
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return lines;
}

TerminalView::TerminalView(std::ostream& out, std::istream& in, bool assume_yes)
    : out_(out), in_(in), assume_yes_(assume_yes) {}

void TerminalView::PrintBox(const char* tag, const std::string& text) {
  out_ << tag << ' ' << TerminalLines(text) << '\n' << std::flush;
}

void TerminalView::ShowInfo(const std::string& text) { PrintBox("[info]", text); }

void TerminalView::ShowError(const std::string& text) { PrintBox("[error]", text); }

int TerminalView::AskOkCancel(const std::string& text) {
  const int kOk = 1, kCancel = 2;
  out_ << "[question] " << TerminalLines(text) << " [y/n] ";
  if (assume_yes_) {
    out_ << "y\n" << std::flush;
    return kOk;
  }
  out_ << std::flush;
  std::string answer;
  if (!std::getline(in_, answer)) {
    out_ << '\n' << std::flush;
    return kCancel;
  }
  size_t first = answer.find_first_not_of(" \t\r");
  bool yes = first != std::string::npos && (answer[first] == 'y' || answer[first] == 'Y');
  return yes ? kOk : kCancel;
}

void TerminalView::ReportProgress(uint32_t index, uint32_t count) {
  entries_begun_.fetch_add(1);
  // A line per entry would flood the terminal for archives of tens of thousands of entries.
  int percent = ProgressPercent(index, count);
  if (percent == last_percent_printed_) return;
  last_percent_printed_ = percent;
  out_ << "[progress] " << percent << "% " << uint64_t{index} + 1 << '/' << count << '\n'
       << std::flush;
}

bool TerminalView::StopRequested() { return stop_requested_.load(); }

void TerminalView::RunFinished() {}

}  // namespace velmora
