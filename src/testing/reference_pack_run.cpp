#include "testing/reference_pack_run.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "job/entry_rules.h"
#include "job/new_archive.h"
#include "job/paths.h"
#include "job/script.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"
#include "wdf/resource_id.h"
#include "wdf/wdf.h"

namespace velmora {

namespace {

constexpr size_t kCopyChunk = 61440;

// The first line whose name the platform's comparison finds equal to `key`, or -1.
int FindKeyByScan(const ScriptLines& script, const std::string& key) {
  for (size_t i = 0; i < script.Count(); ++i) {
    const std::string& text = script.TextAt(i);
    const size_t separator = FindChar(text, '=');
    if (separator == std::string::npos) continue;
    if (EqualIgnoringCase(text.substr(0, separator), key)) return static_cast<int>(i);
  }
  return -1;
}

bool FindInSourceByScan(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id) {
  for (uint32_t k = 0; k < count && k < job.SourceIndex.size(); ++k) {
    if (job.SourceIndex[k].Id == id) {
      entry.Offset = job.SourceIndex[k].Offset;
      entry.Size = job.SourceIndex[k].Size;
      return true;
    }
  }
  return false;
}

// One 16-byte read per probe, from the first index entry on.
IndexSearch ProbeIndex(Stream& archive, uint32_t count, uint32_t index_offset, uint32_t* size,
                       uint32_t id) {
  for (uint32_t k = 0; k < count; ++k) {
    unsigned char record[kWdfEntrySize];
    if (!archive.Seek(index_offset + uint64_t{k} * kWdfEntrySize) ||
        archive.Read(record, sizeof record) != sizeof record) {
      return IndexSearch::kReadFailed;
    }
    const WdfEntry entry = DecodeWdfEntry(record);
    if (entry.Id != id) continue;
    if (!archive.Seek(entry.Offset)) return IndexSearch::kReadFailed;
    *size = entry.Size;
    return IndexSearch::kFound;
  }
  return IndexSearch::kNotFound;
}

class PlainStep {
 public:
  PlainStep(JobState& job, FileSystem& files, Stream& source, uint32_t count, WdfEntry& entry)
      : job_(job), files_(files), source_(source), count_(count), entry_(entry) {}

  bool Run() {
    Stream& target = *job_.TargetStream;
    position_ = target.Position();
    slot_ = job_.TargetCount++;
    job_.TargetIndex[slot_] = WdfEntry{entry_.Id, static_cast<uint32_t>(position_), 0, 0};
    const int line = FindKeyByScan(*job_.Script, EntryKey(entry_.Id));
    if (line < 0) return Keep();
    job_.Script->SetUsedMark(static_cast<size_t>(line));
    job_.ErrorRule = CleanScriptValue(job_.Script->TextAt(static_cast<size_t>(line)), true);
    const std::string value = CleanScriptValue(ScriptValueAt(*job_.Script, line), true);
    if (value.empty()) return Keep();
    uint32_t id = 0;
    if (value[0] == '@') {
      const std::string rest = value.substr(1);
      if (ParseHexId(rest, &id)) {
        if (!FindInSourceByScan(job_, entry_, count_, id)) {
          return Fail(MessageKey::MsgInternalIdNotFound, {rest});
        }
        return Keep();
      }
      if (EqualFoldingAscii(rest, "Delete")) {
        --job_.TargetCount;
        return true;
      }
      return Fail(MessageKey::MsgInternalIdInvalid, {rest});
    }
    const std::string segment = LastPathSegment(value);
    if (segment.empty()) return Fail(MessageKey::MsgExternalRefInvalid, {value});
    if (segment[0] == '@') return TakeFromArchive(value, segment.substr(1));
    return TakeFile(job_.ScriptDir + value);
  }

 private:
  bool Fail(MessageKey key, std::initializer_list<FormatArg> args) {
    job_.ErrorText = Message(key, args);
    return false;
  }

  bool Keep() {
    if (entry_.Size != 0 && !source_.Seek(entry_.Offset)) {
      return Fail(MessageKey::MsgSourceNotWdf, {job_.SourcePath});
    }
    return Copy(source_, entry_.Size, MessageKey::MsgSourceNotWdf, job_.SourcePath);
  }

  bool TakeFromArchive(const std::string& value, const std::string& id_text) {
    const std::string path = DirectoryPart(job_.SourcePath) + PathBeforeLastSlash(value);
    uint32_t id = 0;
    if (!ParseHexId(id_text, &id)) return Fail(MessageKey::MsgExternalIdInvalid, {path, id_text});
    if (!files_.FileIsPresent(path)) return Fail(MessageKey::MsgRefArchiveNotFound, {path});
    std::unique_ptr<Stream> archive = files_.OpenShared(path);
    if (!archive) return Fail(MessageKey::MsgRefArchiveOpenFailed, {path, LastSystemErrorText()});
    uint32_t count = 0, index_offset = 0, size = 0;
    if (!ReadWdfHeader(*archive, &count, &index_offset)) {
      return Fail(MessageKey::MsgRefArchiveNotWdf, {path});
    }
    switch (ProbeIndex(*archive, count, index_offset, &size, id)) {
      case IndexSearch::kFound:
        return Copy(*archive, size, MessageKey::MsgRefArchiveNotWdf, path);
      case IndexSearch::kNotFound:
        return Fail(MessageKey::MsgRefArchiveIdNotFound, {path, id_text});
      case IndexSearch::kReadFailed:
        break;
    }
    return Fail(MessageKey::MsgRefArchiveNotWdf, {path});
  }

  bool TakeFile(const std::string& path) {
    if (!files_.FileIsPresent(path)) return Fail(MessageKey::MsgRefFileNotFound, {path});
    std::unique_ptr<Stream> file = files_.OpenShared(path);
    if (!file) return Fail(MessageKey::MsgRefFileOpenFailed, {path, LastSystemErrorText()});
    uint64_t size = 0;
    if (!file->Size(&size)) return Fail(MessageKey::MsgRefFileReadFailed, {path});
    if (size > 0xFFFFFFFFu) return Fail(MessageKey::MsgRefFileTooLarge, {path});
    return Copy(*file, size, MessageKey::MsgRefFileReadFailed, path);
  }

  bool Copy(Stream& from, uint64_t size, MessageKey read_failure, const std::string& read_path) {
    if (!EntryFitsWdf(position_, size))
      return Fail(MessageKey::MsgTargetTooLarge, {job_.TargetPath});
    job_.TargetIndex[slot_].Size = static_cast<uint32_t>(size);
    std::vector<unsigned char> chunk(static_cast<size_t>(std::min<uint64_t>(size, kCopyChunk)));
    while (size > 0) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(size, kCopyChunk));
      if (from.Read(chunk.data(), n) != n) return Fail(read_failure, {read_path});
      if (!job_.TargetStream->Write(chunk.data(), n)) {
        return Fail(MessageKey::MsgTargetWriteFailed, {job_.TargetPath, LastSystemErrorText()});
      }
      size -= n;
    }
    return true;
  }

  JobState& job_;
  FileSystem& files_;
  Stream& source_;
  uint32_t count_;
  WdfEntry& entry_;
  uint64_t position_ = 0;
  size_t slot_ = 0;
};

// The new entries of a script with #AddEntries=yes, found the plain way: each line in order
// whose name is '@' and eight hexadecimal digits, whose id no source entry has, and which is the
// first line of its name. Sorted when the source's ids ascend strictly.
struct PlainNewEntries {
  bool ById = true;
  std::vector<uint32_t> Ids;
};

PlainNewEntries FindNewEntriesByScan(const JobState& job) {
  PlainNewEntries found;
  const ScriptLines& script = *job.Script;
  const int key = FindKeyByScan(script, "#AddEntries");
  if (key < 0 || !EqualFoldingAscii(CleanScriptValue(ScriptValueAt(script, key), true), "yes")) {
    return found;
  }
  for (size_t k = 1; k < job.SourceIndex.size(); ++k) {
    if (job.SourceIndex[k - 1].Id >= job.SourceIndex[k].Id) found.ById = false;
  }
  for (size_t i = 0; i < script.Count(); ++i) {
    const std::string& text = script.TextAt(i);
    const size_t separator = FindChar(text, '=');
    uint32_t id = 0;
    if (separator != 9 || text[0] != '@' || !ParseHexId(text.substr(1, 8), &id)) continue;
    WdfEntry probe;
    if (FindInSourceByScan(job, probe, job.SourceCount, id)) continue;
    if (FindKeyByScan(script, EntryKey(id)) != static_cast<int>(i)) continue;
    found.Ids.push_back(id);
  }
  if (found.ById) std::sort(found.Ids.begin(), found.Ids.end());
  return found;
}

// A new entry is written as its line says, unless the line asks to keep or delete: there is
// nothing to keep or delete, and the line stays not executed.
bool AddPlainEntry(JobState& job, FileSystem& files, Stream& source, uint32_t count, uint32_t id) {
  const int line = FindKeyByScan(*job.Script, EntryKey(id));
  const std::string value = CleanScriptValue(ScriptValueAt(*job.Script, line), true);
  uint32_t ignored = 0;
  if (value.empty() || (value[0] == '@' && !ParseHexId(value.substr(1), &ignored) &&
                        EqualFoldingAscii(value.substr(1), "Delete"))) {
    return true;
  }
  WdfEntry entry{id, 0, 0, 0};
  if (!PlainStep(job, files, source, count, entry).Run()) return false;
  ++job.AddedCount;
  return true;
}

bool WriteArchive(JobState& job, FileSystem& files, RunView& view) {
  const auto write_failed = [&job] {
    job.ErrorText =
        Message(MessageKey::MsgTargetWriteFailed, {job.TargetPath, LastSystemErrorText()});
    return false;
  };
  WdfWriter writer(*job.TargetStream);
  if (!writer.WritePlaceholderHeader()) return write_failed();
  const uint32_t count = job.SourceCount;
  job.SourceIndex.assign(count, WdfEntry{});
  job.TargetIndex.assign(count, WdfEntry{});
  std::vector<unsigned char> bytes(size_t{count} * kWdfEntrySize);
  Stream& source = *job.SourceStream;
  if (count > 0 && (!source.Seek(job.SourceIndexOffset) ||
                    source.Read(bytes.data(), bytes.size()) != bytes.size())) {
    job.ErrorText = Message(MessageKey::MsgSourceNotWdf, {job.SourcePath});
    return false;
  }
  for (uint32_t k = 0; k < count; ++k) {
    job.SourceIndex[k] = DecodeWdfEntry(bytes.data() + size_t{k} * kWdfEntrySize);
  }
  const PlainNewEntries added = FindNewEntriesByScan(job);
  job.TargetIndex.resize(count + added.Ids.size());  // room for every entry that may be written
  size_t next = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (view.StopRequested()) return false;
    uint64_t size = 0;
    if (!source.Size(&size) || !EntryInBounds(job.SourceIndex[i], size, count)) {
      job.ErrorText = Message(MessageKey::MsgSourceNotWdf, {job.SourcePath});
      return false;
    }
    while (added.ById && next < added.Ids.size() && added.Ids[next] < job.SourceIndex[i].Id) {
      if (!AddPlainEntry(job, files, source, count, added.Ids[next++])) return false;
    }
    view.ReportProgress(i, job.SourceCount);
    if (!PlainStep(job, files, source, count, job.SourceIndex[i]).Run()) return false;
  }
  while (next < added.Ids.size()) {
    if (!AddPlainEntry(job, files, source, count, added.Ids[next++])) return false;
  }
  bool too_large = false;
  if (writer.Finish(job.TargetIndex.data(), job.TargetCount, &too_large)) return true;
  if (!too_large) return write_failed();
  job.ErrorText = Message(MessageKey::MsgTargetTooLarge, {job.TargetPath});
  return false;
}

}  // namespace

void ReferenceRunPack(JobState& job, FileSystem& files, RunView& view) {
  bool complete = WriteArchive(job, files, view);
  std::vector<WdfEntry>().swap(job.SourceIndex);
  std::vector<WdfEntry>().swap(job.TargetIndex);
  if (complete) {
    job.TargetStream.reset();
    job.OldTarget.reset();
    if (job.TargetWritePath != job.TargetPath &&
        !files.RenameReplacing(job.TargetWritePath, job.TargetPath)) {
      job.ErrorText =
          Message(MessageKey::MsgTargetReplaceFailed, {job.TargetPath, LastSystemErrorText()});
      complete = false;
    }
  }
  if (!complete) DiscardNewArchive(job, files);
  view.RunFinished();
}

}  // namespace velmora
