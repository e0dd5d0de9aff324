// velmora check SCRIPT: the run without its outcome. The real preparation and the real pack run
// go over a file system that changes nothing, so check refuses and fails exactly where run
// would, with the same message, and otherwise says what the run would write.
#include <cstdio>
#include <unordered_set>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/dry_run_file_system.h"
#include "cli/interrupt.h"
#include "cli/json_text.h"
#include "cli/rule_failures.h"
#include "cli/script_job.h"
#include "cli/script_warnings.h"
#include "cli/terminal_texts.h"
#include "cli/terminal_view.h"
#include "job/entry_rules.h"
#include "job/pack_run.h"
#include "job/paths.h"
#include "job/run_report.h"
#include "job/script.h"
#include "msg/ansi_text.h"
#include "sys/system_error.h"
#include "wdf/archive_index.h"

namespace velmora {
namespace {

// What each kind of rule produced, counted while the entries are begun.
struct RuleCounts {
  uint64_t Kept = 0;
  uint64_t SameArchive = 0;
  uint64_t OtherArchive = 0;
  uint64_t File = 0;
  uint64_t Deleted = 0;
};

// The run's view for a check: no question is asked (every one is answered OK and remembered),
// errors are shown as run shows them, and every entry begun is counted by its rule's kind.
class CheckView final : public RunView {
 public:
  CheckView(Console& console, const JobState& job) : console_(console), job_(job) {}

  // Before a run writes, only a patch that is applied already is reported as information. Once a
  // pack has run, the reports of what the run did are not the check's: its summary says that.
  void ShowInfo(const std::string& text) override {
    if (!packed_) console_.Out(TerminalText(text) + "\n");
  }
  void ShowError(const std::string& text) override {
    errors_.push_back(text);
    console_.Err(TerminalText(text) + "\n" + LetterCaseNote(console_));
  }
  int AskOkCancel(const std::string& text) override {
    questions_.push_back(text);
    return 1;
  }
  // A patch on an archive it was not made for fails the check, as it fails a run.
  int AskToApplyOnOtherBase(const std::string& finding) override {
    ShowError(finding);
    return 2;
  }
  // Ids never change during a run, so the entry's Id is that of its rule line.
  void ReportProgress(uint32_t index, uint32_t) override {
    ++entries_begun_;
    if (!job_.Script || index >= job_.SourceIndex.size()) return;
    const ScriptLines& script = *job_.Script;
    const int line = FindScriptKey(script, EntryKey(job_.SourceIndex[index].Id));
    const RuleKind kind =
        line < 0 ? RuleKind::kKeep
                 : ClassifyRuleValue(CleanScriptValue(ScriptValueAt(script, line), true)).Kind;
    switch (kind) {
      case RuleKind::kKeep:
        ++counts_.Kept;
        break;
      case RuleKind::kInternalReference:
        ++counts_.SameArchive;
        break;
      case RuleKind::kDelete:
        ++counts_.Deleted;
        break;
      case RuleKind::kArchiveEntry:
        ++counts_.OtherArchive;
        break;
      case RuleKind::kExternalFile:
        ++counts_.File;
        break;
      default:
        break;  // the run fails at this entry
    }
  }
  bool StopRequested() override { return InterruptRequested(); }
  void RunFinished() override {}

  // A pack begins: each archive of a mod is counted on its own.
  void BeginPack() {
    packed_ = true;
    entries_begun_ = 0;
    counts_ = RuleCounts();
  }

  uint32_t EntriesBegun() const { return entries_begun_; }
  const RuleCounts& Counts() const { return counts_; }
  // The questions the run asks, each answered OK here.
  const std::vector<std::string>& Questions() const { return questions_; }
  // The refusals and failures shown, first first.
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  Console& console_;
  const JobState& job_;
  bool packed_ = false;
  uint32_t entries_begun_ = 0;
  RuleCounts counts_;
  std::vector<std::string> questions_;
  std::vector<std::string> errors_;
};

int64_t Count(uint64_t n) { return static_cast<int64_t>(n); }

// The summary of a check that would succeed, on standard output.
void PrintSummary(Console& console, const JobState& job, const CheckView& view,
                  const DryRunFileSystem& files, bool target_existed, size_t questions) {
  const auto say = [&console](TextKey key, std::initializer_list<FormatArg> args = {}) {
    return ToolText(console, key, args);
  };
  const RuleCounts& counts = view.Counts();
  // One archive of a mod is still under its temporary name.
  const std::string& written = job.TargetWritePath.empty() ? job.TargetPath : job.TargetWritePath;
  std::string text;
  text += say(TextKey::TxtCheckSource,
              {ShownPath(job.SourcePath),
               CountText(console, job.SourceCount, TextKey::TxtEntryOne, TextKey::TxtEntryMany)}) +
          "\r";
  text += say(job.InPlace      ? TextKey::TxtCheckTargetInPlace
              : target_existed ? TextKey::TxtCheckTargetReplaced
                               : TextKey::TxtCheckTargetNew,
              {ShownPath(job.TargetPath)}) +
          "\r";
  if (!job.BackupPath.empty()) {
    text += say(TextKey::TxtCheckKeepsBackup, {ShownPath(job.BackupPath)}) + "\r";
  }
  for (const std::string& directory : files.MadeDirectories()) {
    text += say(TextKey::TxtCheckMakesFolder, {ShownPath(directory)}) + "\r";
  }
  text += say(TextKey::TxtCheckRuleKinds,
              {Count(counts.Kept), Count(counts.SameArchive), Count(counts.OtherArchive),
               Count(counts.File), Count(counts.Deleted)}) +
          "\r";
  if (job.AddedCount > 0) text += say(TextKey::TxtCheckAdded, {Count(job.AddedCount)}) + "\r";
  text += say(TextKey::TxtCheckNewArchive,
              {CountText(console, job.TargetCount, TextKey::TxtEntryOne, TextKey::TxtEntryMany),
               CountText(console, Count(files.CreatedSize(written)), TextKey::TxtByteOne,
                         TextKey::TxtByteMany)}) +
          "\r";
  if (questions > 0) text += say(TextKey::TxtCheckQuestions, {Count(questions)}) + "\r";
  const std::string unexecuted = job.Script ? UnexecutedRules(*job.Script) : std::string();
  if (!unexecuted.empty()) text += say(TextKey::TxtCheckUnmatchedRules) + unexecuted + "\r";
  text += say(files.MadeDirectories().empty() ? TextKey::TxtCheckNotChecked
                                              : TextKey::TxtCheckNotCheckedWithFolders) +
          "\r";
  // Rule lines are indented under their heading, as written.
  std::string lines = TerminalText(text);
  for (size_t pos = lines.find("\n@"); pos != std::string::npos; pos = lines.find("\n@", pos + 3)) {
    lines.insert(pos + 1, "  ");
  }
  console.Out(lines);
}

// The text of one warning, in the console's language.
std::string WarningText(const Console& console, const ScriptWarning& w) {
  const int64_t line = static_cast<int64_t>(w.Line);
  switch (w.Kind) {
    case ScriptWarningKind::kBlankBeforeKey:
      return ToolText(console, TextKey::TxtWarnBlankBeforeKey, {line, w.Key});
    case ScriptWarningKind::kBlankBeforeEquals:
      return ToolText(console, TextKey::TxtWarnBlankBeforeEquals, {line, w.Key});
    case ScriptWarningKind::kUnknownKey:
      return w.Detail.empty()
                 ? ToolText(console, TextKey::TxtWarnUnknownKey, {line, w.Key})
                 : ToolText(console, TextKey::TxtWarnUnknownKeyMeant, {line, w.Key, w.Detail});
    case ScriptWarningKind::kRuleWithoutAt:
      return ToolText(console, TextKey::TxtWarnRuleWithoutAt, {line, w.Key, w.Detail});
    case ScriptWarningKind::kShortRuleId:
      return ToolText(console, TextKey::TxtWarnShortRuleId, {line, w.Key});
    case ScriptWarningKind::kRepeatedKey:
      return ToolText(console, TextKey::TxtWarnRepeatedKey,
                      {line, w.Key, static_cast<int64_t>(w.Other), static_cast<int64_t>(w.Other)});
    case ScriptWarningKind::kIdNotInSource:
      return ToolText(console, TextKey::TxtWarnIdNotInSource, {line, w.Key});
  }
  return std::string();
}

const char* WarningKindName(ScriptWarningKind kind) {
  switch (kind) {
    case ScriptWarningKind::kBlankBeforeKey:
      return "blank-before-key";
    case ScriptWarningKind::kBlankBeforeEquals:
      return "blank-before-equals";
    case ScriptWarningKind::kUnknownKey:
      return "unknown-key";
    case ScriptWarningKind::kRuleWithoutAt:
      return "rule-without-at";
    case ScriptWarningKind::kShortRuleId:
      return "rule-id-not-eight-digits";
    case ScriptWarningKind::kRepeatedKey:
      return "repeated-key";
    case ScriptWarningKind::kIdNotInSource:
      return "id-not-in-source";
  }
  return "";
}

// What a check found, for its text and its JSON forms.
struct CheckFindings {
  bool Loaded = false;     // the script could be read
  bool Prepared = false;   // the preparation went through: the walk was made
  bool Succeeded = false;  // the run would succeed
  std::vector<PlannedFailure> Failures;
  std::vector<ScriptWarning> Warnings;
};

// A text of the program's encoding as JSON.
std::string Json(const std::string& text) { return JsonString(Utf8FromAnsi(text)); }

void PrintJson(Console& console, const std::string& script, const CheckFindings& found,
               const CheckView& view, int exit_code) {
  std::string json = "{\"script\":" + Json(script) + ",\"result\":\"";
  json += found.Succeeded ? "ok" : found.Prepared ? "fails" : "refused";
  json += "\",\"exit_code\":" + std::to_string(exit_code) + ",\"message\":";
  json += view.Errors().empty() ? "null" : Json(TerminalText(view.Errors().front()));
  json += ",\"failures\":[";
  for (size_t k = 0; k < found.Failures.size(); ++k) {
    const PlannedFailure& f = found.Failures[k];
    json += (k ? ",{\"line\":" : "{\"line\":") + std::to_string(f.Line) +
            ",\"rule\":" + Json(f.Rule) + ",\"message\":" + Json(TerminalText(f.Reason)) + "}";
  }
  json += "],\"warnings\":[";
  for (size_t k = 0; k < found.Warnings.size(); ++k) {
    const ScriptWarning& w = found.Warnings[k];
    json += (k ? ",{\"line\":" : "{\"line\":") + std::to_string(w.Line) + ",\"kind\":\"" +
            WarningKindName(w.Kind) + "\",\"text\":" + Json(w.Text) +
            ",\"message\":" + Json(WarningText(console, w)) + "}";
  }
  json += "]}\n";
  console.OutBytes(json.data(), json.size());
}

int Check(CommandCall& call) {
  ScriptCommandOptions options;
  const int usage = ReadScriptCommand(call, kCheckCommand, false, &options);
  if (usage >= 0) return usage;
  const int refused = CheckScriptInput(options, call.Files, call.Terminal);
  if (refused >= 0) return refused;

  InterruptCatcher interrupt;
  ScriptCodePage code_page(options, call.Files);
  const int same = RefuseTargetThatIsTheSource(code_page.ScriptPath(), call.Files, call.Terminal);
  if (same >= 0) return same;
  DryRunFileSystem files(call.Files);
  JobState job;
  job.WritesNothing = true;
  CheckView view(call.Terminal, job);
  CheckFindings found;
  std::unordered_set<uint32_t> source_ids;
  // Each archive of a mod counts the questions asked since the one before it: the summaries add
  // up to what the run asks.
  size_t questions_counted = 0;
  found.Succeeded = RunScriptJob(
      code_page.ScriptPath(), job, files, view, call.Terminal, [&](JobState& prepared) {
        found.Prepared = true;
        const bool target_existed = prepared.OldTarget != nullptr;
        ArchiveIndex index;
        if (ReadArchiveIndex(*prepared.SourceStream, &index) == ArchiveFault::kNone) {
          for (const WdfEntry& e : index.Entries) source_ids.insert(e.Id);
        }
        view.BeginPack();
        RunPack(prepared, files, view);
        if (!RunSucceeded(prepared, view.EntriesBegun())) {
          view.ShowError(FailureReport(prepared));
          const std::vector<PlannedFailure> failures = FindEveryRuleFailure(prepared, files);
          found.Failures.insert(found.Failures.end(), failures.begin(), failures.end());
          return false;
        }
        if (!options.Json) {
          PrintSummary(call.Terminal, prepared, view, files, target_existed,
                       view.Questions().size() - questions_counted);
        }
        questions_counted = view.Questions().size();
        return true;
      });
  try {
    const ScriptLines script = LoadScript(call.Files, code_page.ScriptPath());
    found.Loaded = true;
    found.Warnings = FindScriptWarnings(script, found.Prepared ? &source_ids : nullptr);
  } catch (const AppFailure&) {
    // The run has said why the script cannot be read.
  }
  if (!options.Json) {
    std::string text;
    if (found.Failures.size() > 1) {
      text += ToolText(call.Terminal, TextKey::TxtCheckEveryFailure) + "\n";
      for (const PlannedFailure& f : found.Failures) {
        text += ToolText(call.Terminal, TextKey::TxtCheckFailureAtLine,
                         {static_cast<int64_t>(f.Line), TerminalText(f.Rule)}) +
                "\n  " + TerminalText(f.Reason) + "\n";
      }
    }
    for (const ScriptWarning& w : found.Warnings) {
      text += ToolText(call.Terminal, TextKey::TxtWarning, {WarningText(call.Terminal, w)}) + "\n";
    }
    if (!text.empty()) call.Terminal.Err(WithoutTrailingBlanks(text));
  }
  int exit_code = kExitOk;
  if (!found.Succeeded && !job.SucceededWithoutPack) {
    exit_code = InterruptRequested() ? kExitInterrupted : kExitFailed;
  } else if (options.Strict && !found.Warnings.empty()) {
    call.Terminal.Err(
        ToolText(call.Terminal, TextKey::TxtStrictWarningsFail,
                 {CountText(call.Terminal, static_cast<int64_t>(found.Warnings.size()),
                            TextKey::TxtWarningOne, TextKey::TxtWarningMany)}) +
        "\n");
    exit_code = kExitFailed;
  }
  if (!options.Json) code_page.SayEncoding(call.Terminal, found.Succeeded);
  if (options.Json) PrintJson(call.Terminal, options.Script, found, view, exit_code);
  return exit_code;
}

}  // namespace

const CommandInfo kCheckCommand = {
    "check",
    Check,
    texts_en::TxtSummaryCheck,
    texts_zh::TxtSummaryCheck,
    texts_en::TxtHelpCheck,
    texts_zh::TxtHelpCheck,
};

}  // namespace velmora
