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
  if (std::find(plan->unreachable.begin(), plan->unreachable.end(), id) ==
      plan->unreachable.end()) {
    plan->unreachable.push_back(id);
  }
}

// True when every entry of the id in the new archive holds the same bytes as the first.
bool AllLikeFirst(const std::vector<const EntryPair*>& pairs, const ArchiveIndex& new_index,
                  Stream& new_stream) {
  const WdfEntry& first = new_index.entries[pairs.front()->new_entry];
  for (size_t k = 1; k < pairs.size(); ++k) {
    const WdfEntry& other = new_index.entries[pairs[k]->new_entry];
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
  added.by_id = IdsAscend(old_entries);
  for (const PatchRule& rule : rules) {
    if (rule.remove) removed.insert(rule.id);
    if (rule.add) added.ids.push_back(rule.id);
  }
  if (added.by_id) std::sort(added.ids.begin(), added.ids.end());
  std::vector<uint32_t> ids;
  size_t next_added = 0;
  for (const WdfEntry& entry : old_entries) {
    while (next_added < added.ids.size() &&
           NewEntryGoesBefore(added, added.ids[next_added], entry.Id)) {
      ids.push_back(added.ids[next_added++]);
    }
    if (removed.count(entry.Id) == 0) ids.push_back(entry.Id);
  }
  while (next_added < added.ids.size()) ids.push_back(added.ids[next_added++]);
  return ids;
}

PatchPlan PlanPatch(const ArchiveIndex& old_index, const ArchiveIndex& new_index,
                    const ArchiveDifference& difference, Stream& new_stream) {
  PatchPlan plan;
  PairsById by_id;
  for (const EntryPair& pair : difference.pairs) by_id[pair.id].push_back(&pair);

  // One rule per id at most, decided from all of the id's pairs.
  std::unordered_map<uint32_t, PatchRule> rule_of;
  for (const auto& [id, pairs] : by_id) {
    size_t olds = 0;
    size_t news = 0;
    bool all_same = true;
    for (const EntryPair* pair : pairs) {
      olds += pair->old_entry != EntryPair::kNoEntry;
      news += pair->new_entry != EntryPair::kNoEntry;
      all_same = all_same && pair->change == EntryChange::kSame;
    }
    if (all_same) continue;
    PatchRule rule;
    rule.id = id;
    if (news == 0) {
      rule.remove = true;
      plan.removed += olds;
    } else if (olds == 0 && news == 1) {
      rule.add = true;
      rule.new_entry = pairs.front()->new_entry;
      ++plan.added;
    } else if (olds == news && AllLikeFirst(pairs, new_index, new_stream)) {
      // Every entry of the id takes the same new bytes.
      rule.new_entry = pairs.front()->new_entry;
      plan.changed += olds;
    } else {
      NoteUnreachable(&plan, id);
      continue;
    }
    rule_of[id] = rule;
  }
  if (!plan.unreachable.empty()) return plan;

  // Rules in the new archive's order, removals (which give no entry) last.
  std::set<uint32_t> placed;
  for (const WdfEntry& entry : new_index.entries) {
    const auto found = rule_of.find(entry.Id);
    if (found != rule_of.end() && placed.insert(entry.Id).second) {
      plan.rules.push_back(found->second);
    }
  }
  for (const WdfEntry& entry : old_index.entries) {
    const auto found = rule_of.find(entry.Id);
    if (found != rule_of.end() && found->second.remove && placed.insert(entry.Id).second) {
      plan.rules.push_back(found->second);
    }
  }
  plan.adds_entries = plan.added > 0;

  // The run must give the new archive's ids in its order.
  const std::vector<uint32_t> patched = PatchedIds(old_index.entries, plan.rules);
  const size_t common = std::min(patched.size(), new_index.entries.size());
  for (size_t k = 0; k < common; ++k) {
    if (patched[k] != new_index.entries[k].Id) NoteUnreachable(&plan, new_index.entries[k].Id);
  }
  for (size_t k = common; k < new_index.entries.size(); ++k) {
    NoteUnreachable(&plan, new_index.entries[k].Id);
  }
  for (size_t k = common; k < patched.size(); ++k) NoteUnreachable(&plan, patched[k]);
  return plan;
}

}  // namespace velmora
