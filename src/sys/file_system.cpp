#include "sys/file_system.h"

namespace velmora {

std::unique_ptr<Stream> FileSystem::OpenSharedIfPresent(const std::string& path, bool* present) {
  *present = FileIsPresentForReading(path);
  return *present ? OpenShared(path) : nullptr;
}

bool MakeMissingDirectories(FileSystem& files, const std::string& dir,
                            const std::function<std::string(const std::string&)>& parent) {
  std::vector<std::string> missing;  // innermost first
  for (std::string level = dir; !level.empty();) {
    if (files.DirectoryExists(level)) break;
    missing.push_back(level);
    const std::string up = parent(level);
    if (up == level) break;  // a root that does not exist: creating it reports why
    level = up;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!files.MakeDirectory(*it)) return false;
  }
  return true;
}

}  // namespace velmora
