#include "studio/studio_settings_win32.h"

#include <algorithm>

#include "sys/code_page.h"

namespace velmora {

namespace {

const char kKey[] = "Software\\Velmora\\Studio";

int ReadNumber(HKEY key, const char* name, int fallback) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return fallback;
  }
  return static_cast<int>(value);
}

std::string ReadText(HKEY key, const char* name) {
  char value[MAX_PATH * 2] = {};
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::string();
  }
  return std::string(value);
}

void WriteNumber(HKEY key, const char* name, int value) {
  const DWORD v = static_cast<DWORD>(value);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

void WriteText(HKEY key, const char* name, const std::string& value) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
}

}  // namespace

void StudioSettings::Load() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  // Sizes a person could not have meant (a damaged value) fall back to the defaults.
  Width = std::clamp(ReadNumber(key, "Width", 0), 0, 16384);
  Height = std::clamp(ReadNumber(key, "Height", 0), 0, 16384);
  Maximized = ReadNumber(key, "Maximized", 0) != 0;
  Splitter = std::clamp(ReadNumber(key, "Splitter", 0), 0, 16384);
  LastFolder = ReadText(key, "LastFolder");
  Recent.clear();
  for (size_t k = 0; k < kRecentCount; ++k) {
    const std::string path = ReadText(key, ("Recent" + std::to_string(k + 1)).c_str());
    if (!path.empty()) Recent.push_back(path);
  }
  RegCloseKey(key);
}

void StudioSettings::Store() const {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;  // settings are a comfort: a window that cannot keep them still works
  }
  WriteNumber(key, "Width", Width);
  WriteNumber(key, "Height", Height);
  WriteNumber(key, "Maximized", Maximized ? 1 : 0);
  WriteNumber(key, "Splitter", Splitter);
  WriteText(key, "LastFolder", LastFolder);
  for (size_t k = 0; k < kRecentCount; ++k) {
    const std::string name = "Recent" + std::to_string(k + 1);
    if (k < Recent.size()) {
      WriteText(key, name.c_str(), Recent[k]);
    } else {
      RegDeleteValueA(key, name.c_str());
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
