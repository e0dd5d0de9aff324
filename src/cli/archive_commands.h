// The archive commands of the terminal tool: what an archive holds, taking entries out, judging
// an archive, and a script made from a folder of edited entries.
#pragma once

#include "cli/command.h"

namespace velmora {

extern const CommandInfo kListCommand;
extern const CommandInfo kExtractCommand;
extern const CommandInfo kVerifyCommand;
extern const CommandInfo kScriptCommand;

}  // namespace velmora
