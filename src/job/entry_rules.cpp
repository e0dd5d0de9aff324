// The entry rules: for one source entry, find its rule line, decide what the rule asks for and
// append the chosen bytes to the new archive.
#include "job/entry_rules.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "job/paths.h"
#include "job/script.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "wdf/resource_id.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

Rule ClassifyRuleValue(const std::string& value) {
  Rule rule;
  if (value.empty()) return rule;
  if (value[0] == '@') {
    rule.IdText = value.substr(1);
    uint32_t id = 0;
    // A hexadecimal id comes before the word, so that "@DE" is the id 0xDE.
    if (ParseHexId(rule.IdText, &id)) {
      rule.Kind = RuleKind::kInternalReference;
    } else if (EqualFoldingAscii(rule.IdText, "Delete")) {
      rule.Kind = RuleKind::kDelete;
    } else {
      rule.Kind = RuleKind::kInternalIdInvalid;
    }
    return rule;
  }
  const std::string segment = LastPathSegment(value);
  if (segment.empty()) {
    rule.Kind = RuleKind::kExternalRefInvalid;
  } else if (segment[0] == '@') {
    rule.Kind = RuleKind::kArchiveEntry;
    rule.IdText = segment.substr(1);
  } else {
    rule.Kind = RuleKind::kExternalFile;
  }
  return rule;
}

namespace {

// One entry's work: the job, the new index entry reserved for it and the target's position.
class EntryResolver {
 public:
  EntryResolver(JobState& job, FileSystem& files, RunBuffers& buffers, Stream& source,
                uint32_t count, WdfEntry& entry)
      : job_(job),
        files_(files),
        buffers_(buffers),
        source_(source),
        count_(count),
        entry_(entry) {}

  bool Resolve();

 private:
  // Records a failure, unless writing the bytes held back fails first: that write belongs to an
  // earlier entry, whose failure comes first.
  bool Fail(MessageKey key, std::initializer_list<FormatArg> args) {
    if (!WriteHeldBytes(job_, buffers_)) return false;
    job_.ErrorText = Message(key, args);
    return false;
  }
  WdfEntry& Reserved() { return job_.TargetIndex[slot_]; }
  // The target's name belongs to the run until it ends, whether the old target is held there
  // or the new archive has not yet taken it: a rule reading from it is refused as an open of a
  // file held without sharing.
  bool NamesTheTarget(const std::string& path) const {
    return EqualFoldingAscii(path, job_.TargetPath);
  }
  static std::string HeldFileText() {
    SetLastSystemError(SystemErrorSharingViolation());
    return LastSystemErrorText();
  }

  void Reserve();
  bool CopyKept(bool own_bytes);
  bool TakeInternalReference(const Rule& rule);
  bool TakeArchiveEntry(const std::string& value, const Rule& rule);
  bool TakeExternalFile(const std::string& value);
  // Appends `size` bytes as the reserved entry's bytes, copied by `copy`. Bytes that do not
  // arrive fail with `read_failure` naming `read_path`.
  template <typename Copy>
  bool AppendBytes(uint64_t size, MessageKey read_failure, const std::string& read_path, Copy copy);

  JobState& job_;
  FileSystem& files_;
  RunBuffers& buffers_;
  Stream& source_;
  uint32_t count_;
  WdfEntry& entry_;
  size_t slot_ = 0;
  uint64_t target_position_ = 0;
};

void EntryResolver::Reserve() {
  target_position_ = buffers_.Target.Position();
  slot_ = job_.TargetCount;
  if (job_.TargetIndex.size() <= slot_) job_.TargetIndex.resize(slot_ + 1);
  WdfEntry reserved;
  reserved.Id = entry_.Id;
  // Every entry written so far fits in 32 bits (checked before it was written).
  reserved.Offset = static_cast<uint32_t>(target_position_);
  reserved.Size = 0;
  reserved.Space = 0;
  Reserved() = reserved;
  ++job_.TargetCount;
}

bool EntryResolver::Resolve() {
  Reserve();
  ScriptLines* script = job_.Script.get();
  const int line = script ? FindScriptKey(*script, EntryKey(entry_.Id)) : -1;
  if (line < 0) return CopyKept(true);

  // What was written before this line is reached must be on disk first: a write that fails
  // ends the run before any rule line after it counts as reached.
  if (!WriteHeldBytes(job_, buffers_)) return false;
  // The line counts as reached, and names the failing rule, whatever its value turns out to be.
  script->SetUsedMark(static_cast<size_t>(line));
  job_.ErrorRule = CleanScriptValue(script->TextAt(static_cast<size_t>(line)), true);

  const std::string value = CleanScriptValue(ScriptValueAt(*script, line), true);
  const Rule rule = ClassifyRuleValue(value);
  switch (rule.Kind) {
    case RuleKind::kKeep:
      return CopyKept(true);
    case RuleKind::kInternalReference:
      return TakeInternalReference(rule);
    case RuleKind::kDelete:
      --job_.TargetCount;  // the reservation goes back to the next entry
      return true;
    case RuleKind::kInternalIdInvalid:
      return Fail(MessageKey::MsgInternalIdInvalid, {rule.IdText});
    case RuleKind::kExternalRefInvalid:
      return Fail(MessageKey::MsgExternalRefInvalid, {value});
    case RuleKind::kArchiveEntry:
      return TakeArchiveEntry(value, rule);
    case RuleKind::kExternalFile:
      return TakeExternalFile(value);
  }
  return Fail(MessageKey::MsgInternalIdInvalid, {value});
}

// `own_bytes`: the entry keeps the bytes it has in the source, where the walk stands.
bool EntryResolver::CopyKept(bool own_bytes) {
  return AppendBytes(entry_.Size, MessageKey::MsgSourceNotWdf, job_.SourcePath,
                     [this, own_bytes](EntryCopier& copier) {
                       return copier.CopyFromSource(source_, entry_.Offset, entry_.Size, own_bytes);
                     });
}

bool EntryResolver::TakeInternalReference(const Rule& rule) {
  uint32_t id = 0;
  ParseHexId(rule.IdText, &id);
  // The found entry's Offset and Size replace this entry's own inside SourceIndex, for the rest
  // of the run: a later reference to this entry's Id takes the bytes it was given here.
  if (!FindEntryInSource(job_, entry_, count_, id)) {
    return Fail(MessageKey::MsgInternalIdNotFound, {rule.IdText});
  }
  return CopyKept(false);
}

bool EntryResolver::TakeArchiveEntry(const std::string& value, const Rule& rule) {
  const std::string path = DirectoryPart(job_.SourcePath) + PathBeforeLastSlash(value);
  uint32_t id = 0;
  if (!ParseHexId(rule.IdText, &id)) {
    return Fail(MessageKey::MsgExternalIdInvalid, {ShownPath(path), rule.IdText});
  }
  if (NamesTheTarget(path)) {
    return Fail(MessageKey::MsgRefArchiveOpenFailed, {ShownPath(path), HeldFileText()});
  }
  // An archive held from an earlier reference is still there and would open again.
  Stream* archive = buffers_.Archives.Held(path);
  std::unique_ptr<Stream> opened;
  if (!archive) {
    if (!files_.FileIsPresentForReading(path))
      return Fail(MessageKey::MsgRefArchiveNotFound, {ShownPath(path)});
    opened = files_.OpenShared(path);
    if (!opened) {
      return Fail(MessageKey::MsgRefArchiveOpenFailed,
                  {ShownPath(path), FileFailureReason(ShownPath(path))});
    }
    archive = opened.get();
  }
  uint32_t size = 0;
  switch (buffers_.Archives.Find(path, *archive, id, &size)) {
    case ArchiveLookup::kFound:
      break;
    case ArchiveLookup::kNotFound:
      return Fail(MessageKey::MsgRefArchiveIdNotFound, {ShownPath(path), rule.IdText});
    case ArchiveLookup::kNotWdf:
    case ArchiveLookup::kReadFailed:
      return Fail(MessageKey::MsgRefArchiveNotWdf, {ShownPath(path)});
  }
  const bool copied =
      AppendBytes(size, MessageKey::MsgRefArchiveNotWdf, path,
                  [archive, size](EntryCopier& copier) { return copier.CopyFrom(*archive, size); });
  if (opened && files_.HeldFilesStayInPlace()) buffers_.Archives.Hold(path, std::move(opened));
  return copied;
}

bool EntryResolver::TakeExternalFile(const std::string& value) {
  const std::string path = job_.ScriptDir + value;
  if (NamesTheTarget(path))
    return Fail(MessageKey::MsgRefFileOpenFailed, {ShownPath(path), HeldFileText()});
  if (!files_.FileIsPresentForReading(path))
    return Fail(MessageKey::MsgRefFileNotFound, {ShownPath(path)});
  std::unique_ptr<Stream> file = files_.OpenShared(path);
  if (!file)
    return Fail(MessageKey::MsgRefFileOpenFailed,
                {ShownPath(path), FileFailureReason(ShownPath(path))});
  uint64_t size = 0;
  if (!file->Size(&size)) return Fail(MessageKey::MsgRefFileReadFailed, {ShownPath(path)});
  // A 32-bit Size cannot describe the file; cutting it would store a wrong part of it.
  if (size > 0xFFFFFFFFu) return Fail(MessageKey::MsgRefFileTooLarge, {ShownPath(path)});
  return AppendBytes(size, MessageKey::MsgRefFileReadFailed, path,
                     [&file, size](EntryCopier& copier) { return copier.CopyFrom(*file, size); });
}

template <typename Copy>
bool EntryResolver::AppendBytes(uint64_t size, MessageKey read_failure,
                                const std::string& read_path, Copy copy) {
  // Offsets of the format are 32-bit: an entry that would end beyond them is refused before a
  // byte of it is written.
  if (!EntryFitsWdf(target_position_, size)) {
    return Fail(MessageKey::MsgTargetTooLarge, {ShownPath(job_.TargetPath)});
  }
  Reserved().Size = static_cast<uint32_t>(size);
  switch (copy(buffers_.Copier)) {
    case CopyResult::kDone:
      return true;
    case CopyResult::kReadShort:
      return Fail(read_failure, {ShownPath(read_path)});
    case CopyResult::kWriteFailed:
      job_.ErrorText = Message(MessageKey::MsgTargetWriteFailed,
                               {ShownPath(job_.TargetPath), LastSystemErrorText()});
      return false;
  }
  return false;
}

}  // namespace

void BuildSourceIdLookup(JobState& job) {
  std::vector<std::pair<uint32_t, uint32_t>>& first = job.SourceIds.FirstIndexOfId;
  first.clear();
  first.reserve(job.SourceIndex.size());
  for (size_t i = 0; i < job.SourceIndex.size(); ++i) {
    first.emplace_back(job.SourceIndex[i].Id, static_cast<uint32_t>(i));
  }
  // Sorted by Id and then index, the first pair of each Id holds its first index.
  std::sort(first.begin(), first.end());
  first.erase(std::unique(first.begin(), first.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              first.end());
  job.SourceIds.Built = true;
}

bool FindEntryInSource(const JobState& job, WdfEntry& entry, uint32_t count, uint32_t id) {
  const size_t searched = std::min<size_t>(count, job.SourceIndex.size());
  size_t found = searched;
  if (job.SourceIds.Built) {
    const auto& first = job.SourceIds.FirstIndexOfId;
    const auto it = std::lower_bound(first.begin(), first.end(), std::make_pair(id, uint32_t{0}));
    if (it != first.end() && it->first == id) found = it->second;
  } else {
    for (size_t k = 0; k < searched; ++k) {
      if (job.SourceIndex[k].Id == id) {
        found = k;
        break;
      }
    }
  }
  if (found >= searched) return false;
  const WdfEntry& match = job.SourceIndex[found];
  entry.Offset = match.Offset;
  entry.Size = match.Size;
  return true;
}

bool ResolveNewEntry(JobState& job, FileSystem& files, RunBuffers& buffers, Stream& source,
                     uint32_t count, uint32_t id) {
  const int line = job.Script ? FindScriptKey(*job.Script, EntryKey(id)) : -1;
  if (line < 0) return true;
  const RuleKind kind =
      ClassifyRuleValue(CleanScriptValue(ScriptValueAt(*job.Script, line), true)).Kind;
  if (kind == RuleKind::kKeep || kind == RuleKind::kDelete) return true;
  WdfEntry entry;
  entry.Id = id;
  if (!EntryResolver(job, files, buffers, source, count, entry).Resolve()) return false;
  ++job.AddedCount;
  return true;
}

bool WriteHeldBytes(JobState& job, RunBuffers& buffers) {
  if (buffers.Target.WriteHeld()) return true;
  job.ErrorText =
      Message(MessageKey::MsgTargetWriteFailed, {ShownPath(job.TargetPath), LastSystemErrorText()});
  return false;
}

bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, RunBuffers& buffers,
                  Stream& source, uint32_t count, uint32_t i, WdfEntry& entry) {
  view.ReportProgress(i, job.SourceCount);
  return EntryResolver(job, files, buffers, source, count, entry).Resolve();
}

}  // namespace velmora
