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
  const size_t digits = lower.size() - start;
  if (digits == 0 || digits > 8) return false;
  uint32_t value = 0;
  for (size_t k = start; k < lower.size(); ++k) {
    const int digit = HexDigitValue(lower[k]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  parsed.Kind = RowFilter::Type::kIdPrefix;
  parsed.Prefix = value;
  parsed.Digits = static_cast<int>(digits);
  *filter = parsed;
  return true;
}

std::vector<uint32_t> BuildRows(StudioArchive& archive, const PendingChanges& changes,
                                const RowFilter& filter, EntryColumn column, bool descending,
                                const std::vector<EntryChange>* compared) {
  if (filter.Kind == RowFilter::Type::kKind || column == EntryColumn::kKind) {
    archive.ReadAllKinds();
  }
  const uint32_t count = archive.Count();
  auto id_of = [&](uint32_t position) {
    return changes.IsAdded(position) ? changes.AddedId(position) : archive.Entry(position).Id;
  };
  auto size_of = [&](uint32_t position) -> uint32_t {
    return changes.IsAdded(position) ? 0 : archive.Entry(position).Size;
  };
  // Added entries have no bytes in the archive: they sort and filter as data.
  auto kind_of = [&](uint32_t position) {
    return changes.IsAdded(position) ? EntryKind::kData : archive.KindAt(position);
  };
  auto wanted = [&](uint32_t position) {
    switch (filter.Kind) {
      case RowFilter::Type::kAll:
        return true;
      case RowFilter::Type::kIdPrefix:
        return (id_of(position) >> (4 * (8 - filter.Digits))) == filter.Prefix;
      case RowFilter::Type::kKind:
        return kind_of(position) == filter.WantedKind;
    }
    return true;
  };

  std::vector<uint32_t> rows;
  rows.reserve(filter.Kind == RowFilter::Type::kAll ? count + changes.AddedCount() : 0);
  for (uint32_t k = 0; k < count; ++k) {
    if (wanted(k)) rows.push_back(k);
  }
  for (uint32_t position : changes.AddedPositions()) {
    if (wanted(position)) rows.push_back(position);
  }

  auto sort_by = [&](auto key) {
    if (descending) {
      std::stable_sort(rows.begin(), rows.end(),
                       [&](uint32_t a, uint32_t b) { return key(b) < key(a); });
    } else {
      std::stable_sort(rows.begin(), rows.end(),
                       [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    }
  };
  switch (column) {
    case EntryColumn::kPosition:
      if (descending) std::reverse(rows.begin(), rows.end());
      break;
    case EntryColumn::kId:
      sort_by(id_of);
      break;
    case EntryColumn::kSize:
      sort_by(size_of);
      break;
    case EntryColumn::kKind:
      sort_by([&](uint32_t position) { return static_cast<int>(kind_of(position)); });
      break;
    case EntryColumn::kChange:
      sort_by([&](uint32_t position) { return static_cast<int>(changes.ChangeAt(position).Kind); });
      break;
    case EntryColumn::kCompared:
      sort_by([&](uint32_t position) {
        return compared && position < compared->size() ? static_cast<int>((*compared)[position])
                                                       : -1;
      });
      break;
  }
  return rows;
}

}  // namespace velmora
