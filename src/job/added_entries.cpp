#include "job/added_entries.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "wdf/resource_id.h"

namespace velmora {

namespace {

bool SourceHasId(const std::vector<WdfEntry>& source_index, const SourceIdLookup& source_ids,
                 uint32_t id) {
  if (source_ids.Built) {
    const auto& first = source_ids.FirstIndexOfId;
    const auto it = std::lower_bound(first.begin(), first.end(), std::make_pair(id, uint32_t{0}));
    return it != first.end() && it->first == id;
  }
  return std::any_of(source_index.begin(), source_index.end(),
                     [id](const WdfEntry& entry) { return entry.Id == id; });
}

}  // namespace

bool RuleLineId(const std::string& name, uint32_t* id) {
  return name.size() == 9 && name[0] == '@' && ParseHexId(name.substr(1), id);
}

bool IdsAscend(const std::vector<WdfEntry>& entries) {
  for (size_t k = 1; k < entries.size(); ++k) {
    if (entries[k - 1].Id >= entries[k].Id) return false;
  }
  return true;
}

NewEntries FindNewEntries(const ScriptLines& script, const std::vector<WdfEntry>& source_index,
                          const SourceIdLookup& source_ids) {
  NewEntries entries;
  entries.ById = IdsAscend(source_index);
  std::unordered_set<uint32_t> seen;
  for (size_t k = 0; k < script.Count(); ++k) {
    uint32_t id = 0;
    const int line = static_cast<int>(k);
    if (!RuleLineId(ScriptNameAt(script, line), &id) || !seen.insert(id).second) continue;
    if (SourceHasId(source_index, source_ids, id)) continue;
    // The line that a lookup of the id finds, as for a source entry.
    if (FindScriptKey(script, EntryKey(id)) != line) continue;
    entries.Ids.push_back(id);
  }
  if (entries.ById) std::sort(entries.Ids.begin(), entries.Ids.end());
  return entries;
}

}  // namespace velmora
