// Which entries the list shows, in which order: a filter by id prefix or kind and a sort by any
// column, over positions only (four bytes a row), so that a million rows sort in a blink.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "studio/studio_archive.h"
#include "studio/pending_changes.h"
#include "wdf/archive_diff.h"

namespace velmora {

enum class EntryColumn { kPosition, kId, kSize, kKind, kChange, kCompared };

struct RowFilter {
  enum class Type { kAll, kIdPrefix, kKind };
  Type Kind = Type::kAll;
  uint32_t Prefix = 0;  // kIdPrefix: the first `Digits` hexadecimal digits of the id
  int Digits = 0;
  EntryKind WantedKind = EntryKind::kData;  // kKind
};

// The filter box's text: empty for all entries; one to eight hexadecimal digits (after an
// optional "@" or "0x") for ids beginning with them; a kind's name ("png", "text", "empty", ...)
// for the entries of that kind. False when the text is none of these.
bool ParseRowFilter(const std::string& text, RowFilter* filter);

// The rows shown: the source's entries and then the added ones, filtered and sorted (stable, so
// equal keys keep the index order). Filtering or sorting by kind reads the kinds not yet known.
// `compared` (one mark per source entry, or null before a comparison) is what kCompared sorts by.
std::vector<uint32_t> BuildRows(StudioArchive& archive, const PendingChanges& changes,
                                const RowFilter& filter, EntryColumn column, bool descending,
                                const std::vector<EntryChange>* compared = nullptr);

}  // namespace velmora
