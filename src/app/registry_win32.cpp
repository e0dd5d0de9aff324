// The system's registry behind the registry seam: each call is one call of the system.
#include "app/registry.h"

#include <windows.h>
#include <shlobj.h>

namespace velmora {
namespace {

HKEY ToSystemKey(RegistryKey key) {
  // The root's handle is a fixed value that the system sign-extends on wider platforms.
  if (key == kClassesRoot) return HKEY_CLASSES_ROOT;
  return reinterpret_cast<HKEY>(key);
}

RegistryKey FromSystemKey(HKEY key) { return reinterpret_cast<RegistryKey>(key); }

class SystemRegistryImpl final : public Registry {
 public:
  long OpenKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
               RegistryKey* key) override {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(ToSystemKey(parent), sub_key.c_str(), 0, access, &opened);
    if (result == ERROR_SUCCESS) *key = FromSystemKey(opened);
    return result;
  }

  long CreateKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
                 RegistryKey* key) override {
    HKEY created = nullptr;
    DWORD disposition = 0;
    LONG result = RegCreateKeyExA(ToSystemKey(parent), sub_key.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, access, nullptr, &created, &disposition);
    if (result == ERROR_SUCCESS) *key = FromSystemKey(created);
    return result;
  }

  long QueryValue(RegistryKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override {
    DWORD value_type = REG_NONE;
    DWORD value_size = *size;
    LONG result =
        RegQueryValueExA(ToSystemKey(key), name.c_str(), nullptr, &value_type, data, &value_size);
    *type = value_type;
    *size = value_size;
    return result;
  }

  long SetValue(RegistryKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override {
    return RegSetValueExA(ToSystemKey(key), name.c_str(), 0, type, data, size);
  }

  long QueryKeyInfo(RegistryKey key, uint32_t* subkey_count,
                    uint32_t* longest_subkey_name) override {
    DWORD count = 0;
    DWORD longest = 0;
    LONG result = RegQueryInfoKeyA(ToSystemKey(key), nullptr, nullptr, nullptr, &count, &longest,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    *subkey_count = count;
    *longest_subkey_name = longest;
    return result;
  }

  long EnumerateKey(RegistryKey key, uint32_t index, char* name, uint32_t* length) override {
    DWORD name_length = *length;
    LONG result = RegEnumKeyExA(ToSystemKey(key), index, name, &name_length, nullptr, nullptr,
                                nullptr, nullptr);
    *length = name_length;
    return result;
  }

  long DeleteKey(RegistryKey parent, const std::string& sub_key) override {
    return RegDeleteKeyA(ToSystemKey(parent), sub_key.c_str());
  }

  void CloseKey(RegistryKey key) override { RegCloseKey(ToSystemKey(key)); }

  void NotifyAssociationChanged() override {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  }
};

}  // namespace

Registry& SystemRegistry() {
  static SystemRegistryImpl registry;
  return registry;
}

}  // namespace velmora
