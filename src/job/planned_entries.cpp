#include "job/planned_entries.h"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "job/added_entries.h"
#include "job/paths.h"
#include "job/referenced_archives.h"
#include "msg/file_failure.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"
#include "wdf/resource_id.h"

namespace velmora {

namespace {

// The run's steps for one entry, taken as the run takes them but only looked at, never copied.
class Planner {
 public:
  Planner(const ScriptLines& script, const std::vector<WdfEntry>& index, Stream& source,
          const PlanPlaces& places, FileSystem& files)
      : script_(script), places_(places), files_(files) {
    job_.SourceIndex = index;
    job_.SourcePath = places.SourcePath;
    if (!source.Size(&source_size_)) source_size_ = 0;
    BuildSourceIdLookup(job_);
  }

  EntryPlan Plan();

 private:
  // Plans the entry `entry` (a source entry at `position`, or a new one) by its rule line.
  void PlanEntry(WdfEntry& entry, const uint32_t* position);
  bool Fail(PlannedEntry& planned, MessageKey key, std::initializer_list<FormatArg> args) {
    planned.From = BytesFrom::kNothing;
    planned.Failure = Intern(Message(key, args), &plan_.Reasons, &reason_index_);
    return false;
  }
  // The index of `text` in `table`, added there on its first use.
  static uint32_t Intern(const std::string& text, std::vector<std::string>* table,
                         std::unordered_map<std::string, uint32_t>* index) {
    const auto found = index->emplace(text, static_cast<uint32_t>(table->size()));
    if (found.second) table->push_back(text);
    return found.first->second;
  }
  bool TakeSource(PlannedEntry& planned, uint64_t offset, uint32_t size);
  bool TakeArchiveEntry(PlannedEntry& planned, const std::string& value, const Rule& rule);
  bool TakeFile(PlannedEntry& planned, const std::string& value);
  // Rules may not read the target: the run holds its name.
  bool NamesTheTarget(const std::string& path) const {
    return EqualFoldingAscii(path, places_.TargetPath);
  }
  static std::string HeldFileText() {
    SetLastSystemError(SystemErrorSharingViolation());
    return LastSystemErrorText();
  }
  // Counts the bytes as written, as the run's 32-bit offsets allow.
  bool Append(PlannedEntry& planned, uint64_t size);

  const ScriptLines& script_;
  const PlanPlaces& places_;
  FileSystem& files_;
  JobState job_;  // the source index, as the run redirects it, and its lookup
  uint64_t source_size_ = 0;
  uint64_t written_ = kWdfHeaderSize;
  // The run's own lookup of rule lines by id: a million entries cost a short table's steps, not
  // a million keys written out and looked up by name.
  EntryRuleLines rule_lines_;
  ReferencedArchives archives_;
  EntryPlan plan_;
  std::unordered_map<std::string, uint32_t> path_index_;    // into plan_.Paths
  std::unordered_map<std::string, uint32_t> reason_index_;  // into plan_.Reasons
};

EntryPlan Planner::Plan() {
  const uint32_t count = static_cast<uint32_t>(job_.SourceIndex.size());
  NewEntries added;
  const bool adding = ScriptKeySaysYes(script_, "#AddEntries");
  if (adding) added = FindNewEntries(script_, job_.SourceIndex, job_.SourceIds);
  plan_.Entries.reserve(count + added.Ids.size());
  size_t next_added = 0;
  const auto add_before = [&](const WdfEntry* entry) {
    while (next_added < added.Ids.size() &&
           (!entry || NewEntryGoesBefore(added, added.Ids[next_added], entry->Id))) {
      WdfEntry fresh;
      fresh.Id = added.Ids[next_added++];
      PlanEntry(fresh, nullptr);
    }
  };
  for (uint32_t i = 0; i < count; ++i) {
    if (!EntryInBounds(job_.SourceIndex[i], source_size_, count)) {
      plan_.SourceDamaged = true;
      plan_.Failures.push_back(
          {0, std::string(),
           Message(MessageKey::MsgSourceNotWdf, {ShownPath(places_.SourcePath)})});
      break;
    }
    add_before(&job_.SourceIndex[i]);
    PlanEntry(job_.SourceIndex[i], &i);
  }
  if (!plan_.SourceDamaged) add_before(nullptr);

  // Rule lines of ids the source lacks that no new entry came from.
  std::unordered_set<uint32_t> planned;
  for (const PlannedEntry& entry : plan_.Entries) {
    if (entry.Fate == EntryFate::kAdded) planned.insert(entry.Id);
  }
  for (size_t k = 0; k < script_.Count(); ++k) {
    const int line = static_cast<int>(k);
    uint32_t id = 0;
    if (!RuleLineId(ScriptNameAt(script_, line), &id) || planned.count(id) != 0) continue;
    WdfEntry probe;
    if (FindEntryInSource(job_, probe, count, id)) continue;
    if (rule_lines_.Find(script_, id) == line) plan_.DormantLines.push_back(k);
  }
  return std::move(plan_);
}

void Planner::PlanEntry(WdfEntry& entry, const uint32_t* position) {
  PlannedEntry planned;
  planned.Id = entry.Id;
  planned.Fate = position ? EntryFate::kKept : EntryFate::kAdded;
  if (position) planned.SourcePosition = *position;
  const int line = rule_lines_.Find(script_, entry.Id);
  planned.Line = line;
  std::string value;
  Rule rule;
  if (line >= 0) {
    value = CleanScriptValue(ScriptValueAt(script_, line), true);
    rule = ClassifyRuleValue(value);
  }
  planned.Kind = rule.Kind;
  // A new entry whose line asks to keep or delete is not written: nothing to keep or delete.
  if (!position && (rule.Kind == RuleKind::kKeep || rule.Kind == RuleKind::kDelete)) return;
  if (position && rule.Kind != RuleKind::kKeep) planned.Fate = EntryFate::kReplaced;

  bool done = true;
  switch (rule.Kind) {
    case RuleKind::kKeep:
      done = TakeSource(planned, entry.Offset, entry.Size);
      break;
    case RuleKind::kInternalReference: {
      uint32_t id = 0;
      ParseHexId(rule.IdText, &id);
      // As in the run: the entry takes the found entry's place for every later reference.
      if (!FindEntryInSource(job_, entry, static_cast<uint32_t>(job_.SourceIndex.size()), id)) {
        done = Fail(planned, MessageKey::MsgInternalIdNotFound, {rule.IdText});
      } else {
        done = TakeSource(planned, entry.Offset, entry.Size);
      }
      break;
    }
    case RuleKind::kDelete:
      planned.Fate = EntryFate::kDeleted;
      break;
    case RuleKind::kInternalIdInvalid:
      done = Fail(planned, MessageKey::MsgInternalIdInvalid, {rule.IdText});
      break;
    case RuleKind::kExternalRefInvalid:
      done = Fail(planned, MessageKey::MsgExternalRefInvalid, {value});
      break;
    case RuleKind::kArchiveEntry:
      done = TakeArchiveEntry(planned, value, rule);
      break;
    case RuleKind::kExternalFile:
      done = TakeFile(planned, value);
      break;
  }
  if (!done) {
    // An entry without a rule line fails too when the archive would outgrow its offsets.
    plan_.Failures.push_back(
        {static_cast<size_t>(line + 1),
         line < 0 ? std::string()
                  : CleanScriptValue(script_.TextAt(static_cast<size_t>(line)), true),
         plan_.Reasons[planned.Failure]});
  }
  plan_.Entries.push_back(std::move(planned));
}

bool Planner::Append(PlannedEntry& planned, uint64_t size) {
  if (!EntryFitsWdf(written_, size)) {
    return Fail(planned, MessageKey::MsgTargetTooLarge, {ShownPath(places_.TargetPath)});
  }
  planned.Size = static_cast<uint32_t>(size);
  written_ += size;
  return true;
}

bool Planner::TakeSource(PlannedEntry& planned, uint64_t offset, uint32_t size) {
  planned.From = BytesFrom::kSource;
  planned.Offset = offset;
  if (size > 0 && offset + size > source_size_) {
    return Fail(planned, MessageKey::MsgSourceNotWdf, {ShownPath(places_.SourcePath)});
  }
  return Append(planned, size);
}

bool Planner::TakeArchiveEntry(PlannedEntry& planned, const std::string& value, const Rule& rule) {
  const std::string path = DirectoryPart(places_.SourcePath) + PathBeforeLastSlash(value);
  planned.Path = Intern(path, &plan_.Paths, &path_index_);
  uint32_t id = 0;
  if (!ParseHexId(rule.IdText, &id)) {
    return Fail(planned, MessageKey::MsgExternalIdInvalid, {ShownPath(path), rule.IdText});
  }
  if (NamesTheTarget(path)) {
    return Fail(planned, MessageKey::MsgRefArchiveOpenFailed, {ShownPath(path), HeldFileText()});
  }
  // Found as the run finds it: where letter cases differ, under a name in another case too.
  bool present = false;
  std::unique_ptr<Stream> archive = files_.OpenSharedIfPresent(path, &present);
  if (!present) return Fail(planned, MessageKey::MsgRefArchiveNotFound, {ShownPath(path)});
  if (!archive) {
    return Fail(planned, MessageKey::MsgRefArchiveOpenFailed,
                {ShownPath(path), FileFailureReason(ShownPath(path))});
  }
  uint32_t size = 0;
  switch (archives_.Find(path, *archive, id, &size)) {
    case ArchiveLookup::kFound:
      break;
    case ArchiveLookup::kNotFound:
      return Fail(planned, MessageKey::MsgRefArchiveIdNotFound, {ShownPath(path), rule.IdText});
    case ArchiveLookup::kNotWdf:
    case ArchiveLookup::kReadFailed:
      return Fail(planned, MessageKey::MsgRefArchiveNotWdf, {ShownPath(path)});
  }
  planned.From = BytesFrom::kOtherArchive;
  planned.Offset = archive->Position();
  uint64_t file_size = 0;
  if (size > 0 && (!archive->Size(&file_size) || planned.Offset + size > file_size)) {
    return Fail(planned, MessageKey::MsgRefArchiveNotWdf, {ShownPath(path)});
  }
  return Append(planned, size);
}

bool Planner::TakeFile(PlannedEntry& planned, const std::string& value) {
  const std::string path = places_.ScriptDir + value;
  planned.Path = Intern(path, &plan_.Paths, &path_index_);
  if (NamesTheTarget(path)) {
    return Fail(planned, MessageKey::MsgRefFileOpenFailed, {ShownPath(path), HeldFileText()});
  }
  bool present = false;
  std::unique_ptr<Stream> file = files_.OpenSharedIfPresent(path, &present);
  if (!present) return Fail(planned, MessageKey::MsgRefFileNotFound, {ShownPath(path)});
  if (!file) {
    return Fail(planned, MessageKey::MsgRefFileOpenFailed,
                {ShownPath(path), FileFailureReason(ShownPath(path))});
  }
  uint64_t size = 0;
  if (!file->Size(&size)) return Fail(planned, MessageKey::MsgRefFileReadFailed, {ShownPath(path)});
  if (size > 0xFFFFFFFFu) return Fail(planned, MessageKey::MsgRefFileTooLarge, {ShownPath(path)});
  planned.From = BytesFrom::kFile;
  return Append(planned, size);
}

}  // namespace

EntryPlan PlanEntries(const ScriptLines& script, const std::vector<WdfEntry>& index, Stream& source,
                      const PlanPlaces& places, FileSystem& files) {
  return Planner(script, index, source, places, files).Plan();
}

const std::string& EntryPlan::NoText() {
  static const std::string* const empty = new std::string();
  return *empty;
}

std::vector<const PlannedEntry*> WrittenEntries(const EntryPlan& plan) {
  std::vector<const PlannedEntry*> written;
  for (const PlannedEntry& entry : plan.Entries) {
    if (entry.Writes()) written.push_back(&entry);
  }
  return written;
}

bool ReadPlannedBytes(FileSystem& files, Stream& source, const EntryPlan& plan,
                      const PlannedEntry& entry, size_t limit, std::string* bytes) {
  bytes->clear();
  const size_t wanted = std::min<size_t>(limit, entry.Size);
  std::unique_ptr<Stream> opened;
  Stream* from = &source;
  uint64_t offset = entry.Offset;
  switch (entry.From) {
    case BytesFrom::kNothing:
      return false;
    case BytesFrom::kSource:
      break;
    case BytesFrom::kOtherArchive:
    case BytesFrom::kFile:
      opened = files.OpenShared(plan.PathOf(entry));
      if (!opened) return false;
      from = opened.get();
      if (entry.From == BytesFrom::kFile) offset = 0;
      break;
  }
  bytes->resize(wanted);
  if (wanted == 0) return true;
  if (!from->Seek(offset) || from->Read(&(*bytes)[0], wanted) != wanted) {
    bytes->clear();
    return false;
  }
  return true;
}

}  // namespace velmora
