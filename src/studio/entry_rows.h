// Which entries the list shows, in which order: a filter by id prefix or kind and a sort by any
// column, over positions only (four bytes a row), so that a million rows sort in a blink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wdf/entry_kind.h"

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

// What rows are filtered and sorted by, per position.
struct RowKeys {
  std::function<uint32_t(uint32_t)> Id;
  std::function<uint32_t(uint32_t)> Size;
  std::function<EntryKind(uint32_t)> Kind;
  std::function<int(uint32_t)> Change;
  std::function<int(uint32_t)> Compared;
};

// The rows shown: `positions` (in their own order) filtered and sorted (stable, so equal keys
// keep that order).
std::vector<uint32_t> BuildRows(const std::vector<uint32_t>& positions, const RowKeys& keys,
                                const RowFilter& filter, EntryColumn column, bool descending);

}  // namespace velmora
