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
  std::string text = zh ? texts_zh::TxtGeneralHelpHead : texts_en::TxtGeneralHelpHead;
  for (const CommandInfo* command : Commands()) {
    std::string name = command->Name;
    name.resize(std::max<size_t>(name.size(), 9), ' ');
    text += "  " + name + (zh ? command->SummaryZh : command->SummaryEn) + "\n";
  }
  text += zh ? texts_zh::TxtGeneralHelpTail : texts_en::TxtGeneralHelpTail;
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
