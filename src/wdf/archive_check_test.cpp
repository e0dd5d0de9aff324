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
  index.file_size = file_size;
  index.header.EntryCount = static_cast<uint32_t>(entries.size());
  index.header.IndexOffset = index_offset;
  index.entries = std::move(entries);
  return index;
}

std::vector<Type> Types(const ArchiveCheck& check) {
  std::vector<Type> types;
  for (const ArchiveFinding& f : check.findings) types.push_back(f.type);
  return types;
}

struct CheckCase {
  const char* name;
  ArchiveIndex index;
  std::vector<Type> findings;
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
    SCOPED_TRACE(c.name);
    const ArchiveCheck check = CheckArchive(c.index, ArchiveFault::kNone);
    EXPECT_EQ(Types(check), c.findings);
    uint64_t errors = 0;
    for (size_t k = 0; k < c.index.entries.size(); ++k) {
      errors += !EntryInBounds(c.index.entries[k], c.index.file_size, c.index.header.EntryCount);
    }
    EXPECT_EQ(check.errors, errors) << "errors must be the entries a run refuses";
    EXPECT_EQ(check.errors + check.warnings, check.findings.size());
  }
}

TEST(ArchiveCheckTest, AFaultIsTheOnlyFinding) {
  const ArchiveCheck check = CheckArchive(ArchiveIndex(), ArchiveFault::kIndexBeyondEnd);
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_EQ(check.findings[0].fault, ArchiveFault::kIndexBeyondEnd);
  EXPECT_EQ(check.errors, 1u);
}

TEST(ArchiveCheckTest, OverlapsAndGapsNameTheirRegions) {
  const ArchiveCheck check =
      CheckArchive(IndexOf(70, 38, {{1, 8, 10, 0}, {2, 30, 4, 0}}), ArchiveFault::kNone);
  ASSERT_EQ(Types(check), (std::vector<Type>{Type::kOverlap, Type::kUncovered, Type::kUncovered}));
  EXPECT_EQ(check.findings[0].region.entry, 0);
  EXPECT_EQ(check.findings[0].other.entry, ArchiveRegion::kHeader);
  EXPECT_EQ(check.findings[1].region.start, 18u);
  EXPECT_EQ(check.findings[1].region.end, 30u);
  EXPECT_EQ(check.findings[2].region.start, 34u);
  EXPECT_EQ(check.findings[2].region.end, 38u);
}

}  // namespace
}  // namespace velmora
