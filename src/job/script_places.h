// Where a script's paths lead: its source archive, the folder other archives are named from,
// and the archive a run writes, found from the script's keys as a run's preparation finds them,
// without asking the file system.
#pragma once

#include <string>

#include "job/script.h"

namespace velmora {

struct ScriptPlaces {
  std::string ScriptPath;
  std::string ScriptDir;  // with its trailing separator
  std::string SourcePath;
  std::string SourceDir;    // the source archive's folder, with its trailing separator
  std::string TargetPath;   // the archive a run writes (#DestPath, #DestFile or their default)
  bool AddEntries = false;  // #AddEntries=yes
  bool InPlace = false;     // #InPlace=yes
};

// The source archive named by #SrcPath and #SrcFile: `*dir` (ending in its separator, starting
// from the script's folder), `*name` and `*path`. False with the refusal in the catalogue's words
// when there is no #SrcFile, the #SrcPath cannot be followed or the name holds a drive a run
// cannot take.
bool LocateSource(const ScriptLines& script, const std::string& script_path, std::string* dir,
                  std::string* name, std::string* path, std::string* refusal);

// The target named by #DestPath and #DestFile, or by default the script's name with the source's
// extension: its folder `*dir` (ending in its separator) and `*path`. False with the refusal in the
// catalogue's words when the #DestPath cannot be followed or the name holds a drive a run cannot
// take.
bool LocateTarget(const ScriptLines& script, const std::string& script_path,
                  const std::string& source_path, std::string* dir, std::string* path,
                  std::string* refusal);

// Both, and the switches. False with `*problem` in the catalogue's words when the script names no
// source (#SrcFile) or has a #SrcPath or #DestPath a run refuses.
bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem);

}  // namespace velmora
