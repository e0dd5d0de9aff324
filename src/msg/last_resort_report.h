// The report of a failure that nothing in the program handled: its type, where it happened and
// what it says, in the one format both front-ends use before they end with exit code 1.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace velmora {

struct FailureFacts {
  std::string TypeName;
  std::string Message;
  const void* CodeAddress = nullptr;  // where the failure was raised, when known
};

// The facts of `failure`: an AppFailure gives its own type name and code address; any other
// exception its readable C++ type name, its message when it has one, and `fallback_address`.
FailureFacts FactsOf(const std::exception_ptr& failure, const void* fallback_address);

// "Exception <type> in module <module> at <offset>.\r\n<message><.>\r\n": the offset in eight
// upper-case hexadecimal digits, and a full stop after a message that has none of its own.
std::string LastResortReportText(const std::string& type_name, const std::string& module_name,
                                 uintptr_t code_offset, const std::string& message);

// The caption of the report box.
inline const char* LastResortReportCaption() { return "Application Error"; }

}  // namespace velmora
