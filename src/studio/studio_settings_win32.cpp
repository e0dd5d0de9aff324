#include "studio/studio_settings_win32.h"

#include <algorithm>

#include "sys/code_page.h"

namespace velmora {

namespace {

// The values are read and written through the Unicode calls, so that a folder with Chinese
// letters is kept right whatever the system's ANSI code page is.
const wchar_t kKey[] = L"Software\\Velmora\\Studio";

std::wstring WideName(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

int ReadNumber(HKEY key, const wchar_t* name, int fallback) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return static_cast<int>(value);
}

// A path kept by an earlier run, in the Studio's code page; empty when there is none, or when the
// code page cannot express it (a name with '?' in place of letters must never be opened).
std::string ReadPath(HKEY key, const wchar_t* name) {
  wchar_t value[MAX_PATH * 2 + 1] = {};
  DWORD size = sizeof value - sizeof value[0];
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::string();
  }
  const std::wstring wide(value, wcsnlen(value, size / sizeof value[0]));
  const std::string path = ActiveCodePageFromWide(wide);
  return WideFromActiveCodePage(path) == wide ? path : std::string();
}

void WriteNumber(HKEY key, const wchar_t* name, int value) {
  const DWORD v = static_cast<DWORD>(value);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

void WritePath(HKEY key, const wchar_t* name, const std::string& path) {
  const std::wstring wide = WideFromActiveCodePage(path);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
}

std::wstring RecentName(size_t k) { return WideName("Recent" + std::to_string(k + 1)); }

}  // namespace

void StudioSettings::Load() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  // Sizes a person could not have meant (a damaged value) fall back to the defaults.
  Width = std::clamp(ReadNumber(key, L"Width", 0), 0, 16384);
  Height = std::clamp(ReadNumber(key, L"Height", 0), 0, 16384);
  Maximized = ReadNumber(key, L"Maximized", 0) != 0;
  Splitter = std::clamp(ReadNumber(key, L"Splitter", 0), 0, 16384);
  LastFolder = ReadPath(key, L"LastFolder");
  Recent.clear();
  for (size_t k = 0; k < kRecentCount; ++k) {
    const std::string path = ReadPath(key, RecentName(k).c_str());
    if (!path.empty()) Recent.push_back(path);
  }
  RegCloseKey(key);
}

void StudioSettings::Store() const {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;  // settings are a comfort: a window that cannot keep them still works
  }
  WriteNumber(key, L"Width", Width);
  WriteNumber(key, L"Height", Height);
  WriteNumber(key, L"Maximized", Maximized ? 1 : 0);
  WriteNumber(key, L"Splitter", Splitter);
  WritePath(key, L"LastFolder", LastFolder);
  for (size_t k = 0; k < kRecentCount; ++k) {
    if (k < Recent.size()) {
      WritePath(key, RecentName(k).c_str(), Recent[k]);
    } else {
      RegDeleteValueW(key, RecentName(k).c_str());
    }
  }
  RegCloseKey(key);
}

void StudioSettings::Remember(const std::string& path) {
  Recent.erase(std::remove_if(Recent.begin(), Recent.end(),
                              [&](const std::string& p) { return EqualFoldingAscii(p, path); }),
               Recent.end());
  Recent.insert(Recent.begin(), path);
  if (Recent.size() > kRecentCount) Recent.resize(kRecentCount);
}

}  // namespace velmora
