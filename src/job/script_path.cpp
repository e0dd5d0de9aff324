#include "job/script_path.h"

#include "job/paths.h"
#include "sys/code_page.h"
#include "sys/process.h"

namespace velmora {
namespace {

// "D:" when the path's second character is a colon.
bool HasDriveLetter(const std::string& path) {
  return path.size() >= 2 && NextCharOffset(path, 0) == 1 && path[1] == ':';
}

bool StartsWithTwoBackslashes(const std::string& path) {
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

// The server-and-share prefix of a path beginning with two backslashes: up to, not including,
// the backslash after the share name (the whole path when there is none).
std::string ServerSharePrefix(const std::string& path) {
  const size_t server_end = FindChar(path, '\\', 2);
  if (server_end == std::string::npos) return path;
  return path.substr(0, FindChar(path, '\\', server_end + 1));
}

// The drive part of a path: "D:", "\\server\share", or empty.
std::string DrivePart(const std::string& path) {
  if (HasDriveLetter(path)) return path.substr(0, 2);
  if (StartsWithTwoBackslashes(path)) return ServerSharePrefix(path);
  return std::string();
}

// The current directory of the drive `drive` ("D:"), read by making the drive current and
// changing back. Empty when the drive cannot be made current or its directory cannot be read.
std::string CurrentDirectoryOfDrive(const std::string& drive, CurrentDirectoryAccess& dirs) {
  const std::string previous = dirs.Current();
  if (previous.empty() || !dirs.Change(drive)) return std::string();
  const std::string drive_dir = dirs.Current();
  dirs.Change(previous);
  return drive_dir;
}

class SystemCurrentDirectory final : public CurrentDirectoryAccess {
 public:
  std::string Current() override { return CurrentDirectory(); }
  bool Change(const std::string& path) override { return ChangeCurrentDirectory(path); }
};

}  // namespace

CurrentDirectoryAccess& ProcessCurrentDirectory() {
  static SystemCurrentDirectory dirs;
  return dirs;
}

std::string MakeAbsoluteScriptPath(const std::string& argument, CurrentDirectoryAccess& dirs) {
  const std::string drive = DrivePart(argument);
  if (drive.empty()) {
    const std::string current = dirs.Current();
    if (current.empty()) return argument;
    // A leading backslash means the root of the current drive; joining it to the whole current
    // directory would name another file (C:\work\\x is C:\work\x to the system).
    if (!argument.empty() && argument[0] == '\\') {
      const std::string current_drive = DrivePart(current);
      return current_drive.empty() ? argument : current_drive + argument;
    }
    return current + "\\" + argument;
  }
  if (FindChar(argument, '\\') != std::string::npos) return argument;
  // Drive-relative name such as D:name.vlm. Without such a drive the name stays as given, and
  // the run reports it missing.
  const std::string drive_dir = CurrentDirectoryOfDrive(drive, dirs);
  if (drive_dir.empty()) return argument;
  return drive_dir + "\\" + argument.substr(2);
}

bool IsRemovalRequest(const std::string& argument1, const std::string& script_path) {
  static const std::string kRemoval = "-u";
  if (EqualFoldingAscii(argument1, kRemoval)) return true;
  const std::string name = FileNamePart(script_path);
  const std::string stem = name.substr(0, name.size() - Extension(name).size());
  return EqualFoldingAscii(stem, kRemoval);
}

}  // namespace velmora
