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

// False with `*problem` in the catalogue's words when the script names no source (#SrcFile) or
// has a #SrcPath, #DestPath, #SrcFile or #DestFile a run refuses.
bool LocateScriptPlaces(const ScriptLines& script, const std::string& script_path,
                        ScriptPlaces* places, std::string* problem);

}  // namespace velmora
