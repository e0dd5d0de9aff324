#include "ui/terminal_run_posix.h"

#include <signal.h>

#include <atomic>
#include <system_error>
#include <thread>

#include "job/pack_run.h"
#include "ui/run_report.h"

namespace velmora {
namespace {

// The view whose run an interrupt stops. A signal handler can reach nothing but globals.
std::atomic<TerminalView*> g_interrupted_view{nullptr};

extern "C" void StopOnInterrupt(int) {
  TerminalView* view = g_interrupted_view.load();
  if (view) view->RequestStop();
}

// While it lives, Ctrl-C asks `view`'s run to stop instead of ending the process, which would
// leave a half-written archive behind.
class InterruptStopsRun {
 public:
  explicit InterruptStopsRun(TerminalView& view) {
    g_interrupted_view.store(&view);
    struct sigaction action = {};
    action.sa_handler = StopOnInterrupt;
    sigemptyset(&action.sa_mask);
    installed_ = sigaction(SIGINT, &action, &previous_) == 0;
  }
  ~InterruptStopsRun() {
    if (installed_) sigaction(SIGINT, &previous_, nullptr);
    g_interrupted_view.store(nullptr);
  }
  InterruptStopsRun(const InterruptStopsRun&) = delete;
  InterruptStopsRun& operator=(const InterruptStopsRun&) = delete;

 private:
  struct sigaction previous_ = {};
  bool installed_ = false;
};

void RunWorker(JobState& job, FileSystem& files, TerminalView& view) {
  InterruptStopsRun interrupt(view);
  std::thread worker;
  try {
    worker = std::thread([&job, &files, &view] { RunPack(job, files, view); });
  } catch (const std::system_error&) {
    // No thread could be started: the run happens on this thread instead, so the archive is
    // still written or removed as in any run.
    RunPack(job, files, view);
    return;
  }
  worker.join();
}

}  // namespace

void RunInTerminal(JobState& job, FileSystem& files, TerminalView& view) {
  RunWorker(job, files, view);
  if (!RunSucceeded(job, view.EntriesBegun())) {
    view.ShowError(FailureReport(job));
    return;
  }
  if (std::optional<std::string> report = SuccessReport(job)) view.ShowInfo(*report);
}

}  // namespace velmora
