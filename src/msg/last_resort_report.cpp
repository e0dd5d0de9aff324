#include "msg/last_resort_report.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "sys/system_error.h"

namespace velmora {
namespace {

std::string ReadableTypeName(const std::type_info* type) {
  if (type == nullptr) return "unknown";
  int status = 0;
  char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled != nullptr) ? demangled : type->name();
  std::free(demangled);
  return name;
}

}  // namespace

FailureFacts FactsOf(const std::exception_ptr& failure, const void* fallback_address) {
  FailureFacts facts;
  facts.CodeAddress = fallback_address;
  if (!failure) {
    facts.TypeName = "unknown";
    return facts;
  }
  try {
    std::rethrow_exception(failure);
  } catch (const AppFailure& app_failure) {
    facts.TypeName = app_failure.TypeName();
    facts.Message = app_failure.what();
    if (app_failure.CodeAddress() != nullptr) facts.CodeAddress = app_failure.CodeAddress();
  } catch (const std::exception& other) {
    facts.TypeName = ReadableTypeName(&typeid(other));
    facts.Message = other.what();
  } catch (...) {
    facts.TypeName = ReadableTypeName(abi::__cxa_current_exception_type());
  }
  return facts;
}

std::string LastResortReportText(const std::string& type_name, const std::string& module_name,
                                 uintptr_t code_offset, const std::string& message) {
  char offset[24];
  std::snprintf(offset, sizeof offset, "%08llX", static_cast<unsigned long long>(code_offset));
  const bool needs_full_stop = !message.empty() && message.back() != '.';
  return "Exception " + type_name + " in module " + module_name + " at " + offset + ".\r\n" +
         message + (needs_full_stop ? "." : "") + "\r\n";
}

}  // namespace velmora
