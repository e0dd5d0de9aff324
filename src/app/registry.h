// The registry below the classes root, seen through the few system calls that the file type
// registration makes. The real registry and the one that tests keep in memory implement it, so
// that value types, failures of single calls and the subkeys of a key behave the same in both.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// An open key. Each open or create hands out a new one that must be closed.
using RegistryKey = std::uintptr_t;

// The root every key path is relative to (the shell's classes root).
constexpr RegistryKey kClassesRoot = 0x80000000u;

// Value types, numbered as the system numbers them.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

// Access masks, as the system defines them.
constexpr uint32_t kKeyAllAccess = 0xF003F;
// Reading values and listing subkeys: standard read rights, query value, enumerate subkeys.
constexpr uint32_t kKeyReadInfo = 0x20009;

// Result codes of the calls: the system's error codes, zero for success.
constexpr long kRegistryOk = 0;
constexpr long kRegistryNotFound = 2;
constexpr long kRegistryAccessDenied = 5;
constexpr long kRegistryMoreData = 234;
constexpr long kRegistryNoMoreItems = 259;

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens `sub_key` below `parent` with `access`. On success `*key` must be closed.
  virtual long OpenKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
                       RegistryKey* key) = 0;
  // Opens `sub_key` below `parent`, creating it and every missing key above it (non-volatile).
  virtual long CreateKey(RegistryKey parent, const std::string& sub_key, uint32_t access,
                         RegistryKey* key) = 0;
  // Reads the value `name` ("" is the default value). With `data` null only the type and the
  // size in bytes are reported; otherwise `*size` is the buffer's size on entry and the stored
  // size on return, and a buffer that is too small gives kRegistryMoreData.
  virtual long QueryValue(RegistryKey key, const std::string& name, uint32_t* type, uint8_t* data,
                          uint32_t* size) = 0;
  // Stores `size` bytes of `data` as the value `name` of type `type`.
  virtual long SetValue(RegistryKey key, const std::string& name, uint32_t type,
                        const uint8_t* data, uint32_t size) = 0;
  // The number of subkeys and the length of the longest subkey name (without its zero byte).
  virtual long QueryKeyInfo(RegistryKey key, uint32_t* subkey_count,
                            uint32_t* longest_subkey_name) = 0;
  // The name of subkey `index` into `name`; `*length` is the buffer's size in characters on
  // entry (room for the zero byte included) and the name's length on return.
  virtual long EnumerateKey(RegistryKey key, uint32_t index, char* name, uint32_t* length) = 0;
  // Deletes `sub_key` below `parent`; a key that still has subkeys is not deleted.
  virtual long DeleteKey(RegistryKey parent, const std::string& sub_key) = 0;
  virtual void CloseKey(RegistryKey key) = 0;

  // Tells the shell that a file association has changed.
  virtual void NotifyAssociationChanged() = 0;
};

#ifdef _WIN32
// The system's own registry.
Registry& SystemRegistry();
#endif

}  // namespace velmora
