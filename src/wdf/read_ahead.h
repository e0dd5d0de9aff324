// A file's bytes read on a thread of its own, from one offset on, a few mebibytes ahead of where
// the reader stands: the system copies the next bytes out of the file while the reader is busy
// with the last ones. Only bytes the thread has read are ever handed out; what it could not read
// (the end of the file, a failure) is left to the reader to read, and to report, itself.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>

#include "sys/file_system.h"

namespace velmora {

class ReadAhead {
 public:
  // The thread's reads, and how far ahead of the reader it may be.
  static constexpr size_t kPieceSize = 256 * 1024;
  static constexpr size_t kRingSize = 16 * kPieceSize;

  // Starts reading `stream` (ReadsFromThreads) at `offset`; throws when the memory or the
  // thread cannot be had. While it lives, the stream is read through ReadAt and asked its Size
  // only.
  ReadAhead(Stream& stream, uint64_t offset);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // True when the bytes at `offset` are read or being read: at or after where the reader last
  // stood, and no further than the piece under way.
  bool Reaches(uint64_t offset) const;
  // The bytes at `offset` (Reaches) and after, up to `n` of them, once the thread has read them;
  // `*got` says how many, at least one. They stay until the next call, and the bytes before
  // `offset` are given up. Null when the thread stopped before `offset`.
  const unsigned char* Bytes(uint64_t offset, size_t n, size_t* got);

 private:
  void ReadPieces();
  bool RoomForPiece(uint64_t filled) const;

  Stream& stream_;
  const uint64_t start_;
  std::unique_ptr<unsigned char[]> ring_;
  std::atomic<uint64_t> filled_;    // the bytes before it are read (from start_ on)
  std::atomic<uint64_t> released_;  // the reader no longer needs the bytes before it
  std::atomic<bool> ended_{false};  // the thread met the end of the file or a failure at filled_
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace velmora
