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

const unsigned char* EntryReader::Bytes(uint64_t offset, size_t n, bool ahead) {
  static const unsigned char kNothing[1] = {0};
  last_end_ = offset + n;
  if (n == 0) return kNothing;
  if (n > kWindowSize) return nullptr;
  if (window_size_ > 0 && InWindow(offset, n)) return window_.get() + (offset - window_start_);
  if (!stream_.Seek(offset)) return nullptr;
  if (!ahead) {
    if (!piece_) piece_.reset(new unsigned char[kWindowSize]);
    return stream_.Read(piece_.get(), n) == n ? piece_.get() : nullptr;
  }
  if (!window_) window_.reset(new unsigned char[kWindowSize]);
  window_size_ = 0;  // until the read has delivered
  window_start_ = offset;
  window_size_ = stream_.Read(window_.get(), kWindowSize);
  return window_size_ >= n ? window_.get() : nullptr;
}

bool CopyEntryBytes(EntryReader& from, const WdfEntry& entry, Stream& to) {
  for (uint64_t done = 0; done < entry.Size;) {
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(entry.Size - done, EntryReader::kWindowSize));
    const uint64_t at = entry.Offset + done;
    const unsigned char* bytes = from.Bytes(at, n, from.Follows(at));
    if (!bytes || !to.Write(bytes, n)) return false;
    done += n;
  }
  return true;
}

}  // namespace velmora
