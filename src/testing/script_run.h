// A whole script run as a front end makes it, over any file system: preparation, the pack run
// and the report, with a view that records every box. For tests of what a script does from
// its first line to its last report.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "job/job_state.h"
#include "job/pack_run.h"
#include "job/prepare.h"
#include "job/run_report.h"
#include "job/paths.h"
#include "testing/recording_view.h"

namespace velmora {

struct ScriptRunOutcome {
  bool Prepared = false;
  bool Succeeded = false;
  std::string Error;   // the failure report, or a refusal's box
  std::string Report;  // the success report (empty without #RunEnd)
  RecordingView View;
};

// Runs the script with the text `text` at `script_path` over `files`. `stop_after` entries asks
// the run to stop (negative: never).
inline std::unique_ptr<ScriptRunOutcome> RunScriptText(FileSystem& files,
                                                       const std::string& script_path,
                                                       const std::string& text,
                                                       int stop_after = -1) {
  auto outcome = std::make_unique<ScriptRunOutcome>();
  outcome->View.StopAfterReports = stop_after;
  JobState job;
  job.ScriptPath = script_path;
  job.ScriptDir = DirectoryPart(script_path);
  job.Script = std::make_unique<ScriptLines>(text);
  outcome->Prepared = PrepareJob(job, files, outcome->View);
  if (!outcome->Prepared) {
    for (const RecordingView::Box& box : outcome->View.Boxes) {
      if (box.Kind == RecordingView::Box::kError) outcome->Error = box.Text;
    }
    return outcome;
  }
  RunPack(job, files, outcome->View);
  outcome->Succeeded = RunSucceeded(job, static_cast<uint32_t>(outcome->View.Progress.size()));
  if (outcome->Succeeded) {
    if (std::optional<std::string> report = SuccessReport(job)) outcome->Report = *report;
  } else {
    outcome->Error = FailureReport(job);
  }
  return outcome;
}

}  // namespace velmora
