// velmora run [-y] [-q] SCRIPT: the script's run as Velmora.exe makes it, on the terminal.
#include "cli/interrupt.h"
#include "cli/terminal_texts.h"
#include "cli/commands.h"
#include "cli/script_job.h"
#include "cli/terminal_view.h"
#include "job/mod_parts.h"
#include "job/pack_run.h"
#include "job/paths.h"
#include "job/run_report.h"
#include "msg/format.h"

namespace velmora {
namespace {

// The pack run of a prepared job, then its report as the progress dialog gives it. Runs on this
// thread: Ctrl-C only sets a flag that the walk looks at before every entry.
bool RunAndReport(JobState& job, FileSystem& files, TerminalView& view) {
  const uint32_t begun_before = view.EntriesBegun();  // the earlier parts of a mod
  RunPack(job, files, view);
  view.ClearProgress();
  if (!RunSucceeded(job, view.EntriesBegun() - begun_before)) {
    view.ShowError(FailureReport(job));
    return false;
  }
  if (std::optional<std::string> report = SuccessReport(job)) {
    view.ShowInfo(*report);
  } else if (!job.BackupPath.empty()) {
    // Without #RunEnd the run is silent, but where the old archive went must not be.
    view.ShowInfo(Message(MessageKey::MsgBackupKept, {ShownPath(job.BackupPath)}) + job.UndoAdvice);
  }
  return true;
}

// A mod's parts written together under the one progress line, then their end as for a run.
void RunPartsAndReport(std::vector<JobState>& parts, FileSystem& files, TerminalView& view) {
  const int failed = RunModParts(parts, files, view, ModPartThreads(parts.size()));
  view.ClearProgress();
  ReportModParts(parts, failed, view);
}

int Run(CommandCall& call) {
  ScriptCommandOptions options;
  const int usage = ReadScriptCommand(call, kRunCommand, true, &options);
  if (usage >= 0) return usage;
  const int refused = CheckScriptInput(options, call.Files, call.Terminal);
  if (refused >= 0) return refused;

  InterruptCatcher interrupt;
  ScriptCodePage code_page(options, call.Files);
  const int same = RefuseTargetThatIsTheSource(code_page.ScriptPath(), call.Files, call.Terminal);
  if (same >= 0) return same;
  JobState job;
  job.ForcePatch = options.Force;
  TerminalView view(call.Terminal, job, options.Terminal);
  const bool succeeded = RunScriptJob(
      code_page.ScriptPath(), job, call.Files, view, call.Terminal,
      [&call, &view](JobState& prepared) { return RunAndReport(prepared, call.Files, view); },
      [&call, &view](std::vector<JobState>& parts) { RunPartsAndReport(parts, call.Files, view); });
  // A run that was complete when Ctrl-C came has still replaced the target: it succeeded.
  if (succeeded || job.SucceededWithoutPack) return kExitOk;
  return InterruptRequested() ? kExitInterrupted : kExitFailed;
}

}  // namespace

const CommandInfo kRunCommand = {
    "run",
    Run,
    texts_en::TxtSummaryRun,
    texts_zh::TxtSummaryRun,
    texts_en::TxtHelpRun,
    texts_zh::TxtHelpRun,
};

}  // namespace velmora
