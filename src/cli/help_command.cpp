// velmora help [COMMAND]: the general help, or one command's whole help.
#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/commands.h"
#include "cli/front_end.h"
#include "cli/terminal_texts.h"
#include "msg/ansi_text.h"

namespace velmora {
namespace {

int RunHelp(CommandCall& call) {
  Console& console = call.Terminal;
  if (AsksForHelp(call.Args)) {
    console.Out(
        AnsiFromUtf8(WithToolName(console.Chinese() ? kHelpCommand.HelpZh : kHelpCommand.HelpEn)));
    return kExitOk;
  }
  if (call.Args.empty()) {
    console.Out(GeneralHelp(console));
    return kExitOk;
  }
  if (call.Args.size() > 1) {
    return UsageError(console, "help", ToolText(console, TextKey::TxtTooManyArguments));
  }
  const CommandInfo* command = FindCommand(call.Args[0]);
  if (command == nullptr) {
    return UsageError(console, "help",
                      ToolText(console, TextKey::TxtUnknownCommand, {call.Args[0]}));
  }
  console.Out(AnsiFromUtf8(WithToolName(console.Chinese() ? command->HelpZh : command->HelpEn)));
  return kExitOk;
}

}  // namespace

const CommandInfo kHelpCommand = {
    "help",
    RunHelp,
    texts_en::TxtSummaryHelp,
    texts_zh::TxtSummaryHelp,
    texts_en::TxtHelpHelp,
    texts_zh::TxtHelpHelp,
};

}  // namespace velmora
