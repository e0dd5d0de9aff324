#include "studio/studio_script.h"

#include <algorithm>

#include "job/path_route.h"
#include "job/paths.h"
#include "job/script_text.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

bool ScriptKeyValue(const ScriptLines& script, const char* key, std::string* value) {
  const int line = FindScriptKey(script, key);
  if (line < 0) return false;
  *value = CleanScriptValue(ScriptValueAt(script, line), true);
  return true;
}

bool KeySaysYes(const ScriptLines& script, const char* key) {
  std::string value;
  return ScriptKeyValue(script, key, &value) && EqualFoldingAscii(value, "yes");
}

// The id of a line named as a rule key ("@" and eight hexadecimal digits in either case).
bool RuleKeyId(const std::string& name, uint32_t* id) {
  return name.size() == 9 && name[0] == '@' && ParseHexId(name.substr(1), id);
}

PathParts PartsOf(const std::string& path) {
  return AbsolutePathParts(path, NativeSeparator() == '/' ? std::string("/") : path);
}

// The two keys that name `path` from a script in `script_dir`: the levels up ("..\\", empty for
// none) and the path down, in code page 936.
bool NamedFromScript(const std::string& script_dir, const std::string& path, std::string* up,
                     std::string* down, std::string* problem) {
  if (ScriptKeyPath(PartsOf(script_dir), PartsOf(path), up, down) == ScriptPathResult::kNamed) {
    return true;
  }
  *problem = path;
  return false;
}

// A line of the script's bytes: where its text starts, how long it is, and where the next line
// starts (behind its line break).
struct RawLine {
  size_t Start = 0;
  size_t Length = 0;
  size_t Next = 0;
};

// Splits as a run's loading splits (CR LF, CR and LF end a line; the first byte 0 ends the
// text), keeping where each line's break lies. `*tail` is where the text ends.
std::vector<RawLine> SplitRawLines(const std::string& bytes, size_t* tail) {
  std::vector<RawLine> lines;
  size_t pos = 0;
  while (pos < bytes.size() && bytes[pos] != '\0') {
    RawLine line;
    line.Start = pos;
    while (pos < bytes.size() && bytes[pos] != '\0' && bytes[pos] != '\n' && bytes[pos] != '\r') {
      ++pos;
    }
    line.Length = pos - line.Start;
    if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
    if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
    line.Next = pos;
    lines.push_back(line);
  }
  *tail = pos;
  return lines;
}

// The line break the script uses most: that of its first line, CR LF when it has none.
std::string LineBreakOf(const std::string& bytes, const std::vector<RawLine>& lines) {
  for (const RawLine& line : lines) {
    const size_t end = line.Start + line.Length;
    if (line.Next > end) return bytes.substr(end, line.Next - end);
  }
  return "\r\n";
}

RuleFolders FoldersOf(const std::string& script_path, const StudioArchive& archive) {
  return {DirectoryPart(script_path), DirectoryPart(archive.Path())};
}

uint32_t IdOfPosition(const StudioArchive& archive, const PendingChanges& changes,
                      uint32_t position) {
  return changes.IsAdded(position) ? changes.AddedId(position) : archive.Entry(position).Id;
}

// The header lines a target asks for, in the order the script command writes keys.
bool TargetKeys(const std::string& script_dir, const StudioArchive& archive,
                const ScriptTarget& target, std::vector<std::pair<std::string, std::string>>* keys,
                std::string* problem) {
  if (target.TargetPath.empty() && !target.InPlace) return true;
  std::string up;
  std::string down;
  const std::string& path = target.InPlace ? archive.Path() : target.TargetPath;
  if (!NamedFromScript(script_dir, path, &up, &down, problem)) return false;
  keys->push_back({"#DestPath", up});
  keys->push_back({"#DestFile", down});
  if (target.InPlace) keys->push_back({"#InPlace", "yes"});
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
  if (!ScriptKeyValue(script, "#SrcFile", &source_name)) {
    *problem = Message(MessageKey::MsgNoSource);
    return false;
  }
  if (ScriptKeyValue(script, "#SrcPath", &value) && !ResolveRelativePath(source_dir, value)) {
    *problem = Message(MessageKey::MsgSourcePathInvalid);
    return false;
  }
  found.SourcePath = source_dir + source_name;
  // Other archives are named relative to the source archive's own folder.
  found.SourceDir = DirectoryPart(found.SourcePath);
  std::string target_dir = found.ScriptDir;
  if (ScriptKeyValue(script, "#DestPath", &value) && !ResolveRelativePath(target_dir, value)) {
    *problem = Message(MessageKey::MsgTargetPathInvalid);
    return false;
  }
  std::string target_name;
  ScriptKeyValue(script, "#DestFile", &target_name);
  if (target_name.empty()) {
    target_name = ReplaceExtension(FileNamePart(script_path), Extension(found.SourcePath));
  }
  found.TargetPath = target_dir + target_name;
  found.AddEntries = KeySaysYes(script, "#AddEntries");
  found.InPlace = KeySaysYes(script, "#InPlace");
  *places = found;
  return true;
}

std::map<uint32_t, RuleLine> ReadScriptRules(const ScriptLines& script, const ScriptPlaces& places,
                                             const StudioArchive& archive,
                                             std::map<uint32_t, uint32_t>* added_ids) {
  std::map<uint32_t, RuleLine> rules;
  std::map<uint32_t, uint32_t> added_position_of_id;
  for (size_t line = 0; line < script.Count(); ++line) {
    uint32_t id = 0;
    if (!RuleKeyId(ScriptNameAt(script, static_cast<int>(line)), &id)) continue;
    const int index = static_cast<int>(line);
    if (FindScriptKey(script, ScriptNameAt(script, index)) != index) continue;  // not the first
    PendingChange change = ChangeFromRuleValue(CleanScriptValue(ScriptValueAt(script, index), true),
                                               places.ScriptDir, places.SourceDir);
    uint32_t position = 0;
    if (archive.FirstWithId(id, &position)) {
      rules[position] = {line, change};
    } else if (places.AddEntries && change.Kind == ChangeKind::kFile) {
      change.Kind = ChangeKind::kAdded;
      position = archive.Count() + static_cast<uint32_t>(added_position_of_id.size());
      added_position_of_id[id] = position;
      (*added_ids)[position] = id;
      rules[position] = {line, change};
    }
  }
  return rules;
}

bool NewScriptText(const std::string& script_path, const StudioArchive& archive,
                   const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                   std::string* problem) {
  const RuleFolders folders = FoldersOf(script_path, archive);
  ScriptHeader header;
  if (!NamedFromScript(folders.ScriptDir, archive.Path(), &header.SrcPath, &header.SrcFile,
                       problem)) {
    return false;
  }
  std::vector<std::pair<std::string, std::string>> keys;
  if (!TargetKeys(folders.ScriptDir, archive, target, &keys, problem)) return false;
  for (const auto& key : keys) {
    if (key.first == "#DestPath") header.DestPath = key.second;
    if (key.first == "#DestFile") header.DestFile = key.second;
  }
  std::vector<ScriptRule> rules;
  for (const auto& change : changes.All()) {
    ScriptRule rule{IdOfPosition(archive, changes, change.first), {}};
    if (!RuleValueOfChange(change.second, folders, &rule.Value, problem)) return false;
    rules.push_back(rule);
  }
  header.InPlace = target.InPlace;
  header.AddEntries = changes.AddedCount() > 0;
  *text = WriteScriptText(header, rules);
  return true;
}

bool RewriteScriptText(const std::string& original, const ScriptPlaces& places,
                       const std::map<uint32_t, RuleLine>& rules, const StudioArchive& archive,
                       const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                       std::string* problem) {
  const RuleFolders folders{places.ScriptDir, places.SourceDir};
  size_t tail = 0;
  const std::vector<RawLine> lines = SplitRawLines(original, &tail);
  const std::string line_break = LineBreakOf(original, lines);
  const ScriptLines script(original);

  // What replaces each line: absent = kept as it is.
  std::map<size_t, std::string> replaced;
  std::vector<std::string> appended;
  for (const auto& rule : rules) {
    const PendingChange& now = changes.ChangeAt(rule.first);
    if (now == rule.second.Change) continue;
    if (now.Kind == ChangeKind::kUnchanged) {
      replaced[rule.second.Line] = std::string();
      continue;
    }
    std::string value;
    if (!RuleValueOfChange(now, folders, &value, problem)) return false;
    replaced[rule.second.Line] =
        EntryKey(IdOfPosition(archive, changes, rule.first)) + "=" + value + line_break;
  }
  for (const auto& change : changes.All()) {
    if (rules.count(change.first)) continue;
    std::string value;
    if (!RuleValueOfChange(change.second, folders, &value, problem)) return false;
    appended.push_back(EntryKey(IdOfPosition(archive, changes, change.first)) + "=" + value +
                       line_break);
  }

  // Header keys: the first line of each key is rewritten, a missing key goes before the rules.
  std::vector<std::pair<std::string, std::string>> keys;
  if (!TargetKeys(places.ScriptDir, archive, target, &keys, problem)) return false;
  if (changes.AddedCount() > 0 && !places.AddEntries) keys.push_back({"#AddEntries", "yes"});
  std::string inserted;
  for (const auto& key : keys) {
    const int line = FindScriptKey(script, key.first);
    const std::string key_line = key.first + "=" + key.second + line_break;
    if (line >= 0) {
      replaced[static_cast<size_t>(line)] = key_line;
    } else {
      inserted += key_line;
    }
  }
  size_t insert_before = lines.size();
  for (const auto& rule : rules) insert_before = std::min(insert_before, rule.second.Line);

  text->clear();
  for (size_t k = 0; k < lines.size(); ++k) {
    if (k == insert_before) *text += inserted;
    auto found = replaced.find(k);
    if (found == replaced.end()) {
      text->append(original, lines[k].Start, lines[k].Next - lines[k].Start);
    } else {
      *text += found->second;
    }
  }
  if (insert_before == lines.size()) {
    if (!lines.empty() && lines.back().Next == lines.back().Start + lines.back().Length &&
        (!inserted.empty() || !appended.empty())) {
      // The last line had no break of its own: give it one before anything follows.
      *text += line_break;
    }
    *text += inserted;
  } else if (!appended.empty() && !lines.empty() &&
             lines.back().Next == lines.back().Start + lines.back().Length &&
             replaced.count(lines.size() - 1) == 0) {
    *text += line_break;
  }
  for (const std::string& line : appended) *text += line;
  text->append(original, tail, std::string::npos);
  return true;
}

}  // namespace velmora
