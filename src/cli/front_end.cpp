#include "cli/front_end.h"

#include <algorithm>

#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/console.h"
#include "msg/ansi_text.h"
#include "sys/code_page.h"

#ifndef VELMORA_VERSION
#error "the build names the program's version"
#endif

namespace velmora {
namespace {

const char kGeneralHelpEn[] =
    "Usage: {tool} COMMAND [OPTIONS] [ARGUMENTS]\n"
    "       {tool} SCRIPT.vlm      (the same as: {tool} run SCRIPT.vlm)\n"
    "\n"
    "Rebuilds WDF resource archives from .vlm scripts.\n"
    "\n"
    "Commands:\n";
const char kGeneralHelpZh[] =
    "用法：{tool} 命令 [选项] [参数]\n"
    "      {tool} 脚本.vlm      （等同于：{tool} run 脚本.vlm）\n"
    "\n"
    "按 .vlm 脚本重新生成 WDF 资源包。\n"
    "\n"
    "命令：\n";
const char kGeneralHelpEndEn[] =
    "\n"
    "Options:\n"
    "  -h, --help     show this help ('{tool} help COMMAND' shows a command's options)\n"
    "  --version      show the version\n"
    "\n"
    "Exit codes: 0 done; 1 refused, failed or cancelled; 2 wrong usage; 130 interrupted "
    "(Ctrl-C).\n";
const char kGeneralHelpEndZh[] =
    "\n"
    "选项：\n"
    "  -h, --help     显示本帮助（'{tool} help 命令' 显示该命令的选项）\n"
    "  --version      显示版本\n"
    "\n"
    "退出码：0 完成；1 被拒绝、失败或取消；2 用法错误；130 被中断（Ctrl-C）。\n";

bool EndsWithVlm(const std::string& word) {
  static const std::string kExtension = ".vlm";
  return word.size() > kExtension.size() &&
         EqualFoldingAscii(word.substr(word.size() - kExtension.size()), kExtension);
}

int RunCommand(const CommandInfo& command, std::vector<std::string> args, Console& console,
               FileSystem& files) {
  CommandCall call{std::move(args), console, files};
  return command.Run(call);
}

}  // namespace

std::string GeneralHelp(const Console& console) {
  const bool zh = console.Chinese();
  std::string text = zh ? kGeneralHelpZh : kGeneralHelpEn;
  for (const CommandInfo* command : Commands()) {
    std::string name = command->Name;
    name.resize(std::max<size_t>(name.size(), 9), ' ');
    text += "  " + name + (zh ? command->SummaryZh : command->SummaryEn) + "\n";
  }
  text += zh ? kGeneralHelpEndZh : kGeneralHelpEndEn;
  return AnsiFromUtf8(WithToolName(text));
}

std::string VersionLine() { return std::string(ToolName()) + " " VELMORA_VERSION "\n"; }

int RunCommandLine(const std::vector<std::string>& words, Console& console, FileSystem& files) {
  if (words.empty()) {
    return UsageError(console, "", Localized(console, "no command given", "未指定命令"));
  }
  const std::string& first = words[0];
  if (first == "-h" || first == "--help") {
    console.Out(GeneralHelp(console));
    return kExitOk;
  }
  if (first == "--version" || first == "-V") {
    console.Out(VersionLine());
    return kExitOk;
  }
  if (const CommandInfo* command = FindCommand(first)) {
    return RunCommand(*command, std::vector<std::string>(words.begin() + 1, words.end()), console,
                      files);
  }
  // The forms that name no command run a script: "SCRIPT.vlm" and the older "--yes SCRIPT".
  // A word that is neither an option, nor a script's name, nor an existing file is more likely
  // a mistyped command than a script.
  const bool is_option = first.size() > 1 && first[0] == '-';
  if (is_option || EndsWithVlm(first) || files.FileIsPresent(first)) {
    return RunCommand(*FindCommand("run"), words, console, files);
  }
  return UsageError(console, "",
                    Localized(console, "unknown command", "未知命令") + " '" + first + "'");
}

}  // namespace velmora
