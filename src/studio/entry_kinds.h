// The kinds of many entries found in one pass over the archive: entries are visited in the order
// of their bytes and read in large pieces, so that a million small entries cost about one read
// of their bytes rather than a million reads, and the work can run away from the window.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "sys/file_system.h"
#include "wdf/entry_kind.h"
#include "wdf/wdf.h"

namespace velmora {

// The value of an entry whose kind could not be read (its bytes could not be read, or the pass
// was stopped before it).
constexpr uint8_t kKindUnknown = 0xFF;

// One EntryKind per entry of `entries` (as uint8_t), the same kind ReadEntryKind finds for it,
// or kKindUnknown. `stop`, when set by another thread, ends the pass early.
std::vector<uint8_t> ReadEntryKinds(Stream& stream, const std::vector<WdfEntry>& entries,
                                    uint64_t file_size, const std::atomic<bool>* stop = nullptr);

}  // namespace velmora
