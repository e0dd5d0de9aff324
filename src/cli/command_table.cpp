#include "cli/command_table.h"

#include "cli/commands.h"
#include "cli/commands.h"

namespace velmora {

// One line per command; the help lists them in this order.
static const CommandInfo* const kCommandTable[] = {
    &kRunCommand,    &kCheckCommand, &kListCommand,    &kExtractCommand, &kVerifyCommand,
    &kScriptCommand, &kDiffCommand,  &kRestoreCommand, &kHelpCommand,
};

const std::vector<const CommandInfo*>& Commands() {
  static const std::vector<const CommandInfo*> commands(std::begin(kCommandTable),
                                                        std::end(kCommandTable));
  return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
  for (const CommandInfo* command : Commands()) {
    if (name == command->Name) return command;
  }
  return nullptr;
}

}  // namespace velmora
