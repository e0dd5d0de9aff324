#include "studio/entry_change.h"

#include <vector>

#include "job/path_route.h"
#include "job/script.h"
#include "job/script_text.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

bool StartsWithAt(const std::string& text) { return !text.empty() && text[0] == '@'; }

bool EqualsDeleteWord(const std::string& text) {
  static const char kWord[] = "delete";
  if (text.size() != sizeof kWord - 1) return false;
  for (size_t k = 0; k < text.size(); ++k) {
    char c = text[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kWord[k]) return false;
  }
  return true;
}

// An absolute path taken apart. The paths of a change are absolute already; the current folder
// only gives the root form of the platform.
PathParts PartsOf(const std::string& path) {
  return AbsolutePathParts(path, NativeSeparator() == '/' ? std::string("/") : path);
}

// How a script whose relative paths start in `from_dir` names `path`, as rule text.
bool RoutedRuleText(const std::string& from_dir, const std::string& path, std::string* text,
                    std::string* problem) {
  if (RuleValuePath(PartsOf(from_dir), PartsOf(path), text) == ScriptPathResult::kNamed) {
    return true;
  }
  *problem = path;
  return false;
}

}  // namespace

PendingChange ChangeFromRuleValue(const std::string& value, const std::string& script_dir,
                                  const std::string& source_dir) {
  PendingChange change;
  if (value.empty()) return change;
  uint32_t id = 0;
  if (StartsWithAt(value)) {
    const std::string rest = value.substr(1);
    if (ParseHexId(rest, &id)) {
      change.Kind = ChangeKind::kEntry;
      change.TakenId = id;
    } else if (EqualsDeleteWord(rest)) {
      change.Kind = ChangeKind::kDelete;
    } else {
      change.Kind = ChangeKind::kUnreadable;
      change.Path = value;
    }
    return change;
  }
  const std::string last = LastPathSegment(value);
  if (last.empty()) {
    change.Kind = ChangeKind::kUnreadable;
    change.Path = value;
  } else if (StartsWithAt(last)) {
    if (ParseHexId(last.substr(1), &id)) {
      change.Kind = ChangeKind::kOtherArchive;
      change.TakenId = id;
      change.Path = source_dir + PathBeforeLastSlash(value);
    } else {
      change.Kind = ChangeKind::kUnreadable;
      change.Path = value;
    }
  } else {
    change.Kind = ChangeKind::kFile;
    change.Path = script_dir + value;
  }
  return change;
}

bool RuleValueOfChange(const PendingChange& change, const RuleFolders& folders, std::string* value,
                       std::string* problem) {
  switch (change.Kind) {
    case ChangeKind::kUnchanged:
      value->clear();
      return true;
    case ChangeKind::kEntry:
      *value = EntryKey(change.TakenId);
      return true;
    case ChangeKind::kDelete:
      *value = "@Delete";
      return true;
    case ChangeKind::kUnreadable:
      *value = change.Path;
      return true;
    case ChangeKind::kFile:
    case ChangeKind::kAdded:
      return RoutedRuleText(folders.ScriptDir, change.Path, value, problem);
    case ChangeKind::kOtherArchive: {
      std::string archive;
      if (!RoutedRuleText(folders.SourceDir, change.Path, &archive, problem)) return false;
      *value = archive + "/" + EntryKey(change.TakenId);
      return true;
    }
  }
  return false;
}

}  // namespace velmora
