// Bytes in memory read as a file: an archive inside an archive is opened from its bytes in the
// parent, with no copy written anywhere. Reading only; the bytes are shared between readers.
#pragma once

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "sys/file_system.h"

namespace velmora {

class ByteStream final : public Stream {
 public:
  explicit ByteStream(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}

  size_t Read(void* buffer, size_t n) override {
    const size_t left = bytes_->size() - std::min<size_t>(position_, bytes_->size());
    const size_t count = std::min(n, left);
    if (count > 0) std::memcpy(buffer, bytes_->data() + position_, count);
    position_ += count;
    return count;
  }
  bool Write(const void*, size_t) override { return false; }
  bool Seek(uint64_t position) override {
    position_ = static_cast<size_t>(std::min<uint64_t>(position, bytes_->size()));
    return position <= bytes_->size();
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    *size = bytes_->size();
    return true;
  }
  bool Flush() override { return true; }

 private:
  std::shared_ptr<const std::string> bytes_;
  size_t position_ = 0;
};

}  // namespace velmora
