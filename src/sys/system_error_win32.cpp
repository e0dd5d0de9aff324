// The thread's last error and the system's own text for it.
#include <windows.h>

#include "sys/system_error.h"

namespace velmora {

std::string LastSystemErrorText() {
  DWORD code = GetLastError();
  char buffer[512] = {};
  DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, sizeof buffer, nullptr);
  SetLastError(code);  // reading the text leaves the last error as it was
  // A failed call promises nothing about the buffer; an empty text keeps messages well-formed.
  if (length == 0) return std::string();
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

unsigned long LastSystemError() { return GetLastError(); }
void SetLastSystemError(unsigned long code) { SetLastError(code); }

unsigned long SystemErrorNotFound() { return ERROR_FILE_NOT_FOUND; }
unsigned long SystemErrorSharingViolation() { return ERROR_SHARING_VIOLATION; }
unsigned long SystemErrorDiskFull() { return ERROR_DISK_FULL; }
unsigned long SystemErrorAccessDenied() { return ERROR_ACCESS_DENIED; }
unsigned long SystemErrorAlreadyExists() { return ERROR_FILE_EXISTS; }
unsigned long SystemErrorPathNotFound() { return ERROR_PATH_NOT_FOUND; }
unsigned long SystemErrorReadFault() { return ERROR_READ_FAULT; }

}  // namespace velmora
