// velmora run [-y] [-q] SCRIPT: the script's run as Velmora.exe makes it, on the terminal.
#include "cli/interrupt.h"
#include "cli/commands.h"
#include "cli/script_job.h"
#include "cli/terminal_view.h"
#include "job/pack_run.h"
#include "job/run_report.h"
#include "msg/format.h"

namespace velmora {
namespace {

// The pack run of a prepared job, then its report as the progress dialog gives it. Runs on this
// thread: Ctrl-C only sets a flag that the walk looks at before every entry.
bool RunAndReport(JobState& job, FileSystem& files, TerminalView& view) {
  RunPack(job, files, view);
  view.ClearProgress();
  if (!RunSucceeded(job, view.EntriesBegun())) {
    view.ShowError(FailureReport(job));
    return false;
  }
  if (std::optional<std::string> report = SuccessReport(job)) {
    view.ShowInfo(*report);
  } else if (!job.BackupPath.empty()) {
    // Without #RunEnd the run is silent, but where the old archive went must not be.
    view.ShowInfo(Message(MessageKey::MsgBackupKept, {job.BackupPath}));
  }
  return true;
}

int Run(CommandCall& call) {
  ScriptCommandOptions options;
  const int usage = ReadScriptCommand(call, kRunCommand, true, &options);
  if (usage >= 0) return usage;

  InterruptCatcher interrupt;
  ScriptCodePage code_page(options, call.Files);
  JobState job;
  TerminalView view(call.Terminal, job, options.Terminal);
  const bool succeeded = RunScriptJob(
      code_page.ScriptPath(), job, call.Files, view, call.Terminal,
      [&call, &view](JobState& prepared) { return RunAndReport(prepared, call.Files, view); });
  // A run that was complete when Ctrl-C came has still replaced the target: it succeeded.
  if (succeeded) return kExitOk;
  return InterruptRequested() ? kExitInterrupted : kExitFailed;
}

}  // namespace

const CommandInfo kRunCommand = {
    "run",
    Run,
    "run a script: write the new archive it describes",
    "执行脚本：生成脚本所描述的新资源包",
    "Usage: {tool} run [-y] [-q] [--codepage gbk|utf8] SCRIPT.vlm\n"
    "       {tool} SCRIPT.vlm\n"
    "\n"
    "Runs the script as Velmora.exe runs it: the same questions, checks, messages and report,\n"
    "and the same archive byte for byte. An existing target is replaced only when the new\n"
    "archive is complete.\n"
    "\n"
    "Options:\n"
    "  -y, --yes        answer Yes to every question (without it, and without a terminal to\n"
    "                   answer on, every question is answered No)\n"
    "  -q, --quiet      no progress line and no report of success; errors are still shown\n"
    "  --codepage CP    the script's code page on Linux: gbk (code page 936) or utf8; by\n"
    "                   default a script that is valid UTF-8 is read as UTF-8, any other as gbk\n"
    "  -h, --help       show this help\n"
    "\n"
    "The report of success goes to standard output; errors, questions and the progress line\n"
    "(only when standard error is a terminal) to standard error. Ctrl-C stops the run after\n"
    "the current entry; the old target stays as it was.\n"
    "\n"
    "Exit codes: 0 done; 1 refused, failed or cancelled, or the script cannot be read;\n"
    "2 wrong usage; 130 stopped by Ctrl-C.\n",
    "用法：{tool} run [-y] [-q] [--codepage gbk|utf8] 脚本.vlm\n"
    "      {tool} 脚本.vlm\n"
    "\n"
    "像 Velmora.exe 一样执行脚本：同样的询问、检查、提示和报告，生成的资源包逐字节相同。\n"
    "已有的目标文件只在新资源包完整写好后才被替换。\n"
    "\n"
    "选项：\n"
    "  -y, --yes        对每个问题回答“是”（没有此选项且没有可回答的终端时，每个问题都回答“否”）\n"
    "  -q, --quiet      不显示进度行和成功报告；错误仍会显示\n"
    "  --codepage CP    Linux 上脚本的代码页：gbk（代码页 936）或 utf8；默认情况下，\n"
    "                   合法 UTF-8 的脚本按 UTF-8 读取，其他按 gbk 读取\n"
    "  -h, --help       显示本帮助\n"
    "\n"
    "成功报告输出到标准输出；错误、询问和进度行（仅当标准错误是终端时）输出到标准错误。\n"
    "Ctrl-C 在当前条目完成后停止执行；原有的目标文件保持不变。\n"
    "\n"
    "退出码：0 完成；1 被拒绝、失败、取消或脚本无法读取；2 用法错误；130 被 Ctrl-C 停止。\n",
};

}  // namespace velmora
