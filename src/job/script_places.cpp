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

bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem) {
  ScriptPlaces found;
  found.ScriptPath = script_path;
  found.ScriptDir = DirectoryPart(script_path);
  std::string source_dir = found.ScriptDir;
  std::string source_name;
  std::string value;
  if (!KeyValue(script, "#SrcFile", &source_name)) {
    *problem = Message(MessageKey::MsgNoSource);
    return false;
  }
  if (KeyValue(script, "#SrcPath", &value) &&
      !ResolveRelativePath(source_dir, FolderKeyValue(value))) {
    *problem = Message(MessageKey::MsgSourcePathInvalid);
    return false;
  }
  if (!FileKeyPath(source_dir, source_name, &found.SourcePath)) {
    *problem = Message(MessageKey::MsgPathHasDrive, {"#SrcFile", source_name});
    return false;
  }
  // Other archives are named relative to the source archive's own folder.
  found.SourceDir = DirectoryPart(found.SourcePath);
  std::string target_dir = found.ScriptDir;
  if (KeyValue(script, "#DestPath", &value) &&
      !ResolveRelativePath(target_dir, FolderKeyValue(value))) {
    *problem = Message(MessageKey::MsgTargetPathInvalid);
    return false;
  }
  std::string target_name;
  KeyValue(script, "#DestFile", &target_name);
  if (target_name.empty()) {
    target_name = ReplaceExtension(FileNamePart(script_path), Extension(found.SourcePath));
  }
  if (!FileKeyPath(target_dir, target_name, &found.TargetPath)) {
    *problem = Message(MessageKey::MsgPathHasDrive, {"#DestFile", target_name});
    return false;
  }
  found.AddEntries = ScriptKeySaysYes(script, "#AddEntries");
  found.InPlace = ScriptKeySaysYes(script, "#InPlace");
  *places = found;
  return true;
}

}  // namespace velmora
