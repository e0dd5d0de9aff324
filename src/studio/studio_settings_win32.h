// What the Studio remembers between runs, under HKEY_CURRENT_USER\Software\Velmora\Studio: the
// window's size, the splitter, the last folder and the recent files. Paths are texts of the active
// code page here and Unicode in the registry, so that no ANSI code page decides how they are kept.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace velmora {

struct StudioSettings {
  int Width = 0;  // 0: the system's default
  int Height = 0;
  bool Maximized = false;
  int Splitter = 0;  // width of the entry list in pixels; 0: the default
  std::string LastFolder;
  std::vector<std::string> Recent;  // most recent first

  static constexpr size_t kRecentCount = 8;

  void Load();
  void Store() const;
  // Puts `path` first in the recent files.
  void Remember(const std::string& path);
};

}  // namespace velmora
