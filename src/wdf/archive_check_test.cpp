#include "wdf/archive_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Type = ArchiveFinding::Type;

// An index over a file of `file_size` bytes whose index lies at `index_offset`.
ArchiveIndex IndexOf(uint64_t file_size, uint32_t index_offset, std::vector<WdfEntry> entries) {
  ArchiveIndex index;
  index.FileSize = file_size;
  index.Header.EntryCount = static_cast<uint32_t>(entries.size());
  index.Header.IndexOffset = index_offset;
  index.Entries = std::move(entries);
  return index;
}

std::vector<Type> Types(const ArchiveCheck& check) {
  std::vector<Type> types;
  for (const ArchiveFinding& f : check.Findings) types.push_back(f.Kind);
  return types;
}

struct CheckCase {
  const char* Name;
  ArchiveIndex Index;
  std::vector<Type> Findings;
};

TEST(ArchiveCheckTest, ErrorsAreTheRunsRefusalsAndWarningsTheRest) {
  // Data from 12 to 22, the index of two entries from 22 to 54.
  const std::vector<CheckCase> cases = {
      {"as written", IndexOf(54, 22, {{1, 12, 5, 0}, {2, 17, 5, 0}}), {}},
      {"zero-size entries overlap nothing", IndexOf(54, 22, {{1, 12, 10, 0}, {2, 15, 0, 0}}), {}},
      {"repeated id", IndexOf(54, 22, {{1, 12, 5, 0}, {1, 17, 5, 0}}), {Type::kDuplicateId}},
      {"shared bytes", IndexOf(54, 22, {{1, 12, 10, 0}, {2, 12, 10, 0}}), {Type::kOverlap}},
      {"a gap", IndexOf(54, 22, {{1, 12, 4, 0}, {2, 17, 5, 0}}), {Type::kUncovered}},
      {"bytes behind the index",
       IndexOf(60, 22, {{1, 12, 5, 0}, {2, 17, 5, 0}}),
       {Type::kUncovered}},
      {"reserved space reaches the index",
       IndexOf(54, 22, {{1, 12, 5, 0}, {2, 17, 5, 1}}),
       {Type::kEntryInIndexRoom, Type::kOverlap}},
      {"beyond the end",
       IndexOf(54, 22, {{1, 12, 5, 0}, {2, 50, 5, 0}}),
       {Type::kEntryBeyondFile, Type::kOverlap, Type::kUncovered}},
      // The index at the front: the entry lies in the file, but a run keeps the last 16 bytes
      // for the index and refuses it.
      {"in the index's room", IndexOf(40, 12, {{1, 28, 12, 0}}), {Type::kEntryInIndexRoom}},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const ArchiveCheck check = CheckArchive(c.Index, ArchiveFault::kNone);
    EXPECT_EQ(Types(check), c.Findings);
    uint64_t errors = 0;
    for (size_t k = 0; k < c.Index.Entries.size(); ++k) {
      errors += !EntryInBounds(c.Index.Entries[k], c.Index.FileSize, c.Index.Header.EntryCount);
    }
    EXPECT_EQ(check.Errors, errors) << "errors must be the entries a run refuses";
    EXPECT_EQ(check.Errors + check.Warnings, check.Findings.size());
  }
}

TEST(ArchiveCheckTest, AFaultIsTheOnlyFinding) {
  const ArchiveCheck check = CheckArchive(ArchiveIndex(), ArchiveFault::kIndexBeyondEnd);
  ASSERT_EQ(check.Findings.size(), 1u);
  EXPECT_EQ(check.Findings[0].Fault, ArchiveFault::kIndexBeyondEnd);
  EXPECT_EQ(check.Errors, 1u);
}

TEST(ArchiveCheckTest, OverlapsAndGapsNameTheirRegions) {
  const ArchiveCheck check =
      CheckArchive(IndexOf(70, 38, {{1, 8, 10, 0}, {2, 30, 4, 0}}), ArchiveFault::kNone);
  ASSERT_EQ(Types(check), (std::vector<Type>{Type::kOverlap, Type::kUncovered, Type::kUncovered}));
  EXPECT_EQ(check.Findings[0].Region.Entry, 0);
  EXPECT_EQ(check.Findings[0].Other.Entry, ArchiveRegion::kHeader);
  EXPECT_EQ(check.Findings[1].Region.Start, 18u);
  EXPECT_EQ(check.Findings[1].Region.End, 30u);
  EXPECT_EQ(check.Findings[2].Region.Start, 34u);
  EXPECT_EQ(check.Findings[2].Region.End, 38u);
}

}  // namespace
}  // namespace velmora
