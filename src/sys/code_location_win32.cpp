#include "sys/code_location.h"

#include <windows.h>

#include "sys/code_page.h"

namespace velmora {

CodeLocation LocateCode(const void* address) {
  HMODULE module = nullptr;
  if (address == nullptr || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                static_cast<LPCSTR>(address), &module)) {
    module = GetModuleHandleA(nullptr);
    address = nullptr;
  }
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  CodeLocation location;
  const std::string full = ActiveCodePageFromWide(path);
  // The folder part ends at the last separator that is a character of its own, not the second
  // byte of a double-byte character.
  const size_t slash = FindLastCharOf(full, "\\/");
  location.ModuleName = slash == std::string::npos ? full : full.substr(slash + 1);
  const uintptr_t base = reinterpret_cast<uintptr_t>(module);
  const uintptr_t code = reinterpret_cast<uintptr_t>(address);
  location.Offset = code >= base ? code - base : 0;
  return location;
}

}  // namespace velmora
