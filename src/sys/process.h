// What the process knows about itself: its raw command line, its program file and its current
// directory.
#pragma once

#include <string>

namespace velmora {

// The raw command line as the system hands it over.
std::string RawCommandLine();
// Full path of the running program file (at most 260 characters).
std::string ProgramFilePath();
// The process's current directory as the system reports it: no trailing separator except at a
// drive's root. Empty on failure.
std::string CurrentDirectory();
// Makes `path` the process's current directory; false on failure.
bool ChangeCurrentDirectory(const std::string& path);

}  // namespace velmora
