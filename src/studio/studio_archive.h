// An archive open in the Studio: its index in memory, its bytes read per entry only when an
// entry is shown, its soundness as verify judges it, and what little is known per entry (kind,
// bad, a later entry of a repeated id) packed in one byte, so that an archive of a million
// entries costs some 30 bytes per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sys/file_system.h"
#include "wdf/archive_check.h"
#include "wdf/archive_index.h"
#include "wdf/entry_kind.h"

namespace velmora {

class StudioArchive {
 public:
  // Opens the archive at `path` shared (others may go on reading and writing it) and reads its
  // index. False when it cannot be opened (the system's reason stays in the last error). A
  // damaged archive opens: Fault() and Check() tell what is wrong, and its entries whose bytes
  // do not lie within the file are marked bad and never read.
  bool Open(FileSystem& files, const std::string& path);

  const std::string& Path() const { return path_; }
  // The archive as opened, for reading what a rebuild takes from it.
  Stream& Source() const { return *stream_; }
  ArchiveFault Fault() const { return fault_; }
  const ArchiveCheck& Check() const { return check_; }
  uint64_t FileSize() const { return index_.FileSize; }
  uint32_t Count() const { return static_cast<uint32_t>(index_.Entries.size()); }
  const WdfEntry& Entry(uint32_t position) const { return index_.Entries[position]; }
  const std::vector<WdfEntry>& Entries() const { return index_.Entries; }
  // Sum of the entries' sizes.
  uint64_t TotalSize() const { return total_size_; }

  // The entry's kind, read from its first bytes on first use and remembered.
  EntryKind KindAt(uint32_t position);
  bool KindKnown(uint32_t position) const { return (flags_[position] & kKnownBit) != 0; }
  // Reads the kind of every entry not yet known (for sorting or filtering by kind).
  void ReadAllKinds();

  // A check finding (an error) names the entry: it cannot be taken as it is by a run.
  bool IsBad(uint32_t position) const { return (flags_[position] & kBadBit) != 0; }
  // Not the first entry with its id: no rule of a script can reach it.
  bool IsLaterOccurrence(uint32_t position) const { return (flags_[position] & kLaterBit) != 0; }
  // The position of the first entry with `id`; false when none has it.
  bool FirstWithId(uint32_t id, uint32_t* position) const;

  // Up to `limit` of the entry's first bytes into `bytes`. False when the entry's bytes do not
  // lie within the file or cannot be read.
  bool ReadHead(uint32_t position, size_t limit, std::string* bytes);
  // All of the entry's bytes, piece by piece; false as ReadHead.
  bool ReadAll(uint32_t position, const std::function<bool(const char*, size_t)>& sink);

 private:
  static constexpr uint8_t kKindMask = 0x0F;
  static constexpr uint8_t kKnownBit = 0x10;
  static constexpr uint8_t kBadBit = 0x20;
  static constexpr uint8_t kLaterBit = 0x40;

  std::string path_;
  std::unique_ptr<Stream> stream_;
  ArchiveIndex index_;
  ArchiveFault fault_ = ArchiveFault::kNone;
  ArchiveCheck check_;
  uint64_t total_size_ = 0;
  std::vector<uint8_t> flags_;
  std::vector<std::pair<uint32_t, uint32_t>> first_of_id_;  // (id, position), sorted by id
};

}  // namespace velmora
