#include "wdf/archive_check.h"

#include <algorithm>

namespace velmora {

namespace {

ArchiveRegion EntryRegion(const ArchiveIndex& index, size_t k) {
  const WdfEntry& entry = index.Entries[k];
  const uint64_t end = static_cast<uint64_t>(entry.Offset) + entry.Size + entry.Space;
  return {static_cast<int64_t>(k), entry.Offset, end};
}

// Every non-empty part of the file, cut at its end, sorted by where it starts (the header and
// the index before an entry that starts at the same byte).
std::vector<ArchiveRegion> RegionsInFile(const ArchiveIndex& index) {
  std::vector<ArchiveRegion> regions;
  regions.reserve(index.Entries.size() + 2);
  const uint64_t index_start = index.Header.IndexOffset;
  regions.push_back({ArchiveRegion::kHeader, 0, kWdfHeaderSize});
  regions.push_back({ArchiveRegion::kIndex, index_start,
                     index_start + static_cast<uint64_t>(index.Entries.size()) * kWdfEntrySize});
  for (size_t k = 0; k < index.Entries.size(); ++k) regions.push_back(EntryRegion(index, k));
  for (ArchiveRegion& region : regions) region.End = std::min(region.End, index.FileSize);
  regions.erase(std::remove_if(regions.begin(), regions.end(),
                               [](const ArchiveRegion& r) { return r.Start >= r.End; }),
                regions.end());
  std::stable_sort(
      regions.begin(), regions.end(),
      [](const ArchiveRegion& a, const ArchiveRegion& b) { return a.Start < b.Start; });
  return regions;
}

void Add(ArchiveCheck& check, ArchiveFinding finding) {
  (finding.IsError() ? check.Errors : check.Warnings) += 1;
  check.Findings.push_back(finding);
}

}  // namespace

ArchiveCheck CheckArchive(const ArchiveIndex& index, ArchiveFault fault) {
  ArchiveCheck check;
  if (fault != ArchiveFault::kNone) {
    ArchiveFinding finding;
    finding.Fault = fault;
    Add(check, finding);
    return check;
  }
  const uint32_t count = static_cast<uint32_t>(index.Entries.size());
  for (size_t k = 0; k < index.Entries.size(); ++k) {
    if (EntryInBounds(index.Entries[k], index.FileSize, count)) continue;
    ArchiveFinding finding;
    finding.Region = EntryRegion(index, k);
    finding.Kind = finding.Region.End > index.FileSize ? ArchiveFinding::Type::kEntryBeyondFile
                                                       : ArchiveFinding::Type::kEntryInIndexRoom;
    Add(check, finding);
  }

  // Repeated ids from the entries sorted by id (8 bytes an entry, where a hash map of a million
  // ids costs several times that); each later entry names the first one with its id.
  {
    std::vector<std::pair<uint32_t, uint32_t>> by_id;
    by_id.reserve(index.Entries.size());
    for (size_t k = 0; k < index.Entries.size(); ++k) {
      by_id.emplace_back(index.Entries[k].Id, static_cast<uint32_t>(k));
    }
    std::sort(by_id.begin(), by_id.end());
    std::vector<std::pair<uint32_t, uint32_t>> repeats;  // (entry, first entry with its id)
    size_t first = 0;                                    // where the run of the current id begins
    for (size_t k = 1; k < by_id.size(); ++k) {
      if (by_id[k].first != by_id[first].first) {
        first = k;
      } else {
        repeats.emplace_back(by_id[k].second, by_id[first].second);
      }
    }
    by_id.clear();
    by_id.shrink_to_fit();
    std::sort(repeats.begin(), repeats.end());  // index order, as the findings are listed
    for (const auto& repeat : repeats) {
      ArchiveFinding finding;
      finding.Kind = ArchiveFinding::Type::kDuplicateId;
      finding.Region = EntryRegion(index, repeat.first);
      finding.Other = EntryRegion(index, repeat.second);
      Add(check, finding);
    }
  }

  // One sweep in file order finds each region that starts inside an earlier one (reported with
  // the earlier region that reaches furthest) and each stretch of bytes that no region covers.
  uint64_t covered_to = 0;
  ArchiveRegion furthest;
  std::vector<ArchiveFinding> gaps;
  for (const ArchiveRegion& region : RegionsInFile(index)) {
    if (region.Start < covered_to) {
      ArchiveFinding finding;
      finding.Kind = ArchiveFinding::Type::kOverlap;
      finding.Region = region;
      finding.Other = furthest;
      Add(check, finding);
    } else if (region.Start > covered_to) {
      ArchiveFinding gap;
      gap.Kind = ArchiveFinding::Type::kUncovered;
      gap.Region = {0, covered_to, region.Start};
      gaps.push_back(gap);
    }
    if (region.End > covered_to) {
      covered_to = region.End;
      furthest = region;
    }
  }
  if (covered_to < index.FileSize) {
    ArchiveFinding gap;
    gap.Kind = ArchiveFinding::Type::kUncovered;
    gap.Region = {0, covered_to, index.FileSize};
    gaps.push_back(gap);
  }
  for (const ArchiveFinding& gap : gaps) Add(check, gap);
  return check;
}

}  // namespace velmora
