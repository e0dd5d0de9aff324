// Entry bytes read from one file through a window: entries that follow one another in the file
// are read ahead in one piece, so that an archive of many small entries costs a read per window
// rather than a read per entry. Memory stays one window, whatever the entries' sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sys/file_system.h"
#include "wdf/wdf.h"

namespace velmora {

class EntryReader {
 public:
  // The size of the window: the most bytes one call hands out.
  static constexpr size_t kWindowSize = 256 * 1024;

  explicit EntryReader(Stream& stream) : stream_(stream) {}

  Stream& File() const { return stream_; }

  // The `n` bytes at `offset` (n at most kWindowSize), valid until the next call; null when the
  // file delivers fewer (the system's reason in the last error). Bytes outside the window are
  // read from `offset` on: a whole new window when `ahead`, else just the `n` bytes, past the
  // window, which then stays for the entries that follow it.
  const unsigned char* Bytes(uint64_t offset, size_t n, bool ahead);
  // True when `offset` lies at most a small gap behind the end of the bytes asked for last: the
  // entries are being read in the file's order, and reading ahead of them pays.
  bool Follows(uint64_t offset) const;

 private:
  bool InWindow(uint64_t offset, size_t n) const;

  Stream& stream_;
  std::unique_ptr<unsigned char[]> window_;
  std::unique_ptr<unsigned char[]> piece_;  // bytes read past the window
  uint64_t window_start_ = 0;
  size_t window_size_ = 0;
  uint64_t last_end_ = UINT64_MAX;  // nothing asked yet: the first bytes are not read ahead
};

// Writes the `entry.Size` bytes from `entry.Offset` of `from` to `to`, reading ahead while the
// entries copied come in the file's order. False when the file delivers fewer bytes or a write
// fails (the system's reason in the last error).
bool CopyEntryBytes(EntryReader& from, const WdfEntry& entry, Stream& to);

}  // namespace velmora
