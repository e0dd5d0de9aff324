#include "job/mod_run.h"

#include <memory>
#include <vector>

#include "job/archive_backups.h"
#include "job/mod_journal.h"
#include "job/new_archive.h"
#include "job/patch_base.h"
#include "job/patch_undo.h"
#include "job/paths.h"
#include "job/prepare.h"
#include "job/script_places.h"
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
  bool Force;  // --force, or the answer to a finding about the bases: the parts run as they are
  bool WritesNothing;
  ModJournal Journal;
  std::vector<BackupNote> Notes;  // what made each backup, in the order of Journal.Archives
  std::vector<JobState> Parts;    // the parts' jobs when they are written together

  // Every new archive written or begun so far removed: what a run that gives up leaves.
  void DiscardNewArchives() noexcept {
    DiscardNewArchive(Job, Files);
    for (JobState& part : Parts) DiscardNewArchive(part, Files);
    DiscardModTemporaries(Files, Journal);
  }
  // Gives up before the transaction.
  void GiveUp() {
    DiscardNewArchives();
    View.ShowInfo(Message(MessageKey::MsgModNothingChanged));
  }
  bool AlreadyListed(const std::string& archive) const {
    for (const ModArchive& listed : Journal.Archives) {
      if (EqualFoldingAscii(listed.Archive, archive)) return true;
    }
    return false;
  }
};

// A transaction of another mod left in progress over `archive` is completed before this mod
// writes beside it: that mod's new archive waits under the name this mod's would take, and would
// otherwise be removed as a leftover. False (reported) when it cannot be completed.
bool CompleteOtherModAround(ModRun& mod, const std::string& archive) {
  std::string message;
  ModCompletion done = ModCompletion::kUnfinished;
  if (!CompleteModAround(mod.Files, archive, &message, &done)) return true;
  if (done == ModCompletion::kUnfinished) {
    mod.View.ShowError(message);
    return false;
  }
  mod.View.ShowInfo(message);
  return true;
}

// CompleteOtherModAround for the archive of every part, before their bases are looked at: what
// the other mod leaves there is what this one meets. A part that cannot be found or read is
// left for its run to report.
bool CompleteOtherModsOverParts(ModRun& mod, const std::vector<std::string>& parts) {
  for (const std::string& part : parts) {
    ScriptPlaces places;
    std::string problem;
    if (mod.Files.FileIsPresent(part) &&
        FindScriptPlaces(LoadScript(mod.Files, part), part, &places, &problem) &&
        !CompleteOtherModAround(mod, places.SourcePath)) {
      return false;
    }
  }
  return true;
}

// Prepares one part into `job`: false (reported) when it cannot be run.
bool PreparePart(ModRun& mod, const std::string& part_path, JobState& job) {
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
  // Listed at once, so that a later part naming the same archive is refused before any runs.
  mod.Journal.Archives.push_back({job.SourcePath, std::string(), std::string()});
  BackupNote note = NoteMadeNow(mod.ScriptPath);
  note.Patch = PatchIdOf(*job.Script);
  mod.Notes.push_back(note);
  return true;
}

// The new archive of a part that ran: false when the run reported its failure or cancel.
bool TakePartArchive(ModRun& mod, size_t index, JobState& job) {
  if (job.TargetWritePath.empty()) return false;
  mod.Journal.Archives[index].Temporary = job.TargetWritePath;
  job.TargetWritePath.clear();  // the transaction owns it now
  ReleaseRun(job);
  return true;
}

// The parts' scripts, #ModPart1, #ModPart2, ... up to the first number missing.
std::vector<std::string> PartPaths(const ModRun& mod) {
  std::vector<std::string> parts;
  std::string value;
  for (int k = 1; KeyValue(*mod.Script, "#ModPart" + std::to_string(k), true, &value); ++k) {
    parts.push_back(mod.ScriptDir + FolderKeyValue(value));
  }
  return parts;
}

// Writes every part's new archive, held under its temporary name. Shown as one run, the parts
// are all prepared first and written together; otherwise each is prepared and written in turn.
bool WriteParts(ModRun& mod, const std::vector<std::string>& parts) {
  if (!mod.Front.RunsPartsTogether()) {
    for (size_t k = 0; k < parts.size(); ++k) {
      if (!PreparePart(mod, parts[k], mod.Job)) return false;
      mod.Front.RunWithProgress(mod.Job);
      if (!TakePartArchive(mod, k, mod.Job)) return false;
    }
    return true;
  }
  mod.Parts.resize(parts.size());
  for (size_t k = 0; k < parts.size(); ++k) {
    if (!PreparePart(mod, parts[k], mod.Parts[k])) return false;
  }
  mod.Front.RunPartsWithProgress(mod.Parts);
  bool written = true;
  for (size_t k = 0; k < parts.size(); ++k) {
    written = TakePartArchive(mod, k, mod.Parts[k]) && written;
  }
  return written;
}

enum class ModBaseAnswer { kGoOn, kStop, kApplied };

// Every part's archive against the base the part records (#Base@), before the mod asks or writes
// anything. On every base, or forced, the mod goes on; every archive already the mod's result:
// it says so and stops; anything else, even some archives applied and the others on their base,
// is a finding that names each archive and its differing entries, and the mod goes on only when
// the view answers OK to it. A part without the keys counts as on its base; one that cannot be
// found or read is left for its run to report.
ModBaseAnswer ConfirmModBase(ModRun& mod, const std::vector<std::string>& parts) {
  if (mod.Force) return ModBaseAnswer::kGoOn;
  std::vector<std::string> differing;
  std::vector<std::string> applied;
  size_t on_base = 0;
  for (const std::string& part : parts) {
    std::string source;
    BaseCheck check;
    if (!mod.Files.FileIsPresent(part) ||
        !CheckScriptBase(LoadScript(mod.Files, part), part, mod.Files, &source, &check) ||
        check.Verdict == BaseVerdict::kBase) {
      ++on_base;
    } else if (check.Verdict == BaseVerdict::kAlreadyApplied) {
      applied.push_back(Message(MessageKey::MsgModPartApplied, {ShownPath(source)}));
    } else {
      differing.push_back(Message(MessageKey::MsgModPartOtherBase,
                                  {ShownPath(source), IdListText(check.Differing)}));
    }
  }
  if (differing.empty() && applied.empty()) return ModBaseAnswer::kGoOn;
  if (differing.empty() && on_base == 0) {
    mod.View.ShowInfo(
        Message(MessageKey::MsgModAlreadyApplied, {static_cast<int64_t>(parts.size())}));
    return ModBaseAnswer::kApplied;
  }
  std::string finding = Message(MessageKey::MsgModOtherBase);
  for (const std::string& line : differing) finding += "\r" + line;
  for (const std::string& line : applied) finding += "\r" + line;
  if (mod.View.AskToApplyOnOtherBase(finding) != 1) return ModBaseAnswer::kStop;
  mod.Force = true;
  return ModBaseAnswer::kGoOn;
}

// The undo's new archives: copies of the backups the record of the mod at `mod_script_path`
// names.
bool CopyBackups(ModRun& mod, const std::string& mod_script_path) {
  const std::string record_path = RecordPath(mod_script_path);
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
    if (!CompleteOtherModAround(mod, archive.Archive)) return false;
    if (!WrittenInFull(mod.Files, archive.Backup)) {
      mod.View.ShowError(Message(MessageKey::MsgSourceNotWdf, {ShownPath(archive.Backup)}));
      return false;
    }
    std::string copy;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && copy.empty(); ++attempt) {
      const std::string temporary = ModTemporaryName(archive.Archive, attempt);
      // A file under the name is what a killed run left: no transaction in progress names it.
      if (mod.Files.FileIsPresent(temporary)) mod.Files.RemoveFile(temporary);
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
    BackupNote note = NoteMadeNow(mod.ScriptPath);
    note.Undo = FileNamePart(mod_script_path);
    mod.Notes.push_back(note);
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
  if (!mod.Files.FileIsPresent(journal_path)) {
    DiscardCutShortJournal(mod.Files, journal_path);
    return true;
  }
  std::string failure;
  if (CompleteModJournal(mod.Files, journal_path, &failure) == ModCompletion::kUnfinished) {
    mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModUnfinished));
    return false;
  }
  mod.View.ShowInfo(Message(MessageKey::MsgModRecovered));
  return true;
}

// The mod's outcome: every archive changed, nothing changed (refused, cancelled or failed), or
// nothing to change (every archive holds the mod's result already).
enum class ModOutcome { kChanged, kUnchanged, kAlreadyApplied };

ModOutcome RunMod(ModRun& mod) {
  std::string base = mod.ScriptDir;
  std::string value;
  if (KeyValue(*mod.Script, "#ModBase", true, &value) &&
      !ResolveRelativePath(base, FolderKeyValue(value))) {
    mod.View.ShowError(Message(MessageKey::MsgSourcePathInvalid));
    return ModOutcome::kUnchanged;
  }
  const std::string journal_path = ModJournalPath(base);
  if (!CompleteEarlier(mod, journal_path)) return ModOutcome::kUnchanged;
  const bool undo = KeyValue(*mod.Script, "#ModUndo", true, &value);
  const std::string undone_mod = undo ? mod.ScriptDir + FolderKeyValue(value) : std::string();
  const std::vector<std::string> parts = undo ? std::vector<std::string>() : PartPaths(mod);
  if (!mod.WritesNothing && !CompleteOtherModsOverParts(mod, parts)) return ModOutcome::kUnchanged;
  switch (undo ? ModBaseAnswer::kGoOn : ConfirmModBase(mod, parts)) {
    case ModBaseAnswer::kGoOn:
      break;
    case ModBaseAnswer::kStop:
      return ModOutcome::kUnchanged;
    case ModBaseAnswer::kApplied:
      return ModOutcome::kAlreadyApplied;
  }
  if (KeyValue(*mod.Script, "#RunBegin", false, &value)) {
    const std::string question =
        value.empty() ? Message(MessageKey::MsgConfirmScript, {ShownPath(mod.ScriptPath)})
                      : value + Message(MessageKey::MsgConfirmScriptSuffix);
    if (mod.View.AskOkCancel(question) != 1) return ModOutcome::kUnchanged;
  }
  if (undo) {
    mod.Journal.Retire = RecordPath(undone_mod);
    if (!CopyBackups(mod, undone_mod)) {
      mod.GiveUp();
      return ModOutcome::kUnchanged;
    }
  } else {
    mod.Journal.Record = RecordPath(mod.ScriptPath);
    if (!WriteParts(mod, parts)) {
      mod.GiveUp();
      return ModOutcome::kUnchanged;
    }
  }
  if (mod.WritesNothing) {
    // What every archive's run would do is known; a transaction over nothing proves nothing.
    DiscardModTemporaries(mod.Files, mod.Journal);
    return ModOutcome::kChanged;
  }
  std::string failure;
  switch (CommitMod(mod.Files, journal_path, mod.Journal, mod.Notes, &failure)) {
    case ModCompletion::kForward:
      ReportDone(mod, undo ? MessageKey::MsgModUndone : MessageKey::MsgModApplied);
      return ModOutcome::kChanged;
    case ModCompletion::kBack:
      mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModNothingChanged));
      return ModOutcome::kUnchanged;
    case ModCompletion::kUnfinished:
      break;
  }
  mod.View.ShowError(failure + "\r\r" + Message(MessageKey::MsgModUnfinished));
  return ModOutcome::kUnchanged;
}

}  // namespace

bool IsModScript(const ScriptLines& script) {
  return FindScriptKey(script, "#ModPart1") >= 0 || FindScriptKey(script, "#ModUndo") >= 0;
}

void RunModEntry(JobState& job, FileSystem& files, RunView& view, EntryFrontEnd& front) {
  // Learning a run's paths writes nothing: a mod names no single source or target.
  if (job.PathsOnly) {
    job.Script.reset();
    return;
  }
  ModRun mod{job,
             files,
             view,
             front,
             job.ScriptPath,
             job.ScriptDir,
             std::move(job.Script),
             job.ForcePatch,
             job.WritesNothing,
             {},
             {},
             {}};
  ModOutcome outcome = ModOutcome::kUnchanged;
  try {
    outcome = RunMod(mod);
  } catch (...) {
    // A part that cannot be read: nothing of the mod is kept.
    mod.DiscardNewArchives();
    job = JobState();
    throw;
  }
  job = JobState();
  // As for a patch applied already: the run's work is done and nothing was written.
  job.SucceededWithoutPack = outcome == ModOutcome::kAlreadyApplied;
  front.ModEnded(outcome == ModOutcome::kChanged);
}

bool CompleteModAround(FileSystem& files, const std::string& archive_path, std::string* message,
                       ModCompletion* done) {
  // Either separator: the terminal tool takes paths as the person types them.
  std::string dir = archive_path;
  for (size_t cut; (cut = FindLastCharOf(dir, "\\/")) != std::string::npos || !dir.empty();) {
    dir = cut == std::string::npos ? std::string() : dir.substr(0, cut + 1);
    const std::string journal_path = ModJournalPath(dir);
    if (files.FileIsPresent(journal_path)) {
      std::string failure;
      const ModCompletion completion = CompleteModJournal(files, journal_path, &failure);
      *message = completion == ModCompletion::kUnfinished
                     ? failure + "\r\r" + Message(MessageKey::MsgModUnfinished)
                     : Message(MessageKey::MsgModRecovered);
      if (done) *done = completion;
      return true;
    }
    if (!dir.empty()) dir.pop_back();              // the folder's own name is next
    if (!dir.empty() && dir.back() == ':') break;  // a drive: nothing is above its root
  }
  return false;
}

}  // namespace velmora
