#include "job/referenced_archives.h"

#include <algorithm>
#include <new>
#include <utility>

#include "wdf/id_search.h"

namespace velmora {

namespace {

// Indexes are kept up to this many entries in all; beyond it, archives are searched on disk
// each time, as memory allows.
constexpr uint64_t kMostKeptEntries = uint64_t{1} << 23;

// Archives held open at once, at most.
constexpr size_t kMostHeldArchives = 64;

}  // namespace

Stream* ReferencedArchives::Held(const std::string& path) const {
  auto found = held_.find(path);
  return found == held_.end() ? nullptr : found->second.get();
}

void ReferencedArchives::Hold(const std::string& path, std::unique_ptr<Stream> archive) {
  if (held_.size() < kMostHeldArchives) held_.emplace(path, std::move(archive));
}

void ReferencedArchives::Release(const std::string& path) { held_.erase(path); }

bool ReferencedArchives::MayKeep(uint32_t count) const {
  return kept_entries_ + count <= kMostKeptEntries;
}

// Reads the whole index in one piece (the header check put it inside the file) and keeps the
// first entry of each Id. An index that cannot be read or held is simply not kept: the archive
// is then searched on disk.
void ReferencedArchives::KeepIndex(Stream& archive, KeptArchive* kept) {
  try {
    const size_t wanted = size_t{kept->Count} * kWdfEntrySize;
    std::vector<unsigned char> bytes(wanted);
    if (!archive.Seek(kept->IndexOffset) || archive.Read(bytes.data(), wanted) != wanted) return;
    std::vector<std::pair<KeptEntry, uint32_t>> entries;
    entries.reserve(kept->Count);
    for (uint32_t k = 0; k < kept->Count; ++k) {
      const WdfEntry entry = DecodeWdfEntry(bytes.data() + size_t{k} * kWdfEntrySize);
      entries.push_back({{entry.Id, entry.Offset, entry.Size}, k});
    }
    // Sorted by Id and then by index order, the first of each Id is the one a search finds.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
      return a.first.Id != b.first.Id ? a.first.Id < b.first.Id : a.second < b.second;
    });
    for (const auto& entry : entries) {
      if (kept->FirstOfId.empty() || kept->FirstOfId.back().Id != entry.first.Id) {
        kept->FirstOfId.push_back(entry.first);
      }
    }
    kept->IndexKept = true;
  } catch (const std::bad_alloc&) {
    kept->FirstOfId.clear();
    kept->IndexKept = false;
  }
}

ArchiveLookup ReferencedArchives::Find(const std::string& path, Stream& archive, uint32_t id,
                                       uint32_t* size) {
  FileVersion version;
  const bool versioned = archive.Version(&version);
  auto known = archives_.find(path);
  const KeptArchive* use = nullptr;
  KeptArchive fresh;
  if (versioned && known != archives_.end() && known->second.Version == version) {
    use = &known->second;
  } else {
    fresh.IsWdf = ReadWdfHeader(archive, &fresh.Count, &fresh.IndexOffset);
    fresh.Version = version;
    if (fresh.IsWdf && versioned && MayKeep(fresh.Count)) KeepIndex(archive, &fresh);
    FileVersion after;
    // Kept only when nothing wrote to the file while it was read.
    if (versioned && archive.Version(&after) && after == version) {
      if (known != archives_.end()) kept_entries_ -= known->second.FirstOfId.size();
      kept_entries_ += fresh.FirstOfId.size();
      KeptArchive& slot = archives_[path];
      slot = std::move(fresh);
      use = &slot;
    } else {
      use = &fresh;
    }
  }

  if (!use->IsWdf) return ArchiveLookup::kNotWdf;
  if (!use->IndexKept) {
    switch (FindEntryInArchive(archive, use->Count, use->IndexOffset, size, id)) {
      case IndexSearch::kFound:
        return ArchiveLookup::kFound;
      case IndexSearch::kNotFound:
        return ArchiveLookup::kNotFound;
      case IndexSearch::kReadFailed:
        return ArchiveLookup::kReadFailed;
    }
  }
  const auto& first = use->FirstOfId;
  const auto hit =
      LowerBoundId(first.begin(), first.end(), id, [](const KeptEntry& e) { return e.Id; });
  if (hit == first.end() || hit->Id != id) return ArchiveLookup::kNotFound;
  if (!archive.Seek(hit->Offset)) return ArchiveLookup::kReadFailed;
  *size = hit->Size;
  return ArchiveLookup::kFound;
}

}  // namespace velmora
