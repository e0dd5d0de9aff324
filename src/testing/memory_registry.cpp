#include "testing/memory_registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace velmora {
namespace {

constexpr long kInvalidHandle = 6;
constexpr long kKeyDeleted = 1018;

// Key and value names are compared with ASCII letters folded, as the registry compares them.
std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string Joined(const std::string& parent, const std::string& child) {
  if (parent.empty()) return child;
  if (child.empty()) return parent;
  return parent + "\\" + child;
}

std::string LastPart(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TypeName(uint32_t type) {
  switch (type) {
    case kRegNone:
      return "REG_NONE";
    case kRegSz:
      return "REG_SZ";
    case kRegExpandSz:
      return "REG_EXPAND_SZ";
    case kRegBinary:
      return "REG_BINARY";
    case kRegDword:
      return "REG_DWORD";
    default:
      return "type " + std::to_string(type);
  }
}

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    }
  }
  return out;
}

}  // namespace

MemoryRegistry::MemoryRegistry() { keys_[""] = Key{}; }

MemoryRegistry::~MemoryRegistry() = default;

// --- Contents ------------------------------------------------------------------------------

int MemoryRegistry::CreateMissingKeys(const std::string& path) {
  int created = 0;
  std::string parent;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    const std::string folded = Folded(Joined(parent, part));
    auto found = keys_.find(folded);
    if (found == keys_.end()) {
      Key key;
      key.Path = Joined(keys_[Folded(parent)].Path, part);
      keys_[folded] = key;
      ++created;
    }
    parent = Joined(parent, part);
    start = end + 1;
  }
  return created;
}

void MemoryRegistry::PutKey(const std::string& path) { CreateMissingKeys(path); }

void MemoryRegistry::PutDefault(const std::string& path, uint32_t type, const std::string& bytes) {
  PutKey(path);
  keys_[Folded(path)].Values[""] = Value{type, bytes};
}

void MemoryRegistry::PutDefaultText(const std::string& path, const std::string& text) {
  PutDefault(path, kRegSz, text + std::string(1, '\0'));
}

bool MemoryRegistry::HasKey(const std::string& path) const {
  return keys_.count(Folded(path)) != 0;
}

bool MemoryRegistry::HasDefault(const std::string& path) const {
  auto key = keys_.find(Folded(path));
  return key != keys_.end() && key->second.Values.count("") != 0;
}

uint32_t MemoryRegistry::DefaultType(const std::string& path) const {
  if (!HasDefault(path)) return kRegNone;
  return keys_.at(Folded(path)).Values.at("").Type;
}

std::string MemoryRegistry::DefaultBytes(const std::string& path) const {
  if (!HasDefault(path)) return "";
  return keys_.at(Folded(path)).Values.at("").Bytes;
}

std::string MemoryRegistry::Dump() const {
  std::string dump;
  for (const auto& entry : keys_) {
    if (entry.first.empty()) continue;
    dump += entry.second.Path;
    for (const auto& value : entry.second.Values) {
      dump += " [" + value.first + "]=" + TypeName(value.second.Type) + ":\"" +
              Printable(value.second.Bytes) + "\"";
    }
    dump += "\n";
  }
  return dump;
}

// --- Faults --------------------------------------------------------------------------------

void MemoryRegistry::FailCreateOf(const std::string& path) {
  failing_creates_.insert(Folded(path));
}

void MemoryRegistry::FailOpenOf(const std::string& path, uint32_t access) {
  failing_opens_.insert({Folded(path), access});
}

void MemoryRegistry::FailSetOf(const std::string& path) { failing_sets_.insert(Folded(path)); }

void MemoryRegistry::FailDataQueryOf(const std::string& path) {
  failing_data_queries_.insert(Folded(path));
}

void MemoryRegistry::FailKeyInfoOf(const std::string& path) {
  failing_key_infos_.insert(Folded(path));
}

void MemoryRegistry::FailDeleteOf(const std::string& path) {
  failing_deletes_.insert(Folded(path));
}

// --- Registry ------------------------------------------------------------------------------

bool MemoryRegistry::ResolvePath(RegistryKey parent, const std::string& sub_key,
                                 std::string* path) const {
  std::string parent_path;
  if (parent != kClassesRoot) {
    auto open = open_keys_.find(parent);
    if (open == open_keys_.end()) return false;
    parent_path = open->second;
  }
  *path = Folded(Joined(parent_path, sub_key));
  return true;
}

bool MemoryRegistry::OpenKeyPath(RegistryKey key, std::string* path) const {
  if (key == kClassesRoot) {
    path->clear();
    return true;
  }
  auto open = open_keys_.find(key);
  if (open == open_keys_.end() || keys_.count(open->second) == 0) return false;
  *path = open->second;
  return true;
}

std::vector<const MemoryRegistry::Key*> MemoryRegistry::SubkeysOf(
    const std::string& folded_path) const {
  std::vector<const Key*> subkeys;
  const std::string prefix = folded_path.empty() ? "" : folded_path + "\\";
  for (const auto& entry : keys_) {
    const std::string& path = entry.first;
    if (path.empty() || path.size() <= prefix.size()) continue;
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    if (path.find('\\', prefix.size()) != std::string::npos) continue;
    subkeys.push_back(&entry.second);
  }
  return subkeys;  // in folded name order, as the map keeps them
}

RegistryKey MemoryRegistry::NewHandle(const std::string& folded_path) {
  const RegistryKey handle = next_handle_;
  next_handle_ += 4;
  open_keys_[handle] = folded_path;
  return handle;
}

long MemoryRegistry::OpenKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
                             RegistryKey* key) {
  std::string path;
  if (!ResolvePath(parent, sub_key, &path)) return kInvalidHandle;
  if (keys_.count(path) == 0) return kRegistryNotFound;
  if (failing_opens_.count({path, access}) != 0) return kRegistryAccessDenied;
  *key = NewHandle(path);
  return kRegistryOk;
}

long MemoryRegistry::CreateKey(RegistryKey parent, const std::string& sub_key, uint32_t,
                               RegistryKey* key) {
  std::string path;
  if (!ResolvePath(parent, sub_key, &path)) return kInvalidHandle;
  std::string parent_path;
  if (!OpenKeyPath(parent, &parent_path)) return kKeyDeleted;
  if (failing_creates_.count(path) != 0) return kRegistryAccessDenied;
  modifications_ += CreateMissingKeys(Joined(keys_[parent_path].Path, sub_key));
  *key = NewHandle(path);
  return kRegistryOk;
}

long MemoryRegistry::QueryValue(RegistryKey key, const std::string& name, uint32_t* type,
                                uint8_t* data, uint32_t* size) {
  std::string path;
  if (!OpenKeyPath(key, &path)) return kKeyDeleted;
  const auto& values = keys_[path].Values;
  auto value = values.find(Folded(name));
  if (value == values.end()) return kRegistryNotFound;
  *type = value->second.Type;
  const auto stored = static_cast<uint32_t>(value->second.Bytes.size());
  if (data == nullptr) {
    *size = stored;
    return kRegistryOk;
  }
  if (failing_data_queries_.count(path) != 0) return kRegistryAccessDenied;
  if (*size < stored) {
    *size = stored;
    return kRegistryMoreData;
  }
  std::memcpy(data, value->second.Bytes.data(), stored);
  *size = stored;
  return kRegistryOk;
}

long MemoryRegistry::SetValue(RegistryKey key, const std::string& name, uint32_t type,
                              const uint8_t* data, uint32_t size) {
  std::string path;
  if (!OpenKeyPath(key, &path)) return kKeyDeleted;
  if (failing_sets_.count(path) != 0) return kRegistryAccessDenied;
  keys_[path].Values[Folded(name)] =
      Value{type, std::string(reinterpret_cast<const char*>(data), size)};
  ++modifications_;
  return kRegistryOk;
}

long MemoryRegistry::QueryKeyInfo(RegistryKey key, uint32_t* subkey_count,
                                  uint32_t* longest_subkey_name) {
  std::string path;
  if (!OpenKeyPath(key, &path)) return kKeyDeleted;
  if (failing_key_infos_.count(path) != 0) return kRegistryAccessDenied;
  const auto subkeys = SubkeysOf(path);
  size_t longest = 0;
  for (const Key* subkey : subkeys) longest = std::max(longest, LastPart(subkey->Path).size());
  *subkey_count = static_cast<uint32_t>(subkeys.size());
  *longest_subkey_name = static_cast<uint32_t>(longest);
  return kRegistryOk;
}

long MemoryRegistry::EnumerateKey(RegistryKey key, uint32_t index, char* name, uint32_t* length) {
  std::string path;
  if (!OpenKeyPath(key, &path)) return kKeyDeleted;
  const auto subkeys = SubkeysOf(path);
  if (index >= subkeys.size()) return kRegistryNoMoreItems;
  const std::string subkey_name = LastPart(subkeys[index]->Path);
  if (*length < subkey_name.size() + 1) return kRegistryMoreData;
  std::memcpy(name, subkey_name.c_str(), subkey_name.size() + 1);
  *length = static_cast<uint32_t>(subkey_name.size());
  return kRegistryOk;
}

long MemoryRegistry::DeleteKey(RegistryKey parent, const std::string& sub_key) {
  std::string path;
  if (!ResolvePath(parent, sub_key, &path)) return kInvalidHandle;
  if (path.empty() || keys_.count(path) == 0) return kRegistryNotFound;
  if (failing_deletes_.count(path) != 0 || !SubkeysOf(path).empty()) {
    return kRegistryAccessDenied;
  }
  deleted_keys_.push_back(keys_[path].Path);
  keys_.erase(path);
  ++modifications_;
  return kRegistryOk;
}

void MemoryRegistry::CloseKey(RegistryKey key) { open_keys_.erase(key); }

void MemoryRegistry::NotifyAssociationChanged() { ++change_notices_; }

}  // namespace velmora
