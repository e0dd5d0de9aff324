#include "job/patch_undo.h"

#include "job/script_places.h"
#include "job/paths.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

std::string KeyValue(const ScriptLines& script, const char* key) {
  std::string value;
  ScriptValue(script, key, true, &value);
  return value;
}

// The archive an undo script names, as preparation finds a run's source. False after the
// refusal has been shown.
bool FindUndoArchive(JobState& job, RunView& view) {
  ScriptPlaces places;
  std::string problem;
  if (!LocateScriptPlaces(*job.Script, job.ScriptPath, &places, &problem)) {
    view.ShowError(problem);
    return false;
  }
  const std::string& path = places.SourcePath;
  job.SourcePath = path;
  job.SourceDir = DirectoryPart(path);
  job.SourceName = path.substr(job.SourceDir.size());
  if (job.SourceName.empty()) {
    view.ShowError(Message(MessageKey::MsgSourceNotFound, {ShownPath(path)}));
    return false;
  }
  return true;
}

}  // namespace

std::string PatchIdOf(const ScriptLines& script) { return KeyValue(script, kPatchIdKey); }
std::string RestoredPatchOf(const ScriptLines& script) { return KeyValue(script, kRestoreKey); }

void NoteUndoAdvice(JobState& job, RunView& view) {
  if (!job.Script) return;
  const std::string undo = KeyValue(*job.Script, kUndoKey);
  if (!undo.empty()) job.UndoAdvice = view.UndoAdvice(DirectoryPart(job.ScriptPath) + undo);
}

UndoChoice ChooseUndoBackup(const std::vector<ArchiveBackup>& backups, const std::string& patch_id,
                            const ArchiveBackup** chosen) {
  for (auto backup = backups.rbegin(); backup != backups.rend(); ++backup) {
    if (!backup->HasNote) continue;
    if (backup->Note.Undo == patch_id) return UndoChoice::kAlreadyUndone;
    if (backup->Note.Patch == patch_id) {
      *chosen = &*backup;
      return UndoChoice::kRestore;
    }
  }
  return UndoChoice::kNoBackup;
}

void RunUndoScript(JobState& job, FileSystem& files, RunView& view) {
  const ScriptLines& script = *job.Script;
  std::string value;
  if (ScriptValue(script, "#RunBegin", false, &value)) {
    const std::string question =
        value.empty() ? Message(MessageKey::MsgConfirmScript, {ShownPath(job.ScriptPath)})
                      : value + Message(MessageKey::MsgConfirmScriptSuffix);
    if (view.AskOkCancel(question) != 1) return;
  }
  if (!FindUndoArchive(job, view)) return;
  std::string completed;
  RecoverInterruptedSwap(files, job.SourcePath, &completed);
  std::vector<ArchiveBackup> backups;
  if (!ListBackups(files, job.SourcePath, &backups)) {
    view.ShowError(Message(MessageKey::MsgSourceOpenFailed,
                           {ShownPath(job.SourcePath), LastSystemErrorText()}));
    return;
  }
  const std::string patch_id = RestoredPatchOf(script);
  const ArchiveBackup* chosen = nullptr;
  switch (ChooseUndoBackup(backups, patch_id, &chosen)) {
    case UndoChoice::kNoBackup:
      view.ShowError(Message(MessageKey::MsgUndoNoBackup, {ShownPath(job.SourcePath)}));
      return;
    case UndoChoice::kAlreadyUndone:
      view.ShowInfo(Message(MessageKey::MsgUndoAlreadyDone, {ShownPath(job.SourcePath)}));
      job.SucceededWithoutPack = true;
      return;
    case UndoChoice::kRestore:
      break;
  }
  BackupNote note = NoteMadeNow(job.ScriptPath);
  note.Undo = patch_id;
  std::string failure;
  if (!RestoreBackup(files, job.SourcePath, *chosen, note, &job.BackupPath, &failure)) {
    view.ShowError(failure);
    return;
  }
  job.SucceededWithoutPack = true;
  std::string report;
  if (ScriptValue(script, "#RunEnd", false, &value) && !value.empty()) report = value + "\r\r";
  report +=
      Message(MessageKey::MsgRestoredFrom, {ShownPath(job.SourcePath), ShownPath(chosen->Path)});
  if (!job.BackupPath.empty()) {
    report += "\r" + Message(MessageKey::MsgBackupKept, {ShownPath(job.BackupPath)});
  }
  view.ShowInfo(report);
}

}  // namespace velmora
