#include "studio/entry_kinds.h"

#include <algorithm>
#include <numeric>
#include <string>

#include "wdf/archive_index.h"

namespace velmora {

namespace {

// The largest piece read at once: entries whose first bytes lie in it are told from it.
constexpr uint64_t kPieceSize = 1u << 20;

}  // namespace

std::vector<uint8_t> ReadEntryKinds(Stream& stream, const std::vector<WdfEntry>& entries,
                                    uint64_t file_size, const std::atomic<bool>* stop) {
  std::vector<uint8_t> kinds(entries.size(), kKindUnknown);
  std::vector<uint32_t> order;
  order.reserve(entries.size());
  for (uint32_t k = 0; k < entries.size(); ++k) {
    const WdfEntry& entry = entries[k];
    if (!EntryBytesInFile(entry, file_size)) {
      kinds[k] = static_cast<uint8_t>(EntryKind::kOutOfBounds);
    } else if (entry.Size == 0) {
      kinds[k] = static_cast<uint8_t>(EntryKind::kEmpty);
    } else {
      order.push_back(k);
    }
  }
  std::sort(order.begin(), order.end(), [&entries](uint32_t a, uint32_t b) {
    return entries[a].Offset < entries[b].Offset ||
           (entries[a].Offset == entries[b].Offset && a < b);
  });
  auto head_end = [&entries](uint32_t k) {
    return uint64_t{entries[k].Offset} + std::min<uint64_t>(entries[k].Size, kEntryKindSample);
  };
  std::string piece;
  std::string head;
  uint64_t piece_start = 0;
  for (size_t next = 0; next < order.size();) {
    if (stop && stop->load(std::memory_order_relaxed)) break;
    // The piece starts at the next entry and reaches the end of the first bytes of the last
    // entry that starts within kPieceSize of it: one read for a run of small entries, just the
    // first bytes for a large one.
    piece_start = entries[order[next]].Offset;
    uint64_t piece_end = head_end(order[next]);
    size_t last = next;
    while (last + 1 < order.size() && entries[order[last + 1]].Offset < piece_start + kPieceSize) {
      ++last;
      piece_end = std::max(piece_end, head_end(order[last]));
    }
    piece.resize(static_cast<size_t>(piece_end - piece_start));
    const bool read = stream.Seek(piece_start) && stream.Read(&piece[0], piece.size()) == piece.size();
    for (size_t k = next; k <= last; ++k) {
      const uint32_t position = order[k];
      if (!read) continue;  // unknown: asked again, one by one, when it is shown
      const WdfEntry& entry = entries[position];
      const size_t from = static_cast<size_t>(entry.Offset - piece_start);
      const size_t length = static_cast<size_t>(head_end(position) - entry.Offset);
      head.assign(piece, from, length);
      kinds[position] = static_cast<uint8_t>(DetectEntryKind(head, entry.Size));
    }
    next = last + 1;
  }
  return kinds;
}

}  // namespace velmora
