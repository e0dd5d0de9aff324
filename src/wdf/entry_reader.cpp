#include "wdf/entry_reader.h"

#include <algorithm>

namespace velmora {

namespace {

// The largest gap between two entries read in order that is still read over rather than sought
// past: reading a few kibibytes more costs less than a read of its own.
constexpr uint64_t kMostGapReadOver = 16 * 1024;

}  // namespace

bool EntryReader::InWindow(uint64_t offset, size_t n) const {
  return offset >= window_start_ && offset - window_start_ <= window_size_ &&
         n <= window_size_ - (offset - window_start_);
}

bool EntryReader::Follows(uint64_t offset) const {
  return offset >= last_end_ && offset - last_end_ <= kMostGapReadOver;
}

// The thread starts where the entries go on past the end of a whole window, and is given up where
// they leave the bytes it reads: a file read in no order never has one.
const unsigned char* EntryReader::ReadAheadBytes(uint64_t offset, size_t n, size_t* got) {
  if (ahead_ && !ahead_->Reaches(offset)) ahead_.reset();
  if (!ahead_) {
    const uint64_t window_end = window_start_ + window_size_;
    if (thread_refused_ || !stream_.ReadsFromThreads() || window_size_ < kWindowSize ||
        offset <= window_start_ || offset > window_end + kMostGapReadOver) {
      return nullptr;
    }
    try {
      ahead_ = std::make_unique<ReadAhead>(stream_, offset);
    } catch (...) {
      thread_refused_ = true;
      return nullptr;
    }
  }
  const unsigned char* bytes = ahead_->Bytes(offset, n, got);
  // Bytes the thread could not read are read, and any failure met, by the caller itself.
  if (!bytes) ahead_.reset();
  return bytes;
}

const unsigned char* EntryReader::Bytes(uint64_t offset, size_t n, bool ahead, size_t* got) {
  static const unsigned char kNothing[1] = {0};
  *got = n;
  last_end_ = offset + n;
  if (n == 0) return kNothing;
  if (n > kWindowSize) return nullptr;
  if (window_size_ > 0 && InWindow(offset, n)) return window_.get() + (offset - window_start_);
  if (!ahead) {
    if (!piece_) piece_.reset(new unsigned char[kWindowSize]);
    return stream_.ReadAt(offset, piece_.get(), n) == n ? piece_.get() : nullptr;
  }
  if (const unsigned char* bytes = ReadAheadBytes(offset, n, got)) {
    last_end_ = offset + *got;
    return bytes;
  }
  if (!window_) window_.reset(new unsigned char[kWindowSize]);
  window_size_ = 0;  // until the read has delivered
  window_start_ = offset;
  window_size_ = stream_.ReadAt(offset, window_.get(), kWindowSize);
  return window_size_ >= n ? window_.get() : nullptr;
}

bool CopyEntryBytes(EntryReader& from, const WdfEntry& entry, Stream& to) {
  for (uint64_t done = 0; done < entry.Size;) {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(entry.Size - done, EntryReader::kWindowSize));
    const uint64_t at = entry.Offset + done;
    size_t got = 0;
    const unsigned char* bytes = from.Bytes(at, n, from.Follows(at), &got);
    if (!bytes || !to.Write(bytes, got)) return false;
    done += got;
  }
  return true;
}

}  // namespace velmora
