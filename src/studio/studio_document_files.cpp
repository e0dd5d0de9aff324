// The document's dealings with files on the window's behalf: extracting entries, reading the
// bytes a change takes from a file or another archive, an archive inside the archive, and the
// hold on the archive during a rebuild in place.
#include <algorithm>

#include "job/archive_backups.h"
#include "job/job_state.h"
#include "job/paths.h"
#include "msg/format.h"
#include "studio/studio_document.h"
#include "sys/system_error.h"
#include "wdf/archive_index.h"
#include "wdf/extracted_name.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

using Failure = StudioDocument::FileFailure;

bool Fail(Failure* failure, Failure::Kind what, const std::string& path, uint32_t id = 0,
          const std::string& reason = std::string()) {
  failure->What = what;
  failure->Path = path;
  failure->Id = id;
  failure->Reason = reason;
  return false;
}

// The other archive's entry `id`, with the stream positioned at its bytes.
bool FindInOtherArchive(FileSystem& files, const std::string& path, uint32_t id,
                        std::unique_ptr<Stream>* stream, uint32_t* size, Failure* failure) {
  *stream = files.OpenShared(path);
  if (!*stream) return Fail(failure, Failure::Kind::kOpenFailed, path, id, LastSystemErrorText());
  uint32_t count = 0;
  uint32_t index_offset = 0;
  if (!ReadWdfHeader(**stream, &count, &index_offset)) {
    return Fail(failure, Failure::Kind::kNotWdf, path, id);
  }
  if (FindEntryInArchive(**stream, count, index_offset, size, id) != IndexSearch::kFound) {
    return Fail(failure, Failure::Kind::kNoSuchId, path, id);
  }
  return true;
}

// The file's version, or an empty one when it cannot be read.
FileVersion VersionOf(FileSystem& files, const std::string& path) {
  FileVersion version;
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  if (stream && !stream->Version(&version)) {
    version = FileVersion();
    stream->Size(&version.Size);
  }
  return version;
}

}  // namespace

bool StudioDocument::ExtractEntries(const std::vector<uint32_t>& positions,
                                    const std::string& folder, FileFailure* failure) {
  StudioArchive& archive = *archive_;
  const std::vector<uint32_t> occurrences = IdOccurrences(archive.Entries());
  std::vector<std::pair<uint32_t, std::string>> plan;
  for (uint32_t position : positions) {
    const WdfEntry& entry = archive.Entry(position);
    if (!EntryBytesInFile(entry, archive.FileSize())) {
      return Fail(failure, FileFailure::Kind::kUnreadableEntry, archive.Path(), entry.Id);
    }
    const std::string path =
        folder + '\\' +
        ExtractedFileName(entry.Id, occurrences[position], archive.KindAt(position));
    if (files_.FileIsPresent(path)) return Fail(failure, FileFailure::Kind::kExists, path);
    plan.emplace_back(position, path);
  }
  for (const auto& file : plan) {
    std::unique_ptr<Stream> out = files_.CreateNewExclusive(file.second);
    bool written = out != nullptr;
    if (written) {
      written = archive.ReadAll(file.first,
                                [&out](const char* data, size_t n) { return out->Write(data, n); });
    }
    if (!written) {
      const std::string reason = LastSystemErrorText();
      if (out) {
        out.reset();
        files_.RemoveFile(file.second);
      }
      return Fail(failure, FileFailure::Kind::kWriteFailed, file.second, 0, reason);
    }
  }
  return true;
}

bool StudioDocument::ReadTakenBytes(const PendingChange& change, size_t limit, std::string* bytes,
                                    uint64_t* size, EntryKind* kind, FileFailure* failure) {
  bytes->clear();
  *size = 0;
  *kind = EntryKind::kData;
  std::unique_ptr<Stream> stream;
  if (change.Kind == ChangeKind::kOtherArchive) {
    uint32_t found = 0;
    if (!FindInOtherArchive(files_, change.Path, change.TakenId, &stream, &found, failure)) {
      return false;
    }
    *size = found;
  } else {
    stream = files_.OpenShared(change.Path);
    if (!stream || !stream->Size(size)) {
      return Fail(failure, FileFailure::Kind::kOpenFailed, change.Path, 0, LastSystemErrorText());
    }
  }
  bytes->resize(static_cast<size_t>(std::min<uint64_t>(*size, limit)));
  if (!bytes->empty()) bytes->resize(stream->Read(&(*bytes)[0], bytes->size()));
  *kind =
      *size == 0 ? EntryKind::kEmpty : DetectEntryKind(bytes->substr(0, kEntryKindSample), *size);
  return true;
}

bool StudioDocument::OtherArchiveHas(const std::string& path, uint32_t id, FileFailure* failure) {
  std::unique_ptr<Stream> stream;
  uint32_t size = 0;
  return FindInOtherArchive(files_, path, id, &stream, &size, failure);
}

bool StudioDocument::OpenNested(StudioDocument& parent, uint32_t position, FileFailure* failure) {
  StudioArchive& from = parent.Archive();
  const WdfEntry& entry = from.Entry(position);
  auto bytes = std::make_shared<std::string>();
  bytes->reserve(entry.Size);
  if (!from.ReadAll(position, [&bytes](const char* data, size_t n) {
        bytes->append(data, n);
        return true;
      })) {
    return Fail(failure, FileFailure::Kind::kUnreadableEntry, from.Path(), entry.Id);
  }
  auto archive = std::make_unique<StudioArchive>();
  archive->OpenBytes(std::move(bytes), FileNamePart(from.Path()) + " @" + FormatId(entry.Id));
  archive_ = std::move(archive);
  nested_ = true;
  places_ = ScriptPlaces();
  script_ = ScriptDocument(std::string());
  changes_ = PendingChanges(archive_->Count());
  rules_ = ScriptRules();
  plan_.reset();
  comparison_.reset();
  compared_path_.clear();
  return true;
}

StudioDocument::RebuildResult StudioDocument::RunRebuild(JobState& job, RunView& view,
                                                         EntryFrontEnd& front) {
  RebuildResult result;
  result.TargetPath = places_.TargetPath;
  const FileVersion before = VersionOf(files_, result.TargetPath);
  job.ScriptPath = places_.ScriptPath;
  archive_->LetGo();
  try {
    RunScriptEntry(job, files_, view, front);
  } catch (...) {
    ReleaseRun(job);
    TakeArchiveAgain(&result);
    throw;
  }
  result.BackupPath = job.BackupPath;
  ReleaseRun(job);
  const FileVersion after = VersionOf(files_, result.TargetPath);
  result.Written = !result.BackupPath.empty() || (after.Size != 0 && after != before);
  if (result.Written && !result.BackupPath.empty()) {
    // The open archive is now the backup: the list shows the new one.
    Open(archive_->Path(), &result.Problem);
    return result;
  }
  TakeArchiveAgain(&result);
  return result;
}

bool StudioDocument::Backups(std::vector<Backup>* backups) {
  backups->clear();
  std::vector<ArchiveBackup> found;
  if (!ListBackups(files_, archive_->Path(), &found)) return false;
  for (const ArchiveBackup& backup : found) {
    Backup shown;
    shown.Path = backup.Path;
    shown.Size = backup.Size;
    shown.MadeBy = MadeBy(backup);
    shown.Note = backup.Note;
    std::unique_ptr<Stream> stream = files_.OpenShared(backup.Path);
    FileVersion version;
    uint32_t count = 0;
    if (stream && stream->Version(&version)) shown.Written = version.Written;
    if (stream && ReadWdfHeader(*stream, &count, nullptr)) shown.Entries = count;
    backups->push_back(shown);
  }
  return true;
}

bool StudioDocument::RestoreBackup(const std::string& backup_path, std::string* kept,
                                   std::string* problem) {
  kept->clear();
  const std::string archive = archive_->Path();
  ArchiveBackup backup;
  backup.Path = backup_path;
  std::vector<ArchiveBackup> found;
  if (ListBackups(files_, archive, &found)) {
    for (const ArchiveBackup& listed : found) {
      if (listed.Path == backup_path) backup = listed;
    }
  }
  BackupNote note = NoteMadeNow(std::string());
  note.Restored = backup.Number;
  // The swap renames the archive, which the document's own hold would prevent.
  archive_->LetGo();
  if (!velmora::RestoreBackup(files_, archive, backup, note, kept, problem)) {
    RebuildResult ignored;
    TakeArchiveAgain(&ignored);
    return false;
  }
  problem->clear();
  Open(archive, problem);  // should it fail, the old hold's reads fail and say so
  return true;
}

void StudioDocument::TakeArchiveAgain(RebuildResult* result) {
  if (archive_->TakeAgain(files_)) return;
  // Not the file let go: it is read anew, as it is now.
  const std::string path = HasScript() ? places_.ScriptPath : archive_->Path();
  Open(path, &result->Problem);
}

}  // namespace velmora
