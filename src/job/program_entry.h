// The order of a process from its first argument to its exit, shared by both front-ends.
#pragma once

#include <string>
#include <vector>

#include "job/job_state.h"
#include "job/run_view.h"
#include "sys/code_page.h"
#include "sys/file_system.h"

namespace velmora {

// What a front-end adds to the entry: its own notion of an absolute path, the file type
// registration and the progress display.
class EntryFrontEnd {
 public:
  virtual ~EntryFrontEnd() = default;
  virtual std::string MakeAbsolute(const std::string& argument) = 0;
  // Both may throw; a run never fails because the shell association could not be written.
  virtual void RegisterScriptType() = 0;
  virtual void UnregisterScriptType() = 0;
  // Runs the prepared job with its progress display and returns only after the worker has
  // finished with everything it releases itself.
  virtual void RunWithProgress(JobState& job) = 0;
  // Whether the front-end shows a mod's parts as one run (RunPartsWithProgress); otherwise each
  // part is prepared and run on its own through RunWithProgress, one after another.
  virtual bool RunsPartsTogether() const { return false; }
  // Runs a mod's prepared parts with one progress display over all their entries (RunModParts)
  // and reports their end as RunWithProgress reports a run's (ReportModParts).
  virtual void RunPartsWithProgress(std::vector<JobState>& /*parts*/) {}
  // A mod script's run is over: every archive of the mod was changed (true), or none was.
  virtual void ModEnded(bool /*changed*/) {}
};

// How the entry ended; each of these exits with code 0.
enum class EntryEnd {
  kRemoved,         // the registration was removed (argument -u or a script named -u.*)
  kNoArgument,      // nothing to run; the registration was checked
  kScriptMissing,   // the script was reported missing
  kScriptRunEnded,  // the script was loaded and the run is over, refused or not; all released
};

// Runs the entry for `argument_count` arguments of which `argument1` is the first. Failures of
// LoadScript pass through untouched; a failure of the preparation or the progress display
// passes through after the run's objects have been released.
EntryEnd RunEntry(int argument_count, const std::string& argument1, JobState& job,
                  FileSystem& files, RunView& view, EntryFrontEnd& front);

// The part of the entry that runs the script at job.ScriptPath (already absolute): its
// existence, loading, preparation and the run. Returns kScriptMissing or kScriptRunEnded. The
// terminal tool starts here: it has no file type to register, and a script named -u.vlm is a
// script to it.
EntryEnd RunScriptEntry(JobState& job, FileSystem& files, RunView& view, EntryFrontEnd& front);

// The code page of the script at `script_path` (a path of the active code page) by the one rule
// of every program (CodePageOfScript). A script that cannot be read is taken as UTF-8, in which
// any path converts: the run then reports why, naming it.
CodePage CodePageOfScriptFile(FileSystem& files, const std::string& script_path);

// Releases whatever of the run is still held, in this order: the source index, the target
// index, the script, the source stream, the target stream, the old target. Closing a stream
// closes its file; no file is deleted.
void ReleaseRun(JobState& job);

}  // namespace velmora
