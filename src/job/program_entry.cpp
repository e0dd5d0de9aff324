#include "job/program_entry.h"

#include <memory>
#include <vector>

#include "job/mod_run.h"
#include "job/script_path.h"
#include "job/paths.h"
#include "job/patch_base.h"
#include "job/patch_undo.h"
#include "job/prepare.h"
#include "job/script.h"
#include "msg/format.h"

namespace velmora {
namespace {

void ReleaseIndex(std::vector<WdfEntry>& index) { std::vector<WdfEntry>().swap(index); }

// Removes or writes the script file type registration. Nothing the shell refuses stops a run.
// True when the process is done because the registration was removed.
bool RemoveOrRegister(int argument_count, const std::string& argument1,
                      const std::string& script_path, EntryFrontEnd& front) {
  try {
    if (argument_count >= 1 && IsRemovalRequest(argument1, script_path)) {
      front.UnregisterScriptType();
      return true;
    }
    front.RegisterScriptType();
  } catch (...) {
    // The association is a convenience for the shell; the run goes on without it.
  }
  return false;
}

}  // namespace

EntryEnd RunEntry(int argument_count, const std::string& argument1, JobState& job,
                  FileSystem& files, RunView& view, EntryFrontEnd& front) {
  if (argument_count >= 1) job.ScriptPath = front.MakeAbsolute(argument1);
  if (RemoveOrRegister(argument_count, argument1, job.ScriptPath, front)) return EntryEnd::kRemoved;
  if (argument_count < 1) return EntryEnd::kNoArgument;
  return RunScriptEntry(job, files, view, front);
}

EntryEnd RunScriptEntry(JobState& job, FileSystem& files, RunView& view, EntryFrontEnd& front) {
  if (!files.FileIsPresent(job.ScriptPath)) {
    view.ShowError(Message(MessageKey::MsgScriptNotFound, {ShownPath(job.ScriptPath)}));
    return EntryEnd::kScriptMissing;
  }
  job.ScriptDir = DirectoryPart(job.ScriptPath);
  job.Script = std::make_unique<ScriptLines>(LoadScript(files, job.ScriptPath));

  try {
    // A mod runs its parts as one; a patch's undo script restores a backup instead of writing an
    // archive; a patch is checked against the base it was made for before it asks or touches
    // anything.
    if (IsModScript(*job.Script)) {
      RunModEntry(job, files, view, front);
    } else if (!job.PathsOnly && !RestoredPatchOf(*job.Script).empty()) {
      RunUndoScript(job, files, view);
    } else {
      NoteUndoAdvice(job, view);
      if ((job.PathsOnly || ConfirmPatchBase(job, files, view)) && PrepareJob(job, files, view)) {
        front.RunWithProgress(job);
      }
    }
  } catch (...) {
    ReleaseRun(job);
    throw;
  }
  ReleaseRun(job);
  return EntryEnd::kScriptRunEnded;
}

CodePage CodePageOfScriptFile(FileSystem& files, const std::string& script_path) {
  std::unique_ptr<Stream> stream = files.OpenShared(script_path);
  if (!stream) return CodePage::kUtf8;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const size_t got = stream->Read(buffer, sizeof buffer);
    bytes.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  return CodePageOfScript(bytes);
}

void ReleaseRun(JobState& job) {
  ReleaseIndex(job.SourceIndex);
  ReleaseIndex(job.TargetIndex);
  job.Script.reset();
  job.SourceStream.reset();
  job.TargetStream.reset();
  job.OldTarget.reset();
}

}  // namespace velmora
