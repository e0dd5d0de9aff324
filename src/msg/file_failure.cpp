#include "msg/file_failure.h"

#include <atomic>

#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

std::atomic<bool> g_held_file_named{false};

}  // namespace

void SetHeldFileNamed(bool named) { g_held_file_named.store(named); }

std::string FileFailureReason(const std::string& shown_path) {
  return g_held_file_named.load() ? HeldFileFailureReason(shown_path) : LastSystemErrorText();
}

std::string HeldFileFailureReason(const std::string& shown_path) {
  const unsigned long code = LastSystemError();
  if (code != SystemErrorSharingViolation()) return LastSystemErrorText();
  std::string reason = Message(MessageKey::MsgFileInUse, {shown_path});
  SetLastSystemError(code);  // loading the text may have touched it
  return reason;
}

}  // namespace velmora
