// The commands of the terminal tool, one file each (name_command.cpp); the command table lists
// them in the order the help shows them.
#pragma once

#include "cli/command.h"

namespace velmora {

extern const CommandInfo kRunCommand;      // run a script
extern const CommandInfo kCheckCommand;    // what a run would do, changing nothing
extern const CommandInfo kListCommand;     // what an archive holds
extern const CommandInfo kExtractCommand;  // entries taken out as files
extern const CommandInfo kVerifyCommand;   // an archive judged
extern const CommandInfo kScriptCommand;   // a script made from a folder of edited entries
extern const CommandInfo kDiffCommand;     // two archives compared, or a patch made of them
extern const CommandInfo kRestoreCommand;  // an archive's backup put back
extern const CommandInfo kHelpCommand;     // the tool's own help

}  // namespace velmora
