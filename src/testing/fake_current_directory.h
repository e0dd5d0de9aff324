// A process's current directory over a set of drives, for tests of the path rules.
#pragma once

#include <cctype>
#include <map>
#include <string>

#include "job/script_path.h"

namespace velmora {

class FakeCurrentDirectory final : public CurrentDirectoryAccess {
 public:
  // Starts in `current`, which is also its drive's current directory.
  explicit FakeCurrentDirectory(const std::string& current) { Enter(current); }

  // Makes `dir` drive `letter`'s current directory without changing the process's.
  void SetDriveDirectory(char letter, const std::string& dir) { drives_[Upper(letter)] = dir; }

  std::string Current() override { return readable_ ? current_ : std::string(); }

  bool Change(const std::string& path) override {
    ++changes_;
    if (path.size() == 2 && path[1] == ':') {
      const auto drive = drives_.find(Upper(path[0]));
      if (drive == drives_.end()) return false;
      current_ = drive->second;
      return true;
    }
    Enter(path);
    return true;
  }

  // Every later Current() fails, as with a directory too long for the system's buffer.
  void MakeUnreadable() { readable_ = false; }
  int Changes() const { return changes_; }

 private:
  static char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }

  void Enter(const std::string& dir) {
    current_ = dir;
    if (dir.size() >= 2 && dir[1] == ':') drives_[Upper(dir[0])] = dir;
  }

  std::string current_;
  std::map<char, std::string> drives_;
  bool readable_ = true;
  int changes_ = 0;
};

}  // namespace velmora
