// Shared by the tests of the pack run and the entry rules: archives built in memory, a job set
// up as preparation leaves it, and streams that watch or shift what the run does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "job/job_state.h"
#include "job/pack_run.h"
#include "testing/recording_view.h"
#include "msg/format.h"
#include "testing/memory_file_system.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {
namespace pack_run_testing {

using Entries = std::vector<std::pair<uint32_t, std::string>>;  // Id and bytes, in index order

inline std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int k = 0; k < 4; ++k) bytes[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
  return bytes;
}

inline std::string IndexRecord(uint32_t id, uint32_t offset, uint32_t size, uint32_t space = 0) {
  return Le32(id) + Le32(offset) + Le32(size) + Le32(space);
}

// An archive in the writer layout: header, the entries' bytes from 12, then the index.
inline std::string MakeArchive(const Entries& entries) {
  std::string data;
  std::string index;
  for (const auto& entry : entries) {
    index += IndexRecord(entry.first, static_cast<uint32_t>(12 + data.size()),
                         static_cast<uint32_t>(entry.second.size()));
    data += entry.second;
  }
  return "PFDW" + Le32(static_cast<uint32_t>(entries.size())) +
         Le32(static_cast<uint32_t>(12 + data.size())) + data + index;
}

inline uint32_t GetLe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
  return value;
}

// The entries of an archive that the run wrote, after checking that it has the writer layout
// exactly (contiguous data from 12, index right behind it, nothing after the index, Space 0).
inline ::testing::AssertionResult ReadWrittenArchive(const std::string& bytes, Entries* entries) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "PFDW") != 0) {
    return ::testing::AssertionFailure() << "no archive header in " << bytes.size() << " bytes";
  }
  const uint32_t count = GetLe32(bytes, 4);
  const uint32_t index_offset = GetLe32(bytes, 8);
  if (bytes.size() != uint64_t{index_offset} + 16ull * count) {
    return ::testing::AssertionFailure() << "file of " << bytes.size() << " bytes, index at "
                                         << index_offset << " with " << count << " entries";
  }
  entries->clear();
  uint32_t expected_offset = 12;
  for (uint32_t k = 0; k < count; ++k) {
    const size_t at = index_offset + 16 * k;
    const uint32_t id = GetLe32(bytes, at), offset = GetLe32(bytes, at + 4),
                   size = GetLe32(bytes, at + 8), space = GetLe32(bytes, at + 12);
    if (offset != expected_offset || space != 0) {
      return ::testing::AssertionFailure()
             << "entry " << k << ": offset " << offset << " (expected " << expected_offset
             << "), space " << space;
    }
    entries->emplace_back(id, bytes.substr(offset, size));
    expected_offset += size;
  }
  if (expected_offset != index_offset) {
    return ::testing::AssertionFailure()
           << "data ends at " << expected_offset << ", index at " << index_offset;
  }
  return ::testing::AssertionSuccess();
}

// The system's text for `code`, as a failure message quotes it.
inline std::string SystemText(unsigned long code) {
  SetLastSystemError(code);
  return LastSystemErrorText();
}

// Forwards to another stream, recording the size of every read and write in logs that the
// test owns (the run closes the stream itself).
class CountingStream : public Stream {
 public:
  CountingStream(std::unique_ptr<Stream> inner, std::vector<size_t>* reads,
                 std::vector<size_t>* writes)
      : inner_(std::move(inner)), reads_(reads), writes_(writes) {}

  size_t Read(void* buffer, size_t n) override {
    reads_->push_back(n);
    return inner_->Read(buffer, n);
  }
  bool Write(const void* data, size_t n) override {
    writes_->push_back(n);
    return inner_->Write(data, n);
  }
  bool Seek(uint64_t position) override { return inner_->Seek(position); }
  uint64_t Position() override { return inner_->Position(); }
  bool Size(uint64_t* size) override { return inner_->Size(size); }
  bool Flush() override { return inner_->Flush(); }

 private:
  std::unique_ptr<Stream> inner_;
  std::vector<size_t>* reads_;
  std::vector<size_t>* writes_;
};

// A target that claims to begin `base` bytes into the file: lets a test put the end of the
// written data near 4 GiB while only a few bytes are really stored.
class ShiftedStream : public Stream {
 public:
  ShiftedStream(std::unique_ptr<Stream> inner, uint64_t base)
      : inner_(std::move(inner)), base_(base) {}
  size_t Read(void* buffer, size_t n) override { return inner_->Read(buffer, n); }
  bool Write(const void* data, size_t n) override { return inner_->Write(data, n); }
  bool Seek(uint64_t position) override {
    return inner_->Seek(position >= base_ ? position - base_ : position);
  }
  uint64_t Position() override { return inner_->Position() + base_; }
  bool Size(uint64_t* size) override {
    if (!inner_->Size(size)) return false;
    *size += base_;
    return true;
  }
  bool Flush() override { return inner_->Flush(); }

 private:
  std::unique_ptr<Stream> inner_;
  uint64_t base_;
};

// A job as preparation leaves it: the source open, a temporary file created beside the target
// (and, when the target exists, the target held open), the header's counts read.
class PackRunFixture : public ::testing::Test {
 protected:
  const std::string kScriptDir = "D:\\proj\\";
  const std::string kSourcePath = "D:\\proj\\data\\ui.wdf";
  const std::string kTargetPath = "D:\\proj\\out\\ui.wdf";
  const std::string kTemporaryPath = "D:\\proj\\out\\ui.wdf.tmp";
  const std::string kOldTarget = "the archive that was there before";

  MemoryFileSystem files;
  RecordingView view;
  JobState job;

  void SetUpJob(const std::string& source, const std::string& script, bool target_exists = false) {
    files.PutFile(kSourcePath, source);
    files.PutDirectory("D:\\proj\\out");
    job.ScriptPath = kScriptDir + "ui.vlm";
    job.ScriptDir = kScriptDir;
    job.Script = std::make_unique<ScriptLines>(script);
    job.SourcePath = kSourcePath;
    job.TargetPath = kTargetPath;
    job.SourceStream = files.OpenShared(kSourcePath);
    ASSERT_TRUE(job.SourceStream);
    if (target_exists) {
      files.PutFile(kTargetPath, kOldTarget);
      job.OldTarget = files.OpenExclusive(kTargetPath);
      ASSERT_TRUE(job.OldTarget);
    }
    job.TargetWritePath = kTemporaryPath;
    job.TargetStream = files.CreateNewExclusive(job.TargetWritePath);
    ASSERT_TRUE(job.TargetStream);
    ASSERT_TRUE(ReadWdfHeader(*job.SourceStream, &job.SourceCount, &job.SourceIndexOffset));
  }

  void Run() { RunPack(job, files, view); }

  // What every ended run leaves: buffers released, streams other than the source closed, the
  // view told once.
  void ExpectRunEndedTidily() {
    EXPECT_TRUE(job.SourceIndex.empty() && job.SourceIndex.capacity() == 0);
    EXPECT_TRUE(job.TargetIndex.empty() && job.TargetIndex.capacity() == 0);
    EXPECT_FALSE(job.SourceIds.Built);
    EXPECT_FALSE(job.TargetStream);
    EXPECT_FALSE(job.OldTarget);
    EXPECT_EQ(files.OpenStreamCount(), 1) << "only the source may stay open";
    EXPECT_EQ(view.FinishedCalls, 1);
    EXPECT_FALSE(files.HasFile(kTemporaryPath)) << "the temporary file is left behind";
  }

  // A failed or cancelled run: `error` recorded, no new archive anywhere, an old target intact.
  void ExpectNothingWritten(const std::string& error, bool target_existed = false) {
    EXPECT_EQ(job.ErrorText, error);
    ExpectRunEndedTidily();
    if (target_existed) {
      EXPECT_EQ(files.FileBytes(kTargetPath), kOldTarget);
    } else {
      EXPECT_FALSE(files.HasFile(kTargetPath)) << "a failed run leaves its target behind";
    }
  }

  // A successful run: no error, and the new archive's entries.
  Entries ExpectWritten() {
    EXPECT_EQ(job.ErrorText, "");
    ExpectRunEndedTidily();
    Entries entries;
    EXPECT_TRUE(ReadWrittenArchive(files.FileBytes(kTargetPath), &entries));
    return entries;
  }
};

}  // namespace pack_run_testing
}  // namespace velmora
