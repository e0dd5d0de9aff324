// POSIX keeps the thread's last error in errno; its texts get the CR LF that the system texts
// of the target platform end with, so messages read the same on both. The texts come in the
// language of the user's locale where the system has them, always in UTF-8.
#include <libintl.h>
#include <locale.h>

#include <cerrno>
#include <cstring>

#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

// strerror_r comes in two flavours; both are handled so that the text is always the buffer's
// or the returned one.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) { return result; }

// Takes the system's texts from the user's locale (LC_ALL, LC_MESSAGES, LANG) in UTF-8, whatever
// the characters of the process's locale. Only the messages follow the user: numbers and letter
// case stay as the "C" locale has them. Done once, before the first text is needed.
void UseTheUsersMessages() {
  static const bool done = [] {
    setlocale(LC_MESSAGES, "");
    bind_textdomain_codeset("libc", "UTF-8");  // the system library's own texts
    return true;
  }();
  (void)done;
}

}  // namespace

std::string LastSystemErrorText() {
  int code = errno;
  if (code == 0) return std::string();
  UseTheUsersMessages();
  char buffer[512] = {};
  // The text joins the run's other texts, which are in the active code page.
  std::string text =
      ActiveCodePageFromUtf8(ErrorText(strerror_r(code, buffer, sizeof buffer), buffer));
  errno = code;  // reading the text leaves the last error as it was
  return text.empty() ? text : text + "\r\n";
}

unsigned long LastSystemError() { return static_cast<unsigned long>(errno); }
void SetLastSystemError(unsigned long code) { errno = static_cast<int>(code); }

unsigned long SystemErrorNotFound() { return ENOENT; }
unsigned long SystemErrorSharingViolation() { return EBUSY; }
unsigned long SystemErrorDiskFull() { return ENOSPC; }
unsigned long SystemErrorAccessDenied() { return EACCES; }
unsigned long SystemErrorAlreadyExists() { return EEXIST; }
unsigned long SystemErrorPathNotFound() { return ENOENT; }
unsigned long SystemErrorReadFault() { return EIO; }

}  // namespace velmora
