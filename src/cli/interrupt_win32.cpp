#include <windows.h>

#include <atomic>

#include "cli/interrupt.h"

namespace velmora {
namespace {

std::atomic<bool> interrupted{false};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI RecordInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  interrupted.store(true);
  return TRUE;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
  interrupted.store(false);
  SetConsoleCtrlHandler(RecordInterrupt, TRUE);
}

InterruptCatcher::~InterruptCatcher() { SetConsoleCtrlHandler(RecordInterrupt, FALSE); }

bool InterruptRequested() { return interrupted.load(); }

}  // namespace velmora
