// The run of a mod script: one script that changes several archives, all of them or none.
//
// A mod script names its parts, each an ordinary script that changes one archive in place:
//   #ModBase=..\                  the folder the mod's archives lie in and below (its journal)
//   #ModPart1=1\gfx-patch.vlm     the parts, numbered from 1 without a gap
//   #ModPart2=2\sound-patch.vlm
// and its undo script names the mod it takes back out:
//   #ModUndo=mod.vlm
// #RunBegin and #RunEnd ask and report for the whole mod, as for any script. A script with
// neither #ModPart1 nor #ModUndo is no mod script.
#pragma once

#include <string>

#include "job/job_state.h"
#include "job/mod_journal.h"
#include "job/program_entry.h"
#include "job/run_view.h"
#include "sys/file_system.h"

namespace velmora {

bool IsModScript(const ScriptLines& script);

// The run of the mod script loaded in `job` (ScriptPath, ScriptDir, Script). First a transaction
// that an earlier run left in progress is completed. Then each part is prepared and its new
// archive written with the front-end's progress display, one after another, the new archives
// held under their temporary names; when every part has succeeded they take their archives'
// names in one transaction (mod_journal.h). A refusal, failure or cancel of any part leaves every
// archive as it was. An undo script brings back the backups the mod's record names, in one
// transaction too, keeping the mod's archives as backups. The front-end hears the outcome
// (EntryFrontEnd::ModEnded); `job` is left empty.
void RunModEntry(JobState& job, FileSystem& files, RunView& view, EntryFrontEnd& front);

// Completes a transaction left in progress in the folder of `archive_path` or any folder above
// it. False when there was none; otherwise true, with the outcome's message in `*message` and,
// when `done` is given, the outcome in `*done`.
bool CompleteModAround(FileSystem& files, const std::string& archive_path, std::string* message,
                       ModCompletion* done = nullptr);

}  // namespace velmora
