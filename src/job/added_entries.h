// New entries (#AddEntries=yes): rule lines for ids the source lacks become entries of the new
// archive. Where they go is one rule, shared by the run and by whoever predicts its result: when
// the source's ids ascend strictly, each new entry takes its place by id, so the new archive
// stays sorted; otherwise the new entries follow the source's entries in the order of their
// rule lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "job/script.h"
#include "wdf/wdf.h"

namespace velmora {

// The id of a line named as a rule line: '@' and eight hexadecimal digits in either case.
bool RuleLineId(const std::string& name, uint32_t* id);

// True when the ids ascend strictly.
bool IdsAscend(const std::vector<WdfEntry>& entries);

// The new entries of a run, in the order they are written.
struct NewEntries {
  bool ById = false;          // placed by id among the source's entries
  std::vector<uint32_t> Ids;  // sorted when by_id, else in the order of their rule lines
};

// The ids that rule lines name and the source lacks (`source_ids` answers whether an id is in
// the source), each from the first line that names it. A line counts when its name is '@' and
// eight hexadecimal digits, as the lines a source entry finds.
NewEntries FindNewEntries(const ScriptLines& script, const std::vector<WdfEntry>& source_index,
                          const SourceIdLookup& source_ids);

// Whether the new entry `new_id` is written before the source entry `source_id`.
inline bool NewEntryGoesBefore(const NewEntries& entries, uint32_t new_id, uint32_t source_id) {
  return entries.ById && new_id < source_id;
}

}  // namespace velmora
