#include "cli/script_job.h"

#include <vector>

#include "cli/arguments.h"
#include "msg/ansi_text.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

// The front-end of the entry as the terminal tool needs it: the script path is made absolute
// before, and there is no file type to register.
class ScriptFrontEnd final : public EntryFrontEnd {
 public:
  ScriptFrontEnd(const std::function<bool(JobState&)>& run_prepared)
      : run_prepared_(run_prepared) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { succeeded_ = run_prepared_(job); }
  bool Succeeded() const { return succeeded_; }

 private:
  const std::function<bool(JobState&)>& run_prepared_;
  bool succeeded_ = false;
};

}  // namespace

int ReadScriptCommand(CommandCall& call, const CommandInfo& command, bool run_options,
                      ScriptCommandOptions* options) {
  Console& console = call.Terminal;
  if (AsksForHelp(call.Args)) {
    console.Out(AnsiFromUtf8(WithToolName(console.Chinese() ? command.HelpZh : command.HelpEn)));
    return kExitOk;
  }
  std::vector<OptionForm> forms;
  if (run_options) {
    forms.push_back({'y', "yes", false});
    forms.push_back({'q', "quiet", false});
  }
#if !defined(_WIN32)
  forms.push_back({0, "codepage", true});
#endif
  ParsedArguments parsed;
  std::string complaint;
  if (!ParseArguments(call.Args, forms, console, &parsed, &complaint)) {
    return UsageError(console, command.Name, complaint);
  }
  if (parsed.Operands.empty()) {
    return UsageError(console, command.Name,
                      Localized(console, "no script named", "未指定脚本文件"));
  }
  if (parsed.Operands.size() > 1) {
    return UsageError(console, command.Name,
                      Localized(console, "one script at a time; too many arguments from",
                                "一次只能执行一个脚本；多余的参数从") +
                          " '" + parsed.Operands[1] + "'");
  }
  options->Script = parsed.Operands[0];
  options->Terminal.AssumeYes = parsed.Has("yes");
  options->Terminal.Quiet = parsed.Has("quiet");
  if (parsed.Has("codepage")) {
    const std::string& name = parsed.Options["codepage"];
    if (EqualFoldingAscii(name, "gbk") || name == "936" || EqualFoldingAscii(name, "cp936")) {
      options->CodePage = "gbk";
    } else if (EqualFoldingAscii(name, "utf8") || EqualFoldingAscii(name, "utf-8")) {
      options->CodePage = "utf8";
    } else {
      return UsageError(
          console, command.Name,
          Localized(console, "unknown code page (gbk or utf8):", "未知代码页（gbk 或 utf8）：") +
              " '" + name + "'");
    }
    options->CodePageGiven = true;
  }
  return -1;
}

bool IsValidUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t length;
    uint32_t min;
    uint32_t code;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = code << 6 | (next & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool RunScriptJob(const std::string& script_path, JobState& job, FileSystem& files, RunView& view,
                  Console& console, const std::function<bool(JobState&)>& run_prepared) {
  ScriptFrontEnd front(run_prepared);
  job.ScriptPath = script_path;
  try {
    if (RunScriptEntry(job, files, view, front) != EntryEnd::kScriptRunEnded) return false;
  } catch (const AppFailure& failure) {
    // The script exists but cannot be read: as for any failure, one line on the terminal.
    console.Err(TerminalText(failure.what()) + "\n");
    return false;
  }
  return front.Succeeded();
}

}  // namespace velmora
