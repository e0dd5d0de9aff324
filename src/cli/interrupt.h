// Ctrl-C during a script's run: it asks the run to stop before its next entry, as the progress
// dialog's close box does, instead of ending the process with a half-written archive.
#pragma once

namespace velmora {

// While an object lives, Ctrl-C (SIGINT on POSIX, the console's Ctrl-C and Ctrl-Break events on
// Windows) is caught and only recorded. A second Ctrl-C is recorded the same way, so nothing
// breaks off the clean-up of a cancelled run.
class InterruptCatcher {
 public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;
};

// True once Ctrl-C was pressed while a catcher lived (reset when a catcher is made).
bool InterruptRequested();

}  // namespace velmora
