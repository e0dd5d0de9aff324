// The four steps that the file type registration is built on. Each step opens the key it needs
// below the classes root and closes it again before returning; nothing stays open between
// steps. Key paths have no leading backslash.
#pragma once

#include <string>

#include "app/registry.h"

namespace velmora {

// The default value of `key_path` as text: empty when the key cannot be opened, has no default
// value or that value holds no bytes; otherwise the stored text up to its first zero byte, an
// expandable text taken as stored. Throws AppFailure for a value of a non-text type or when
// its data cannot be read.
std::string ReadKeyDefault(Registry& registry, const std::string& key_path);

// Creates `key_path` with every missing parent and stores `text` as its default value (a text
// with its terminating zero byte). Throws AppFailure when the key cannot be created or the value
// cannot be stored; a created key that then fails to open is left without a value.
void WriteKeyDefault(Registry& registry, const std::string& key_path, const std::string& text);

// True when `key_path` can be opened for reading its values and listing its subkeys.
bool KeyPresent(Registry& registry, const std::string& key_path);

// Deletes `key_path` and every key below it, deepest first and the last subkey first. What
// cannot be opened or deleted stays. True when the key itself was deleted.
bool RemoveKeyTree(Registry& registry, const std::string& key_path);

}  // namespace velmora
