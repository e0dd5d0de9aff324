// The thread's last error and the system's own text for it, in the active code page.
#include <windows.h>

#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

std::string LastSystemErrorText() {
  DWORD code = GetLastError();
  wchar_t buffer[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer,
                                sizeof buffer / sizeof buffer[0], nullptr);
  // A failed call promises nothing about the buffer; an empty text keeps messages well-formed.
  std::string text;
  if (length != 0) text = ActiveCodePageFromWide(std::wstring(buffer, wcsnlen(buffer, 512)));
  SetLastError(code);  // reading the text leaves the last error as it was
  return text;
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
