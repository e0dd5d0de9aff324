// velmora diff --patch DIR OLD_DIR NEW_DIR: one mod from two folders of archives.
#pragma once

#include <string>

#include "cli/command.h"

namespace velmora {

// Compares the archives in and below `old_dir` with those of the same relative names in and
// below `new_dir` (files that are no archives are passed over) and writes into `dir` one mod
// that changes every archive that differs, or none: a part for each, in folders 1, 2, ... (the
// patch of that archive, run as one step of the mod), then the undo script and the mod script.
// An archive in only one of the folders is named and refused. Returns the exit code.
int WriteModPatch(CommandCall& call, const std::string& dir, bool force, const std::string& old_dir,
                  const std::string& new_dir);

}  // namespace velmora
