#include "cli/front_end.h"

#include <algorithm>

#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/console.h"
#include "cli/nearest_word.h"
#include "cli/terminal_texts.h"
#include "job/paths.h"
#include "msg/catalogue.h"
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
    "  -V, --version  show the version\n"
    "\n"
    "Exit codes: 0 done; 1 refused, failed or cancelled; 2 wrong usage; 130 interrupted "
    "(Ctrl-C).\n";
const char kGeneralHelpEndZh[] =
    "\n"
    "选项：\n"
    "  -h, --help     显示本帮助（'{tool} help 命令' 显示该命令的选项）\n"
    "  -V, --version  显示版本\n"
    "\n"
    "退出码：0 完成；1 被拒绝、失败或取消；2 用法错误；130 被中断（Ctrl-C）。\n";

bool EndsWithVlm(const std::string& word) {
  static const std::string kExtension = ".vlm";
  return word.size() > kExtension.size() &&
         EqualFoldingAscii(word.substr(word.size() - kExtension.size()), kExtension);
}

// While it lives, the run's messages speak the console's language, and the paths they name are
// shown as the system writes them.
class TerminalSpeech {
 public:
  explicit TerminalSpeech(const Console& console)
      : language_(CurrentMessageLanguage()), slashes_(SlashSeparatesFolders()) {
    SetMessageLanguage(console.Chinese() ? MessageLanguage::kChinese : MessageLanguage::kEnglish);
#if !defined(_WIN32)
    SetSlashSeparatesFolders(true);
#endif
  }
  ~TerminalSpeech() {
    SetMessageLanguage(language_);
    SetSlashSeparatesFolders(slashes_);
  }
  TerminalSpeech(const TerminalSpeech&) = delete;
  TerminalSpeech& operator=(const TerminalSpeech&) = delete;

 private:
  MessageLanguage language_;
  bool slashes_;
};

// The options of run that may stand before the script without the command's name.
bool IsRunOption(const std::string& word) {
  static const char* const kForms[] = {"-y", "--yes", "-q", "--quiet", "-yq", "-qy"};
  for (const char* form : kForms) {
    if (word == form) return true;
  }
  return word == "--codepage" || word.compare(0, 11, "--codepage=") == 0;
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
  const TerminalSpeech speech(console);
  if (words.empty()) return UsageError(console, "", ToolText(console, TextKey::TxtNoCommand));
  const std::string& first = words[0];
  if (first == "-h" || first == "--help") {
    console.Out(GeneralHelp(console));
    return kExitOk;
  }
  if (first == "--version" || first == "-V") {
    if (words.size() > 1) {
      return UsageError(console, "",
                        ToolText(console, TextKey::TxtVersionTakesNothing, {first, words[1]}));
    }
    console.Out(VersionLine());
    return kExitOk;
  }
  if (const CommandInfo* command = FindCommand(first)) {
    return RunCommand(*command, std::vector<std::string>(words.begin() + 1, words.end()), console,
                      files);
  }
  // The forms that name no command run a script: "SCRIPT.vlm" and the older "--yes SCRIPT".
  // A word that is neither one of run's options, nor a script's name, nor an existing file is
  // more likely a mistyped command or option than a script.
  if (first.size() > 1 && first[0] == '-') {
    if (IsRunOption(first)) return RunCommand(*FindCommand("run"), words, console, files);
    return UsageError(console, "", ToolText(console, TextKey::TxtUnknownOption, {first}));
  }
  if (EndsWithVlm(first) || files.FileIsPresent(first) || files.DirectoryExists(first)) {
    return RunCommand(*FindCommand("run"), words, console, files);
  }
  std::vector<std::string> names;
  for (const CommandInfo* command : Commands()) names.push_back(command->Name);
  const std::string nearest = NearestWord(first, names);
  if (!nearest.empty()) {
    return UsageError(console, "",
                      ToolText(console, TextKey::TxtUnknownCommandMeant, {first, nearest}));
  }
  return UsageError(console, "", ToolText(console, TextKey::TxtUnknownCommand, {first}));
}

}  // namespace velmora
