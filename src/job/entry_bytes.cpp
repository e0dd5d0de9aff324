#include "job/entry_bytes.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// Pieces pending at once, at most: beyond them the pending bytes are written, so that the marks
// of many pieces without bytes of their own take no more room.
constexpr size_t kMostPendingPieces = 4096;

// Bytes written between two starts of their way to the disk.
constexpr uint64_t kFlushAheadEvery = 32u << 20;

}  // namespace

TargetBuffer::TargetBuffer(Stream& target)
    : target_(target),
      written_(target.Position()),
      buffer_(new unsigned char[kRunBufferSize]),
      flushed_ahead_to_(written_) {}

void TargetBuffer::AddWritten(uint64_t n) {
  written_ += n;
  if (written_ - flushed_ahead_to_ < kFlushAheadEvery) return;
  target_.FlushAhead();
  flushed_ahead_to_ = written_;
}

bool TargetBuffer::Append(const void* data, size_t n) {
  if (held_ + n <= kRunBufferSize && n < kRunBufferSize / 2) {
    std::memcpy(buffer_.get() + held_, data, n);
    held_ += n;
    return true;
  }
  if (!WriteHeld()) return false;
  if (n < kRunBufferSize / 2) return Append(data, n);
  // A large piece would only be copied once more: it goes straight to the file.
  if (!target_.Write(data, n)) {
    failed_at_ = std::min(std::max(target_.Position(), written_), written_ + n);
    return false;
  }
  AddWritten(n);
  return true;
}

bool TargetBuffer::Mark() {
  if (marks_.size() >= kMostPendingPieces && !WriteHeld()) return false;
  // A piece that begins where the pending bytes begin, or where the last one began, adds nothing.
  if (held_ > 0 && (marks_.empty() || marks_.back() != held_)) marks_.push_back(held_);
  return true;
}

bool TargetBuffer::WriteRange(size_t from, size_t to) {
  if (target_.Write(buffer_.get() + from, to - from)) return true;
  failed_at_ = std::min(std::max(target_.Position(), written_ + from), written_ + to);
  return false;
}

bool TargetBuffer::WriteHeld() {
  if (held_ == 0) return true;
  const size_t n = held_;
  held_ = 0;  // what failed to be written is not offered again
  bool written = WriteRange(0, n);
  if (!written) {
    // The rest goes again piece by piece, from the first byte that did not arrive: the failure
    // is then the one of the piece that meets it, as if every piece had been written alone.
    written = true;
    size_t from = static_cast<size_t>(failed_at_ - written_);
    for (size_t k = 0; k <= marks_.size() && written; ++k) {
      const size_t to = k < marks_.size() ? marks_[k] : n;
      if (to <= from) continue;
      written = target_.Seek(written_ + from) && WriteRange(from, to);
      from = to;
    }
  }
  marks_.clear();
  if (written) AddWritten(n);
  return written;
}

CopyResult EntryCopier::CopyFromSource(Stream& source, uint64_t offset, uint64_t size,
                                       bool in_order) {
  if (size == 0) return CopyResult::kDone;
  // The entries that follow one in order are read with it.
  if (!source_ || &source_->File() != &source) {
    source_ = std::make_unique<EntryReader>(source, true);
  }
  for (uint64_t done = 0; done < size;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size - done, kRunBufferSize));
    size_t got = 0;
    const unsigned char* bytes = source_->Bytes(offset + done, n, in_order, &got);
    if (!bytes) return CopyResult::kReadShort;
    if (!target_.Append(bytes, got)) return CopyResult::kWriteFailed;
    done += got;
  }
  return CopyResult::kDone;
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
