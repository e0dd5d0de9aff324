// The last-resort report on Windows: a task-modal error box titled "Application Error", then
// exit code 1. It never hands a failure to the system's own handler, which may start a
// debugger that waits for ever on a machine without one.
#pragma once

#include <exception>

namespace velmora {

// Reports structured exceptions (access violations, stack overflow, ...) of any thread and C++
// failures that end in std::terminate. Call once, first thing in the process.
void InstallLastResortReport();

// Shows the report for `failure` and ends the process with exit code 1. `fallback_address` is
// used as the failure's code address when the failure carries none.
[[noreturn]] void ReportFailureAndExit(const std::exception_ptr& failure,
                                       const void* fallback_address);

}  // namespace velmora
