// The terminal front-end: runs the script named by its argument the way Velmora.exe does, with
// the progress and the questions on the terminal. It has no file type to register.
//
//   velmora [--yes] <script>
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/last_resort_report.h"
#include "app/program_entry.h"
#include "job/job_state.h"
#include "sys/code_page.h"
#include "sys/file_system.h"
#include "ui/terminal_run_posix.h"
#include "ui/terminal_view_posix.h"

namespace velmora {
namespace {

std::string WorkingDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string WithBackslashes(std::string path) {
  for (size_t pos = 0; pos < path.size(); pos = NextCharOffset(path, pos)) {
    if (path[pos] == '/') path[pos] = '\\';
  }
  return path;
}

class TerminalFrontEnd final : public EntryFrontEnd {
 public:
  explicit TerminalFrontEnd(TerminalView& view) : view_(view) {}

  // Paths from the root stay as given; others are joined to the working directory. The path
  // rules of a run know backslashes only (the file layer turns them back into slashes), so the
  // script's directory, and with it the source's and the target's, is found only when the
  // separators are backslashes.
  std::string MakeAbsolute(const std::string& argument) override {
    std::string path = argument;
    if (argument.empty() || argument[0] != '/') {
      const std::string current = WorkingDirectory();
      if (!current.empty()) path = current + (current.back() == '/' ? "" : "/") + argument;
    }
    return WithBackslashes(path);
  }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { RunInTerminal(job, SystemFileSystem(), view_); }

 private:
  TerminalView& view_;
};

struct Options {
  bool assume_yes = false;
  std::vector<std::string> arguments;  // without the options
};

Options ReadOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--yes") {
      options.assume_yes = true;
    } else {
      options.arguments.push_back(word);
    }
  }
  return options;
}

int RunProgram(int argc, char** argv) {
  const Options options = ReadOptions(argc, argv);
  JobState job;
  TerminalView view(std::cout, std::cin, options.assume_yes);
  TerminalFrontEnd front(view);
  const int count = static_cast<int>(options.arguments.size());
  RunEntry(count, count > 0 ? options.arguments[0] : std::string(), job, SystemFileSystem(), view,
           front);
  return 0;
}

[[noreturn]] void ReportFailureAndExit(const std::exception_ptr& failure) {
  const FailureFacts facts = FactsOf(failure, reinterpret_cast<const void*>(&RunProgram));
  Dl_info where = {};
  std::string module = "velmora";
  uintptr_t offset = 0;
  if (dladdr(facts.code_address, &where) != 0 && where.dli_fname != nullptr) {
    module = where.dli_fname;
    module = module.substr(module.find_last_of('/') + 1);
    offset = reinterpret_cast<uintptr_t>(facts.code_address) -
             reinterpret_cast<uintptr_t>(where.dli_fbase);
  }
  std::cerr << LastResortReportCaption() << ": "
            << LastResortReportText(facts.type_name, module, offset, facts.message);
  std::cerr.flush();
  std::_Exit(1);
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  std::set_terminate([] { velmora::ReportFailureAndExit(std::current_exception()); });
  try {
    return velmora::RunProgram(argc, argv);
  } catch (...) {
    velmora::ReportFailureAndExit(std::current_exception());
  }
}
