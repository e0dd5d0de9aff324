// The entry rules: for one source entry, find its rule line, decide what the rule asks for and
// append the chosen bytes to the new archive.
#include "job/entry_rules.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "job/paths.h"
#include "job/script.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

Rule ClassifyRuleValue(const std::string& value) {
  Rule rule;
  if (value.empty()) return rule;
  if (value[0] == '@') {
    rule.id_text = value.substr(1);
    uint32_t id = 0;
    // A hexadecimal id comes before the word, so that "@DE" is the id 0xDE.
    if (ParseHexId(rule.id_text, &id)) {
      rule.kind = RuleKind::kInternalReference;
    } else if (EqualFoldingAscii(rule.id_text, "Delete")) {
      rule.kind = RuleKind::kDelete;
    } else {
      rule.kind = RuleKind::kInternalIdInvalid;
    }
    return rule;
  }
  const std::string segment = LastPathSegment(value);
  if (segment.empty()) {
    rule.kind = RuleKind::kExternalRefInvalid;
  } else if (segment[0] == '@') {
    rule.kind = RuleKind::kArchiveEntry;
    rule.id_text = segment.substr(1);
  } else {
    rule.kind = RuleKind::kExternalFile;
  }
  return rule;
}

namespace {

enum class CopyResult { kDone, kReadShort, kWriteFailed };

// Copies exactly `n` bytes from the current position of `from` to the current position of `to`
// through one buffer of at most kCopyBufferSize bytes: each pass reads a whole chunk, then
// writes it whole. On kWriteFailed, `*system_text` holds the system's reason.
CopyResult CopyBytes(Stream& from, Stream& to, uint64_t n, std::string* system_text) {
  if (n == 0) return CopyResult::kDone;
  const size_t buffer_size = static_cast<size_t>(std::min<uint64_t>(n, kCopyBufferSize));
  // Not cleared first: every byte written has just been read into it.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[buffer_size]);
  while (n > 0) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(n, buffer_size));
    if (from.Read(buffer.get(), chunk) != chunk) return CopyResult::kReadShort;
    if (!to.Write(buffer.get(), chunk)) {
      *system_text = LastSystemErrorText();
      return CopyResult::kWriteFailed;
    }
    n -= chunk;
  }
  return CopyResult::kDone;
}

// One entry's work: the job, the new index entry reserved for it and the target's position.
class EntryResolver {
 public:
  EntryResolver(JobState& job, FileSystem& files, Stream& source, uint32_t count, WdfEntry& entry)
      : job_(job), files_(files), source_(source), count_(count), entry_(entry) {}

  bool Resolve();

 private:
  bool Fail(MessageKey key, std::initializer_list<FormatArg> args) {
    job_.ErrorText = Message(key, args);
    return false;
  }
  WdfEntry& Reserved() { return job_.TargetIndex[slot_]; }

  void Reserve();
  bool CopyKept();
  bool TakeInternalReference(const Rule& rule);
  bool TakeArchiveEntry(const std::string& value, const Rule& rule);
  bool TakeExternalFile(const std::string& value);
  // Appends `size` bytes of `from` (already positioned) as the reserved entry's bytes. Bytes
  // that do not arrive fail with `read_failure` naming `read_path`.
  bool AppendBytes(Stream& from, uint64_t size, MessageKey read_failure,
                   const std::string& read_path);

  JobState& job_;
  FileSystem& files_;
  Stream& source_;
  uint32_t count_;
  WdfEntry& entry_;
  size_t slot_ = 0;
  uint64_t target_position_ = 0;
};

void EntryResolver::Reserve() {
  target_position_ = job_.TargetStream->Position();
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
  if (line < 0) return CopyKept();

  // The line counts as reached, and names the failing rule, whatever its value turns out to be.
  script->SetUsedMark(static_cast<size_t>(line));
  job_.ErrorRule = CleanScriptValue(script->TextAt(static_cast<size_t>(line)), true);

  const std::string value = CleanScriptValue(ScriptValueAt(*script, line), true);
  const Rule rule = ClassifyRuleValue(value);
  switch (rule.kind) {
    case RuleKind::kKeep:
      return CopyKept();
    case RuleKind::kInternalReference:
      return TakeInternalReference(rule);
    case RuleKind::kDelete:
      --job_.TargetCount;  // the reservation goes back to the next entry
      return true;
    case RuleKind::kInternalIdInvalid:
      return Fail(MessageKey::MsgInternalIdInvalid, {rule.id_text});
    case RuleKind::kExternalRefInvalid:
      return Fail(MessageKey::MsgExternalRefInvalid, {value});
    case RuleKind::kArchiveEntry:
      return TakeArchiveEntry(value, rule);
    case RuleKind::kExternalFile:
      return TakeExternalFile(value);
  }
  return Fail(MessageKey::MsgInternalIdInvalid, {value});
}

bool EntryResolver::CopyKept() {
  const uint32_t size = entry_.Size;
  if (size != 0 && !source_.Seek(entry_.Offset)) {
    return Fail(MessageKey::MsgSourceNotWdf, {job_.SourcePath});
  }
  return AppendBytes(source_, size, MessageKey::MsgSourceNotWdf, job_.SourcePath);
}

bool EntryResolver::TakeInternalReference(const Rule& rule) {
  uint32_t id = 0;
  ParseHexId(rule.id_text, &id);
  // The found entry's Offset and Size replace this entry's own inside SourceIndex, for the rest
  // of the run: a later reference to this entry's Id takes the bytes it was given here.
  if (!FindEntryInSource(job_, entry_, count_, id)) {
    return Fail(MessageKey::MsgInternalIdNotFound, {rule.id_text});
  }
  return CopyKept();
}

bool EntryResolver::TakeArchiveEntry(const std::string& value, const Rule& rule) {
  const std::string path = DirectoryPart(job_.SourcePath) + PathBeforeLastSlash(value);
  uint32_t id = 0;
  if (!ParseHexId(rule.id_text, &id)) {
    return Fail(MessageKey::MsgExternalIdInvalid, {path, rule.id_text});
  }
  if (!files_.FileIsPresent(path)) return Fail(MessageKey::MsgRefArchiveNotFound, {path});
  std::unique_ptr<Stream> archive = files_.OpenShared(path);
  if (!archive) {
    return Fail(MessageKey::MsgRefArchiveOpenFailed, {path, LastSystemErrorText()});
  }
  uint32_t archive_count = 0;
  uint32_t index_offset = 0;
  if (!ReadWdfHeader(*archive, &archive_count, &index_offset)) {
    return Fail(MessageKey::MsgRefArchiveNotWdf, {path});
  }
  uint32_t size = 0;
  switch (FindEntryInArchive(*archive, archive_count, index_offset, &size, id)) {
    case IndexSearch::kFound:
      break;
    case IndexSearch::kNotFound:
      return Fail(MessageKey::MsgRefArchiveIdNotFound, {path, rule.id_text});
    case IndexSearch::kReadFailed:
      return Fail(MessageKey::MsgRefArchiveNotWdf, {path});
  }
  return AppendBytes(*archive, size, MessageKey::MsgRefArchiveNotWdf, path);
}

bool EntryResolver::TakeExternalFile(const std::string& value) {
  const std::string path = job_.ScriptDir + value;
  if (!files_.FileIsPresent(path)) return Fail(MessageKey::MsgRefFileNotFound, {path});
  std::unique_ptr<Stream> file = files_.OpenShared(path);
  if (!file) return Fail(MessageKey::MsgRefFileOpenFailed, {path, LastSystemErrorText()});
  uint64_t size = 0;
  if (!file->Size(&size)) return Fail(MessageKey::MsgRefFileReadFailed, {path});
  // A 32-bit Size cannot describe the file; cutting it would store a wrong part of it.
  if (size > 0xFFFFFFFFu) return Fail(MessageKey::MsgRefFileTooLarge, {path});
  return AppendBytes(*file, size, MessageKey::MsgRefFileReadFailed, path);
}

bool EntryResolver::AppendBytes(Stream& from, uint64_t size, MessageKey read_failure,
                                const std::string& read_path) {
  // Offsets of the format are 32-bit: an entry that would end beyond them is refused before a
  // byte of it is written.
  if (!EntryFitsWdf(target_position_, size)) {
    return Fail(MessageKey::MsgTargetTooLarge, {job_.TargetPath});
  }
  Reserved().Size = static_cast<uint32_t>(size);
  std::string system_text;
  switch (CopyBytes(from, *job_.TargetStream, size, &system_text)) {
    case CopyResult::kDone:
      return true;
    case CopyResult::kReadShort:
      return Fail(read_failure, {read_path});
    case CopyResult::kWriteFailed:
      return Fail(MessageKey::MsgTargetWriteFailed, {job_.TargetPath, system_text});
  }
  return false;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ParseHexId(const std::string& text, uint32_t* id) {
  if (text.empty()) return false;
  uint32_t value = 0;
  int significant_digits = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    if (significant_digits == 0 && digit == 0) continue;  // leading zeros
    if (++significant_digits > 8) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  *id = value;
  return true;
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

bool ResolveEntry(JobState& job, FileSystem& files, RunView& view, Stream& source, uint32_t count,
                  uint32_t i, WdfEntry& entry) {
  view.ReportProgress(i, job.SourceCount);
  return EntryResolver(job, files, source, count, entry).Resolve();
}

}  // namespace velmora
