// The commands that run a script (run, check) and the tool's own help.
#pragma once

#include "cli/command.h"

namespace velmora {

extern const CommandInfo kRunCommand;
extern const CommandInfo kCheckCommand;
extern const CommandInfo kHelpCommand;

}  // namespace velmora
