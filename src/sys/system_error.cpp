#include "sys/system_error.h"

namespace velmora {

// Kept out of line, so that the return address is the code that raised the failure.
__attribute__((noinline)) AppFailure::AppFailure(const char* type_name, const std::string& message)
    : std::runtime_error(message),
      type_name_(type_name),
      code_address_(__builtin_extract_return_addr(__builtin_return_address(0))) {}

}  // namespace velmora
