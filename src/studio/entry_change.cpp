#include "studio/entry_change.h"

#include <vector>

#include "job/entry_rules.h"
#include "job/path_route.h"
#include "job/script.h"
#include "job/script_text.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

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
  const Rule rule = ClassifyRuleValue(value);
  switch (rule.Kind) {
    case RuleKind::kKeep:
      break;
    case RuleKind::kInternalReference:
      change.Kind = ChangeKind::kEntry;
      ParseHexId(rule.IdText, &change.TakenId);
      break;
    case RuleKind::kDelete:
      change.Kind = ChangeKind::kDelete;
      break;
    case RuleKind::kArchiveEntry:
      if (ParseHexId(rule.IdText, &change.TakenId)) {
        change.Kind = ChangeKind::kOtherArchive;
        change.Path = source_dir + PathBeforeLastSlash(value);
        break;
      }
      change.Kind = ChangeKind::kUnreadable;
      change.Path = value;
      break;
    case RuleKind::kInternalIdInvalid:
    case RuleKind::kExternalRefInvalid:
      change.Kind = ChangeKind::kUnreadable;
      change.Path = value;
      break;
    case RuleKind::kExternalFile:
      change.Kind = ChangeKind::kFile;
      change.Path = script_dir + value;
      break;
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
