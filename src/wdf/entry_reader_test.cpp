#include "wdf/entry_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "testing/locked_file_system.h"
#include "testing/memory_file_system.h"
#include "wdf/read_ahead.h"

namespace velmora {
namespace {

const char kFile[] = "C:\\a.wdf";

// A file a few rings long, read on a thread where the entries follow one another, and with a
// failure part-way in half the runs.
struct ReadFile {
  explicit ReadFile(std::mt19937& random, bool fails) : locked(memory) {
    bytes.resize(2 * ReadAhead::kRingSize + 54321);
    for (char& c : bytes) c = static_cast<char>(random());
    memory.PutFile(kFile, bytes);
    readable = bytes.size();
    if (fails) {
      readable = ReadAhead::kRingSize + random() % ReadAhead::kRingSize;
      memory.FailReadsOfFrom(kFile, readable);
    }
    stream = locked.OpenShared(kFile);
  }
  MemoryFileSystem memory;
  LockedFileSystem locked;
  std::string bytes;
  uint64_t readable = 0;  // reads deliver nothing from here on
  std::unique_ptr<Stream> stream;
};

// Reads in the orders the run uses: mostly in the file's order with small gaps, now and then a
// jump, and entries taken from elsewhere in between. Whatever the thread has read or not, every
// byte handed out is the file's, and a read fails exactly where the file stops delivering.
TEST(EntryReaderTest, HandsOutTheFilesOwnBytesInEveryOrderOfReading) {
  std::mt19937 random(25);
  for (int run = 0; run < 6; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ReadFile file(random, run % 2 == 1);
    EntryReader reader(*file.stream, run != 0);
    uint64_t at = 0;
    for (int step = 0; step < 4000 && !::testing::Test::HasFailure(); ++step) {
      const int kind = static_cast<int>(random() % 100);
      size_t n = 1 + random() % (random() % 20 == 0 ? EntryReader::kWindowSize : 3000);
      uint64_t offset = at + (random() % 4 == 0 ? random() % 20000 : 0);
      if (kind < 4) offset = random() % file.bytes.size();  // a jump
      const bool elsewhere = kind >= 4 && kind < 12;
      if (elsewhere) offset = random() % file.bytes.size();
      size_t got = 0;
      const unsigned char* bytes = reader.Bytes(offset, n, !elsewhere, &got);
      if (offset + n > file.readable) {
        // Past what the file delivers: nothing, or only bytes that are there.
        if (bytes) {
          ASSERT_LT(got, n);
          ASSERT_LE(offset + got, file.readable);
          ASSERT_EQ(std::memcmp(bytes, file.bytes.data() + offset, got), 0);
        }
        at = random() % file.readable;
        continue;
      }
      ASSERT_NE(bytes, nullptr) << "offset " << offset << ", " << n << " bytes";
      ASSERT_GE(got, 1u);
      ASSERT_LE(got, n);
      ASSERT_EQ(std::memcmp(bytes, file.bytes.data() + offset, got), 0) << "offset " << offset;
      if (!elsewhere) at = offset + got;
    }
  }
}

// The thread alone: it hands out the file in order, waits for nothing it has not read, stops
// where the file stops delivering and then hands out nothing more.
TEST(EntryReaderTest, ReadAheadHandsOutTheFileInOrderAndStopsWhereItStopsDelivering) {
  std::mt19937 random(9);
  for (bool fails : {false, true}) {
    ReadFile file(random, fails);
    const uint64_t start = 777;
    ReadAhead ahead(*file.stream, start);
    uint64_t at = start;
    std::string seen;
    while (at < file.readable) {
      ASSERT_TRUE(ahead.Reaches(at));
      size_t got = 0;
      const unsigned char* bytes = ahead.Bytes(at, 1 + random() % 100000, &got);
      ASSERT_NE(bytes, nullptr) << at;
      seen.append(reinterpret_cast<const char*>(bytes), got);
      at += got;
    }
    EXPECT_TRUE(seen == file.bytes.substr(start, file.readable - start));
    size_t got = 0;
    EXPECT_EQ(ahead.Bytes(at, 10, &got), nullptr);
    EXPECT_FALSE(ahead.Reaches(start));  // given up
    EXPECT_FALSE(ahead.Reaches(at + ReadAhead::kRingSize));
  }
}

}  // namespace
}  // namespace velmora
