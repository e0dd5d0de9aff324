#include "job/paths.h"
#include "job/run_report.h"

#include "job/script.h"
#include "msg/format.h"

namespace velmora {
namespace {

bool IsBlankOrControl(char byte) { return static_cast<unsigned char>(byte) <= 32; }

// Whether the line, without blanks and control bytes at its start, is an entry rule.
bool IsRuleLine(const std::string& text) {
  for (char byte : text) {
    if (!IsBlankOrControl(byte)) return byte == '@';
  }
  return false;
}

}  // namespace

std::string UnexecutedRules(const ScriptLines& script) {
  std::string list;
  for (size_t i = 0; i < script.Count(); ++i) {
    if (script.UsedMarkAt(i) != 0 || !IsRuleLine(script.TextAt(i))) continue;
    list += '\r';
    list += CleanScriptValue(script.TextAt(i), true);
  }
  return list;
}

bool RunSucceeded(const JobState& job, uint32_t entries_begun) {
  return entries_begun == job.SourceCount && job.ErrorText.empty();
}

std::string FailureReport(const JobState& job) {
  if (!job.ErrorText.empty()) {
    return Message(MessageKey::MsgScriptError, {job.ErrorRule, job.ErrorText});
  }
  return Message(MessageKey::MsgPackFailed, {ShownPath(job.SourcePath), ShownPath(job.TargetPath)});
}

std::optional<std::string> SuccessReport(const JobState& job) {
  if (!job.Script) return std::nullopt;
  const ScriptLines& script = *job.Script;
  int run_end = FindScriptKey(script, "#RunEnd");
  if (run_end < 0) return std::nullopt;

  std::string report = CleanScriptValue(ScriptValueAt(script, run_end), false);
  if (report.empty()) {
    report = Message(MessageKey::MsgPackSucceeded,
                     {ShownPath(job.SourcePath), ShownPath(job.TargetPath)});
  }
  const int64_t deleted = static_cast<int64_t>(job.SourceCount) + job.AddedCount -
                          static_cast<int64_t>(job.TargetCount);
  if (deleted > 0) {
    report += "\r\r";
    report += Message(MessageKey::MsgDeletedCount, {job.TargetCount, deleted});
  }
  if (job.AddedCount > 0) {
    report += deleted > 0 ? "\r" : "\r\r";
    report += Message(MessageKey::MsgAddedCount, {job.AddedCount});
  }
  if (!job.BackupPath.empty()) {
    report += "\r\r";
    report += Message(MessageKey::MsgBackupKept, {ShownPath(job.BackupPath)});
    report += job.UndoAdvice;
  }
  std::string unexecuted = UnexecutedRules(script);
  if (!unexecuted.empty()) {
    report += "\r\r";
    report += Message(MessageKey::MsgUnexecutedHeading);
    report += unexecuted;
  }
  return report;
}

}  // namespace velmora
