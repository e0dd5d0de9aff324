// A script as the Studio reads and writes it: the archive it rebuilds and its rules as pending
// changes; saved back with every line it does not own (header keys, comments, lines it does not
// understand) kept byte for byte and only the rule lines whose change differs rewritten; a new
// script written exactly as the terminal tool's script command writes one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "job/script.h"
#include "studio/studio_archive.h"
#include "studio/pending_changes.h"

namespace velmora {

// Where a script's paths lead, found as a run's preparation finds them.
struct ScriptPlaces {
  std::string ScriptPath;
  std::string ScriptDir;  // with its trailing separator
  std::string SourcePath;
  std::string SourceDir;    // the source archive's folder, with its trailing separator
  std::string TargetPath;   // the archive a run writes (#DestPath, #DestFile or their default)
  bool AddEntries = false;  // #AddEntries=yes
  bool InPlace = false;     // #InPlace=yes
};

// False with `*problem` in the catalogue's words when the script names no source (#SrcFile) or
// has a #SrcPath or #DestPath a run refuses.
bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem);

// A rule line the Studio owns: the first line that names an entry's id, as a run finds it.
struct RuleLine {
  size_t Line = 0;
  PendingChange Change;  // the change the line gives, as it stands in the file
};

// The rules of `script` for the entries of `archive`, keyed by entry position; rules of ids the
// archive lacks become added entries (positions from archive.Count() on) when the script has
// #AddEntries=yes and the rule names a file, and are otherwise lines it leaves alone.
std::map<uint32_t, RuleLine> ReadScriptRules(const ScriptLines& script, const ScriptPlaces& places,
                                             const StudioArchive& archive,
                                             std::map<uint32_t, uint32_t>* added_ids);

// The header keys a save writes besides the source: an empty TargetPath leaves the target to the
// run's default (the script's name with the source's extension, beside the script).
struct ScriptTarget {
  std::string TargetPath;
  bool InPlace = false;
};

// The text of a new script at `script_path` for `archive` with `changes`: what the terminal
// tool's script command writes (code page 936, CR LF, backslashes, paths relative to the
// script's folder), with #AddEntries=yes after the header when entries were added. False with
// `*problem` naming a path that no such script can hold.
bool NewScriptText(const std::string& script_path, const StudioArchive& archive,
                   const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                   std::string* problem);

// `original` (the bytes of the script read as `rules`) with the rule lines brought to
// `changes`: a line whose change is unchanged is kept as it was, a changed one rewritten with its
// line break, a restored one removed; rules for entries without a line follow at the end in
// index order, in the script's own line break. #AddEntries=yes (and #InPlace=yes with the
// target's keys, when `target` asks for them) are set where needed.
bool RewriteScriptText(const std::string& original, const ScriptPlaces& places,
                       const std::map<uint32_t, RuleLine>& rules, const StudioArchive& archive,
                       const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                       std::string* problem);

}  // namespace velmora
