#include "studio/entry_rows.h"

#include <algorithm>

#include "wdf/resource_id.h"

namespace velmora {

namespace {

constexpr EntryKind kAllKinds[] = {
    EntryKind::kBmp,  EntryKind::kPng,   EntryKind::kJpg,         EntryKind::kGif, EntryKind::kTga,
    EntryKind::kWav,  EntryKind::kOgg,   EntryKind::kMp3,         EntryKind::kWdf, EntryKind::kText,
    EntryKind::kData, EntryKind::kEmpty, EntryKind::kOutOfBounds,
};

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool ParseRowFilter(const std::string& text, RowFilter* filter) {
  RowFilter parsed;
  const std::string lower = Lower(Trimmed(text));
  if (lower.empty()) {
    *filter = parsed;
    return true;
  }
  for (EntryKind kind : kAllKinds) {
    if (lower == EntryKindName(kind)) {
      parsed.Kind = RowFilter::Type::kKind;
      parsed.WantedKind = kind;
      *filter = parsed;
      return true;
    }
  }
  size_t start = 0;
  if (lower[0] == '@') {
    start = 1;
  } else if (lower.compare(0, 2, "0x") == 0) {
    start = 2;
  }
  const std::string digits = lower.substr(start);
  uint32_t value = 0;
  // A prefix is at most the eight digits of an id, leading zeros included.
  if (digits.size() > 8 || !ParseHexId(digits, &value)) return false;
  parsed.Kind = RowFilter::Type::kIdPrefix;
  parsed.Prefix = value;
  parsed.Digits = static_cast<int>(digits.size());
  *filter = parsed;
  return true;
}

std::vector<uint32_t> BuildRows(const std::vector<uint32_t>& positions, const RowKeys& keys,
                                const RowFilter& filter, EntryColumn column, bool descending) {
  auto wanted = [&](uint32_t position) {
    switch (filter.Kind) {
      case RowFilter::Type::kAll:
        return true;
      case RowFilter::Type::kIdPrefix:
        return (keys.Id(position) >> (4 * (8 - filter.Digits))) == filter.Prefix;
      case RowFilter::Type::kKind:
        return keys.Kind(position) == filter.WantedKind;
    }
    return true;
  };
  std::vector<uint32_t> rows;
  if (filter.Kind == RowFilter::Type::kAll) {
    rows = positions;
  } else {
    for (uint32_t position : positions) {
      if (wanted(position)) rows.push_back(position);
    }
  }

  // Each row's key is asked once, not at every comparison: a key may cost a look into the plan,
  // and a million rows sorted ask some twenty million comparisons.
  auto sort_by = [&](auto key) {
    using Key = decltype(key(0));
    std::vector<std::pair<Key, uint32_t>> keyed;
    keyed.reserve(rows.size());
    for (uint32_t position : rows) keyed.emplace_back(key(position), position);
    if (descending) {
      std::stable_sort(keyed.begin(), keyed.end(),
                       [](const auto& a, const auto& b) { return b.first < a.first; });
    } else {
      std::stable_sort(keyed.begin(), keyed.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    for (size_t k = 0; k < rows.size(); ++k) rows[k] = keyed[k].second;
  };
  switch (column) {
    case EntryColumn::kPosition:
      if (descending) std::reverse(rows.begin(), rows.end());
      break;
    case EntryColumn::kId:
      sort_by(keys.Id);
      break;
    case EntryColumn::kSize:
      sort_by(keys.Size);
      break;
    case EntryColumn::kKind:
      sort_by([&](uint32_t position) { return static_cast<int>(keys.Kind(position)); });
      break;
    case EntryColumn::kChange:
      sort_by(keys.Change);
      break;
    case EntryColumn::kCompared:
      sort_by(keys.Compared);
      break;
  }
  return rows;
}

}  // namespace velmora
