// How entry bytes travel from the files they are taken from into the new archive: in few, large
// reads and writes, through buffers of fixed size, so that memory never grows with the size of
// an entry and an archive of many small entries costs what its bytes cost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sys/file_system.h"
#include "wdf/entry_reader.h"

namespace velmora {

// The size of each of the run's buffers: the new archive's pending bytes, the source read ahead,
// and the piece of a larger entry in transit.
constexpr size_t kRunBufferSize = EntryReader::kWindowSize;

// The new archive's bytes on their way to its file. Small pieces are collected and written
// together; large ones go straight through once the pending bytes are out. A failed write is
// reported by the call that makes it, with the system's reason in the last error.
//
// The run notes where each piece of its work begins (Mark): the bytes of many entries and rule
// lines are then written in one call, and should that call fail, the pieces are written again
// one by one from the first byte that did not arrive, so that the failure is found in the very
// piece that would have met it had each piece been written on its own.
class TargetBuffer {
 public:
  // Appends at `target`'s current position, which is the end of what it holds.
  explicit TargetBuffer(Stream& target);

  // Where the next appended byte lands in the file.
  uint64_t Position() const { return written_ + held_; }
  // The bytes before this position are in the file.
  uint64_t Written() const { return written_; }
  bool Append(const void* data, size_t n);
  // A new piece begins at Position(). False when the pending bytes had to be written now (too
  // many pieces are pending) and that failed.
  bool Mark();
  // Writes the pending bytes.
  bool WriteHeld();
  // After a failed write: the position of the first byte that did not reach the file. Every
  // piece that begins at or before it was written whole before the failure.
  uint64_t FailedAt() const { return failed_at_; }

 private:
  // Writes buffer_[from, to) at the file's position written_ + from; on failure notes where it
  // stopped.
  bool WriteRange(size_t from, size_t to);
  // `n` more bytes are in the file: every so many, the disk is set to work on them while the
  // run goes on (Stream::FlushAhead), so that the flush before the new archive takes the
  // target's name waits for little.
  void AddWritten(uint64_t n);

  Stream& target_;
  uint64_t written_;
  std::unique_ptr<unsigned char[]> buffer_;
  size_t held_ = 0;
  // Offsets in buffer_ at which pending pieces begin, ascending.
  std::vector<size_t> marks_;
  uint64_t failed_at_ = 0;
  uint64_t flushed_ahead_to_ = 0;
};

enum class CopyResult { kDone, kReadShort, kWriteFailed };

// Copies entry bytes into a TargetBuffer. Entries of the source that follow one another are read
// in one piece and kept for the entries after, and further on a thread of their own where the
// source allows it, while the run writes the last ones; anything else is read in pieces of at
// most kRunBufferSize bytes.
class EntryCopier {
 public:
  explicit EntryCopier(TargetBuffer& target) : target_(target) {}

  // Copies `size` bytes from `offset` of the source. `in_order` says that the entry is read
  // where the walk stands (an entry's own bytes), so reading ahead of it will pay.
  CopyResult CopyFromSource(Stream& source, uint64_t offset, uint64_t size, bool in_order);
  // Copies `size` bytes from the current position of `from`.
  CopyResult CopyFrom(Stream& from, uint64_t size);

 private:
  TargetBuffer& target_;
  // The source's bytes read ahead, for the stream it was made for.
  std::unique_ptr<EntryReader> source_;
  std::unique_ptr<unsigned char[]> piece_;
};

}  // namespace velmora
