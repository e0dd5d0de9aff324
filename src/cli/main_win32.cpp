// velmora-cli.exe: the terminal tool on Windows, a console program for batch files. The same
// commands as velmora on Linux; Velmora.exe stays the program for the shell's double-click.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "job/command_line.h"
#include "msg/last_resort_report.h"
#include "cli/console.h"
#include "cli/front_end.h"
#include "sys/code_location.h"
#include "sys/file_system.h"

namespace velmora {
namespace {

// The arguments split as Velmora.exe splits its command line, in the ANSI code page.
int RunProgram() {
  const CommandLine line = ProcessCommandLine();
  std::vector<std::string> words;
  for (int n = 1; n <= line.ArgumentCount(); ++n) words.push_back(line.ArgumentAt(n));
  std::unique_ptr<Console> console = MakeSystemConsole();
  return RunCommandLine(words, *console, SystemFileSystem());
}

// A batch file waits for no box: the last-resort report goes to standard error.
[[noreturn]] void ReportFailureAndExit(const std::exception_ptr& failure) {
  const FailureFacts facts = FactsOf(failure, reinterpret_cast<const void*>(&RunProgram));
  const CodeLocation location = LocateCode(facts.CodeAddress);
  const std::string text =
      std::string(LastResortReportCaption()) + ": " +
      LastResortReportText(facts.TypeName, location.ModuleName, location.Offset, facts.Message);
  DWORD put = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &put,
            nullptr);
  ExitProcess(1);
}

}  // namespace
}  // namespace velmora

int main() {
  std::set_terminate([] { velmora::ReportFailureAndExit(std::current_exception()); });
  try {
    return velmora::RunProgram();
  } catch (...) {
    velmora::ReportFailureAndExit(std::current_exception());
  }
}
