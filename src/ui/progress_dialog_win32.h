// The progress dialog: the window of a run. It shows the run's texts, starts the worker, shows
// its progress, lets the person cancel (Esc or the close box), and reports the outcome.
#pragma once

#include <windows.h>

#include <vector>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/file_system.h"
#include "ui/windows_view_win32.h"

namespace velmora {

// Shows the dialog (template IDD_PROGRESS of the program) modally for a prepared job
// and returns once it has ended and the worker has finished, so the caller may release the job.
// When the dialog cannot be created nothing is reported and no worker runs.
void ShowProgressDialog(JobState& job, FileSystem& files, WindowsView& view);

// The same dialog for a mod's prepared parts shown as one run (RunModParts on ModPartThreads
// threads): the first part's texts, the bar over the entries of every part. Its close handler
// waits for every part to end before it reports, as ReportModParts words it.
void ShowPartsProgressDialog(std::vector<JobState>& parts, FileSystem& files);

// The run the parts' dialog shows: the first part's texts over the sum of their entries.
void SummarizeParts(const std::vector<JobState>& parts, JobState& summary);

// The worker's body: RunPack, or a stand-in in tests of the dialog.
using WorkerBody = void (*)(JobState& job, FileSystem& files, RunView& view);

// ShowProgressDialog from an in-memory template (which must hold the dialog's controls) and with
// the given worker body. Returns DialogBoxIndirectParamA's result.
INT_PTR ShowProgressDialogFromTemplate(const DLGTEMPLATE* dialog_template, JobState& job,
                                       FileSystem& files, WindowsView& view, WorkerBody worker);

// The parts' worker body: returns the part whose outcome is reported, as RunModParts does.
using PartsWorkerBody = int (*)(std::vector<JobState>& parts, FileSystem& files, RunView& view);

// ShowPartsProgressDialog from an in-memory template, over `summary` (SummarizeParts, the job of
// `view`) and with the given worker body. Returns DialogBoxIndirectParamW's result.
INT_PTR ShowPartsProgressDialogFromTemplate(const DLGTEMPLATE* dialog_template,
                                            std::vector<JobState>& parts, JobState& summary,
                                            FileSystem& files, WindowsView& view,
                                            PartsWorkerBody worker);

}  // namespace velmora
