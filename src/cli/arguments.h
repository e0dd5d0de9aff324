// The words after a command's name: options and operands, in the usual form of a tool of the
// platform (-y, --yes, --codepage gbk, --codepage=gbk, -- ends the options).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/command.h"

namespace velmora {

struct OptionForm {
  char ShortName;        // 0 when the option has no short form
  const char* LongName;  // without the leading dashes
  bool TakesValue;
};

struct ParsedArguments {
  std::map<std::string, std::string> Options;  // by long name; the value, or "" for a switch
  std::vector<std::string> Operands;

  bool Has(const std::string& long_name) const { return Options.count(long_name) != 0; }
};

// Splits `args` by `forms`. False with `*complaint` set (one line, in the console's language)
// for an unknown option, an option without its value or a value given to a switch.
bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionForm>& forms,
                    const Console& console, ParsedArguments* parsed, std::string* complaint);

// True when `args` asks for the command's help (-h or --help before any --).
bool AsksForHelp(const std::vector<std::string>& args);

// Prints "<tool> <command>: <complaint>" and how to get help, on one line to standard error, and
// returns kExitUsage. `command` may be empty for the tool itself.
int UsageError(Console& console, const std::string& command, const std::string& complaint);

// The English or the Chinese text (both UTF-8) as the console's language says, in the program's
// text encoding.
std::string Localized(const Console& console, const char* english, const char* chinese);

// `text` with every "{tool}" replaced by the tool's name.
std::string WithToolName(const std::string& text);

}  // namespace velmora
