#include "cli/script_job.h"

#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "cli/arguments.h"
#include "cli/dry_run_file_system.h"
#include "cli/script_warnings.h"
#include "cli/terminal_texts.h"
#include "job/paths.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

// The front-end of the entry as the terminal tool needs it: the script path is made absolute
// before, and there is no file type to register.
class ScriptFrontEnd final : public EntryFrontEnd {
 public:
  explicit ScriptFrontEnd(const std::function<bool(JobState&)>& run_prepared,
                          const RunPreparedParts& run_parts = RunPreparedParts())
      : run_prepared_(run_prepared), run_parts_(run_parts) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { succeeded_ = run_prepared_(job); }
  bool RunsPartsTogether() const override { return static_cast<bool>(run_parts_); }
  void RunPartsWithProgress(std::vector<JobState>& parts) override { run_parts_(parts); }
  void ModEnded(bool changed) override { succeeded_ = changed; }
  bool Succeeded() const { return succeeded_; }

 private:
  const std::function<bool(JobState&)>& run_prepared_;
  RunPreparedParts run_parts_;  // empty: each part runs on its own
  bool succeeded_ = false;
};

// A run's view that shows nothing and consents to everything: for finding the run's paths.
class SilentView final : public RunView {
 public:
  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string&) override {}
  int AskOkCancel(const std::string&) override { return 1; }
  void ReportProgress(uint32_t, uint32_t) override {}
  bool StopRequested() override { return true; }
  void RunFinished() override {}
};

// Whether the source `a` and the target `b` name one existing file, by its identity on its
// volume. The target is taken under its name as written, as the run writes it.
bool SameFile(FileSystem& files, const std::string& a, const std::string& b) {
  std::unique_ptr<Stream> first = files.OpenShared(a);
  std::unique_ptr<Stream> second = first && files.FileIsPresent(b) ? files.OpenShared(b) : nullptr;
  FileVersion one;
  FileVersion two;
  return second && first->Identity(&one) && second->Identity(&two) && one == two;
}

}  // namespace

int RefuseTargetThatIsTheSource(const std::string& script_path, FileSystem& files,
                                Console& console) {
  JobState job;
  SilentView view;
  DryRunFileSystem dry(files);
  const std::function<bool(JobState&)> stop = [](JobState&) { return false; };
  ScriptFrontEnd front(stop);
  job.ScriptPath = script_path;
  job.PathsOnly = true;
  try {
    RunScriptEntry(job, dry, view, front);
  } catch (const AppFailure&) {
    return -1;  // the run says why the script cannot be read
  }
  if (job.SourcePath.empty() || job.TargetPath.empty()) return -1;
  std::string explanation;
  if (EqualFoldingAscii(job.SourcePath, job.TargetPath)) {
    // #InPlace=yes lets the source be the target, named by #DestFile or by the default rule.
    if (job.InPlace) return -1;
    // The entry has released the script: its lines are read again.
    try {
      if (FindScriptKey(LoadScript(files, script_path), "#DestFile") >= 0) return -1;
    } catch (const AppFailure&) {
      return -1;
    }
    explanation = ToolText(console, TextKey::TxtDefaultTargetIsSource);
  } else if (SameFile(files, job.SourcePath, job.TargetPath)) {
    explanation = ToolText(console, TextKey::TxtTargetIsSourceByIdentity);
  } else {
    return -1;
  }
  console.Err(TerminalText(Message(MessageKey::MsgTargetSameAsSource,
                                   {ShownPath(job.TargetPath), ShownPath(job.SourcePath)})) +
              "\n" + explanation + "\n");
  return kExitFailed;
}

void ScriptCodePage::SayEncoding(Console& console, bool passed) const {
  const std::string line = ToolText(console, TextKey::TxtCheckEncoding,
                                    {code_page_ == CodePage::kGbk ? "GBK" : "UTF-8"}) +
                           "\n";
  if (passed) {
    console.Out(line);
  } else {
    console.Err(line);
  }
}

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
    forms.push_back({0, "force", false});
  } else {
    forms.push_back({0, "strict", false});
    forms.push_back({0, "format", true});
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
    return UsageError(console, command.Name, ToolText(console, TextKey::TxtNoScriptNamed));
  }
  if (parsed.Operands.size() > 1) {
    return UsageError(
        console, command.Name,
        ToolText(console, TextKey::TxtOneScriptAtATimeToo) + " '" + parsed.Operands[1] + "'");
  }
  options->Script = parsed.Operands[0];
  options->Terminal.AssumeYes = parsed.Has("yes");
  options->Terminal.Quiet = parsed.Has("quiet");
  options->Strict = parsed.Has("strict");
  options->Force = parsed.Has("force");
  if (parsed.Has("format")) {
    const std::string& form = parsed.Options["format"];
    if (form != "text" && form != "json") {
      return UsageError(console, command.Name,
                        ToolText(console, TextKey::TxtUnknownFormat, {AnsiFromUtf8(form)}));
    }
    options->Json = form == "json";
  }
  if (parsed.Has("codepage")) {
    const std::string& name = parsed.Options["codepage"];
    if (EqualFoldingAscii(name, "gbk") || name == "936" || EqualFoldingAscii(name, "cp936")) {
      options->CodePage = "gbk";
    } else if (EqualFoldingAscii(name, "utf8") || EqualFoldingAscii(name, "utf-8")) {
      options->CodePage = "utf8";
    } else {
      return UsageError(
          console, command.Name,
          ToolText(console, TextKey::TxtUnknownCodePageGbkOrUtf8) + " '" + name + "'");
    }
    options->CodePageGiven = true;
  }
  return -1;
}

int CheckScriptInput(const ScriptCommandOptions& options, FileSystem& files, Console& console) {
  const std::string& word = options.Script;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(word, error);
  std::optional<TextKey> refusal;
  if (error || status.type() == std::filesystem::file_type::not_found) {
    return -1;  // the run says that the script does not exist
  } else if (status.type() == std::filesystem::file_type::directory) {
    refusal = TextKey::TxtScriptIsFolder;
  } else if (status.type() != std::filesystem::file_type::regular) {
    refusal = TextKey::TxtScriptNotRegular;
  } else if (std::unique_ptr<Stream> stream = files.OpenShared(word)) {
    std::string head(64, '\0');
    head.resize(stream->Read(&head[0], head.size()));
    if (head.compare(0, 4, "PFDW") == 0) {
      refusal = TextKey::TxtScriptIsArchive;
    } else if (LooksLikeUtf16(head)) {
      refusal = TextKey::TxtScriptIsUtf16;
    }
  }
  if (!refusal) return -1;
  console.Err(ToolText(console, *refusal, {AnsiFromUtf8(word)}) + "\n");
  return kExitFailed;
}

bool RunScriptJob(const std::string& script_path, JobState& job, FileSystem& files, RunView& view,
                  Console& console, const std::function<bool(JobState&)>& run_prepared,
                  const RunPreparedParts& run_parts) {
  ScriptFrontEnd front(run_prepared, run_parts);
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
