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
  std::string SourceDir;      // the source archive's folder, with its trailing separator
  std::string TargetPath;     // the archive a run writes (#DestPath, #DestFile or their default)
  bool AddEntries = false;    // #AddEntries=yes
  bool InPlace = false;       // #InPlace=yes
  std::string TargetRefusal;  // why a run refuses the target, or empty
};

// The source, the target and the switches, as a run's preparation finds them. False with
// `*problem` in the catalogue's words when the script names no source (#SrcFile), its #SrcPath
// cannot be followed or #SrcFile holds a drive a run cannot take. A target a run refuses (its
// #DestPath cannot be followed, #DestFile holds such a drive) leaves `places->TargetPath` empty
// and the refusal in `places->TargetRefusal`: a run says it only once the source is open.
bool FindScriptPlaces(const ScriptLines& script, const std::string& script_path,
                      ScriptPlaces* places, std::string* problem);

// The same, refusing a target a run refuses as well, for whoever needs both.
bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem);

}  // namespace velmora
