#include "job/patch_plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "job/added_entries.h"

namespace velmora {

namespace {

// Per id: its pairs of the comparison.
using PairsById = std::map<uint32_t, std::vector<const EntryPair*>>;

void NoteUnreachable(PatchPlan* plan, uint32_t id) {
  if (std::find(plan->Unreachable.begin(), plan->Unreachable.end(), id) ==
      plan->Unreachable.end()) {
    plan->Unreachable.push_back(id);
  }
}

// True when every entry of the id in the new archive holds the same bytes as the first.
bool AllLikeFirst(const std::vector<const EntryPair*>& pairs, const ArchiveIndex& new_index,
                  Stream& new_stream) {
  const WdfEntry& first = new_index.Entries[pairs.front()->NewEntry];
  for (size_t k = 1; k < pairs.size(); ++k) {
    const WdfEntry& other = new_index.Entries[pairs[k]->NewEntry];
    int failed = 0;
    if (other.Size != first.Size ||
        !SameBytes(new_stream, first.Offset, new_stream, other.Offset, first.Size, &failed)) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::vector<uint32_t> PatchedIds(const std::vector<WdfEntry>& old_entries,
                                 const std::vector<PatchRule>& rules) {
  std::set<uint32_t> removed;
  NewEntries added;
  added.ById = IdsAscend(old_entries);
  for (const PatchRule& rule : rules) {
    if (rule.Remove) removed.insert(rule.Id);
    if (rule.Add) added.Ids.push_back(rule.Id);
  }
  if (added.ById) std::sort(added.Ids.begin(), added.Ids.end());
  std::vector<uint32_t> ids;
  size_t next_added = 0;
  for (const WdfEntry& entry : old_entries) {
    while (next_added < added.Ids.size() &&
           NewEntryGoesBefore(added, added.Ids[next_added], entry.Id)) {
      ids.push_back(added.Ids[next_added++]);
    }
    if (removed.count(entry.Id) == 0) ids.push_back(entry.Id);
  }
  while (next_added < added.Ids.size()) ids.push_back(added.Ids[next_added++]);
  return ids;
}

PatchPlan PlanPatch(const ArchiveIndex& old_index, const ArchiveIndex& new_index,
                    const ArchiveDifference& difference, Stream& new_stream) {
  PatchPlan plan;
  PairsById by_id;
  for (const EntryPair& pair : difference.Pairs) by_id[pair.Id].push_back(&pair);

  // One rule per id at most, decided from all of the id's pairs.
  std::unordered_map<uint32_t, PatchRule> rule_of;
  for (const auto& [id, pairs] : by_id) {
    size_t olds = 0;
    size_t news = 0;
    bool all_same = true;
    for (const EntryPair* pair : pairs) {
      olds += pair->OldEntry != EntryPair::kNoEntry;
      news += pair->NewEntry != EntryPair::kNoEntry;
      all_same = all_same && pair->Change == EntryChange::kSame;
    }
    if (all_same) continue;
    PatchRule rule;
    rule.Id = id;
    if (news == 0) {
      rule.Remove = true;
      plan.Removed += olds;
    } else if (olds == 0 && news == 1) {
      rule.Add = true;
      rule.NewEntry = pairs.front()->NewEntry;
      ++plan.Added;
    } else if (olds == news && AllLikeFirst(pairs, new_index, new_stream)) {
      // Every entry of the id takes the same new bytes.
      rule.NewEntry = pairs.front()->NewEntry;
      plan.Changed += olds;
    } else {
      NoteUnreachable(&plan, id);
      continue;
    }
    rule_of[id] = rule;
  }
  if (!plan.Unreachable.empty()) return plan;

  // Rules in the new archive's order, removals (which give no entry) last.
  std::set<uint32_t> placed;
  for (const WdfEntry& entry : new_index.Entries) {
    const auto found = rule_of.find(entry.Id);
    if (found != rule_of.end() && placed.insert(entry.Id).second) {
      plan.Rules.push_back(found->second);
    }
  }
  for (const WdfEntry& entry : old_index.Entries) {
    const auto found = rule_of.find(entry.Id);
    if (found != rule_of.end() && found->second.Remove && placed.insert(entry.Id).second) {
      plan.Rules.push_back(found->second);
    }
  }
  plan.AddsEntries = plan.Added > 0;

  // The run must give the new archive's ids in its order.
  const std::vector<uint32_t> patched = PatchedIds(old_index.Entries, plan.Rules);
  const size_t common = std::min(patched.size(), new_index.Entries.size());
  for (size_t k = 0; k < common; ++k) {
    if (patched[k] != new_index.Entries[k].Id) NoteUnreachable(&plan, new_index.Entries[k].Id);
  }
  for (size_t k = common; k < new_index.Entries.size(); ++k) {
    NoteUnreachable(&plan, new_index.Entries[k].Id);
  }
  for (size_t k = common; k < patched.size(); ++k) NoteUnreachable(&plan, patched[k]);
  return plan;
}

}  // namespace velmora
