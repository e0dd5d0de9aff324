// The script file type's association with the program, kept below the classes root: the
// extension's key names a ProgID whose key carries the description, the icon and the open
// command. Registration reads every value first and writes only what differs, so that a start
// finding everything in place leaves the registry untouched; the shell hears of a change only
// when something was written or removed.
#pragma once

#include <string>

#include "app/registry.h"

namespace velmora {

// Associates `extension` (with its leading dot) with `prog_id` (derived from the extension when
// empty), the description, the icon location and the open command of `program_path`. An empty
// icon location removes the ProgID's DefaultIcon key, an empty program path its Shell key.
// Throws AppFailure when a key cannot be created or a value cannot be read or stored; the
// operation then ends at once and the shell is not told.
void RegisterScriptType(Registry& registry, const std::string& extension,
                        const std::string& prog_id, const std::string& description,
                        const std::string& icon_location, const std::string& program_path);

// Removes the extension's key and the ProgID's key, each with everything below it, whatever
// ProgID the extension names. What cannot be removed stays; nothing is thrown.
void UnregisterScriptType(Registry& registry, const std::string& extension,
                          const std::string& prog_id);

// The program's own association: ".vlm" scripts open with the program file at `program_path`
// and show its second icon.
void RegisterVelmoraScriptType(Registry& registry, const std::string& program_path);
void UnregisterVelmoraScriptType(Registry& registry);

// The open command stored for `program_path`: the path in double quotes, then the quoted
// document placeholder, so that a path with blanks is never split into another program's name.
std::string OpenCommandFor(const std::string& program_path);

}  // namespace velmora
