// velmora-cli.exe: the terminal tool on Windows, a console program for batch files. The same
// commands as velmora on Linux; Velmora.exe stays the program for the shell's double-click.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "job/command_line.h"
#include "msg/file_failure.h"
#include "msg/last_resort_report.h"
#include "cli/console.h"
#include "cli/front_end.h"
#include "sys/code_location.h"
#include "sys/code_page.h"
#include "sys/file_system.h"

namespace velmora {
namespace {

// The arguments split as Velmora.exe splits its command line. The tool's texts are UTF-8, as on
// POSIX hosts, until a script is run (ScriptCodePage).
int RunProgram() {
  SetActiveCodePage(CodePage::kUtf8);
  const CommandLine line = ProcessCommandLine();
  std::vector<std::string> words;
  for (int n = 1; n <= line.ArgumentCount(); ++n) words.push_back(line.ArgumentAt(n));
  std::unique_ptr<Console> console = MakeSystemConsole();
  SetHeldFileNamed(true);  // a file another program holds is named as in use
  return RunCommandLine(words, *console, SystemFileSystem());
}

// A batch file waits for no box: the last-resort report goes to standard error.
[[noreturn]] void ReportFailureAndExit(const std::exception_ptr& failure) {
  const FailureFacts facts = FactsOf(failure, reinterpret_cast<const void*>(&RunProgram));
  const CodeLocation location = LocateCode(facts.CodeAddress);
  const std::string text =
      std::string(LastResortReportCaption()) + ": " +
      LastResortReportText(facts.TypeName, location.ModuleName, location.Offset, facts.Message);
  std::unique_ptr<Console> console = MakeSystemConsole();
  console->Err(text);
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
