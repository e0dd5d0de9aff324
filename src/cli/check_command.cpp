// velmora check SCRIPT: the run without its outcome. The real preparation and the real pack run
// go over a file system that changes nothing, so check refuses and fails exactly where run
// would, with the same message, and otherwise says what the run would write.
#include <cstdio>
#include <vector>

#include "cli/arguments.h"
#include "cli/dry_run_file_system.h"
#include "cli/interrupt.h"
#include "cli/commands.h"
#include "cli/script_job.h"
#include "cli/terminal_view.h"
#include "job/entry_rules.h"
#include "job/pack_run.h"
#include "job/script.h"
#include "job/run_report.h"

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

  void ShowInfo(const std::string&) override {}
  void ShowError(const std::string& text) override { console_.Err(TerminalText(text) + "\n"); }
  int AskOkCancel(const std::string& text) override {
    questions_.push_back(text);
    return 1;
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

  uint32_t EntriesBegun() const { return entries_begun_; }
  const RuleCounts& Counts() const { return counts_; }
  // The questions the run asks, each answered OK here.
  const std::vector<std::string>& Questions() const { return questions_; }

 private:
  Console& console_;
  const JobState& job_;
  uint32_t entries_begun_ = 0;
  RuleCounts counts_;
  std::vector<std::string> questions_;
};

std::string Number(uint64_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
  return text;
}

// The summary of a check that would succeed, on standard output.
void PrintSummary(Console& console, const JobState& job, const CheckView& view,
                  const DryRunFileSystem& files, bool target_existed) {
  const auto say = [&console](const char* english, const char* chinese) {
    return Localized(console, english, chinese);
  };
  const RuleCounts& counts = view.Counts();
  std::string text;
  text += say("Source:  ", "源文件：  ") + job.SourcePath + say(" (", "（") +
          Number(job.SourceCount) + say(" entries)", " 个条目）") + "\r";
  text += say("Target:  ", "目标文件：") + job.TargetPath +
          (job.InPlace ? say(" (the source itself, patched in place)", "（即源文件，原地修补）")
           : target_existed ? say(" (exists; would be replaced)", "（已存在，将被替换）")
                            : say(" (new)", "（新文件）")) +
          "\r";
  if (!job.BackupPath.empty()) {
    text += say("Would keep the old archive as ", "原资源包将保留为 ") + job.BackupPath + "\r";
  }
  for (const std::string& directory : files.MadeDirectories()) {
    text += say("Would create the directory ", "将创建目录 ") + directory + "\r";
  }
  text += say("Entries: ", "条目：    ") + Number(counts.Kept) + say(" kept, ", " 个保留，") +
          Number(counts.SameArchive) + say(" from the same archive, ", " 个取自本资源包，") +
          Number(counts.OtherArchive) + say(" from another archive, ", " 个取自其他资源包，") +
          Number(counts.File) + say(" from a file, ", " 个取自文件，") + Number(counts.Deleted) +
          say(" deleted", " 个删除") +
          (job.AddedCount > 0 ? say(", ", "，") + Number(job.AddedCount) + say(" added", " 个新增")
                              : std::string()) +
          "\r";
  text += say("New archive: ", "新资源包：") + Number(job.TargetCount) +
          say(" entries, ", " 个条目，") + Number(files.CreatedSize(job.TargetPath)) +
          say(" bytes", " 字节") + "\r";
  if (!view.Questions().empty()) {
    text += say("Questions the run asks first: ", "执行前的询问：") +
            Number(view.Questions().size()) +
            say(" (answered Yes here; run answers them on a terminal or with --yes)",
                "（此处按“是”继续；run 在终端上询问，或用 --yes 回答）") +
            "\r";
  }
  const std::string unexecuted = job.Script ? UnexecutedRules(*job.Script) : std::string();
  if (!unexecuted.empty()) {
    text += say("Rule lines that match no entry:", "没有匹配任何条目的规则行：");
    for (size_t pos = 0; pos < unexecuted.size();) {
      const size_t next = unexecuted.find('\r', pos + 1);
      text +=
          "\r  " + unexecuted.substr(pos + 1, next == std::string::npos ? next : next - pos - 1);
      pos = next == std::string::npos ? unexecuted.size() : next;
    }
    text += "\r";
  }
  text += say("Not checked, only writing can tell: the free space on the disk",
              "未检查（只有实际写入才能知道）：磁盘剩余空间");
  text += files.MadeDirectories().empty()
              ? say(" and ", "以及")
              : say(", that the directories can be created and ", "、能否创建目录以及");
  text += say("that the new archive can be created and written.\r", "能否创建并写入新资源包。\r");
  console.Out(TerminalText(text));
}

int Check(CommandCall& call) {
  ScriptCommandOptions options;
  const int usage = ReadScriptCommand(call, kCheckCommand, false, &options);
  if (usage >= 0) return usage;

  InterruptCatcher interrupt;
  ScriptCodePage code_page(options, call.Files);
  DryRunFileSystem files(call.Files);
  JobState job;
  CheckView view(call.Terminal, job);
  const bool succeeded =
      RunScriptJob(code_page.ScriptPath(), job, files, view, call.Terminal,
                   [&call, &view, &files](JobState& prepared) {
                     const bool target_existed = prepared.OldTarget != nullptr;
                     RunPack(prepared, files, view);
                     if (!RunSucceeded(prepared, view.EntriesBegun())) {
                       view.ShowError(FailureReport(prepared));
                       return false;
                     }
                     PrintSummary(call.Terminal, prepared, view, files, target_existed);
                     return true;
                   });
  if (succeeded) return kExitOk;
  return InterruptRequested() ? kExitInterrupted : kExitFailed;
}

}  // namespace

const CommandInfo kCheckCommand = {
    "check",
    Check,
    "check a script without writing anything: what run would do or why it would fail",
    "检查脚本而不写入任何内容：run 会做什么，或为何会失败",
    "Usage: {tool} check [--codepage gbk|utf8] SCRIPT.vlm\n"
    "\n"
    "Goes through the run of the script without creating, writing, renaming or deleting\n"
    "anything and without asking: the paths, the source archive and every entry against its\n"
    "rule (other archives and files are opened for reading only). Prints the source and the\n"
    "target, how many entries each kind of rule gives, the new archive's entries and size and\n"
    "the rule lines that match no entry; or, when the run would fail, exactly the message the\n"
    "run would give. The free disk space and whether directories and the new archive can be\n"
    "created are left to the run: only writing can tell.\n"
    "\n"
    "Options:\n"
    "  --codepage CP    the script's code page on Linux: gbk or utf8 (as for run)\n"
    "  -h, --help       show this help\n"
    "\n"
    "Exit codes: 0 the run would succeed; 1 it would be refused or fail, or the script cannot\n"
    "be read; 2 wrong usage; 130 stopped by Ctrl-C.\n",
    "用法：{tool} check [--codepage gbk|utf8] 脚本.vlm\n"
    "\n"
    "模拟执行脚本，但不创建、写入、改名或删除任何文件，也不询问：检查路径、源资源包以及\n"
    "每个条目对应的规则（其他资源包和文件只以只读方式打开）。输出源文件和目标文件、每种\n"
    "规则产生的条目数、新资源包的条目数和大小，以及没有匹配任何条目的规则行；若执行会\n"
    "失败，则输出与 run 完全相同的提示。磁盘剩余空间以及能否创建目录和新资源包留给实际\n"
    "执行：只有写入才能知道。\n"
    "\n"
    "选项：\n"
    "  --codepage CP    Linux 上脚本的代码页：gbk 或 utf8（同 run）\n"
    "  -h, --help       显示本帮助\n"
    "\n"
    "退出码：0 执行会成功；1 执行会被拒绝或失败，或脚本无法读取；2 用法错误；130 被 Ctrl-C "
    "停止。\n",
};

}  // namespace velmora
