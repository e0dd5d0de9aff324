#include "job/patch_plan.h"

#include <algorithm>
#include <numeric>

#include "job/added_entries.h"

namespace velmora {

namespace {

void NoteUnreachable(PatchPlan* plan, uint32_t id) { plan->Unreachable.push_back(id); }

// Each id once, where it was first noted: every entry of a reordered archive may be in the way.
void KeepFirstOfEach(std::vector<uint32_t>* ids) {
  std::vector<std::pair<uint32_t, uint32_t>> sorted;  // (id, where noted)
  for (size_t k = 0; k < ids->size(); ++k) sorted.emplace_back((*ids)[k], static_cast<uint32_t>(k));
  std::sort(sorted.begin(), sorted.end());
  std::vector<bool> first(ids->size(), false);
  for (size_t k = 0; k < sorted.size(); ++k) {
    if (k == 0 || sorted[k].first != sorted[k - 1].first) first[sorted[k].second] = true;
  }
  size_t kept = 0;
  for (size_t k = 0; k < ids->size(); ++k) {
    if (first[k]) (*ids)[kept++] = (*ids)[k];
  }
  ids->resize(kept);
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
  std::vector<uint32_t> removed;
  NewEntries added;
  added.ById = IdsAscend(old_entries);
  for (const PatchRule& rule : rules) {
    if (rule.Remove) removed.push_back(rule.Id);
    if (rule.Add) added.Ids.push_back(rule.Id);
  }
  if (added.ById) std::sort(added.Ids.begin(), added.Ids.end());
  std::sort(removed.begin(), removed.end());
  std::vector<uint32_t> ids;
  size_t next_added = 0;
  for (const WdfEntry& entry : old_entries) {
    while (next_added < added.Ids.size() &&
           NewEntryGoesBefore(added, added.Ids[next_added], entry.Id)) {
      ids.push_back(added.Ids[next_added++]);
    }
    if (!std::binary_search(removed.begin(), removed.end(), entry.Id)) ids.push_back(entry.Id);
  }
  while (next_added < added.Ids.size()) ids.push_back(added.Ids[next_added++]);
  return ids;
}

PatchPlan PlanPatch(const ArchiveIndex& old_index, const ArchiveIndex& new_index,
                    const ArchiveDifference& difference, Stream& new_stream) {
  PatchPlan plan;
  // The comparison's pairs by id, in their order within an id: one sorted table, no map of
  // small lists, so that an archive of many entries costs a sort.
  const std::vector<EntryPair>& all = difference.Pairs;
  std::vector<uint32_t> by_id(all.size());
  std::iota(by_id.begin(), by_id.end(), 0u);
  std::stable_sort(by_id.begin(), by_id.end(),
                   [&all](uint32_t a, uint32_t b) { return all[a].Id < all[b].Id; });

  // One rule per id at most, decided from all of the id's pairs; by id.
  std::vector<PatchRule> rule_of;
  std::vector<const EntryPair*> pairs;
  for (size_t first = 0; first < by_id.size();) {
    const uint32_t id = all[by_id[first]].Id;
    pairs.clear();
    size_t end = first;
    for (; end < by_id.size() && all[by_id[end]].Id == id; ++end) pairs.push_back(&all[by_id[end]]);
    first = end;
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
    rule_of.push_back(rule);
  }
  if (!plan.Unreachable.empty()) return plan;  // each id was noted once

  // Rules in the new archive's order, removals (which give no entry) last.
  std::vector<bool> placed(rule_of.size(), false);
  const auto place = [&](uint32_t id, bool removals) {
    const auto found =
        std::lower_bound(rule_of.begin(), rule_of.end(), id,
                         [](const PatchRule& rule, uint32_t wanted) { return rule.Id < wanted; });
    if (found == rule_of.end() || found->Id != id || found->Remove != removals) return;
    const size_t k = static_cast<size_t>(found - rule_of.begin());
    if (placed[k]) return;
    placed[k] = true;
    plan.Rules.push_back(*found);
  };
  for (const WdfEntry& entry : new_index.Entries) place(entry.Id, false);
  for (const WdfEntry& entry : old_index.Entries) place(entry.Id, true);
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
  KeepFirstOfEach(&plan.Unreachable);
  return plan;
}

}  // namespace velmora
