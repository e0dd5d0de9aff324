#include "studio/studio_file_type_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "studio/studio_texts_win32.h"
#include "sys/code_page.h"

namespace velmora {

namespace {

// Every value goes through the Unicode calls: the program's folder and the type's name are right
// whatever the system's ANSI code page.
const wchar_t kProgId[] = L"VelmoraStudio.wdf";
const wchar_t kProgIdKey[] = L"Software\\Classes\\VelmoraStudio.wdf";
const wchar_t kOpenWithKey[] = L"Software\\Classes\\.wdf\\OpenWithProgids";
const wchar_t kApplicationKey[] = L"Software\\Classes\\Applications\\VelmoraStudio.exe";

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH * 2] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return std::wstring(path, n);
}

bool SetText(const std::wstring& key_path, const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set =
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

bool HasValue(const wchar_t* key_path, const wchar_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  const bool found =
      RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

bool Gone(LONG result) { return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND; }

}  // namespace

bool StudioOfferedForArchives() {
  return HasValue(kOpenWithKey, kProgId) &&
         HasValue((std::wstring(kProgIdKey) + L"\\shell\\open\\command").c_str(), nullptr);
}

bool OfferStudioForArchives(bool on) {
  bool done = true;
  if (on) {
    const std::wstring command = L"\"" + ProgramPath() + L"\" \"%1\"";
    const std::wstring prog_id = kProgIdKey;
    const std::wstring application = kApplicationKey;
    done = SetText(prog_id, nullptr, WideFromActiveCodePage(Text(StudioText::TxtArchiveType))) &&
           SetText(prog_id + L"\\DefaultIcon", nullptr, ProgramPath() + L",0") &&
           SetText(prog_id + L"\\shell\\open\\command", nullptr, command) &&
           SetText(application + L"\\shell\\open\\command", nullptr, command) &&
           SetText(application + L"\\SupportedTypes", L".wdf", L"") &&
           SetText(kOpenWithKey, kProgId, L"");
  } else {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOpenWithKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      done = Gone(RegDeleteValueW(key, kProgId));
      RegCloseKey(key);
    }
    done = Gone(RegDeleteTreeW(HKEY_CURRENT_USER, kProgIdKey)) && done;
    done = Gone(RegDeleteTreeW(HKEY_CURRENT_USER, kApplicationKey)) && done;
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return done;
}

}  // namespace velmora
