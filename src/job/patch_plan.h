// A patch: the script rules that turn one archive into another when the script runs in place on
// the first, worked out from the comparison of the two. A rule for an id applies to every
// entry with that id, and new entries are placed by the run's rule (by id in an archive whose
// ids ascend, else behind the others in the order of their rule lines), so not every new archive
// can be reached; the plan then names the entries that stand in the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sys/file_system.h"
#include "wdf/archive_diff.h"
#include "wdf/archive_index.h"

namespace velmora {

struct PatchRule {
  uint32_t Id = 0;
  bool Remove = false;  // @Delete
  bool Add = false;     // an id the old archive lacks
  size_t NewEntry = 0;  // otherwise: the new archive's entry whose bytes the rule takes
};

struct PatchPlan {
  std::vector<PatchRule> Rules;  // in the new archive's order of the entries they give
  bool AddsEntries = false;
  size_t Changed = 0;
  size_t Added = 0;
  size_t Removed = 0;  // entries the rules delete
  // When the new archive cannot be reached: the ids in the way (each once, in order found).
  std::vector<uint32_t> Unreachable;
};

// The id sequence that running `rules` in place on an archive with `old_entries` gives.
std::vector<uint32_t> PatchedIds(const std::vector<WdfEntry>& old_entries,
                                 const std::vector<PatchRule>& rules);

// Works out the rules from a finished comparison (no fault). Entries of a repeated id that are
// to differ from one another need `new_stream` to compare their bytes; a read that fails is
// taken as a difference. `plan.Unreachable` is empty when the rules reach the new archive.
PatchPlan PlanPatch(const ArchiveIndex& old_index, const ArchiveIndex& new_index,
                    const ArchiveDifference& difference, Stream& new_stream);

}  // namespace velmora
