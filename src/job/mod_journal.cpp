#include "job/mod_journal.h"

#include <memory>

#include "job/archive_backups.h"
#include "job/paths.h"
#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

const char kJournalName[] = "velmora-mod.vlmjournal";
const char kHeader[] = "velmora mod journal 1";
const char kEnd[] = "end";

bool Present(FileSystem& files, const std::string& path) {
  return !path.empty() && files.FileIsPresent(path);
}

uint64_t SizeOf(FileSystem& files, const std::string& path) {
  uint64_t size = 0;
  if (!Present(files, path)) return 0;
  if (std::unique_ptr<Stream> stream = files.OpenShared(path)) stream->Size(&size);
  return size;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator) {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

// The archive's new bytes can still take its name: they wait, written in full, under the
// temporary name, or they have taken it already (the old archive is its backup).
bool NewBytesAtHand(FileSystem& files, const ModArchive& archive) {
  if (Present(files, archive.Temporary)) return WrittenInFull(files, archive.Temporary);
  return Present(files, archive.Archive) && SizeOf(files, archive.Backup) > 0;
}

// The two renames of one archive, each only when its files say it is still to be done.
bool PlaceNew(FileSystem& files, const ModArchive& archive, std::string* failure) {
  if (!Present(files, archive.Temporary)) return true;
  if (Present(files, archive.Archive) && !files.RenameReplacing(archive.Archive, archive.Backup)) {
    *failure =
        Message(MessageKey::MsgBackupFailed, {ShownPath(archive.Archive), LastSystemErrorText()});
    return false;
  }
  if (!files.RenameReplacing(archive.Temporary, archive.Archive)) {
    *failure = Message(MessageKey::MsgTargetReplaceFailed,
                       {ShownPath(archive.Archive), LastSystemErrorText()});
    return false;
  }
  return true;
}

// The old archive back under its name; the new one, an empty reservation and its note removed.
bool PutBackOld(FileSystem& files, const ModArchive& archive) {
  if (SizeOf(files, archive.Backup) > 0 &&
      !files.RenameReplacing(archive.Backup, archive.Archive)) {
    return false;
  }
  if (Present(files, archive.Temporary) && !files.RemoveFile(archive.Temporary)) return false;
  if (archive.Backup.empty()) return true;  // no name was reserved yet
  if (Present(files, archive.Backup) && !files.RemoveFile(archive.Backup)) return false;
  const std::string note = BackupNoteName(archive.Backup);
  return !Present(files, note) || files.RemoveFile(note);
}

bool GoBack(FileSystem& files, const std::string& journal_path, const ModJournal& journal) {
  bool all = true;
  for (const ModArchive& archive : journal.Archives) all = PutBackOld(files, archive) && all;
  return all && (!Present(files, journal_path) || files.RemoveFile(journal_path));
}

// The end of a transaction that went forward: the record for an undo, then the journal gone.
bool FinishForward(FileSystem& files, const std::string& journal_path, const ModJournal& journal,
                   std::string* failure) {
  if (!journal.Record.empty()) {
    ModJournal record;
    record.Archives = journal.Archives;
    for (ModArchive& archive : record.Archives) archive.Temporary.clear();
    if (!WriteWholeFile(files, journal.Record, FormatModJournal(record))) {
      *failure = Message(MessageKey::MsgTargetWriteFailed,
                         {ShownPath(journal.Record), LastSystemErrorText()});
      return false;
    }
  }
  if (Present(files, journal.Retire) && !files.RemoveFile(journal.Retire)) {
    *failure = Message(MessageKey::MsgTargetWriteFailed,
                       {ShownPath(journal.Retire), LastSystemErrorText()});
    return false;
  }
  if (files.RemoveFile(journal_path)) return true;
  *failure =
      Message(MessageKey::MsgTargetWriteFailed, {ShownPath(journal_path), LastSystemErrorText()});
  return false;
}

ModCompletion Complete(FileSystem& files, const std::string& journal_path,
                       const ModJournal& journal, std::string* failure) {
  bool forward = true;
  for (const ModArchive& archive : journal.Archives) {
    forward = forward && NewBytesAtHand(files, archive);
  }
  if (forward) {
    bool placed = true;
    for (const ModArchive& archive : journal.Archives) {
      placed = placed && PlaceNew(files, archive, failure);
    }
    if (placed) {
      return FinishForward(files, journal_path, journal, failure) ? ModCompletion::kForward
                                                                  : ModCompletion::kUnfinished;
    }
  }
  return GoBack(files, journal_path, journal) ? ModCompletion::kBack : ModCompletion::kUnfinished;
}

}  // namespace

std::string ModJournalPath(const std::string& base_dir) { return base_dir + kJournalName; }

std::string ModTemporaryName(const std::string& archive_path, int attempt) {
  std::string path = archive_path + ".vlmmod";
  if (attempt > 0) path += std::to_string(attempt);
  return path;
}

std::string FormatModJournal(const ModJournal& journal) {
  std::string text = std::string(kHeader) + "\n";
  text += "record\t" + journal.Record + "\n";
  text += "retire\t" + journal.Retire + "\n";
  for (const ModArchive& archive : journal.Archives) {
    text += "archive\t" + archive.Archive + "\t" + archive.Backup + "\t" + archive.Temporary + "\n";
  }
  return text + kEnd + "\n";
}

bool ParseModJournal(const std::string& text, ModJournal* journal) {
  std::vector<std::string> lines = Split(text, '\n');
  // The text ends with a line break: the last part is empty.
  if (lines.size() < 4 || lines[0] != kHeader || !lines.back().empty() ||
      lines[lines.size() - 2] != kEnd) {
    return false;
  }
  *journal = ModJournal();
  for (size_t i = 1; i + 2 < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i], '\t');
    if (i == 1 && fields.size() == 2 && fields[0] == "record") {
      journal->Record = fields[1];
    } else if (i == 2 && fields.size() == 2 && fields[0] == "retire") {
      journal->Retire = fields[1];
    } else if (i > 2 && fields.size() == 4 && fields[0] == "archive" && !fields[1].empty() &&
               !fields[2].empty()) {
      journal->Archives.push_back({fields[1], fields[2], fields[3]});
    } else {
      return false;
    }
  }
  return !journal->Archives.empty();
}

bool WriteWholeFile(FileSystem& files, const std::string& path, const std::string& bytes) {
  const std::string temporary = TemporaryArchiveName(path, 0);
  std::unique_ptr<Stream> out = files.CreateExclusive(temporary);
  if (!out) return false;
  const bool written = out->Write(bytes.data(), bytes.size()) && out->Flush();
  out.reset();
  if (written && files.RenameReplacing(temporary, path)) return true;
  const unsigned long reason = LastSystemError();
  files.RemoveFile(temporary);
  SetLastSystemError(reason);
  return false;
}

bool ReadWholeFile(FileSystem& files, const std::string& path, std::string* bytes) {
  std::unique_ptr<Stream> in = files.OpenShared(path);
  uint64_t size = 0;
  if (!in || !in->Size(&size) || size > (1u << 24)) return false;
  bytes->assign(static_cast<size_t>(size), '\0');
  return size == 0 || in->Read(&(*bytes)[0], bytes->size()) == bytes->size();
}

ModCompletion CompleteModJournal(FileSystem& files, const std::string& journal_path,
                                 std::string* failure) {
  std::string text;
  ModJournal journal;
  if (!ReadWholeFile(files, journal_path, &text) || !ParseModJournal(text, &journal)) {
    *failure = Message(MessageKey::MsgModJournalUnreadable, {ShownPath(journal_path)});
    return ModCompletion::kUnfinished;
  }
  return Complete(files, journal_path, journal, failure);
}

ModCompletion CommitMod(FileSystem& files, const std::string& journal_path, ModJournal& journal,
                        const std::vector<BackupNote>& notes, std::string* failure) {
  const auto give_up = [&](std::string message) {
    *failure = std::move(message);
    const unsigned long reason = LastSystemError();
    GoBack(files, journal_path, journal);
    SetLastSystemError(reason);
    return ModCompletion::kBack;
  };
  for (size_t k = 0; k < journal.Archives.size(); ++k) {
    ModArchive& archive = journal.Archives[k];
    archive.Backup.clear();
    if (!ReserveBackupName(files, archive.Archive, &archive.Backup)) {
      return give_up(Message(MessageKey::MsgBackupFailed,
                             {ShownPath(archive.Archive), LastSystemErrorText()}));
    }
    if (k < notes.size()) WriteBackupNote(files, archive.Backup, notes[k]);
  }
  if (!WriteWholeFile(files, journal_path, FormatModJournal(journal))) {
    return give_up(Message(MessageKey::MsgTargetWriteFailed,
                           {ShownPath(journal_path), LastSystemErrorText()}));
  }
  return Complete(files, journal_path, journal, failure);
}

void DiscardCutShortJournal(FileSystem& files, const std::string& journal_path) {
  const std::string temporary = TemporaryArchiveName(journal_path, 0);
  if (files.FileIsPresent(temporary)) files.RemoveFile(temporary);
}

void DiscardModTemporaries(FileSystem& files, const ModJournal& journal) {
  for (const ModArchive& archive : journal.Archives) {
    if (!archive.Temporary.empty()) files.RemoveFile(archive.Temporary);
  }
}

}  // namespace velmora
