// What the archive commands share: their help, their errors, ids as the person writes them,
// and the archive each of them opens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/command.h"
#include "wdf/archive_index.h"
#include "wdf/resource_id.h"

namespace velmora {

// Prints the command's whole help when its words ask for it (-h or --help); true then.
bool ShowHelpWhenAsked(CommandCall& call, const CommandInfo& command);

// Prints a message (a catalogue text or one of the tool's own) as terminal lines on standard
// error.
void PrintError(Console& console, const std::string& message);

// An archive opened for reading (others may read and write it meanwhile) with its index read.
struct OpenedArchive {
  std::string Path;
  std::unique_ptr<Stream> File;
  ArchiveIndex Index;
  ArchiveFault Fault = ArchiveFault::kNone;
};

// Opens `path` and reads its index. False after printing why the file could not be read at all
// (missing, not openable, too large for memory); a fault of its contents is left in `fault`.
bool OpenArchive(CommandCall& call, const std::string& path, OpenedArchive* archive);

// Why the archive's contents were refused, in the tool's own words (empty without a fault).
std::string ArchiveFaultText(const Console& console, const OpenedArchive& archive);

// Opens the archive and requires it sound enough to be read; prints the catalogue's "not a valid
// WDF file" with the precise reason otherwise. False after any message.
bool OpenReadableArchive(CommandCall& call, const std::string& path, OpenedArchive* archive);

// Why an entry's bytes cannot be read: they do not lie within the file.
std::string EntryOutsideFileText(const Console& console, const OpenedArchive& archive,
                                 size_t entry);
// An entry whose bytes lie within the file could not be read: the system's reason follows.
std::string EntryUnreadableText(const Console& console, const OpenedArchive& archive, size_t entry);

}  // namespace velmora
