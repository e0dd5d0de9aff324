// velmora: the terminal tool on Linux. Runs and checks scripts (and the commands of the table)
// from a shell, a build script or a pipeline.
#include <dlfcn.h>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/last_resort_report.h"
#include "cli/console.h"
#include "cli/front_end.h"
#include "sys/file_system.h"

namespace velmora {
namespace {

int RunProgram(int argc, char** argv) {
  std::unique_ptr<Console> console = MakeSystemConsole();
  return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), *console,
                        SystemFileSystem());
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
