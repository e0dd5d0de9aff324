#include "app/registry_steps.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

constexpr const char kFailureType[] = "RegistryFailure";
// The steps read and write the unnamed default value; its name fills the messages.
const std::string kDefaultValueName;

[[noreturn]] void RaiseRegistryFailure(const char* format, const std::string& name) {
  throw AppFailure(kFailureType, FormatText(format, {name}));
}

// Closes a key on every way out of a step, a failure included.
class OpenedKey {
 public:
  OpenedKey(Registry& registry, RegistryKey key) : registry_(registry), key_(key) {}
  ~OpenedKey() { registry_.CloseKey(key_); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  RegistryKey get() const { return key_; }

 private:
  Registry& registry_;
  RegistryKey key_;
};

bool RemoveKeyTreeBelow(Registry& registry, RegistryKey parent, const std::string& sub_key) {
  RegistryKey key = 0;
  if (registry.OpenKey(parent, sub_key, kKeyAllAccess, &key) == kRegistryOk) {
    OpenedKey opened(registry, key);
    uint32_t count = 0;
    uint32_t longest = 0;
    if (registry.QueryKeyInfo(key, &count, &longest) != kRegistryOk) count = 0;
    // The longest name is counted in characters; in a double-byte code page a character can
    // take two bytes of the name that enumeration hands out.
    std::vector<char> name(2 * static_cast<size_t>(longest) + 1);
    // From the last subkey down, so that deleting one leaves the indices still to visit alone.
    for (uint32_t i = count; i-- > 0;) {
      uint32_t length = static_cast<uint32_t>(name.size());
      if (registry.EnumerateKey(key, i, name.data(), &length) == kRegistryOk) {
        RemoveKeyTreeBelow(registry, key, std::string(name.data(), length));
      }
    }
  }
  return registry.DeleteKey(parent, sub_key) == kRegistryOk;
}

}  // namespace

std::string ReadKeyDefault(Registry& registry, const std::string& key_path) {
  RegistryKey key = 0;
  if (registry.OpenKey(kClassesRoot, key_path, kKeyAllAccess, &key) != kRegistryOk) return "";
  OpenedKey opened(registry, key);
  uint32_t type = kRegNone;
  uint32_t size = 0;
  if (registry.QueryValue(key, kDefaultValueName, &type, nullptr, &size) != kRegistryOk ||
      size == 0) {
    return "";
  }
  if (type != kRegSz && type != kRegExpandSz) {
    RaiseRegistryFailure("Invalid data type for '%s'", kDefaultValueName);
  }
  std::vector<uint8_t> data(size);
  if (registry.QueryValue(key, kDefaultValueName, &type, data.data(), &size) != kRegistryOk) {
    RaiseRegistryFailure("Failed to get data for '%s'", kDefaultValueName);
  }
  // A text stored without its zero byte still ends where its data ends.
  std::string text(data.begin(), data.begin() + std::min<size_t>(size, data.size()));
  return text.substr(0, text.find('\0'));
}

void WriteKeyDefault(Registry& registry, const std::string& key_path, const std::string& text) {
  RegistryKey key = 0;
  if (registry.CreateKey(kClassesRoot, key_path, kKeyAllAccess, &key) != kRegistryOk) {
    RaiseRegistryFailure("Failed to create key %s", key_path);
  }
  registry.CloseKey(key);
  if (registry.OpenKey(kClassesRoot, key_path, kKeyAllAccess, &key) != kRegistryOk) return;
  OpenedKey opened(registry, key);
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.c_str());
  if (registry.SetValue(key, kDefaultValueName, kRegSz, bytes,
                        static_cast<uint32_t>(text.size() + 1)) != kRegistryOk) {
    RaiseRegistryFailure("Failed to set data for '%s'", kDefaultValueName);
  }
}

bool KeyPresent(Registry& registry, const std::string& key_path) {
  RegistryKey key = 0;
  if (registry.OpenKey(kClassesRoot, key_path, kKeyReadInfo, &key) != kRegistryOk) return false;
  registry.CloseKey(key);
  return true;
}

bool RemoveKeyTree(Registry& registry, const std::string& key_path) {
  // An empty path opens the classes root itself: removing it would empty the whole root.
  if (key_path.empty()) return false;
  return RemoveKeyTreeBelow(registry, kClassesRoot, key_path);
}

}  // namespace velmora
