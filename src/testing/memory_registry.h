// A registry below the classes root held in memory, for tests: key names are found without
// regard to letter case and keep the case they were created with, values keep their type and
// bytes, subkeys are listed in name order, a key with subkeys cannot be deleted, and any single
// call can be made to fail. It counts what was changed and the change notices sent.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/registry.h"

namespace velmora {

class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  // --- Contents (paths relative to the classes root, parts separated by backslashes) ---------
  // Creates the key and every missing key above it.
  void PutKey(const std::string& path);
  // Stores the default value of `path` (creating the key) with exactly these bytes.
  void PutDefault(const std::string& path, uint32_t type, const std::string& bytes);
  // Stores `text` as a text default value, terminating zero byte included.
  void PutDefaultText(const std::string& path, const std::string& text);
  bool HasKey(const std::string& path) const;
  bool HasDefault(const std::string& path) const;
  uint32_t DefaultType(const std::string& path) const;      // kRegNone when there is none
  std::string DefaultBytes(const std::string& path) const;  // empty when there is none
  // Every key with its default value, one line each in name order: readable in a failing test
  // and equal only when the contents are.
  std::string Dump() const;

  // --- Faults: the named call on exactly this key path fails with access denied --------------
  void FailCreateOf(const std::string& path);
  // Only opens asking for exactly `access` fail.
  void FailOpenOf(const std::string& path, uint32_t access);
  void FailSetOf(const std::string& path);
  // Reading the data fails; asking only for type and size still works.
  void FailDataQueryOf(const std::string& path);
  void FailKeyInfoOf(const std::string& path);
  void FailDeleteOf(const std::string& path);

  // --- Observation ---------------------------------------------------------------------------
  // Keys created, values stored and keys deleted, counted since the start.
  int Modifications() const { return modifications_; }
  int ChangeNotices() const { return change_notices_; }
  int OpenKeyCount() const { return static_cast<int>(open_keys_.size()); }
  // Paths of the deleted keys, in the order of deletion.
  const std::vector<std::string>& DeletedKeys() const { return deleted_keys_; }

  // --- Registry ------------------------------------------------------------------------------
  long OpenKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
               RegistryKey* key) override;
  long CreateKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
                 RegistryKey* key) override;
  long QueryValue(RegistryKey key, const std::string& name, uint32_t* type, uint8_t* data,
                  uint32_t* size) override;
  long SetValue(RegistryKey key, const std::string& name, uint32_t type, const uint8_t* data,
                uint32_t size) override;
  long QueryKeyInfo(RegistryKey key, uint32_t* subkey_count,
                    uint32_t* longest_subkey_name) override;
  long EnumerateKey(RegistryKey key, uint32_t index, char* name, uint32_t* length) override;
  long DeleteKey(RegistryKey parent, const std::string& sub_key) override;
  void CloseKey(RegistryKey key) override;
  void NotifyAssociationChanged() override;

 private:
  struct Value {
    uint32_t Type = kRegNone;
    std::string Bytes;
  };
  struct Key {
    std::string Path;                     // as created, letter case kept
    std::map<std::string, Value> Values;  // by folded name
  };

  // Keys by folded path; the root is the empty path and always exists.
  std::map<std::string, Key> keys_;
  std::map<RegistryKey, std::string> open_keys_;  // handle -> folded path
  RegistryKey next_handle_ = 0x1000;

  std::set<std::string> failing_creates_;
  std::set<std::pair<std::string, uint32_t>> failing_opens_;
  std::set<std::string> failing_sets_;
  std::set<std::string> failing_data_queries_;
  std::set<std::string> failing_key_infos_;
  std::set<std::string> failing_deletes_;

  int modifications_ = 0;
  int change_notices_ = 0;
  std::vector<std::string> deleted_keys_;

  // Folded path of `sub_key` below the key open as `parent`; false for an unknown handle.
  bool ResolvePath(RegistryKey parent, const std::string& sub_key, std::string* path) const;
  // Folded path of an open key that still exists; false otherwise.
  bool OpenKeyPath(RegistryKey key, std::string* path) const;
  std::vector<const Key*> SubkeysOf(const std::string& folded_path) const;
  RegistryKey NewHandle(const std::string& folded_path);
  // Creates `path` and every missing key above it; returns how many keys were new.
  int CreateMissingKeys(const std::string& path);
};

}  // namespace velmora
