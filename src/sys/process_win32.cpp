#include <windows.h>

#include "sys/process.h"

namespace velmora {

std::string RawCommandLine() { return GetCommandLineA(); }

std::string ProgramFilePath() {
  char buffer[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  // A path cut short at the buffer's end names no file; report none rather than a wrong one.
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return std::string();
  std::string buffer(needed, '\0');
  DWORD length = GetCurrentDirectoryA(needed, &buffer[0]);
  if (length == 0 || length >= needed) return std::string();
  buffer.resize(length);
  return buffer;
}

bool ChangeCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

}  // namespace velmora
