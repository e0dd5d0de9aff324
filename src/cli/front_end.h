// The tool's command line: finds the command named by the first word and runs it.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"
#include "sys/file_system.h"

namespace velmora {

// Runs the command line `words` (without the program's own name) and returns the exit code.
//   velmora COMMAND [ARGS...]     velmora help [COMMAND]     velmora --help     velmora --version
//   velmora SCRIPT.vlm            velmora --yes SCRIPT       (both mean run)
int RunCommandLine(const std::vector<std::string>& words, Console& console, FileSystem& files);

// The general help: usage, the command list, the options and the exit codes.
std::string GeneralHelp(const Console& console);

// "<tool> <version>" and a line break.
std::string VersionLine();

}  // namespace velmora
