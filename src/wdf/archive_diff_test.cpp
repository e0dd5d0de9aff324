#include "wdf/archive_diff.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sys/system_error.h"
#include "testing/archive_bytes.h"
#include "testing/locked_file_system.h"
#include "testing/memory_file_system.h"
#include "wdf/entry_reader.h"

namespace velmora {
namespace {

const char kOld[] = "C:\\old.wdf";
const char kNew[] = "C:\\new.wdf";

struct Opened {
  std::unique_ptr<Stream> OldStream;
  std::unique_ptr<Stream> NewStream;
  ArchiveIndex OldIndex;
  ArchiveIndex NewIndex;
};

Opened Open(MemoryFileSystem& files) {
  Opened opened;
  opened.OldStream = files.OpenShared(kOld);
  opened.NewStream = files.OpenShared(kNew);
  EXPECT_EQ(ReadArchiveIndex(*opened.OldStream, &opened.OldIndex), ArchiveFault::kNone);
  EXPECT_EQ(ReadArchiveIndex(*opened.NewStream, &opened.NewIndex), ArchiveFault::kNone);
  return opened;
}

// "changed 00000002#1" and so on, one per pair, in the comparison's order.
std::vector<std::string> Described(const ArchiveDifference& difference) {
  static const char* const kNames[] = {"same", "changed", "added", "removed"};
  std::vector<std::string> out;
  for (const EntryPair& pair : difference.Pairs) {
    out.push_back(std::string(kNames[static_cast<int>(pair.Change)]) + " " +
                  std::to_string(pair.Id) + "#" + std::to_string(pair.Occurrence));
  }
  return out;
}

struct DiffCase {
  const char* Name;
  std::vector<TestResource> OldArchive;
  std::vector<TestResource> NewArchive;
  std::vector<std::string> Pairs;
  bool SameOrder;
  bool Identical;
};

TEST(ArchiveDiffTest, PairsTheKthEntryOfAnIdAndComparesTheirBytes) {
  // Longer than one piece of reading, and different only in the second.
  const std::string big_a(EntryReader::kWindowSize + 50000, 'a');
  std::string big_b = big_a;
  big_b[EntryReader::kWindowSize + 1000] = 'b';
  const std::vector<DiffCase> cases = {
      {"both empty", {}, {}, {}, true, true},
      {"identical", {{1, "a"}, {2, ""}}, {{1, "a"}, {2, ""}}, {"same 1#1", "same 2#1"}, true, true},
      {"only in the new one", {}, {{5, "x"}}, {"added 5#1"}, false, false},
      {"only in the old one", {{5, "x"}}, {}, {"removed 5#1"}, false, false},
      {"same size, other bytes", {{1, "ab"}}, {{1, "ax"}}, {"changed 1#1"}, true, false},
      {"other size", {{1, "ab"}}, {{1, "abc"}}, {"changed 1#1"}, true, false},
      {"zero size becomes some", {{1, ""}}, {{1, "a"}}, {"changed 1#1"}, true, false},
      {"difference past the first piece", {{1, big_a}}, {{1, big_b}}, {"changed 1#1"}, true, false},
      {"the same in every piece",
       {{1, "x"}, {2, big_b}},
       {{2, big_b}},
       {"removed 1#1", "same 2#1"},
       false,
       false},
      {"repeated id: second entry changed, third only in the new one",
       {{7, "a"}, {7, "b"}},
       {{7, "a"}, {7, "c"}, {7, "d"}},
       {"same 7#1", "changed 7#2", "added 7#3"},
       false,
       false},
      {"same entries, other order",
       {{1, "a"}, {2, "b"}},
       {{2, "b"}, {1, "a"}},
       {"same 1#1", "same 2#1"},
       false,
       false},
      {"removed and added around a kept one",
       {{1, "a"}, {2, "b"}},
       {{2, "b"}, {3, "c"}},
       {"removed 1#1", "same 2#1", "added 3#1"},
       false,
       false},
  };
  for (const DiffCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kOld, ArchiveOf(c.OldArchive));
    files.PutFile(kNew, ArchiveOf(c.NewArchive));
    Opened opened = Open(files);
    const DiffResult result =
        CompareArchives(*opened.OldStream, opened.OldIndex, *opened.NewStream, opened.NewIndex);
    EXPECT_EQ(result.Fault, DiffFault::kNone);
    EXPECT_EQ(Described(result.Difference), c.Pairs);
    EXPECT_EQ(result.Difference.SameOrder, c.SameOrder);
    EXPECT_EQ(result.Difference.Identical(), c.Identical);
    size_t total = 0;
    for (size_t count : result.Difference.Counts) total += count;
    EXPECT_EQ(total, c.Pairs.size());
  }
}

TEST(ArchiveDiffTest, UnreadableBytesStopTheComparisonNamingTheEntry) {
  MemoryFileSystem files;
  files.PutFile(kOld, ArchiveOf({{1, "aaaa"}, {2, "bbbb"}}));
  files.PutFile(kNew, ArchiveOf({{1, "aaaa"}, {2, "bbbb"}}));
  Opened opened = Open(files);
  files.FailReadsOfFrom(kNew, 12 + 4 + 2);  // inside the second entry
  DiffResult result =
      CompareArchives(*opened.OldStream, opened.OldIndex, *opened.NewStream, opened.NewIndex);
  EXPECT_EQ(result.Fault, DiffFault::kNewReadFailed);
  EXPECT_EQ(result.FaultEntry, 1u);

  // An entry that claims bytes beyond the end of its file is never read.
  opened.OldIndex.Entries[0].Size = 1000;
  result = CompareArchives(*opened.OldStream, opened.OldIndex, *opened.NewStream, opened.NewIndex);
  EXPECT_EQ(result.Fault, DiffFault::kOldEntryOutside);
  EXPECT_EQ(result.FaultEntry, 0u);
}

// Archives with more bytes to compare than one thread is given, seen where the system lets two
// threads read them (through one lock) and where it does not: the halves compared side by side
// find what one pass finds, down to the first failure in the archives' order and its reason.
TEST(ArchiveDiffTest, ComparedInTwoHalvesItFindsWhatOnePassFinds) {
  std::mt19937 random(5);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<TestResource> olds;
    std::vector<TestResource> news;
    for (uint32_t id = 1; id <= 300; ++id) {
      std::string bytes(20000 + random() % 40000, static_cast<char>(id));
      olds.push_back({id, bytes});
      if (random() % 10 == 0) bytes[random() % bytes.size()] ^= 1;
      if (random() % 50 == 0) bytes += "longer";
      if (random() % 50 != 0) news.push_back({id, bytes});
    }
    MemoryFileSystem memory;
    memory.PutFile(kOld, ArchiveOf(olds));
    memory.PutFile(kNew, ArchiveOf(news));
    Opened alone = Open(memory);
    // A failure late in the new archive; or a bad stretch early in the old one, past which the
    // second half reads well and finds changes that come after the failure.
    const uint64_t old_size = memory.FileBytes(kOld).size();
    if (round % 3 == 1) memory.FailReadsOfFrom(kNew, memory.FileBytes(kNew).size() * 3 / 4);
    if (round % 3 == 2) memory.FailReadsOfFrom(kOld, old_size / 5, old_size / 5 + 70000);
    LockedFileSystem locked(memory);
    Opened side_by_side;
    side_by_side.OldStream = locked.OpenShared(kOld);
    side_by_side.NewStream = locked.OpenShared(kNew);
    side_by_side.OldIndex = alone.OldIndex;
    side_by_side.NewIndex = alone.NewIndex;

    const DiffResult one =
        CompareArchives(*alone.OldStream, alone.OldIndex, *alone.NewStream, alone.NewIndex);
    const std::string one_reason = LastSystemErrorText();
    SetLastSystemError(0);
    const DiffResult two = CompareArchives(*side_by_side.OldStream, side_by_side.OldIndex,
                                           *side_by_side.NewStream, side_by_side.NewIndex);
    EXPECT_EQ(two.Fault, one.Fault);
    EXPECT_EQ(two.FaultEntry, one.FaultEntry);
    EXPECT_EQ(Described(two.Difference), Described(one.Difference));
    for (size_t change = 0; change < 4; ++change) {
      EXPECT_EQ(two.Difference.Counts[change], one.Difference.Counts[change]) << change;
    }
    if (one.Fault != DiffFault::kNone) {
      EXPECT_EQ(LastSystemErrorText(), one_reason);
    }
  }
}

}  // namespace
}  // namespace velmora
