#include "job/patch_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_file_system.h"
#include "testing/archive_bytes.h"

namespace velmora {
namespace {

const char kOld[] = "C:\\old.wdf";
const char kNew[] = "C:\\new.wdf";

struct PlanCase {
  const char* Name;
  std::vector<TestResource> OldArchive;
  std::vector<TestResource> NewArchive;
  // "=id" a rule taking new bytes, "+id" a new entry, "-id" a delete; or the ids in the way.
  std::vector<std::string> Rules;
  std::vector<uint32_t> Unreachable;
};

std::vector<std::string> Described(const PatchPlan& plan) {
  std::vector<std::string> out;
  for (const PatchRule& rule : plan.Rules) {
    out.push_back((rule.Remove ? "-" : rule.Add ? "+" : "=") + std::to_string(rule.Id));
  }
  return out;
}

TEST(PatchPlanTest, RulesReachTheNewArchiveOrTheEntriesInTheWayAreNamed) {
  const std::vector<PlanCase> cases = {
      {"a changed entry", {{1, "a"}, {2, "b"}}, {{1, "a"}, {2, "B"}}, {"=2"}, {}},
      {"every entry of a repeated id alike",
       {{1, "a"}, {2, "b"}, {1, "a"}},
       {{1, "x"}, {2, "b"}, {1, "x"}},
       {"=1"},
       {}},
      {"entries of a repeated id that are to differ",
       {{1, "a"}, {1, "a"}},
       {{1, "a"}, {1, "x"}},
       {},
       {1}},
      {"one of two entries of an id removed", {{1, "a"}, {1, "b"}}, {{1, "a"}}, {}, {1}},
      {"all entries of an id removed", {{1, "a"}, {2, "b"}, {2, "c"}}, {{1, "a"}}, {"-2"}, {}},
      {"ascending ids: a new entry by its id",
       {{1, "a"}, {5, "b"}},
       {{1, "a"}, {3, "n"}, {5, "b"}},
       {"+3"},
       {}},
      {"ascending ids: a new entry placed elsewhere",
       {{1, "a"}, {5, "b"}},
       {{1, "a"}, {5, "b"}, {3, "n"}},
       {},
       {5, 3}},
      {"unsorted ids: new entries behind the others in their order",
       {{5, "a"}, {1, "b"}},
       {{5, "a"}, {1, "b"}, {9, "n"}, {2, "m"}},
       {"+9", "+2"},
       {}},
      {"unsorted ids: a new entry in the middle",
       {{5, "a"}, {1, "b"}},
       {{5, "a"}, {9, "n"}, {1, "b"}},
       {},
       {9, 1}},
      {"a new id twice", {}, {{4, "a"}, {4, "b"}}, {}, {4}},
      {"empty old archive", {}, {{4, "a"}, {6, ""}}, {"+4", "+6"}, {}},
      {"everything removed", {{4, "a"}}, {}, {"-4"}, {}},
      {"same entries in another order", {{1, "a"}, {2, "b"}}, {{2, "b"}, {1, "a"}}, {}, {2, 1}},
  };
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kOld, ArchiveOf(c.OldArchive));
    files.PutFile(kNew, ArchiveOf(c.NewArchive));
    auto old_stream = files.OpenShared(kOld);
    auto new_stream = files.OpenShared(kNew);
    ArchiveIndex old_index;
    ArchiveIndex new_index;
    ASSERT_EQ(ReadArchiveIndex(*old_stream, &old_index), ArchiveFault::kNone);
    ASSERT_EQ(ReadArchiveIndex(*new_stream, &new_index), ArchiveFault::kNone);
    const DiffResult result = CompareArchives(*old_stream, old_index, *new_stream, new_index);
    const PatchPlan plan = PlanPatch(old_index, new_index, result.Difference, *new_stream);
    EXPECT_EQ(plan.Unreachable, c.Unreachable);
    if (!c.Unreachable.empty()) continue;
    EXPECT_EQ(Described(plan), c.Rules);
    std::vector<uint32_t> new_ids;
    for (const WdfEntry& entry : new_index.Entries) new_ids.push_back(entry.Id);
    EXPECT_EQ(PatchedIds(old_index.Entries, plan.Rules), new_ids);
    EXPECT_EQ(plan.AddsEntries, plan.Added > 0);
  }
}

}  // namespace
}  // namespace velmora
