// The text of a script as a Windows script is written, whatever system writes it: code page
// 936, CR LF line ends, backslashes, and every path relative to the script's own folder. One
// writer for the terminal tool's script and diff commands and the Studio, so that all of them
// write the same bytes for the same keys and rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "job/path_route.h"

namespace velmora {

// A route as a script's path text: ".." for each level up, then the names, joined by
// backslashes. `names` are already in code page 936.
std::string ScriptRouteText(size_t ups, const std::vector<std::string>& names);

// A rule value for a file path: a path that begins with "@" would read as a reference to an
// entry, so it is written from "." on. False when no value can carry the path: it holds ';' (the
// start of a comment), a control byte, or a blank at its start or end, which cleaning removes.
bool RulePathValue(const std::string& path, std::string* value);

// The header keys of a script, values in code page 936, written in this order: #RunBegin,
// #SrcPath, #SrcFile, #DestPath, #DestFile, #InPlace, #AddEntries, #Author, #Date, #RunEnd, then
// `Extra` in its own order. An empty `SrcPath`, `DestPath` or `DestFile` leaves its key out (an
// empty #DestFile leaves the target to the run's default); the texts a run shows are written only
// when set, since an empty one has its own meaning there.
struct ScriptHeader {
  std::optional<std::string> RunBegin;
  std::string SrcPath;
  std::string SrcFile;
  std::string DestPath;
  std::string DestFile;
  bool InPlace = false;     // #InPlace=yes
  bool AddEntries = false;  // #AddEntries=yes
  std::optional<std::string> Author;
  std::optional<std::string> Date;
  std::optional<std::string> RunEnd;
  // Keys a later version adds (name with its '#', value), so that they need no writer of their
  // own.
  std::vector<std::pair<std::string, std::string>> Extra;
};

struct ScriptRule {
  uint32_t Id = 0;
  std::string Value;  // code page 936
};

// The key lines `header` asks for, as (name, value) in the order they are written.
std::vector<std::pair<std::string, std::string>> ScriptHeaderKeys(const ScriptHeader& header);

// One line of a script: `name`=`value` and CR LF.
std::string ScriptLineText(const std::string& name, const std::string& value);

// The script's bytes: header keys, then one rule line per entry, each line ending in CR LF. The
// one writer of script text: the terminal tool's script and diff commands and the Studio all
// write through it.
std::string WriteScriptText(const ScriptHeader& header, const std::vector<ScriptRule>& rules);

// How a script in `script_dir` names `target` in its header keys: `up` the levels up ("..\"
// once for each, empty for none), `down` the path below, in code page 936.
enum class ScriptPathResult {
  kNamed,
  kUnreachable,  // another root (drive): no relative path reaches it
  kUnwritable,   // a character code page 936 lacks, a ';', a control byte, or nothing below
};
ScriptPathResult ScriptKeyPath(const PathParts& script_dir, const PathParts& target,
                               std::string* up, std::string* down);

// The rule value naming the file at `target` from a script whose paths start in `from_dir`
// (the script's folder for files, the source archive's for other archives).
ScriptPathResult RuleValuePath(const PathParts& from_dir, const PathParts& target,
                               std::string* value);

}  // namespace velmora
