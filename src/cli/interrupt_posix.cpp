#include <signal.h>

#include <atomic>

#include "cli/interrupt.h"

namespace velmora {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler stores the flag");

struct sigaction previous_action;

extern "C" void RecordInterrupt(int) { interrupted.store(true); }

}  // namespace

// Without SA_RESTART: a question waiting for its answer on the terminal returns at once and is
// answered Cancel. The file layer repeats its calls that an interrupt cuts short.
InterruptCatcher::InterruptCatcher() {
  interrupted.store(false);
  struct sigaction action = {};
  action.sa_handler = RecordInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_action);
}

InterruptCatcher::~InterruptCatcher() { sigaction(SIGINT, &previous_action, nullptr); }

bool InterruptRequested() { return interrupted.load(); }

}  // namespace velmora
