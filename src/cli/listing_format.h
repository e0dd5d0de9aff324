// The three forms of an archive's listing: an aligned table for people, and tab-separated
// values and JSON for programs.
#pragma once

#include <string>
#include <vector>

#include "wdf/archive_index.h"
#include "wdf/entry_kind.h"

namespace velmora {

enum class ListingForm { kText, kTsv, kJson };

// The listing of `index`, whose entries have the kinds `kinds` (one per entry). `summary` is the
// text table's last line (its words depend on the person's language); the other forms ignore it.
std::string FormatListing(ListingForm form, const ArchiveIndex& index,
                          const std::vector<EntryKind>& kinds, const std::string& summary);

}  // namespace velmora
