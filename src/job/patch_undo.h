// The undo of a patch, for a player without a console: `diff --patch` writes beside the patch's
// script a second script that puts back the backup the patch's run made, opened like any script.
//
// The patch's script carries #PatchId=<16 hexadecimal digits> (a hash of its rules and base keys),
// which its run records in the note of the backup it makes, and #Undo=<the undo script's name>,
// so that its question and report say how to undo it. The undo script names the archive as a
// run names its source (#SrcPath, #SrcFile) and the patch by #Restore=<that id>. A program that
// does not know #Restore runs it as a script without rules: it writes a copy of the archive under
// the undo script's name and changes nothing else.
#pragma once

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "job/job_state.h"
#include "job/run_view.h"
#include "job/script.h"
#include "sys/file_system.h"

namespace velmora {

constexpr char kPatchIdKey[] = "#PatchId";
constexpr char kUndoKey[] = "#Undo";
constexpr char kRestoreKey[] = "#Restore";

// The cleaned value of #PatchId, or empty.
std::string PatchIdOf(const ScriptLines& script);
// The cleaned value of #Restore: non-empty for an undo script.
std::string RestoredPatchOf(const ScriptLines& script);

// Sets job.UndoAdvice (a line break and the advice) when the script names its undo script
// (#Undo, a file beside the script), in the words of `view`.
void NoteUndoAdvice(JobState& job, RunView& view);

enum class UndoChoice {
  kRestore,        // `*chosen`: the newest backup made by a run of the patch
  kAlreadyUndone,  // the newest backup that either made is the undo's own
  kNoBackup,       // no backup of the archive was made by the patch
};
UndoChoice ChooseUndoBackup(const std::vector<ArchiveBackup>& backups, const std::string& patch_id,
                            const ArchiveBackup** chosen);

// The run of an undo script, in place of preparation and pack run: the script's question
// (#RunBegin), the archive found as a run finds its source, an interrupted swap completed, then
// the patch's backup put back (RestoreBackup), the archive it replaces kept as a backup. Every
// outcome is shown through `view`; job.SucceededWithoutPack says the archive holds what it held
// before the patch.
void RunUndoScript(JobState& job, FileSystem& files, RunView& view);

}  // namespace velmora
