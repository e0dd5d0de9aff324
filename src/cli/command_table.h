// The tool's commands, in the order the help lists them.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"

namespace velmora {

const std::vector<const CommandInfo*>& Commands();

// The command called `name`, or nullptr.
const CommandInfo* FindCommand(const std::string& name);

}  // namespace velmora
