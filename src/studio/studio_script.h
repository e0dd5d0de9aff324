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
#include "job/script_document.h"
#include "job/script_places.h"
#include "studio/studio_archive.h"
#include "studio/pending_changes.h"

namespace velmora {

// A rule line the Studio owns: the line a run takes for an entry's id.
struct RuleLine {
  size_t Line = 0;
  PendingChange Change;  // the change the line gives, as it stands in the file
};

// What a script's rules ask of the entries of an archive.
struct ScriptRules {
  // By entry position: the source's entries, then the added ones (from archive.Count() on, in
  // the order the run writes them).
  std::map<uint32_t, RuleLine> ByPosition;
  std::map<uint32_t, uint32_t> AddedIds;  // added position -> id
  // Lines a run takes for ids the archive lacks and does not carry out: every one without
  // #AddEntries=yes, and those that keep or delete with it.
  std::vector<size_t> DormantLines;
};

// The rules of `script` for the entries of `archive`, classified as a run classifies them.
ScriptRules ReadScriptRules(const ScriptDocument& script, const ScriptPlaces& places,
                            const StudioArchive& archive);

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

// `script` (read as `rules`) with the rule lines brought to `changes`: a line whose change is
// unchanged is kept as it was; a changed one is written on the line a run takes for its id, or
// appended when there is none; a restored one is removed, or, when another line names the same
// id, made a line that keeps the entry, so that the other line does not come into force.
// #AddEntries=yes (and #InPlace=yes with the target's keys, when `target` asks for them) are set
// where needed.
bool RewriteScriptText(const ScriptDocument& script, const ScriptPlaces& places,
                       const ScriptRules& rules, const StudioArchive& archive,
                       const PendingChanges& changes, const ScriptTarget& target, std::string* text,
                       std::string* problem);

}  // namespace velmora
