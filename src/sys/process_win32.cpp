// The process's command line, program file and current directory, taken from the system as
// UTF-16 and given in the active code page.
#include <windows.h>

#include <vector>

#include "sys/code_page.h"
#include "sys/process.h"

namespace velmora {

std::string RawCommandLine() { return ActiveCodePageFromWide(GetCommandLineW()); }

std::string ProgramFilePath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
  // A path cut short at the buffer's end names no file; report none rather than a wrong one.
  if (length == 0 || length >= MAX_PATH + 1) return std::string();
  return ActiveCodePageFromWide(std::wstring(buffer, length));
}

std::string CurrentDirectory() {
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return std::string();
  std::vector<wchar_t> buffer(needed);
  DWORD length = GetCurrentDirectoryW(needed, buffer.data());
  if (length == 0 || length >= needed) return std::string();
  return ActiveCodePageFromWide(std::wstring(buffer.data(), length));
}

bool ChangeCurrentDirectory(const std::string& path) {
  return SetCurrentDirectoryW(WideFromActiveCodePage(path).c_str()) != FALSE;
}

}  // namespace velmora
