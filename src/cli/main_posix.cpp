// velmora: the terminal tool on Linux. Runs and checks scripts (and the commands of the table)
// from a shell, a build script or a pipeline.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "msg/file_failure.h"
#include "msg/last_resort_report.h"
#include "cli/console.h"
#include "cli/front_end.h"
#include "sys/code_location.h"
#include "sys/file_system.h"

namespace velmora {
namespace {

int RunProgram(int argc, char** argv) {
  std::unique_ptr<Console> console = MakeSystemConsole();
  SetHeldFileNamed(true);  // a file another program holds is named as in use
  return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), *console,
                        SystemFileSystem());
}

[[noreturn]] void ReportFailureAndExit(const std::exception_ptr& failure) {
  const FailureFacts facts = FactsOf(failure, reinterpret_cast<const void*>(&RunProgram));
  const CodeLocation location = LocateCode(facts.CodeAddress);
  std::cerr << LastResortReportCaption() << ": "
            << LastResortReportText(facts.TypeName, location.ModuleName, location.Offset,
                                    facts.Message);
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
