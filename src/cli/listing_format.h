// The three forms of an archive's listing: an aligned table for people, and tab-separated
// values and JSON for programs.
#pragma once

#include <string>
#include <vector>

#include "cli/command.h"
#include "wdf/archive_index.h"
#include "wdf/entry_kind.h"

namespace velmora {

enum class ListingForm { kText, kTsv, kJson };

// The listing of `index`, whose entries have the kinds `kinds` (one per entry). The text table
// speaks the console's language and ends with `summary`; the other forms ignore both, so that
// programs read the same field names and kinds everywhere.
std::string FormatListing(ListingForm form, const ArchiveIndex& index,
                          const std::vector<EntryKind>& kinds, const Console& console,
                          const std::string& summary);

}  // namespace velmora
