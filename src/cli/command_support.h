// What the archive commands share: their options, their own texts in the person's language,
// ids as the person writes them, and the archive each of them opens.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "wdf/archive_index.h"

namespace velmora {

// The tool's name as the person types it.
const char* ToolName();

// `en` or `zh` (both UTF-8), whichever the help texts use, in the console's encoding.
std::string Localized(const Console& console, const char* en, const char* zh);

// Prints what is wrong with the command line and where help is, on one line; kExitUsage.
int UsageError(Console& console, const char* command, const std::string& what);

// Prints a message (a catalogue text or one of the tool's own) as terminal lines on standard
// error: a message's carriage returns become line feeds.
void PrintError(Console& console, const std::string& message);

// Options of a command: `--name VALUE`, `--name=VALUE`, `-x VALUE`, or flags without a value.
// They may stand anywhere among the operands; "--" ends them; "-" alone is an operand.
struct OptionSpec {
  const char* long_name;  // without the dashes
  char short_name;        // 0 when there is none
  bool takes_value;
};

struct ParsedArguments {
  std::vector<std::string> operands;
  std::map<std::string, std::string> values;  // by long name; flags hold the empty text
  bool Has(const std::string& name) const { return values.count(name) > 0; }
  const std::string& Value(const std::string& name) const { return values.at(name); }
};

// False with `*error` saying what is wrong: an unknown option, or one without its value.
bool ParseArguments(const Console& console, const std::vector<std::string>& args,
                    const std::vector<OptionSpec>& specs, ParsedArguments* parsed,
                    std::string* error);

// An id as the person writes it: one to eight hexadecimal digits in either case, with or
// without a leading "@" or "0x".
bool ParseIdArgument(const std::string& text, uint32_t* id);
// The id as eight upper-case hexadecimal digits.
std::string IdText(uint32_t id);

// An archive opened for reading (others may read and write it meanwhile) with its index read.
struct OpenedArchive {
  std::string path;
  std::unique_ptr<Stream> stream;
  ArchiveIndex index;
  ArchiveFault fault = ArchiveFault::kNone;
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

}  // namespace velmora
