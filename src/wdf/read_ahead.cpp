#include "wdf/read_ahead.h"

#include <algorithm>

#include "sys/polling_wait.h"

namespace velmora {

namespace {

// The reader's wait for a piece under way yields the processor a while before it sleeps: a piece
// takes a fraction of a millisecond to read. Neither thread wakes the other.
constexpr int kYieldsBeforeSleeping = 200;

}  // namespace

ReadAhead::ReadAhead(Stream& stream, uint64_t offset)
    : stream_(stream),
      start_(offset),
      ring_(new unsigned char[kRingSize]),
      filled_(offset),
      released_(offset) {
  thread_ = std::thread([this] { ReadPieces(); });
}

ReadAhead::~ReadAhead() {
  stopping_ = true;
  thread_.join();
}

bool ReadAhead::RoomForPiece(uint64_t filled) const {
  // A piece overwrites the ring's oldest bytes, which the reader must have given up.
  return filled + kPieceSize <= released_.load() + kRingSize;
}

void ReadAhead::ReadPieces() {
  uint64_t filled = start_;
  while (!stopping_.load()) {
    if (!RoomForPiece(filled)) {
      // The ring is full: the thread sleeps until half of it is free again, so that it looks
      // seldom while the reader is slower than the file.
      WaitPolling([&] { return stopping_.load() || RoomForPiece(filled + kRingSize / 2); }, 0);
      continue;
    }
    const size_t at = static_cast<size_t>((filled - start_) % kRingSize);
    const size_t got = stream_.ReadAt(filled, ring_.get() + at, kPieceSize);
    filled += got;
    filled_.store(filled);
    if (got < kPieceSize) {
      ended_.store(true);
      return;
    }
  }
}

bool ReadAhead::Reaches(uint64_t offset) const {
  return offset >= released_.load() && offset < filled_.load() + kPieceSize;
}

const unsigned char* ReadAhead::Bytes(uint64_t offset, size_t n, size_t* got) {
  released_.store(offset);
  uint64_t filled = 0;
  WaitPolling(
      [&] {
        // Ended is read first: the thread notes its last bytes before it notes that it ended.
        const bool ended = ended_.load();
        filled = filled_.load();
        return offset < filled || ended;
      },
      kYieldsBeforeSleeping);
  if (offset >= filled) return nullptr;
  const size_t at = static_cast<size_t>((offset - start_) % kRingSize);
  *got = static_cast<size_t>(std::min<uint64_t>({n, filled - offset, kRingSize - at}));
  return ring_.get() + at;
}

}  // namespace velmora
