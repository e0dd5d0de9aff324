#include "studio/studio_archive.h"

#include <algorithm>

#include "studio/byte_stream.h"
#include "studio/entry_kinds.h"

namespace velmora {

namespace {

// Findings kept for the bar above the list; the counts stay whole. A hostile archive can have a
// finding per entry, which would cost more than the entries themselves.
constexpr size_t kFindingsKept = 1000;

}  // namespace

bool StudioArchive::Open(FileSystem& files, const std::string& path) {
  std::unique_ptr<Stream> stream = files.OpenShared(path);
  if (!stream) return false;
  bytes_.reset();
  OpenStream(std::move(stream), path);
  return true;
}

void StudioArchive::OpenStream(std::unique_ptr<Stream> stream, const std::string& name) {
  path_ = name;
  stream_ = std::move(stream);
  index_ = ArchiveIndex();
  fault_ = ReadArchiveIndex(*stream_, &index_);
  if (fault_ != ArchiveFault::kNone) index_.Entries.clear();
  check_ = CheckArchive(index_, fault_);

  const uint32_t count = Count();
  flags_.assign(count, 0);
  total_size_ = 0;
  for (uint32_t k = 0; k < count; ++k) total_size_ += index_.Entries[k].Size;
  for (const ArchiveFinding& finding : check_.Findings) {
    if (finding.IsError() && finding.Region.Entry >= 0 &&
        static_cast<uint64_t>(finding.Region.Entry) < count) {
      flags_[static_cast<size_t>(finding.Region.Entry)] |= kBadBit;
    }
  }
  if (check_.Findings.size() > kFindingsKept) {
    check_.Findings.resize(kFindingsKept);
    check_.Findings.shrink_to_fit();
  }

  first_of_id_.clear();
  first_of_id_.reserve(count);
  for (uint32_t k = 0; k < count; ++k) first_of_id_.emplace_back(index_.Entries[k].Id, k);
  std::sort(first_of_id_.begin(), first_of_id_.end());  // by id, then by position
  size_t kept = 0;
  for (size_t k = 0; k < first_of_id_.size(); ++k) {
    if (k > 0 && first_of_id_[k].first == first_of_id_[k - 1].first) {
      flags_[first_of_id_[k].second] |= kLaterBit;
    } else {
      first_of_id_[kept++] = first_of_id_[k];
    }
  }
  first_of_id_.resize(kept);
  first_of_id_.shrink_to_fit();
}

void StudioArchive::OpenBytes(std::shared_ptr<const std::string> bytes, const std::string& name) {
  bytes_ = bytes;
  OpenStream(std::make_unique<ByteStream>(std::move(bytes)), name);
}

bool StudioArchive::TakeAgain(FileSystem& files) {
  if (stream_) return true;
  std::unique_ptr<Stream> stream = files.OpenShared(path_);
  uint64_t size = 0;
  if (!stream || !stream->Size(&size) || size != index_.FileSize) return false;
  stream_ = std::move(stream);
  return true;
}

std::unique_ptr<Stream> StudioArchive::AnotherReader(FileSystem& files) const {
  if (bytes_) return std::make_unique<ByteStream>(bytes_);
  return files.OpenShared(path_);
}

void StudioArchive::TakeKinds(const std::vector<uint8_t>& kinds) {
  for (size_t k = 0; k < kinds.size() && k < flags_.size(); ++k) {
    if ((flags_[k] & kKnownBit) == 0 && kinds[k] != kKindUnknown) {
      flags_[k] = static_cast<uint8_t>((flags_[k] & ~kKindMask) | kKnownBit | kinds[k]);
    }
  }
}

EntryKind StudioArchive::KindAt(uint32_t position) {
  uint8_t& flags = flags_[position];
  if ((flags & kKnownBit) == 0) {
    EntryKind kind = EntryKind::kOutOfBounds;
    if (!stream_ || !ReadEntryKind(*stream_, index_.Entries[position], index_.FileSize, &kind)) {
      // Unreadable now; asked again next time, since the file may be readable then.
      return EntryKind::kData;
    }
    flags = static_cast<uint8_t>((flags & ~kKindMask) | kKnownBit | static_cast<uint8_t>(kind));
  }
  return static_cast<EntryKind>(flags & kKindMask);
}

void StudioArchive::ReadAllKinds() {
  std::vector<uint32_t> unknown;
  std::vector<WdfEntry> entries;
  for (uint32_t k = 0; k < Count(); ++k) {
    if ((flags_[k] & kKnownBit) != 0) continue;
    unknown.push_back(k);
    entries.push_back(index_.Entries[k]);
  }
  if (unknown.empty() || !stream_) return;
  // One pass over the archive for all of them, not a read per entry.
  const std::vector<uint8_t> found = ReadEntryKinds(*stream_, entries, index_.FileSize);
  std::vector<uint8_t> kinds(Count(), kKindUnknown);
  for (size_t k = 0; k < unknown.size(); ++k) kinds[unknown[k]] = found[k];
  TakeKinds(kinds);
}

bool StudioArchive::FirstWithId(uint32_t id, uint32_t* position) const {
  auto found =
      std::lower_bound(first_of_id_.begin(), first_of_id_.end(), std::make_pair(id, uint32_t{0}));
  if (found == first_of_id_.end() || found->first != id) return false;
  *position = found->second;
  return true;
}

bool StudioArchive::ReadHead(uint32_t position, size_t limit, std::string* bytes) {
  bytes->clear();
  WdfEntry head = index_.Entries[position];
  if (!stream_ || !EntryBytesInFile(head, index_.FileSize)) return false;
  if (head.Size > limit) head.Size = static_cast<uint32_t>(limit);
  bytes->reserve(head.Size);
  return ReadEntryBytes(*stream_, head, [bytes](const char* data, size_t n) {
    bytes->append(data, n);
    return true;
  });
}

bool StudioArchive::ReadAll(uint32_t position,
                            const std::function<bool(const char*, size_t)>& sink) {
  const WdfEntry& entry = index_.Entries[position];
  if (!stream_ || !EntryBytesInFile(entry, index_.FileSize)) return false;
  return ReadEntryBytes(*stream_, entry, sink);
}

}  // namespace velmora
