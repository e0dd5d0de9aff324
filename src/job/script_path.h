// From the first argument to the script's absolute path, and what that path says about the run.
#pragma once

#include <string>

namespace velmora {

// The process's current directory, seen through the two calls the path rules need, so that
// tests can describe any set of drives.
class CurrentDirectoryAccess {
 public:
  virtual ~CurrentDirectoryAccess() = default;
  // As the system reports it: no trailing separator except at a drive's root. Empty on failure.
  virtual std::string Current() = 0;
  // False when `path` cannot become the current directory (for "D:", when there is no drive D).
  virtual bool Change(const std::string& path) = 0;
};

// The process's own current directory.
CurrentDirectoryAccess& ProcessCurrentDirectory();

// Makes a script argument absolute the way the shell and the user mean it:
//   name.vlm, sub\name.vlm, ..\name.vlm  current directory, one backslash, the argument (no
//                                        simplification; at a root C:\ gives C:\\name.vlm);
//   \x\name.vlm                          the current directory's drive (or \\server\share)
//                                        followed by the argument;
//   D:name.vlm                           drive D's current directory, one backslash, name.vlm;
//                                        unchanged when drive D is not available;
//   D:sub\name.vlm, D:\x\name.vlm, \\srv\share\name.vlm   unchanged.
// When the current directory cannot be read, the argument is returned unchanged.
std::string MakeAbsoluteScriptPath(const std::string& argument, CurrentDirectoryAccess& dirs);

// True when the start asks for the file type registration to be removed: argument 1 is "-u", or
// the script path's file name without its extension is "-u" (ASCII letters folded only).
bool IsRemovalRequest(const std::string& argument1, const std::string& script_path);

}  // namespace velmora
