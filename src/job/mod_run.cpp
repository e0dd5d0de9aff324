#include "job/mod_run.h"

#include <memory>

#include "job/archive_backups.h"
#include "job/mod_journal.h"
#include "job/new_archive.h"
#include "job/paths.h"
#include "job/prepare.h"
#include "job/script.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

// The record of an applied mod, beside its script: what its undo takes back.
std::string RecordPath(const std::string& mod_script_path) { return mod_script_path + ".applied"; }

bool KeyValue(const ScriptLines& script, const std::string& key, bool keep_escapes,
              std::string* value) {
  const int line = FindScriptKey(script, key);
  if (line < 0) return false;
  *value = CleanScriptValue(ScriptValueAt(script, line), keep_escapes);
  return true;
}

// What the mod's run shares among its steps.
struct ModRun {
  JobState& Job;
  FileSystem& Files;
  RunView& View;
  EntryFrontEnd& Front;
  std::string ScriptPath;
  std::string ScriptDir;
  std::unique_ptr<ScriptLines> Script;
  ModJournal Journal;

  // Gives up before the transaction: the new archives written so far are removed.
  void GiveUp() {
    DiscardNewArchive(Job, Files);
    DiscardModTemporaries(Files, Journal);
    View.ShowInfo(Message(MessageKey::MsgModNothingChanged));
  }
  bool AlreadyListed(const std::string& archive) const {
    for (const ModArchive& listed : Journal.Archives) {
      if (EqualFoldingAscii(listed.Archive, archive)) return true;
    }
    return false;
  }
};

// Prepares and runs one part, its new archive held: false (reported) when it did not succeed.
bool WritePart(ModRun& mod, const std::string& part_path) {
  JobState& job = mod.Job;
  job = JobState();
  job.ScriptPath = part_path;
  job.ScriptDir = DirectoryPart(part_path);
  job.HoldNewArchive = true;
  if (!mod.Files.FileIsPresent(part_path)) {
    mod.View.ShowError(Message(MessageKey::MsgScriptNotFound, {ShownPath(part_path)}));
    return false;
  }
  job.Script = std::make_unique<ScriptLines>(LoadScript(mod.Files, part_path));
  if (!PrepareJob(job, mod.Files, mod.View)) return false;
  if (!job.InPlace || mod.AlreadyListed(job.SourcePath)) {
    mod.View.ShowError(Message(MessageKey::MsgModPartInvalid, {ShownPath(part_path)}));
    return false;
  }
  mod.Front.RunWithProgress(job);
  if (job.TargetWritePath.empty()) return false;  // the run reported its failure or cancel
  mod.Journal.Archives.push_back({job.SourcePath, std::string(), job.TargetWritePath});
  job.TargetWritePath.clear();  // the transaction owns it now
  ReleaseRun(job);
  return true;
}

bool WriteParts(ModRun& mod) {
  std::string value;
  for (int k = 1; KeyValue(*mod.Script, "#ModPart" + std::to_string(k), true, &value); ++k) {
    if (!WritePart(mod, mod.ScriptDir + FolderKeyValue(value))) return false;
  }
  return true;
}

// The undo's new archives: copies of the backups the mod's record names.
bool CopyBackups(ModRun& mod, const std::string& record_path) {
  std::string text;
  ModJournal record;
  if (!mod.Files.FileIsPresent(record_path)) {
    mod.View.ShowError(Message(MessageKey::MsgModNotApplied, {ShownPath(record_path)}));
    return false;
  }
  if (!ReadWholeFile(mod.Files, record_path, &text) || !ParseModJournal(text, &record)) {
    mod.View.ShowError(Message(MessageKey::MsgModJournalUnreadable, {ShownPath(record_path)}));
    return false;
  }
  for (const ModArchive& archive : record.Archives) {
    if (!WrittenInFull(mod.Files, archive.Backup)) {
      mod.View.ShowError(Message(MessageKey::MsgSourceNotWdf, {ShownPath(archive.Backup)}));
      return false;
    }
    std::string copy;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && copy.empty(); ++attempt) {
      const std::string temporary = TemporaryArchiveName(archive.Archive, attempt);
      if (CopyWholeFile(mod.Files, archive.Backup, temporary)) {
        copy = temporary;
      } else if (!mod.Files.FileIsPresent(temporary)) {
        mod.View.ShowError(Message(MessageKey::MsgTargetWriteFailed,
                                   {ShownPath(temporary), LastSystemErrorText()}));
        return false;
      }
    }
    if (copy.empty()) {
      mod.View.ShowError(Message(MessageKey::MsgTargetWriteFailed,
                                 {ShownPath(archive.Archive), LastSystemErrorText()}));
      return false;
    }
    mod.Journal.Archives.push_back({archive.Archive, std::string(), copy});
  }
  return true;
}

// The report of a mod that changed every archive: its own end text, then where each old
// archive was kept.
void ReportDone(ModRun& mod, MessageKey standard) {
  std::string report;
  if (!KeyValue(*mod.Script, "#RunEnd", false, &report) || report.empty()) {
    report = Message(standard, {static_cast<int64_t>(mod.Journal.Archives.size())});
  }
  report += "\r";
  for (const ModArchive& archive : mod.Journal.Archives) {
    report += "\r" + Message(MessageKey::MsgBackupKept, {ShownPath(archive.Backup)});
  }
  mod.View.ShowInfo(report);
}

// Whatever an earlier run left in progress is completed first; false when it cannot be.
bool CompleteEarlier(ModRun& mod, const std::string& journal_path) {
  if (!mod.Files.FileIsPresent(journal_path)) return true;
  std::string failure;
  if (CompleteModJournal(mod.Files, journal_path, &failure) == ModCompletion::kUnfinished) {
    mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModUnfinished));
    return false;
  }
  mod.View.ShowInfo(Message(MessageKey::MsgModRecovered));
  return true;
}

bool RunMod(ModRun& mod) {
  std::string base = mod.ScriptDir;
  std::string value;
  if (KeyValue(*mod.Script, "#ModBase", true, &value) &&
      !ResolveRelativePath(base, FolderKeyValue(value))) {
    mod.View.ShowError(Message(MessageKey::MsgSourcePathInvalid));
    return false;
  }
  const std::string journal_path = ModJournalPath(base);
  if (!CompleteEarlier(mod, journal_path)) return false;
  if (KeyValue(*mod.Script, "#RunBegin", false, &value)) {
    const std::string question =
        value.empty() ? Message(MessageKey::MsgConfirmScript, {ShownPath(mod.ScriptPath)})
                      : value + Message(MessageKey::MsgConfirmScriptSuffix);
    if (mod.View.AskOkCancel(question) != 1) return false;
  }
  const bool undo = KeyValue(*mod.Script, "#ModUndo", true, &value);
  if (undo) {
    const std::string record = RecordPath(mod.ScriptDir + FolderKeyValue(value));
    mod.Journal.Retire = record;
    if (!CopyBackups(mod, record)) {
      mod.GiveUp();
      return false;
    }
  } else {
    mod.Journal.Record = RecordPath(mod.ScriptPath);
    if (!WriteParts(mod)) {
      mod.GiveUp();
      return false;
    }
  }
  std::string failure;
  switch (CommitMod(mod.Files, journal_path, mod.Journal, &failure)) {
    case ModCompletion::kForward:
      ReportDone(mod, undo ? MessageKey::MsgModUndone : MessageKey::MsgModApplied);
      return true;
    case ModCompletion::kBack:
      mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModNothingChanged));
      return false;
    case ModCompletion::kUnfinished:
      break;
  }
  mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModUnfinished));
  return false;
}

}  // namespace

bool IsModScript(const ScriptLines& script) {
  return FindScriptKey(script, "#ModPart1") >= 0 || FindScriptKey(script, "#ModUndo") >= 0;
}

void RunModEntry(JobState& job, FileSystem& files, RunView& view, EntryFrontEnd& front) {
  ModRun mod{job, files, view, front, job.ScriptPath, job.ScriptDir, std::move(job.Script), {}};
  bool changed = false;
  try {
    changed = RunMod(mod);
  } catch (...) {
    // A part that cannot be read: nothing of the mod is kept.
    DiscardNewArchive(job, files);
    DiscardModTemporaries(files, mod.Journal);
    job = JobState();
    throw;
  }
  job = JobState();
  front.ModEnded(changed);
}

bool CompleteModAround(FileSystem& files, const std::string& archive_path, std::string* message) {
  // Either separator: the terminal tool takes paths as the person types them.
  std::string dir = archive_path;
  for (size_t cut; (cut = FindLastCharOf(dir, "\\/")) != std::string::npos || !dir.empty();) {
    dir = cut == std::string::npos ? std::string() : dir.substr(0, cut + 1);
    const std::string journal_path = ModJournalPath(dir);
    if (files.FileIsPresent(journal_path)) {
      std::string failure;
      const ModCompletion done = CompleteModJournal(files, journal_path, &failure);
      *message = done == ModCompletion::kUnfinished
                     ? failure + "\r\r" + Message(MessageKey::MsgModUnfinished)
                     : Message(MessageKey::MsgModRecovered);
      return true;
    }
    if (!dir.empty()) dir.pop_back();              // the folder's own name is next
    if (!dir.empty() && dir.back() == ':') break;  // a drive: nothing is above its root
  }
  return false;
}

}  // namespace velmora
