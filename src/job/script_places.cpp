#include "job/script_places.h"

#include "job/paths.h"
#include "msg/format.h"

namespace velmora {

namespace {

// The cleaned value of `key` when the script has that key.
bool KeyValue(const ScriptLines& script, const char* key, std::string* value) {
  const int line = FindScriptKey(script, key);
  if (line < 0) return false;
  *value = CleanScriptValue(ScriptValueAt(script, line), true);
  return true;
}

}  // namespace

bool LocateSource(const ScriptLines& script, const std::string& script_path, std::string* dir,
                  std::string* name, std::string* path, std::string* refusal) {
  std::string source_dir = DirectoryPart(script_path);
  std::string value;
  if (!KeyValue(script, "#SrcFile", name)) {
    *refusal = Message(MessageKey::MsgNoSource);
    return false;
  }
  if (KeyValue(script, "#SrcPath", &value) &&
      !ResolveRelativePath(source_dir, FolderKeyValue(value))) {
    *refusal = Message(MessageKey::MsgSourcePathInvalid);
    return false;
  }
  *dir = source_dir;
  if (!FileKeyPath(source_dir, *name, path)) {
    *refusal = Message(MessageKey::MsgPathHasDrive, {"#SrcFile", *name});
    return false;
  }
  return true;
}

bool LocateTarget(const ScriptLines& script, const std::string& script_path,
                  const std::string& source_path, std::string* dir, std::string* path,
                  std::string* refusal) {
  std::string target_dir = DirectoryPart(script_path);
  std::string value;
  if (KeyValue(script, "#DestPath", &value) &&
      !ResolveRelativePath(target_dir, FolderKeyValue(value))) {
    *refusal = Message(MessageKey::MsgTargetPathInvalid);
    return false;
  }
  *dir = target_dir;
  std::string target_name;
  KeyValue(script, "#DestFile", &target_name);
  if (target_name.empty()) {
    target_name = ReplaceExtension(FileNamePart(script_path), Extension(source_path));
  }
  if (!FileKeyPath(target_dir, target_name, path)) {
    *refusal = Message(MessageKey::MsgPathHasDrive, {"#DestFile", target_name});
    return false;
  }
  return true;
}

bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem) {
  ScriptPlaces found;
  found.ScriptPath = script_path;
  found.ScriptDir = DirectoryPart(script_path);
  std::string source_dir;
  std::string source_name;
  std::string target_dir;
  if (!LocateSource(script, script_path, &source_dir, &source_name, &found.SourcePath, problem)) {
    return false;
  }
  // Other archives are named relative to the source archive's own folder.
  found.SourceDir = DirectoryPart(found.SourcePath);
  if (!LocateTarget(script, script_path, found.SourcePath, &target_dir, &found.TargetPath,
                    problem)) {
    return false;
  }
  found.AddEntries = ScriptKeySaysYes(script, "#AddEntries");
  found.InPlace = ScriptKeySaysYes(script, "#InPlace");
  *places = found;
  return true;
}

}  // namespace velmora
