#include "wdf/archive_check.h"

#include <algorithm>
#include <unordered_map>

namespace velmora {

namespace {

ArchiveRegion EntryRegion(const ArchiveIndex& index, size_t k) {
  const WdfEntry& entry = index.entries[k];
  const uint64_t end = static_cast<uint64_t>(entry.Offset) + entry.Size + entry.Space;
  return {static_cast<int64_t>(k), entry.Offset, end};
}

// Every non-empty part of the file, cut at its end, sorted by where it starts (the header and
// the index before an entry that starts at the same byte).
std::vector<ArchiveRegion> RegionsInFile(const ArchiveIndex& index) {
  std::vector<ArchiveRegion> regions;
  regions.reserve(index.entries.size() + 2);
  const uint64_t index_start = index.header.IndexOffset;
  regions.push_back({ArchiveRegion::kHeader, 0, kWdfHeaderSize});
  regions.push_back({ArchiveRegion::kIndex, index_start,
                     index_start + static_cast<uint64_t>(index.entries.size()) * kWdfEntrySize});
  for (size_t k = 0; k < index.entries.size(); ++k) regions.push_back(EntryRegion(index, k));
  for (ArchiveRegion& region : regions) region.end = std::min(region.end, index.file_size);
  regions.erase(std::remove_if(regions.begin(), regions.end(),
                               [](const ArchiveRegion& r) { return r.start >= r.end; }),
                regions.end());
  std::stable_sort(
      regions.begin(), regions.end(),
      [](const ArchiveRegion& a, const ArchiveRegion& b) { return a.start < b.start; });
  return regions;
}

void Add(ArchiveCheck& check, ArchiveFinding finding) {
  (finding.IsError() ? check.errors : check.warnings) += 1;
  check.findings.push_back(finding);
}

}  // namespace

ArchiveCheck CheckArchive(const ArchiveIndex& index, ArchiveFault fault) {
  ArchiveCheck check;
  if (fault != ArchiveFault::kNone) {
    ArchiveFinding finding;
    finding.fault = fault;
    Add(check, finding);
    return check;
  }
  const uint32_t count = static_cast<uint32_t>(index.entries.size());
  for (size_t k = 0; k < index.entries.size(); ++k) {
    if (EntryInBounds(index.entries[k], index.file_size, count)) continue;
    ArchiveFinding finding;
    finding.region = EntryRegion(index, k);
    finding.type = finding.region.end > index.file_size ? ArchiveFinding::Type::kEntryBeyondFile
                                                        : ArchiveFinding::Type::kEntryInIndexRoom;
    Add(check, finding);
  }

  std::unordered_map<uint32_t, size_t> first_with_id;
  for (size_t k = 0; k < index.entries.size(); ++k) {
    auto inserted = first_with_id.emplace(index.entries[k].Id, k);
    if (inserted.second) continue;
    ArchiveFinding finding;
    finding.type = ArchiveFinding::Type::kDuplicateId;
    finding.region = EntryRegion(index, k);
    finding.other = EntryRegion(index, inserted.first->second);
    Add(check, finding);
  }

  // One sweep in file order finds each region that starts inside an earlier one (reported with
  // the earlier region that reaches furthest) and each stretch of bytes that no region covers.
  uint64_t covered_to = 0;
  ArchiveRegion furthest;
  std::vector<ArchiveFinding> gaps;
  for (const ArchiveRegion& region : RegionsInFile(index)) {
    if (region.start < covered_to) {
      ArchiveFinding finding;
      finding.type = ArchiveFinding::Type::kOverlap;
      finding.region = region;
      finding.other = furthest;
      Add(check, finding);
    } else if (region.start > covered_to) {
      ArchiveFinding gap;
      gap.type = ArchiveFinding::Type::kUncovered;
      gap.region = {0, covered_to, region.start};
      gaps.push_back(gap);
    }
    if (region.end > covered_to) {
      covered_to = region.end;
      furthest = region;
    }
  }
  if (covered_to < index.file_size) {
    ArchiveFinding gap;
    gap.type = ArchiveFinding::Type::kUncovered;
    gap.region = {0, covered_to, index.file_size};
    gaps.push_back(gap);
  }
  for (const ArchiveFinding& gap : gaps) Add(check, gap);
  return check;
}

}  // namespace velmora
