// Two archives compared entry by entry: the k-th entry of an id in the old archive is paired
// with the k-th entry of that id in the new one. Entry bytes are read in pieces from both files,
// never held whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sys/file_system.h"
#include "wdf/archive_index.h"

namespace velmora {

enum class EntryChange { kSame, kChanged, kAdded, kRemoved };

// One pair of entries, or one entry alone. `old_entry` / `new_entry` are positions in the
// archives' indexes; kNoEntry for the side that has none.
struct EntryPair {
  static constexpr size_t kNoEntry = static_cast<size_t>(-1);
  EntryChange Change = EntryChange::kSame;
  uint32_t Id = 0;
  uint32_t Occurrence = 1;  // which entry of its id, counted from 1
  size_t OldEntry = kNoEntry;
  size_t NewEntry = kNoEntry;
};

struct ArchiveDifference {
  // Pairs in the old archive's index order, then the entries only the new archive has, in its
  // index order.
  std::vector<EntryPair> Pairs;
  size_t Counts[4] = {0, 0, 0, 0};  // by EntryChange
  // Both archives hold the same ids in the same order (every pair at the same position).
  bool SameOrder = true;

  size_t Count(EntryChange change) const { return Counts[static_cast<size_t>(change)]; }
  // Same entries, same bytes, same order.
  bool Identical() const { return SameOrder && Count(EntryChange::kSame) == Pairs.size(); }
};

// Why a comparison stopped: an entry whose bytes do not lie within its file, or bytes the
// system could not deliver (its reason stays in the last error).
enum class DiffFault { kNone, kOldEntryOutside, kNewEntryOutside, kOldReadFailed, kNewReadFailed };

struct DiffResult {
  ArchiveDifference Difference;
  DiffFault Fault = DiffFault::kNone;
  size_t FaultEntry = 0;  // the entry of the archive the fault names
};

// Pairs the entries of two indexes by id and occurrence, without reading any bytes: pairs of
// equal size are kSame, of different size kChanged. CompareArchives then settles equal sizes.
ArchiveDifference PairEntries(const ArchiveIndex& old_index, const ArchiveIndex& new_index);

// Pairs the entries and compares the bytes of every pair of equal size.
DiffResult CompareArchives(Stream& old_stream, const ArchiveIndex& old_index, Stream& new_stream,
                           const ArchiveIndex& new_index);

// True when the `size` bytes at `old_offset` of one stream equal those at `new_offset` of the
// other; reads both in pieces. `*failed_side` is 1 or 2 when a read fell short.
bool SameBytes(Stream& old_stream, uint32_t old_offset, Stream& new_stream, uint32_t new_offset,
               uint32_t size, int* failed_side);

}  // namespace velmora
