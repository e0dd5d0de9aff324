// velmora help [COMMAND]: the general help, or one command's whole help.
#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/front_end.h"
#include "cli/commands.h"
#include "msg/ansi_text.h"

namespace velmora {
namespace {

int RunHelp(CommandCall& call) {
  Console& console = call.Terminal;
  if (call.Args.empty()) {
    console.Out(GeneralHelp(console));
    return kExitOk;
  }
  if (call.Args.size() > 1) {
    return UsageError(console, "help", Localized(console, "too many arguments", "参数过多"));
  }
  const CommandInfo* command = FindCommand(call.Args[0]);
  if (command == nullptr) {
    return UsageError(
        console, "help",
        Localized(console, "unknown command", "未知命令") + " '" + call.Args[0] + "'");
  }
  console.Out(AnsiFromUtf8(WithToolName(console.Chinese() ? command->HelpZh : command->HelpEn)));
  return kExitOk;
}

}  // namespace

const CommandInfo kHelpCommand = {
    "help",
    RunHelp,
    "show the help of the tool or of one command",
    "显示本工具或某个命令的帮助",
    "Usage: {tool} help [COMMAND]\n"
    "\n"
    "Shows the list of commands, or the whole help of COMMAND.\n",
    "用法：{tool} help [命令]\n"
    "\n"
    "显示命令列表，或某个命令的完整帮助。\n",
};

}  // namespace velmora
