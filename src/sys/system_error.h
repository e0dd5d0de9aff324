// The system's own description of the calling thread's last error, and the failure type that
// the file layer raises where a caller cannot go on.
#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// The system's message text for the calling thread's last error code, unchanged: system texts
// end with CR LF, and that line break stays. Empty when the system has no text for the code.
std::string LastSystemErrorText();

// The calling thread's last error code, for callers that act on the kind of a failure.
unsigned long LastSystemError();

// Sets the calling thread's last error code (fakes of the file layer use it so that messages
// carry a real system text).
void SetLastSystemError(unsigned long code);

// Error codes the fakes use, mapped to the platform's own codes.
unsigned long SystemErrorNotFound();
unsigned long SystemErrorSharingViolation();
unsigned long SystemErrorDiskFull();
unsigned long SystemErrorAccessDenied();
unsigned long SystemErrorAlreadyExists();  // a file of that name exists
unsigned long SystemErrorPathNotFound();   // a directory of the path is missing
unsigned long SystemErrorReadFault();      // the device could not deliver the bytes

// A failure that nothing in the program handles reaches the last-resort report with its type
// name, its message and the code address where it was raised.
class AppFailure : public std::runtime_error {
 public:
  AppFailure(const char* type_name, const std::string& message);
  const char* TypeName() const { return type_name_; }
  // Address of the code that raised the failure.
  const void* CodeAddress() const { return code_address_; }

 private:
  const char* type_name_;
  const void* code_address_;
};

}  // namespace velmora
