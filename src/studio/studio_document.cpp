#include "studio/studio_document.h"

#include <algorithm>
#include <map>

#include "job/paths.h"
#include "studio/entry_kinds.h"
#include "msg/format.h"
#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

bool ReadWholeFile(FileSystem& files, const std::string& path, std::string* bytes) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  uint64_t size = 0;
  if (!stream || !stream->Size(&size)) return false;
  // A script is text a person wrote; anything beyond this is no script.
  if (size > 64u * 1024 * 1024) return false;
  bytes->resize(static_cast<size_t>(size));
  return stream->Read(&(*bytes)[0], bytes->size()) == bytes->size();
}

// The pair of `position` among pairs sorted by position; end() when it has none.
using PositionPairs = std::vector<std::pair<uint32_t, uint32_t>>;
PositionPairs::const_iterator FindAdded(const PositionPairs& pairs, uint32_t position) {
  const auto found = std::lower_bound(
      pairs.begin(), pairs.end(), position,
      [](const std::pair<uint32_t, uint32_t>& a, uint32_t b) { return a.first < b; });
  return found != pairs.end() && found->first == position ? found : pairs.end();
}

}  // namespace

bool IsScriptPath(const std::string& path) {
  return path.size() >= 4 && EqualFoldingAscii(path.substr(path.size() - 4), ".vlm");
}

bool StudioDocument::Open(const std::string& path, std::string* problem) {
  auto archive = std::make_unique<StudioArchive>();
  ScriptPlaces places;
  std::string text;
  if (IsScriptPath(path)) {
    if (!ReadWholeFile(files_, path, &text)) {
      *problem = Message(MessageKey::MsgScriptNotFound, {path}) + "\r" + LastSystemErrorText();
      return false;
    }
    if (!LocateScriptPlaces(ScriptLines(text), path, &places, problem)) return false;
    if (!files_.FileIsPresent(places.SourcePath)) {
      *problem = Message(MessageKey::MsgSourceNotFound, {places.SourcePath});
      return false;
    }
    if (!archive->Open(files_, places.SourcePath)) {
      *problem =
          Message(MessageKey::MsgSourceOpenFailed, {places.SourcePath, LastSystemErrorText()});
      return false;
    }
  } else if (!archive->Open(files_, path)) {
    *problem = Message(MessageKey::MsgSourceOpenFailed, {path, LastSystemErrorText()});
    return false;
  }
  archive_ = std::move(archive);
  nested_ = false;
  places_ = places;
  script_ = ScriptDocument(text);
  changes_ = PendingChanges(archive_->Count());
  rules_ = ScriptRules();
  plan_.reset();
  comparison_.reset();
  compared_path_.clear();
  if (HasScript()) ReadRules(false);
  return true;
}

void StudioDocument::ReadRules(bool after_save) {
  ScriptRules read = ReadScriptRules(script_, places_, *archive_);
  // Added entries the changes hold keep their positions; one that a save brought into force (a
  // line for an id the archive lacks, once #AddEntries=yes is set) takes the next free one.
  std::map<uint32_t, uint32_t> position_of_added_id;
  for (uint32_t position : changes_.AddedPositions()) {
    position_of_added_id[changes_.AddedId(position)] = position;
  }
  rules_ = ScriptRules();
  rules_.DormantLines = read.DormantLines;
  for (const auto& rule : read.ByPosition) {
    auto added = read.AddedIds.find(rule.first);
    // The changes take the form the script gives them, as a reopened script would.
    if (added == read.AddedIds.end()) {
      rules_.ByPosition[rule.first] = rule.second;
      changes_.Load(rule.first, rule.second.Change);
      continue;
    }
    auto known = position_of_added_id.find(added->second);
    const uint32_t position = after_save && known != position_of_added_id.end()
                                  ? known->second
                                  : changes_.NextAddedPosition();
    changes_.Load(position, rule.second.Change, added->second);
    rules_.ByPosition[position] = rule.second;
    rules_.AddedIds[position] = added->second;
  }
}

bool StudioDocument::SaveScript(const std::string& script_path, const ScriptTarget& target,
                                std::string* unwritable, std::string* problem) {
  unwritable->clear();
  problem->clear();
  std::string text;
  const bool rewrite = HasScript() && EqualFoldingAscii(script_path, places_.ScriptPath);
  const bool made =
      rewrite ? RewriteScriptText(script_, places_, rules_, *archive_, changes_, target, &text,
                                  unwritable)
              : NewScriptText(script_path, *archive_, changes_, target, &text, unwritable);
  if (!made) return false;
  const std::string temporary = script_path + ".vlmtmp";
  std::unique_ptr<Stream> out = files_.CreateExclusive(temporary);
  if (!out) {
    *problem = Message(MessageKey::MsgTargetCreateFailed, {temporary, LastSystemErrorText()});
    return false;
  }
  if (!out->Write(text.data(), text.size()) || !out->Flush()) {
    *problem = Message(MessageKey::MsgTargetWriteFailed, {temporary, LastSystemErrorText()});
    out.reset();
    files_.RemoveFile(temporary);
    return false;
  }
  out.reset();
  if (!files_.RenameReplacing(temporary, script_path)) {
    *problem = Message(MessageKey::MsgTargetWriteFailed, {script_path, LastSystemErrorText()});
    files_.RemoveFile(temporary);
    return false;
  }

  // The saved script is now the one open: its rules are what the changes are measured against.
  ScriptPlaces places;
  std::string refused;
  if (!LocateScriptPlaces(ScriptLines(text), script_path, &places, &refused)) {
    *problem = refused;
    return false;
  }
  places_ = places;
  script_ = ScriptDocument(text);
  ReadRules(true);
  changes_.MarkSaved();
  plan_.reset();
  return true;
}

bool StudioDocument::PendingScript(std::string* text, ScriptPlaces* places) {
  std::string unwritable;
  std::string path = places_.ScriptPath;
  bool made = false;
  if (HasScript()) {
    made = RewriteScriptText(script_, places_, rules_, *archive_, changes_, ScriptTarget(), text,
                             &unwritable);
  } else {
    // A script not yet saved is planned as if saved beside its archive.
    path = ReplaceExtension(archive_->Path(), ".vlm");
    made = NewScriptText(path, *archive_, changes_, ScriptTarget(), text, &unwritable);
  }
  std::string refused;
  return made && LocateScriptPlaces(ScriptLines(*text), path, places, &refused);
}

const EntryPlan& StudioDocument::Plan(bool again) {
  if (plan_ && !again && plan_->Revision == changes_.Revision()) return plan_->Plan;
  auto cache = std::make_unique<PlanCache>();
  cache->Revision = changes_.Revision();
  std::string text;
  ScriptPlaces places;
  if (!PendingScript(&text, &places)) {
    // Changes no script can hold: what the saved script asks for.
    text = script_.Bytes();
    places = places_;
    if (places.SourcePath.empty()) places.SourcePath = archive_->Path();
  }
  cache->Script = ScriptDocument(text);
  cache->Plan = PlanEntries(cache->Script.Lines(), archive_->Entries(), archive_->Source(),
                            {places.ScriptDir, places.SourcePath, places.TargetPath}, files_);
  const std::vector<WdfEntry>& source = archive_->Entries();
  const std::vector<PlannedEntry>& planned = cache->Plan.Entries;
  // Added entries are known to the plan by id, to the changes by position.
  std::vector<std::pair<uint32_t, uint32_t>> added_position;  // (id, position), by id
  for (uint32_t position : changes_.AddedPositions()) {
    added_position.emplace_back(changes_.AddedId(position), position);
  }
  std::sort(added_position.begin(), added_position.end());
  cache->EntryOfSource.assign(source.size(), PlanCache::kNotPlanned);
  cache->Order.reserve(source.size() + added_position.size() + cache->Plan.DormantLines.size());
  // Each row takes the first planned entry that is its own.
  const auto position_of = [&](const PlannedEntry& entry, uint32_t* position) {
    if (entry.Fate != EntryFate::kAdded) {
      *position = entry.SourcePosition;
      return true;
    }
    const auto found = std::lower_bound(added_position.begin(), added_position.end(),
                                        std::make_pair(entry.Id, uint32_t{0}));
    if (found == added_position.end() || found->first != entry.Id) return false;
    *position = found->second;
    return true;
  };
  // Backwards, so that a source position keeps its first entry.
  for (uint32_t k = static_cast<uint32_t>(planned.size()); k-- > 0;) {
    uint32_t position = 0;
    if (!position_of(planned[k], &position)) continue;
    if (position < source.size()) {
      cache->EntryOfSource[position] = k;
    } else {
      cache->EntryOfAdded.emplace_back(position, k);
    }
  }
  // By position, then index: the first entry of a position stays first among its pairs.
  std::sort(cache->EntryOfAdded.begin(), cache->EntryOfAdded.end());
  cache->EntryOfAdded.erase(
      std::unique(cache->EntryOfAdded.begin(), cache->EntryOfAdded.end(),
                  [](const auto& a, const auto& b) { return a.first == b.first; }),
      cache->EntryOfAdded.end());
  for (uint32_t k = 0; k < planned.size(); ++k) {
    uint32_t position = 0;
    if (!position_of(planned[k], &position)) continue;
    if (position < source.size() ? cache->EntryOfSource[position] == k
                                 : FindAdded(cache->EntryOfAdded, position)->second == k) {
      cache->Order.push_back(position);
    }
  }
  if (cache->Plan.SourceDamaged) {
    for (uint32_t k = 0; k < archive_->Count(); ++k) {
      if (cache->EntryOfSource[k] == PlanCache::kNotPlanned) {
        cache->DamagedAt = k;
        break;
      }
    }
  }
  // Entries the rebuild never reaches (behind a damaged entry of the source) and added entries
  // it does not write follow the ones it meets, then the rule lines it leaves alone.
  for (uint32_t k = 0; k < archive_->Count(); ++k) {
    if (cache->EntryOfSource[k] == PlanCache::kNotPlanned) cache->Order.push_back(k);
  }
  for (uint32_t position : changes_.AddedPositions()) {
    if (FindAdded(cache->EntryOfAdded, position) == cache->EntryOfAdded.end()) {
      cache->Order.push_back(position);
    }
  }
  for (size_t k = 0; k < cache->Plan.DormantLines.size(); ++k) {
    cache->Order.push_back(kFirstDormantRow + static_cast<uint32_t>(k));
  }
  cache->Kinds.assign(planned.size(), kKindUnknown);
  plan_ = std::move(cache);
  return plan_->Plan;
}

uint32_t StudioDocument::PlannedIndex(uint32_t position) const {
  if (position < plan_->EntryOfSource.size()) return plan_->EntryOfSource[position];
  const auto found = FindAdded(plan_->EntryOfAdded, position);
  return found == plan_->EntryOfAdded.end() ? PlanCache::kNotPlanned : found->second;
}

const PlannedEntry* StudioDocument::PlannedAt(uint32_t position) {
  Plan();
  const uint32_t index = PlannedIndex(position);
  return index == PlanCache::kNotPlanned ? nullptr : &plan_->Plan.Entries[index];
}

RowFacts StudioDocument::Row(uint32_t position, bool with_kind) {
  RowFacts facts;
  const EntryPlan& plan = Plan();
  if (position >= kFirstDormantRow) {
    const size_t k = position - kFirstDormantRow;
    if (k < plan.DormantLines.size()) {
      facts.Line = static_cast<int>(plan.DormantLines[k]);
      facts.Id = plan_->Script.Line(plan.DormantLines[k]).Id;
      facts.Reason = CleanScriptValue(plan_->Script.Lines().TextAt(plan.DormantLines[k]), true);
    }
    facts.State = RowState::kNotCarriedOut;
    return facts;
  }
  const bool added = changes_.IsAdded(position);
  facts.Id = added ? changes_.AddedId(position) : archive_->Entry(position).Id;
  const PlannedEntry* entry = PlannedAt(position);
  const bool writes = entry && entry->Writes();
  if (entry) {
    facts.Line = entry->Line;
    facts.Reason = plan.FailureOf(*entry);
    if (entry->Fails()) {
      facts.State = RowState::kFails;
    } else if (entry->Fate == EntryFate::kDeleted) {
      facts.State = RowState::kDeleted;
    } else if (entry->Fate == EntryFate::kAdded) {
      facts.State = RowState::kAdded;
    } else if (entry->Fate == EntryFate::kReplaced) {
      facts.State = RowState::kChanged;
    }
  } else if (added) {
    facts.State = RowState::kNotCarriedOut;
  } else if (position == plan_->DamagedAt) {
    facts.State = RowState::kFails;
    facts.Reason = plan.Failures.empty() ? std::string() : plan.Failures.back().Reason;
  } else {
    facts.State = RowState::kNotReached;
  }
  if (writes) {
    facts.Size = entry->Size;
  } else if (!added) {
    facts.Size = archive_->Entry(position).Size;
  }
  if (!with_kind) return facts;
  if (writes && entry->Fate == EntryFate::kKept) {
    // Its own bytes: the archive knows their kind, found in one pass for all entries.
    facts.Kind = archive_->KindAt(position);
  } else if (writes) {
    // Other bytes: read once per plan, on first sight.
    uint8_t& known = plan_->Kinds[PlannedIndex(position)];
    if (known == kKindUnknown) {
      std::string head;
      const EntryKind kind =
          entry->Size == 0 ? EntryKind::kEmpty
          : ReadPlannedBytes(files_, archive_->Source(), plan, *entry, kEntryKindSample, &head)
              ? DetectEntryKind(head, entry->Size)
              : EntryKind::kOutOfBounds;
      known = static_cast<uint8_t>(kind);
    }
    facts.Kind = static_cast<EntryKind>(known);
  } else if (!added) {
    facts.Kind = archive_->KindAt(position);
  }
  return facts;
}

bool StudioDocument::ReadRowBytes(uint32_t position, size_t limit, std::string* bytes) {
  if (position >= kFirstDormantRow) return false;
  const PlannedEntry* entry = PlannedAt(position);
  if (entry && entry->Writes()) {
    return ReadPlannedBytes(files_, archive_->Source(), plan_->Plan, *entry, limit, bytes);
  }
  return !changes_.IsAdded(position) && archive_->ReadHead(position, limit, bytes);
}

std::vector<uint32_t> StudioDocument::Rows(const RowFilter& filter, EntryColumn column,
                                           bool descending) {
  Plan();
  RowKeys keys;
  // Only the kind may need the entry's bytes: the other keys never read them.
  keys.Id = [this](uint32_t position) { return Row(position, false).Id; };
  keys.Size = [this](uint32_t position) { return Row(position, false).Size; };
  keys.Kind = [this](uint32_t position) { return Row(position).Kind; };
  keys.Change = [this](uint32_t position) { return static_cast<int>(Row(position, false).State); };
  keys.Compared = [this](uint32_t position) {
    return comparison_ && position < comparison_->Entries.size()
               ? static_cast<int>(comparison_->Entries[position])
               : -1;
  };
  return BuildRows(plan_->Order, keys, filter, column, descending);
}

std::vector<PlannedFailure> StudioDocument::RebuildFailures() {
  std::vector<PlannedFailure> failures = Plan().Failures;
  std::stable_sort(
      failures.begin(), failures.end(),
      [](const PlannedFailure& a, const PlannedFailure& b) { return a.Line < b.Line; });
  failures.erase(std::unique(failures.begin(), failures.end(),
                             [](const PlannedFailure& a, const PlannedFailure& b) {
                               return a.Line == b.Line && a.Reason == b.Reason;
                             }),
                 failures.end());
  return failures;
}

bool StudioDocument::IdIsFree(uint32_t id) const {
  uint32_t position = 0;
  if (archive_->FirstWithId(id, &position)) return false;
  for (uint32_t added : changes_.AddedPositions()) {
    if (changes_.AddedId(added) == id) return false;
  }
  return true;
}

bool StudioDocument::CompareWith(const std::string& path, std::string* problem) {
  std::unique_ptr<Stream> other = files_.OpenShared(path);
  if (!other) {
    *problem = Message(MessageKey::MsgRefArchiveOpenFailed, {path, LastSystemErrorText()});
    return false;
  }
  ArchiveIndex other_index;
  ArchiveIndex mine;
  if (ReadArchiveIndex(*other, &other_index) != ArchiveFault::kNone) {
    *problem = Message(MessageKey::MsgRefArchiveNotWdf, {path});
    return false;
  }
  std::unique_ptr<Stream> my_stream = files_.OpenShared(archive_->Path());
  if (!my_stream || ReadArchiveIndex(*my_stream, &mine) != ArchiveFault::kNone) {
    *problem = Message(MessageKey::MsgSourceNotWdf, {archive_->Path()});
    return false;
  }
  const DiffResult result = CompareArchives(*my_stream, mine, *other, other_index);
  switch (result.Fault) {
    case DiffFault::kNone:
      break;
    case DiffFault::kOldEntryOutside:
    case DiffFault::kOldReadFailed:
      *problem = Message(MessageKey::MsgSourceNotWdf, {archive_->Path()});
      return false;
    case DiffFault::kNewEntryOutside:
    case DiffFault::kNewReadFailed:
      *problem = Message(MessageKey::MsgRefArchiveNotWdf, {path});
      return false;
  }
  auto marks = std::make_unique<ComparisonMarks>();
  marks->Entries.assign(mine.Entries.size(), EntryChange::kSame);
  for (const EntryPair& pair : result.Difference.Pairs) {
    if (pair.Change != EntryChange::kSame) marks->Differences.push_back(pair);
    if (pair.OldEntry == EntryPair::kNoEntry) {
      ++marks->OnlyThere;
      continue;
    }
    marks->Entries[pair.OldEntry] = pair.Change;
    if (pair.Change != EntryChange::kSame) ++marks->Differing;
  }
  comparison_ = std::move(marks);
  compared_path_ = path;
  return true;
}

}  // namespace velmora
