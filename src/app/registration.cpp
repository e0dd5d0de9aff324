#include "app/registration.h"

#include "app/registry_steps.h"

namespace velmora {
namespace {

const char kScriptExtension[] = ".vlm";
const char kScriptProgId[] = "vlmfile";
const char kScriptDescription[] = "Velmora Script";
// Icon index 1 of the program file: the icon the progress dialog shows.
const char kScriptIconSuffix[] = ",1";

std::string DerivedProgId(const std::string& extension) {
  return (extension.empty() ? std::string() : extension.substr(1)) + "File";
}

// Writes `wanted` as the default value of `key_path` unless it is stored there byte for byte.
// True when it had to be written.
bool KeepKeyDefault(Registry& registry, const std::string& key_path, const std::string& wanted) {
  if (ReadKeyDefault(registry, key_path) == wanted) return false;
  WriteKeyDefault(registry, key_path, wanted);
  return true;
}

// True when the key was there and its removal was attempted. An empty path would stand for the
// classes root itself, which is no key of a file type.
bool RemoveKeyIfPresent(Registry& registry, const std::string& key_path) {
  if (key_path.empty() || !KeyPresent(registry, key_path)) return false;
  RemoveKeyTree(registry, key_path);
  return true;
}

}  // namespace

std::string OpenCommandFor(const std::string& program_path) {
  return "\"" + program_path + "\" \"%1\"";
}

void RegisterScriptType(Registry& registry, const std::string& extension,
                        const std::string& prog_id, const std::string& description,
                        const std::string& icon_location, const std::string& program_path) {
  const std::string id = prog_id.empty() ? DerivedProgId(extension) : prog_id;
  bool changed = KeepKeyDefault(registry, extension, id);
  changed |= KeepKeyDefault(registry, id, description);

  const std::string icon_key = id + "\\DefaultIcon";
  if (!icon_location.empty()) {
    changed |= KeepKeyDefault(registry, icon_key, icon_location);
  } else {
    changed |= RemoveKeyIfPresent(registry, icon_key);
  }

  if (!program_path.empty()) {
    changed |=
        KeepKeyDefault(registry, id + "\\Shell\\Open\\Command", OpenCommandFor(program_path));
  } else {
    changed |= RemoveKeyIfPresent(registry, id + "\\Shell");
  }

  if (changed) registry.NotifyAssociationChanged();
}

void UnregisterScriptType(Registry& registry, const std::string& extension,
                          const std::string& prog_id) {
  bool changed = RemoveKeyIfPresent(registry, extension);
  changed |= RemoveKeyIfPresent(registry, prog_id);
  if (changed) registry.NotifyAssociationChanged();
}

void RegisterVelmoraScriptType(Registry& registry, const std::string& program_path) {
  RegisterScriptType(registry, kScriptExtension, kScriptProgId, kScriptDescription,
                     program_path + kScriptIconSuffix, program_path);
}

void UnregisterVelmoraScriptType(Registry& registry) {
  UnregisterScriptType(registry, kScriptExtension, kScriptProgId);
}

}  // namespace velmora
