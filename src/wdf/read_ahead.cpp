#include "wdf/read_ahead.h"

#include <algorithm>

namespace velmora {

namespace {

// The reader's wait for a piece under way: a piece takes a fraction of a millisecond to read, so
// yielding the processor a while costs less than sleeping and being woken.
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
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
      // Woken only once half the ring is free: every wake-up has its price.
      std::unique_lock<std::mutex> lock(mutex_);
      thread_waits_ = true;
      changed_.wait(lock, [&] { return stopping_.load() || RoomForPiece(filled + kRingSize / 2); });
      thread_waits_ = false;
      continue;
    }
    const size_t at = static_cast<size_t>((filled - start_) % kRingSize);
    const size_t got = stream_.ReadAt(filled, ring_.get() + at, kPieceSize);
    filled += got;
    filled_.store(filled);
    if (got < kPieceSize) ended_.store(true);
    if (reader_waits_.load()) {
      std::lock_guard<std::mutex> lock(mutex_);
      changed_.notify_all();
    }
    if (got < kPieceSize) return;
  }
}

bool ReadAhead::Reaches(uint64_t offset) const {
  return offset >= released_.load() && offset < filled_.load() + kPieceSize;
}

const unsigned char* ReadAhead::Bytes(uint64_t offset, size_t n, size_t* got) {
  released_.store(offset);
  if (thread_waits_.load() && RoomForPiece(filled_.load() + kRingSize / 2)) {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
  }
  uint64_t filled = filled_.load();
  for (int round = 0; offset >= filled; ++round) {
    const bool ended = ended_.load();
    filled = filled_.load();
    if (offset < filled) break;
    if (ended) return nullptr;
    if (round < kYieldsBeforeSleeping) {
      std::this_thread::yield();
      continue;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    reader_waits_ = true;
    changed_.wait(lock, [&] { return ended_.load() || filled_.load() > offset; });
    reader_waits_ = false;
  }
  const size_t at = static_cast<size_t>((offset - start_) % kRingSize);
  *got = static_cast<size_t>(std::min<uint64_t>({n, filled - offset, kRingSize - at}));
  return ring_.get() + at;
}

}  // namespace velmora
