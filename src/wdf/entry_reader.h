// Entry bytes read from one file through a window: entries that follow one another in the file
// are read ahead in one piece, so that an archive of many small entries costs a read per window
// rather than a read per entry. Once they have gone on past a whole window, a file that can be
// read from threads may be read further on a thread of its own (ReadAhead), while the caller
// works on the bytes already read. Memory stays a few windows, whatever the entries' sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sys/file_system.h"
#include "wdf/read_ahead.h"
#include "wdf/wdf.h"

namespace velmora {

class EntryReader {
 public:
  // The size of the window: the most bytes one call hands out.
  static constexpr size_t kWindowSize = 256 * 1024;

  // While it lives, `stream` is read by it alone. With `on_thread`, bytes are read ahead on a
  // thread where the stream allows it: worth it for a caller with more to do per byte than to
  // look at it (two files compared byte by byte are read no faster so).
  explicit EntryReader(Stream& stream, bool on_thread = false)
      : stream_(stream), thread_refused_(!on_thread) {}

  Stream& File() const { return stream_; }

  // The bytes at `offset`, up to `n` of them (n at most kWindowSize), valid until the next call:
  // `*got` says how many, all `n` unless the bytes read ahead end sooner, at least one. Null when
  // the file delivers fewer (the system's reason in the last error). Bytes outside the window are
  // read from `offset` on: a whole new window when `ahead`, else just the `n` bytes, past the
  // window, which then stays for the entries that follow it.
  const unsigned char* Bytes(uint64_t offset, size_t n, bool ahead, size_t* got);
  // True when `offset` lies at most a small gap behind the end of the bytes asked for last: the
  // entries are being read in the file's order, and reading ahead of them pays.
  bool Follows(uint64_t offset) const;

 private:
  bool InWindow(uint64_t offset, size_t n) const;
  // The bytes read ahead on the thread, when it reaches them or may be started for them.
  const unsigned char* ReadAheadBytes(uint64_t offset, size_t n, size_t* got);

  Stream& stream_;
  std::unique_ptr<unsigned char[]> window_;
  std::unique_ptr<unsigned char[]> piece_;  // bytes read past the window
  uint64_t window_start_ = 0;
  size_t window_size_ = 0;
  uint64_t last_end_ = UINT64_MAX;  // nothing asked yet: the first bytes are not read ahead
  std::unique_ptr<ReadAhead> ahead_;
  bool thread_refused_;  // not asked for, or no thread or memory for one: the window serves alone
};

// Writes the `entry.Size` bytes from `entry.Offset` of `from` to `to`, reading ahead while the
// entries copied come in the file's order. False when the file delivers fewer bytes or a write
// fails (the system's reason in the last error).
bool CopyEntryBytes(EntryReader& from, const WdfEntry& entry, Stream& to);

}  // namespace velmora
