#include "job/prepare.h"

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "job/mod_journal.h"
#include "job/new_archive.h"
#include "job/paths.h"
#include "job/script_places.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

// The form of a directory path the file system is asked about: without its closing backslash,
// except where that backslash ends a root (C:\, \\).
std::string DirectoryName(const std::string& dir) {
  if (dir.empty() || FindLastCharOf(dir, "\\") + 1 != dir.size()) return dir;
  const std::string up = OneLevelUp(dir);
  return up == dir ? dir : dir.substr(0, dir.size() - 1);
}

// Makes sure the directory `dir` (ending with a separator) exists: when it does not, creates it
// and every missing parent, outermost first, stopping at the first failure and leaving the
// parents created so far.
bool EnsureDirectory(FileSystem& files, const std::string& dir, std::string* problem) {
  const auto parent = [](const std::string& level) {
    const std::string with_separator =
        FindLastCharOf(level, "\\") + 1 == level.size() ? level : level + "\\";
    const std::string up = OneLevelUp(with_separator);
    return up == with_separator ? level : DirectoryName(up);
  };
  if (MakeMissingDirectories(files, DirectoryName(dir), parent)) return true;
  *problem = Message(MessageKey::MsgTargetDirFailed, {ShownPath(dir), LastSystemErrorText()});
  return false;
}

// Creates the temporary file for the new archive under the first name that can be had. A file
// already under a name is what a run left when it was killed, and is removed; one that a stream
// still holds belongs to a run writing the same target right now, which refuses this run with
// the system's sharing violation. A name taken by what may not be removed (a directory, a file
// the user may not delete) is kept, and the next name tried.
bool CreateTemporaryFile(JobState& job, FileSystem& files, std::string* problem) {
  std::string reason;
  const auto refuse = [&] {
    *problem = Message(MessageKey::MsgTargetCreateFailed, {ShownPath(job.TargetPath), reason});
    return false;
  };
  int removed = 0;
  for (int attempt = 0; attempt < kTemporaryNameAttempts;) {
    // A mod's new archive waits for its transaction under a name of its own.
    const std::string path = job.HoldNewArchive ? ModTemporaryName(job.TargetPath, attempt)
                                                : TemporaryArchiveName(job.TargetPath, attempt);
    job.TargetStream = files.CreateNewExclusive(path);
    if (job.TargetStream) {
      job.TargetWritePath = path;
      return true;
    }
    reason = LastSystemErrorText();
    if (files.DirectoryExists(path)) {
      ++attempt;
      continue;
    }
    if (!files.FileIsPresent(path)) return refuse();  // the name was free: the system said why
    if (files.RemoveFile(path)) {
      if (++removed <= kTemporaryNameAttempts) continue;  // the same name is free again
    } else if (LastSystemError() == SystemErrorSharingViolation()) {
      reason = LastSystemErrorText();
      return refuse();
    }
    ++attempt;
  }
  return refuse();
}

// Creates the file that the new archive is written into: always a temporary file beside the
// target, which takes the target's name only once the run has completed it (CommitNewArchive),
// so that a run that fails, is cancelled or is killed never leaves a partial archive under the
// target's name. Whatever is under the target's name is held open without sharing, untouched,
// for the whole run: nothing else may change it meanwhile, a second run on the same target is
// refused, and a target that names the open source in another form, or a directory, cannot be
// opened at all. Only a name under which nothing exists is left free.
//
// A run in place writes over its own source, which it holds open itself and which is kept as a
// backup when the run succeeds (CommitNewArchive): it only needs the temporary file.
bool CreateTarget(JobState& job, FileSystem& files, bool target_exists, std::string* problem) {
  if (job.InPlace) return CreateTemporaryFile(job, files, problem);
  job.OldTarget = files.OpenExclusive(job.TargetPath);
  if (!job.OldTarget) {
    const unsigned long code = LastSystemError();
    if (target_exists || (code != SystemErrorNotFound() && code != SystemErrorPathNotFound())) {
      *problem = Message(MessageKey::MsgTargetCreateFailed,
                         {ShownPath(job.TargetPath), FileFailureReason(ShownPath(job.TargetPath))});
      return false;
    }
  }
  if (CreateTemporaryFile(job, files, problem)) return true;
  job.OldTarget.reset();
  return false;
}

bool Confirmed(RunView& view, const std::string& question) {
  return view.AskOkCancel(question) == 1;
}

}  // namespace

bool PrepareJob(JobState& job, FileSystem& files, RunView& view) {
  static const ScriptLines kNoScript;
  const ScriptLines& script = job.Script ? *job.Script : kNoScript;
  std::string value;

  // The confirmation comes before anything is touched.
  if (ScriptValue(script, "#RunBegin", false, &value)) {
    const std::string question =
        value.empty() ? Message(MessageKey::MsgConfirmScript, {ShownPath(job.ScriptPath)})
                      : value + job.UndoAdvice + Message(MessageKey::MsgConfirmScriptSuffix);
    if (!Confirmed(view, question)) return false;
  }

  ScriptPlaces places;
  std::string problem;
  if (!FindScriptPlaces(script, job.ScriptPath, &places, &problem)) {
    view.ShowError(problem);
    return false;
  }
  job.SourcePath = places.SourcePath;
  job.SourceDir = places.SourceDir;
  job.SourceName = job.SourcePath.substr(job.SourceDir.size());
  const bool in_place_allowed = places.InPlace;
  if (in_place_allowed) {
    // A run in place that was cut short between its two renames left the archive's name free
    // and the complete new archive beside it: that is finished first.
    std::string completed;
    RecoverInterruptedSwap(files, job.SourcePath, &completed);
  }
  if (!files.FileIsPresentForReading(job.SourcePath)) {
    view.ShowError(Message(MessageKey::MsgSourceNotFound, {ShownPath(job.SourcePath)}));
    return false;
  }
  job.SourceStream = files.OpenShared(job.SourcePath);
  if (!job.SourceStream) {
    const std::string reason = FileFailureReason(ShownPath(job.SourcePath));
    view.ShowError(Message(MessageKey::MsgSourceOpenFailed, {ShownPath(job.SourcePath), reason}));
    return false;
  }

  if (!places.TargetRefusal.empty()) {
    view.ShowError(places.TargetRefusal);
    return false;
  }
  job.TargetPath = places.TargetPath;
  job.TargetDir = DirectoryPart(job.TargetPath);
  if (EqualFoldingAscii(job.SourcePath, job.TargetPath)) {
    if (!in_place_allowed) {
      view.ShowError(Message(MessageKey::MsgTargetSameAsSource,
                             {ShownPath(job.TargetPath), ShownPath(job.SourcePath)}));
      return false;
    }
    job.InPlace = true;
  }
  const bool target_exists = files.FileIsPresent(job.TargetPath);
  // Nothing is overwritten in place: the old archive is kept as a backup.
  if (target_exists && !job.InPlace &&
      !Confirmed(view, Message(MessageKey::MsgTargetExists, {ShownPath(job.TargetPath)}))) {
    return false;
  }

  if ((!job.TargetDir.empty() && !EnsureDirectory(files, job.TargetDir, &problem)) ||
      !CreateTarget(job, files, target_exists, &problem)) {
    view.ShowError(problem);
    return false;
  }

  // The target is created before the source header is checked; a source that is no archive
  // takes back what was created for it, and an existing target was never touched.
  if (!ReadWdfHeader(*job.SourceStream, &job.SourceCount, &job.SourceIndexOffset)) {
    DiscardNewArchive(job, files);
    view.ShowError(Message(MessageKey::MsgSourceNotWdf, {ShownPath(job.SourcePath)}));
    return false;
  }

  if (ScriptValue(script, "#Author", true, &value)) {
    job.Texts.AuthorLine = value;
    if (value.empty()) job.Texts.AuthorLine = Message(MessageKey::MsgFromPrefix) + job.SourcePath;
  }
  if (ScriptValue(script, "#Date", true, &value)) {
    job.Texts.DateLine = value;
    if (value.empty()) job.Texts.DateLine = Message(MessageKey::MsgToPrefix) + job.TargetPath;
  }
  return true;
}

}  // namespace velmora
