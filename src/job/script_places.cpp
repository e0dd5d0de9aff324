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

// The source archive named by #SrcPath and #SrcFile. False with the refusal when there is no
// #SrcFile, the #SrcPath cannot be followed or the name holds a drive.
bool LocateSource(const ScriptLines& script, const std::string& script_path, std::string* path,
                  std::string* problem) {
  std::string source_dir = DirectoryPart(script_path);
  std::string name;
  std::string value;
  if (!KeyValue(script, "#SrcFile", &name)) {
    *problem = Message(MessageKey::MsgNoSource);
    return false;
  }
  if (KeyValue(script, "#SrcPath", &value) &&
      !ResolveRelativePath(source_dir, FolderKeyValue(value))) {
    *problem = Message(MessageKey::MsgSourcePathInvalid);
    return false;
  }
  if (!FileKeyPath(source_dir, name, path)) {
    *problem = Message(MessageKey::MsgPathHasDrive, {"#SrcFile", name});
    return false;
  }
  return true;
}

// The target named by #DestPath and #DestFile, or by default the script's name with the source's
// extension. False with the refusal when the #DestPath cannot be followed or the name holds a
// drive.
bool LocateTarget(const ScriptLines& script, const std::string& script_path,
                  const std::string& source_path, std::string* path, std::string* problem) {
  std::string target_dir = DirectoryPart(script_path);
  std::string value;
  if (KeyValue(script, "#DestPath", &value) &&
      !ResolveRelativePath(target_dir, FolderKeyValue(value))) {
    *problem = Message(MessageKey::MsgTargetPathInvalid);
    return false;
  }
  std::string target_name;
  KeyValue(script, "#DestFile", &target_name);
  if (target_name.empty()) {
    target_name = ReplaceExtension(FileNamePart(script_path), Extension(source_path));
  }
  if (!FileKeyPath(target_dir, target_name, path)) {
    *problem = Message(MessageKey::MsgPathHasDrive, {"#DestFile", target_name});
    return false;
  }
  return true;
}

}  // namespace

bool FindScriptPlaces(const ScriptLines& script, const std::string& script_path,
                      ScriptPlaces* places, std::string* problem) {
  ScriptPlaces found;
  found.ScriptPath = script_path;
  found.ScriptDir = DirectoryPart(script_path);
  if (!LocateSource(script, script_path, &found.SourcePath, problem)) return false;
  // Other archives are named relative to the source archive's own folder.
  found.SourceDir = DirectoryPart(found.SourcePath);
  if (!LocateTarget(script, script_path, found.SourcePath, &found.TargetPath,
                    &found.TargetRefusal)) {
    found.TargetPath.clear();
  }
  found.AddEntries = ScriptKeySaysYes(script, "#AddEntries");
  found.InPlace = ScriptKeySaysYes(script, "#InPlace");
  *places = found;
  return true;
}

bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem) {
  ScriptPlaces found;
  if (!FindScriptPlaces(script, script_path, &found, problem)) return false;
  if (!found.TargetRefusal.empty()) {
    *problem = found.TargetRefusal;
    return false;
  }
  *places = found;
  return true;
}

}  // namespace velmora
