// Which entries of one archive differ from another's. Entries are paired by id and by their
// turn among the entries of that id: the k-th entry with an id in one archive is compared with
// the k-th entry with the same id in the other. Bytes are compared piece by piece, never held
// whole.
#pragma once

#include <cstdint>
#include <vector>

#include "sys/file_system.h"
#include "wdf/archive_index.h"

namespace velmora {

enum class EntryDifference : uint8_t {
  kSame,        // the partner holds the same bytes
  kChanged,     // the partner holds other bytes
  kOnlyHere,    // the other archive has no partner for it
  kUnreadable,  // its bytes or its partner's do not lie within the file or cannot be read
};

struct ArchiveComparison {
  std::vector<EntryDifference> Entries;  // one per entry of the first archive, in index order
  std::vector<uint32_t> OnlyInOther;     // positions of the other's entries without a partner
  uint64_t Changed = 0;                  // entries of the first archive that are not kSame
};

// Compares every entry of `mine` (read from `my_stream`) with its partner in `other`.
ArchiveComparison CompareArchives(Stream& my_stream, const ArchiveIndex& mine, Stream& other_stream,
                                  const ArchiveIndex& other);

}  // namespace velmora
