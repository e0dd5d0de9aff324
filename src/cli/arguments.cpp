#include "cli/arguments.h"

#include "cli/console.h"
#include "msg/ansi_text.h"

namespace velmora {
namespace {

const OptionForm* FindLong(const std::vector<OptionForm>& forms, const std::string& name) {
  for (const OptionForm& form : forms) {
    if (name == form.LongName) return &form;
  }
  return nullptr;
}

const OptionForm* FindShort(const std::vector<OptionForm>& forms, char name) {
  for (const OptionForm& form : forms) {
    if (form.ShortName != 0 && form.ShortName == name) return &form;
  }
  return nullptr;
}

std::string Complaint(const Console& console, const char* english, const char* chinese,
                      const std::string& word) {
  return Localized(console, english, chinese) + " '" + word + "'";
}

}  // namespace

bool ParseArguments(const std::vector<std::string>& args, const std::vector<OptionForm>& forms,
                    const Console& console, ParsedArguments* parsed, std::string* complaint) {
  bool options_ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (options_ended || word.size() < 2 || word[0] != '-') {
      parsed->Operands.push_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    if (word[1] == '-') {
      const size_t equals = word.find('=');
      const std::string name = word.substr(2, equals == std::string::npos ? equals : equals - 2);
      const OptionForm* form = FindLong(forms, name);
      if (form == nullptr) {
        *complaint = Complaint(console, "unknown option", "未知选项", word);
        return false;
      }
      if (!form->TakesValue) {
        if (equals != std::string::npos) {
          *complaint = Complaint(console, "option takes no value:", "选项不带值：", word);
          return false;
        }
        parsed->Options[form->LongName] = "";
      } else if (equals != std::string::npos) {
        parsed->Options[form->LongName] = word.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        parsed->Options[form->LongName] = args[++i];
      } else {
        *complaint = Complaint(console, "option needs a value:", "选项缺少值：", word);
        return false;
      }
      continue;
    }
    // One or more short switches (-yq); a short option with a value takes the rest of the word
    // or the next word.
    for (size_t k = 1; k < word.size(); ++k) {
      const OptionForm* form = FindShort(forms, word[k]);
      if (form == nullptr) {
        *complaint = Complaint(console, "unknown option", "未知选项", std::string("-") + word[k]);
        return false;
      }
      if (!form->TakesValue) {
        parsed->Options[form->LongName] = "";
        continue;
      }
      if (k + 1 < word.size()) {
        parsed->Options[form->LongName] = word.substr(k + 1);
      } else if (i + 1 < args.size()) {
        parsed->Options[form->LongName] = args[++i];
      } else {
        *complaint =
            Complaint(console, "option needs a value:", "选项缺少值：", std::string("-") + word[k]);
        return false;
      }
      break;
    }
  }
  return true;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& word : args) {
    if (word == "--") return false;
    if (word == "-h" || word == "--help") return true;
  }
  return false;
}

int UsageError(Console& console, const std::string& command, const std::string& complaint) {
  std::string where = ToolName();
  std::string help = std::string(ToolName()) + " --help";
  if (!command.empty()) {
    where += " " + command;
    help = std::string(ToolName()) + " help " + command;
  }
  console.Err(AnsiFromUtf8(where + ": ") + complaint + Localized(console, " (see '", "（参见 '") +
              AnsiFromUtf8(help) + Localized(console, "')\n", "'）\n"));
  return kExitUsage;
}

std::string Localized(const Console& console, const char* english, const char* chinese) {
  return AnsiFromUtf8(console.Chinese() ? chinese : english);
}

std::string WithToolName(const std::string& text) {
  static const std::string kPlaceholder = "{tool}";
  std::string result = text;
  for (size_t pos = result.find(kPlaceholder); pos != std::string::npos;
       pos = result.find(kPlaceholder, pos)) {
    result.replace(pos, kPlaceholder.size(), ToolName());
    pos += std::char_traits<char>::length(ToolName());
  }
  return result;
}

}  // namespace velmora
