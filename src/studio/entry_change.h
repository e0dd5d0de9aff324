// What a modder has asked to happen to one entry before the next rebuild, and the rule value of
// a script that says it. Paths are held absolute, in the form the file system takes them, so a
// change stays right wherever the script is saved; they become relative only when written.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

enum class ChangeKind : uint8_t {
  kUnchanged,
  kFile,          // replaced by the whole contents of `Path`
  kEntry,         // takes the bytes of the source's first entry with `TakenId`
  kOtherArchive,  // takes the first entry with `TakenId` of the archive at `Path`
  kDelete,        // left out of the new archive
  kAdded,         // a new entry, the contents of `Path` (a script with #AddEntries=yes)
  kUnreadable,    // a script's rule whose value no run can carry out; `Path` holds the value
};

struct PendingChange {
  ChangeKind Kind = ChangeKind::kUnchanged;
  uint32_t TakenId = 0;
  std::string Path;

  bool operator==(const PendingChange& other) const {
    return Kind == other.Kind && TakenId == other.TakenId && Path == other.Path;
  }
  bool operator!=(const PendingChange& other) const { return !(*this == other); }
};

// The change a script's cleaned rule value asks for, classified as a run classifies it: paths of
// files are joined to `script_dir`, paths of other archives to `source_dir` (both directory
// texts ending in a separator, as preparation makes them). A value a run would refuse gives
// kUnreadable.
PendingChange ChangeFromRuleValue(const std::string& value, const std::string& script_dir,
                                  const std::string& source_dir);

// Where the files of the rules live: the folder of the script, and the folder of the source
// archive (other archives are named relative to it), both absolute.
struct RuleFolders {
  std::string ScriptDir;
  std::string SourceDir;
};

// The rule value for `change` in a script written as on Windows (code page 936, backslashes,
// paths relative to the folders). False with `*problem` naming the path when a path cannot be
// written in such a script: another drive, a character code page 936 lacks, or a ';'.
bool RuleValueOfChange(const PendingChange& change, const RuleFolders& folders, std::string* value,
                       std::string* problem);

}  // namespace velmora
