// The entry rules: for one source entry, find its rule line, decide what the rule asks for and
// append the chosen bytes to the new archive.
#include "job/entry_rules.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "job/added_entries.h"
#include "job/paths.h"
#include "job/script.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "wdf/id_search.h"
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

// Lines waiting for their bytes, at most: beyond them the bytes are written and the lines
// marked, so that a long stretch of entries without bytes (deleted ones) takes no more room.
constexpr size_t kMostWaitingLines = 4096;

// Printable ASCII other than the hyphen and the apostrophe: the script finds such a name only
// by the text it has apart from letter case, the way it tells names apart for its lookup.
bool IsPlainName(const std::string& name) {
  for (char c : name) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '-' || c == '\'') return false;
  }
  return true;
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

// Every name is one of three: an entry key ('@' and eight hexadecimal digits), found by its id;
// another plain name, which no entry key equals; or a name that only the system's comparison
// can tell from an entry key. Every entry key begins with '@', and the system weighs a text from
// its first character on, so such a name can equal one only when its comparison key begins as
// that of "@" does. A name beginning with a letter or a digit never does; any other is asked.
// Should one remain that may, the table is not used at all and each id is looked up in the
// script, exactly as before.
void EntryRuleLines::Build(const ScriptLines& script) {
  built_ = true;
  by_id_ = true;
  std::string at_key;
  const bool at_keyed = ComparisonKey("@", &at_key);
  // The weights of '@' itself: what comes before the first separator of the key's levels.
  size_t at_weights = 0;
  while (at_weights < at_key.size() && static_cast<unsigned char>(at_key[at_weights]) > 1) {
    ++at_weights;
  }
  std::string key;
  for (size_t k = 0; k < script.Count(); ++k) {
    const int line = static_cast<int>(k);
    const std::string name = ScriptNameAt(script, line);
    uint32_t id = 0;
    if (RuleLineId(name, &id)) {
      lines_.emplace_back(id, line);
      continue;
    }
    if (name.empty() || IsPlainName(name) || IsAsciiLetterOrDigit(name[0])) continue;
    if (!at_keyed || at_weights == 0 || !ComparisonKey(name, &key) ||
        key.compare(0, at_weights, at_key, 0, at_weights) == 0) {
      by_id_ = false;
      std::vector<std::pair<uint32_t, int>>().swap(lines_);
      return;
    }
  }
  // By id, and by line within an id: the first pair of each id holds the line a lookup finds.
  std::sort(lines_.begin(), lines_.end());
  lines_.erase(std::unique(lines_.begin(), lines_.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               lines_.end());
}

int EntryRuleLines::Find(const ScriptLines& script, uint32_t id) {
  if (!built_) Build(script);
  if (!by_id_) return FindScriptKey(script, EntryKey(id));
  // Ids asked in ascending order are found a step or two beyond the last lookup.
  const auto by_line = [](const std::pair<uint32_t, int>& a) { return a.first; };
  const auto found =
      LowerBoundIdFrom(lines_.begin(), lines_.end(),
                       lines_.begin() + static_cast<std::ptrdiff_t>(next_), id, by_line);
  next_ = static_cast<size_t>(found - lines_.begin());
  return found != lines_.end() && found->first == id ? found->second : -1;
}

ReachedRules::~ReachedRules() {
  Settle(UINT64_MAX);
  NameLast();
}

void ReachedRules::Reach(JobState& job, int line, uint64_t position) {
  job_ = &job;
  waiting_.push_back({position, line});
}

void ReachedRules::Settle(uint64_t written) {
  size_t settled = 0;
  for (; settled < waiting_.size() && waiting_[settled].Position <= written; ++settled) {
    last_marked_ = waiting_[settled].Line;
    if (job_->Script) job_->Script->SetUsedMark(static_cast<size_t>(last_marked_));
  }
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(settled));
}

void ReachedRules::GiveBackAfter(uint64_t failed_at) {
  Settle(failed_at);
  waiting_.clear();
}

void ReachedRules::NameLast() noexcept {
  const int line = waiting_.empty() ? last_marked_ : waiting_.back().Line;
  if (line < 0 || !job_ || !job_->Script) return;
  try {
    job_->ErrorRule = CleanScriptValue(job_->Script->TextAt(static_cast<size_t>(line)), true);
  } catch (...) {
    // Without memory for the text, the rule named before stays.
  }
}

namespace {

// The file a rule's cleaned value names as a whole file, beside the script.
std::string RuleFilePath(const JobState& job, const std::string& value) {
  return job.ScriptDir + value;
}

// The target's name belongs to the run until it ends, whether the old target is held there or
// the new archive has not yet taken it: a rule reading from it is refused as an open of a file
// held without sharing.
bool NamesTheTarget(const JobState& job, const std::string& path) {
  return EqualFoldingAscii(path, job.TargetPath);
}

// The write of the new archive's bytes failed: the lines reached after the byte that did not
// arrive are given back, and the failure is the run's.
bool TargetWriteFailed(JobState& job, RunBuffers& buffers) {
  const std::string reason = LastSystemErrorText();
  buffers.Reached.GiveBackAfter(buffers.Target.FailedAt());
  job.ErrorText = Message(MessageKey::MsgTargetWriteFailed, {ShownPath(job.TargetPath), reason});
  return false;
}

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
  static std::string HeldFileText() {
    SetLastSystemError(SystemErrorSharingViolation());
    return LastSystemErrorText();
  }

  void Reserve();
  bool ReachLine(int line);
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

// The line counts as reached, and names the failing rule, whatever its value turns out to be.
// Its mark waits for the bytes written before it: should one of them fail to reach the file, the
// run ends there and the line was never reached.
bool EntryResolver::ReachLine(int line) {
  ReachedRules& reached = buffers_.Reached;
  if (reached.Waiting() >= kMostWaitingLines) {
    reached.Settle(buffers_.Target.Written());
    if (reached.Waiting() >= kMostWaitingLines && !WriteHeldBytes(job_, buffers_)) return false;
  }
  if (!buffers_.Target.Mark()) return TargetWriteFailed(job_, buffers_);
  reached.Reach(job_, line, buffers_.Target.Position());
  return true;
}

bool EntryResolver::Resolve() {
  Reserve();
  ScriptLines* script = job_.Script.get();
  const int line = script ? buffers_.Lines.Find(*script, entry_.Id) : -1;
  if (line < 0) return CopyKept(true);
  if (!ReachLine(line)) return false;

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
  if (NamesTheTarget(job_, path)) {
    return Fail(MessageKey::MsgRefArchiveOpenFailed, {ShownPath(path), HeldFileText()});
  }
  // An archive held from an earlier reference is read again when the name still leads to it;
  // otherwise the name is opened anew, as for the first reference.
  Stream* archive = buffers_.Archives.Held(path);
  if (archive && !files_.HeldFileStillAt(path, *archive)) {
    buffers_.Archives.Release(path);
    archive = nullptr;
  }
  std::unique_ptr<Stream> opened;
  if (!archive) {
    bool present = false;
    opened = files_.OpenSharedIfPresent(path, &present);
    if (!present) return Fail(MessageKey::MsgRefArchiveNotFound, {ShownPath(path)});
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
  if (opened && files_.HeldFileStillAt(path, *opened)) {
    buffers_.Archives.Hold(path, std::move(opened));
  }
  return copied;
}

bool EntryResolver::TakeExternalFile(const std::string& value) {
  const std::string path = RuleFilePath(job_, value);
  if (NamesTheTarget(job_, path))
    return Fail(MessageKey::MsgRefFileOpenFailed, {ShownPath(path), HeldFileText()});
  bool present = true;
  std::unique_ptr<Stream> file = buffers_.FilesAhead ? buffers_.FilesAhead->Take(path) : nullptr;
  if (!file) file = files_.OpenSharedIfPresent(path, &present);
  if (!present) return Fail(MessageKey::MsgRefFileNotFound, {ShownPath(path)});
  if (!file)
    return Fail(MessageKey::MsgRefFileOpenFailed,
                {ShownPath(path), FileFailureReason(ShownPath(path))});
  uint64_t size = 0;
  if (!file->Size(&size)) return Fail(MessageKey::MsgRefFileReadFailed, {ShownPath(path)});
  // A 32-bit Size cannot describe the file; cutting it would store a wrong part of it.
  if (size > 0xFFFFFFFFu) return Fail(MessageKey::MsgRefFileTooLarge, {ShownPath(path)});
  const bool copied =
      AppendBytes(size, MessageKey::MsgRefFileReadFailed, path,
                  [&file, size](EntryCopier& copier) { return copier.CopyFrom(*file, size); });
  if (buffers_.FilesAhead) buffers_.FilesAhead->GiveBack(std::move(file));
  return copied;
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
      return TargetWriteFailed(job_, buffers_);
  }
  return false;
}

}  // namespace

std::vector<std::string> RuleFilesInWalkOrder(const JobState& job, EntryRuleLines& lines) {
  std::vector<std::string> paths;
  if (!job.Script) return paths;
  const ScriptLines& script = *job.Script;
  for (const WdfEntry& entry : job.SourceIndex) {
    const int line = lines.Find(script, entry.Id);
    if (line < 0) continue;
    const std::string value = CleanScriptValue(ScriptValueAt(script, line), true);
    if (ClassifyRuleValue(value).Kind != RuleKind::kExternalFile) continue;
    std::string path = RuleFilePath(job, value);
    if (NamesTheTarget(job, path)) break;
    paths.push_back(std::move(path));
  }
  return paths;
}

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
    const auto it = LowerBoundId(first.begin(), first.end(), id,
                                 [](const std::pair<uint32_t, uint32_t>& a) { return a.first; });
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
  const int line = job.Script ? buffers.Lines.Find(*job.Script, id) : -1;
  if (line < 0) return true;
  const RuleKind kind =
      ClassifyRuleValue(CleanScriptValue(ScriptValueAt(*job.Script, line), true)).Kind;
  if (kind == RuleKind::kKeep || kind == RuleKind::kDelete) return true;
  WdfEntry entry;
  entry.Id = id;
  if (!EntryResolver(job, files, buffers, source, count, entry).Resolve()) {
    buffers.Reached.NameLast();
    return false;
  }
  ++job.AddedCount;
  return true;
}

bool WriteHeldBytes(JobState& job, RunBuffers& buffers) {
  if (!buffers.Target.WriteHeld()) return TargetWriteFailed(job, buffers);
  buffers.Reached.Settle(buffers.Target.Written());
  return true;
}

bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, RunBuffers& buffers,
                  Stream& source, uint32_t count, uint32_t i, WdfEntry& entry) {
  view.ReportProgress(i, job.SourceCount);
  if (EntryResolver(job, files, buffers, source, count, entry).Resolve()) return true;
  buffers.Reached.NameLast();
  return false;
}

}  // namespace velmora
