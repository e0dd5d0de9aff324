#include "studio/studio_script.h"

#include <algorithm>
#include <unordered_set>

#include "job/added_entries.h"
#include "job/entry_rules.h"
#include "job/path_route.h"
#include "job/paths.h"
#include "job/script_text.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

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

RuleFolders FoldersOf(const std::string& script_path, const StudioArchive& archive) {
  return {DirectoryPart(script_path), DirectoryPart(archive.Path())};
}

uint32_t IdOfPosition(const StudioArchive& archive, const PendingChanges& changes,
                      uint32_t position) {
  return changes.IsAdded(position) ? changes.AddedId(position) : archive.Entry(position).Id;
}

// The id of an entry that may have been restored since the script was read: an added entry
// that is gone has its id only in the script.
uint32_t IdOfPosition(const StudioArchive& archive, const PendingChanges& changes,
                      uint32_t position, const ScriptRules& rules) {
  auto added = rules.AddedIds.find(position);
  if (changes.IsAdded(position) && changes.ChangeAt(position).Kind == ChangeKind::kUnchanged &&
      added != rules.AddedIds.end()) {
    return added->second;
  }
  return IdOfPosition(archive, changes, position);
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

ScriptRules ReadScriptRules(const ScriptDocument& script, const ScriptPlaces& places,
                            const StudioArchive& archive) {
  ScriptRules rules;
  const ScriptLines& lines = script.Lines();
  const auto change_of = [&](size_t line) {
    return ChangeFromRuleValue(CleanScriptValue(ScriptValueAt(lines, static_cast<int>(line)), true),
                               places.ScriptDir, places.SourceDir);
  };
  for (size_t line = 0; line < script.Count(); ++line) {
    uint32_t position = 0;
    const ScriptDocumentLine& at = script.Line(line);
    if (at.Kind == ScriptLineKind::kRule && at.Taken && archive.FirstWithId(at.Id, &position)) {
      rules.ByPosition[position] = {line, change_of(line)};
    }
  }
  // New entries, where and as the run writes them.
  NewEntries added;
  if (places.AddEntries) {
    JobState lookup;
    lookup.SourceIndex = archive.Entries();
    BuildSourceIdLookup(lookup);
    added = FindNewEntries(lines, lookup.SourceIndex, lookup.SourceIds);
  }
  std::unordered_set<uint32_t> carried_out;
  uint32_t position = archive.Count();
  for (uint32_t id : added.Ids) {
    const size_t line = static_cast<size_t>(script.TakenLine(id));
    PendingChange change = change_of(line);
    if (change.Kind == ChangeKind::kUnchanged || change.Kind == ChangeKind::kDelete) continue;
    if (change.Kind == ChangeKind::kFile) change.Kind = ChangeKind::kAdded;
    carried_out.insert(id);
    rules.AddedIds[position] = id;
    rules.ByPosition[position++] = {line, change};
  }
  for (size_t line = 0; line < script.Count(); ++line) {
    uint32_t found = 0;
    const ScriptDocumentLine& at = script.Line(line);
    if (at.Kind == ScriptLineKind::kRule && at.Taken && !archive.FirstWithId(at.Id, &found) &&
        carried_out.count(at.Id) == 0) {
      rules.DormantLines.push_back(line);
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

bool RewriteScriptText(const ScriptDocument& script, const ScriptPlaces& places,
                       const ScriptRules& rules, const StudioArchive& archive,
                       const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                       std::string* problem) {
  const RuleFolders folders{places.ScriptDir, places.SourceDir};
  ScriptEdit edit;
  // Every entry whose change differs from its line: the source's and the added ones.
  std::vector<uint32_t> positions;
  for (const auto& rule : rules.ByPosition) positions.push_back(rule.first);
  for (const auto& change : changes.All()) {
    if (!rules.ByPosition.count(change.first)) positions.push_back(change.first);
  }
  std::sort(positions.begin(), positions.end());
  for (uint32_t position : positions) {
    const PendingChange& now = changes.ChangeAt(position);
    auto read = rules.ByPosition.find(position);
    if (now == (read == rules.ByPosition.end() ? PendingChange() : read->second.Change)) continue;
    const uint32_t id = IdOfPosition(archive, changes, position, rules);
    const int line = script.TakenLine(id);
    if (now.Kind == ChangeKind::kUnchanged) {
      if (line < 0) continue;
      // Another line for the id would come into force if this one went.
      if (script.RuleLinesOf(id) > 1) {
        edit.Replaced[static_cast<size_t>(line)] = EntryKey(id) + "=";
      } else {
        edit.Replaced[static_cast<size_t>(line)] = std::nullopt;
      }
      continue;
    }
    std::string value;
    if (!RuleValueOfChange(now, folders, &value, problem)) return false;
    const std::string rule_text = EntryKey(id) + "=" + value;
    if (line >= 0) {
      edit.Replaced[static_cast<size_t>(line)] = rule_text;
    } else {
      edit.Appended.push_back(rule_text);
    }
  }

  // Header keys: the first line of each key is rewritten, a missing key goes before the rules.
  std::vector<std::pair<std::string, std::string>> keys;
  if (!TargetKeys(places.ScriptDir, archive, target, &keys, problem)) return false;
  if (changes.AddedCount() > 0 && !places.AddEntries) keys.push_back({"#AddEntries", "yes"});
  for (const auto& key : keys) {
    const int line = FindScriptKey(script.Lines(), key.first);
    const std::string key_line = key.first + "=" + key.second;
    if (line >= 0) {
      edit.Replaced[static_cast<size_t>(line)] = key_line;
    } else {
      edit.BeforeRules.push_back(key_line);
    }
  }
  *text = script.Edited(edit);
  return true;
}

}  // namespace velmora
