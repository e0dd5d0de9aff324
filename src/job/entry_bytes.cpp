#include "job/entry_bytes.h"

#include <algorithm>
#include <cstring>

namespace velmora {

TargetBuffer::TargetBuffer(Stream& target)
    : target_(target), written_(target.Position()), buffer_(new unsigned char[kRunBufferSize]) {}

bool TargetBuffer::Append(const void* data, size_t n) {
  if (held_ + n <= kRunBufferSize && n < kRunBufferSize / 2) {
    std::memcpy(buffer_.get() + held_, data, n);
    held_ += n;
    return true;
  }
  if (!WriteHeld()) return false;
  if (n < kRunBufferSize / 2) return Append(data, n);
  // A large piece would only be copied once more: it goes straight to the file.
  if (!target_.Write(data, n)) return false;
  written_ += n;
  return true;
}

bool TargetBuffer::WriteHeld() {
  if (held_ == 0) return true;
  const size_t n = held_;
  held_ = 0;  // what failed to be written is not offered again
  if (!target_.Write(buffer_.get(), n)) return false;
  written_ += n;
  return true;
}

bool EntryCopier::InWindow(uint64_t offset, uint64_t size) const {
  return window_size_ > 0 && offset >= window_start_ && offset - window_start_ <= window_size_ &&
         size <= window_size_ - (offset - window_start_);
}

CopyResult EntryCopier::CopyFromSource(Stream& source, uint64_t offset, uint64_t size,
                                       bool in_order) {
  if (size == 0) return CopyResult::kDone;
  if (!InWindow(offset, size) && in_order && size <= kRunBufferSize) {
    // The entries that follow this one are read with it.
    if (!window_) window_.reset(new unsigned char[kRunBufferSize]);
    window_size_ = 0;
    if (!source.Seek(offset)) return CopyResult::kReadShort;
    window_start_ = offset;
    window_size_ = source.Read(window_.get(), kRunBufferSize);
    if (window_size_ < size) return CopyResult::kReadShort;
  }
  if (InWindow(offset, size)) {
    const unsigned char* bytes = window_.get() + (offset - window_start_);
    return target_.Append(bytes, static_cast<size_t>(size)) ? CopyResult::kDone
                                                            : CopyResult::kWriteFailed;
  }
  if (!source.Seek(offset)) return CopyResult::kReadShort;
  return CopyFrom(source, size);
}

CopyResult EntryCopier::CopyFrom(Stream& from, uint64_t size) {
  if (size == 0) return CopyResult::kDone;
  if (!piece_) piece_.reset(new unsigned char[kRunBufferSize]);
  while (size > 0) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, kRunBufferSize));
    if (from.Read(piece_.get(), chunk) != chunk) return CopyResult::kReadShort;
    if (!target_.Append(piece_.get(), chunk)) return CopyResult::kWriteFailed;
    size -= chunk;
  }
  return CopyResult::kDone;
}

}  // namespace velmora
