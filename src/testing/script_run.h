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
  bool prepared = false;
  bool succeeded = false;
  std::string error;   // the failure report, or a refusal's box
  std::string report;  // the success report (empty without #RunEnd)
  RecordingView view;
};

// Runs the script with the text `text` at `script_path` over `files`. `stop_after` entries asks
// the run to stop (negative: never).
inline std::unique_ptr<ScriptRunOutcome> RunScriptText(FileSystem& files,
                                                       const std::string& script_path,
                                                       const std::string& text,
                                                       int stop_after = -1) {
  auto outcome = std::make_unique<ScriptRunOutcome>();
  outcome->view.stop_after_reports = stop_after;
  JobState job;
  job.ScriptPath = script_path;
  job.ScriptDir = DirectoryPart(script_path);
  job.Script = std::make_unique<ScriptLines>(text);
  outcome->prepared = PrepareJob(job, files, outcome->view);
  if (!outcome->prepared) {
    for (const RecordingView::Box& box : outcome->view.boxes) {
      if (box.kind == RecordingView::Box::kError) outcome->error = box.text;
    }
    return outcome;
  }
  RunPack(job, files, outcome->view);
  outcome->succeeded = RunSucceeded(job, static_cast<uint32_t>(outcome->view.progress.size()));
  if (outcome->succeeded) {
    if (std::optional<std::string> report = SuccessReport(job)) outcome->report = *report;
  } else {
    outcome->error = FailureReport(job);
  }
  return outcome;
}

}  // namespace velmora
