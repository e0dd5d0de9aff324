// The new archive's bytes written together: a write that fails is found in the piece that would
// have met it had every piece been written alone, on disks that take part of a write and on
// disks that take all of it or nothing.
#include "job/entry_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sys/system_error.h"

namespace velmora {
namespace {

// A file on a disk with room for `room` bytes.
// A disk with room for `room` bytes. With `keep` false it only counts what is written, for runs
// longer than memory should hold.
class SmallDisk : public Stream {
 public:
  SmallDisk(uint64_t room, bool all_or_nothing, bool keep = true)
      : room_(room), all_or_nothing_(all_or_nothing), keep_(keep) {}

  size_t Read(void*, size_t) override { return 0; }
  bool Write(const void* data, size_t n) override {
    size_t taken = static_cast<size_t>(std::min<uint64_t>(n, room_ - std::min(room_, position_)));
    if (all_or_nothing_ && taken < n) taken = 0;
    if (keep_) {
      if (Bytes.size() < position_ + taken) Bytes.resize(position_ + taken);
      std::memcpy(&Bytes[position_], data, taken);
    }
    position_ += taken;
    if (taken == n) return true;
    SetLastSystemError(SystemErrorDiskFull());
    return false;
  }
  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  uint64_t Position() override { return position_; }
  bool Size(uint64_t* size) override {
    *size = Bytes.size();
    return true;
  }
  bool Flush() override { return true; }
  void FlushAhead() override { StartedAt.push_back(position_); }

  std::string Bytes;
  std::vector<uint64_t> StartedAt;  // where FlushAhead was asked

 private:
  uint64_t room_;
  bool all_or_nothing_;
  bool keep_;
  uint64_t position_ = 0;
};

struct Outcome {
  bool Written = false;
  uint64_t FailedAt = 0;
  std::string Bytes;
};

// Every piece written by a call of its own, as a run that writes before each rule line would.
Outcome WriteAlone(const std::vector<std::string>& pieces, uint64_t room, bool all_or_nothing) {
  SmallDisk disk(room, all_or_nothing);
  Outcome out;
  out.Written = true;
  for (const std::string& piece : pieces) {
    const uint64_t at = disk.Position();
    if (!piece.empty() && !disk.Write(piece.data(), piece.size())) {
      out.Written = false;
      out.FailedAt = std::max(at, disk.Position());
      break;
    }
  }
  out.Bytes = disk.Bytes;
  return out;
}

// The pieces appended to a TargetBuffer, each after a mark, and written at the end.
Outcome WriteTogether(const std::vector<std::string>& pieces, uint64_t room, bool all_or_nothing) {
  SmallDisk disk(room, all_or_nothing);
  TargetBuffer target(disk);
  Outcome out;
  out.Written = true;
  for (const std::string& piece : pieces) {
    if (!target.Mark() || !target.Append(piece.data(), piece.size())) {
      out.Written = false;
      break;
    }
  }
  if (out.Written) out.Written = target.WriteHeld();
  if (!out.Written) out.FailedAt = target.FailedAt();
  out.Bytes = disk.Bytes;
  return out;
}

TEST(TargetBufferTest, AFullDiskIsMetInThePieceThatWouldHaveMetItAlone) {
  std::mt19937 random(2026);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::string> pieces(1 + random() % 40);
    uint64_t total = 0;
    for (std::string& piece : pieces) {
      // Mostly small pieces held together, some empty, a few large enough to go straight out.
      const uint32_t kind = random() % 10;
      const size_t size = kind == 0 ? 0 : kind == 1 ? 100000 + random() % 100000 : random() % 3000;
      piece.assign(size, static_cast<char>('a' + random() % 26));
      total += size;
    }
    const uint64_t room = random() % (total + 2);
    for (bool all_or_nothing : {false, true}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", room " + std::to_string(room) +
                   (all_or_nothing ? ", all or nothing" : ", partial writes"));
      const Outcome alone = WriteAlone(pieces, room, all_or_nothing);
      const Outcome together = WriteTogether(pieces, room, all_or_nothing);
      ASSERT_EQ(together.Written, alone.Written);
      ASSERT_EQ(together.FailedAt, alone.FailedAt);
      ASSERT_TRUE(together.Bytes == alone.Bytes);
    }
  }
}

TEST(TargetBufferTest, SmallPiecesGoOutInOneWrite) {
  std::vector<size_t> writes;
  class Counting : public SmallDisk {
   public:
    explicit Counting(std::vector<size_t>* writes) : SmallDisk(1 << 20, false), writes_(writes) {}
    bool Write(const void* data, size_t n) override {
      writes_->push_back(n);
      return SmallDisk::Write(data, n);
    }

   private:
    std::vector<size_t>* writes_;
  } disk(&writes);
  TargetBuffer target(disk);
  const std::string piece(1000, 'x');
  for (int k = 0; k < 100; ++k) ASSERT_TRUE(target.Mark() && target.Append(piece.data(), 1000));
  ASSERT_TRUE(target.WriteHeld());
  EXPECT_EQ(writes, (std::vector<size_t>{100000}));
  EXPECT_EQ(target.Written(), 100000u);
}

// The disk is set to work on the written bytes once 32 MiB more are written, whatever the sizes
// of the pieces, and never for less: a flush started per write would cost a system call each.
TEST(TargetBufferTest, TheDiskIsSetToWorkOnceEvery32MiBWritten) {
  SmallDisk disk(UINT64_MAX, false, false);
  TargetBuffer target(disk);
  std::mt19937 random(3);
  std::vector<unsigned char> bytes(600 * 1024, 'x');
  while (target.Position() < (100u << 20)) {
    const size_t n = random() % 3 == 0 ? random() % bytes.size() : random() % 5000;
    ASSERT_TRUE(target.Mark() && target.Append(bytes.data(), n));
  }
  ASSERT_TRUE(target.WriteHeld());
  ASSERT_EQ(disk.StartedAt.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    const uint64_t due = (k == 0 ? 0 : disk.StartedAt[k - 1]) + (32u << 20);
    EXPECT_GE(disk.StartedAt[k], due);
    EXPECT_LT(disk.StartedAt[k], due + bytes.size() + kRunBufferSize);
  }
}

}  // namespace
}  // namespace velmora
