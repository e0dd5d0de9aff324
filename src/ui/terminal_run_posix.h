// A prepared run in the terminal: the worker writes the archive on its own thread while Ctrl-C
// asks it to stop; the outcome is then reported like the progress dialog reports it.
#pragma once

#include "job/job_state.h"
#include "sys/file_system.h"
#include "ui/terminal_view_posix.h"

namespace velmora {

// Runs the pack run of a prepared job to its end and shows the failure report, or the success
// report when the script asks for one. Returns only after the worker has finished, so the
// caller may release the job at once.
void RunInTerminal(JobState& job, FileSystem& files, TerminalView& view);

}  // namespace velmora
