// check's list of every failing rule line: taken from the run's own plan, so that it names what
// the run fails at, new entries included, each line once, and never reads past the script.
#include "cli/rule_failures.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "testing/pack_run_fixture.h"

namespace velmora {
namespace {

using pack_run_testing::MakeArchive;
using pack_run_testing::PackRunFixture;

using Found = std::vector<std::pair<size_t, std::string>>;  // line and reason

class RuleFailuresTest : public PackRunFixture {
 protected:
  // The failing lines of `script` over `source`; after a run, the failure it stopped at is among
  // them.
  Found FailuresOf(const std::string& source, const std::string& script, bool run = true) {
    SetUpJob(source, script);
    if (testing::Test::HasFatalFailure()) return {};
    if (run) Run();
    Found found;
    bool run_failure_listed = job.ErrorText.empty();
    for (const PlannedFailure& f : FindEveryRuleFailure(job, files)) {
      found.emplace_back(f.Line, f.Reason);
      if (f.Reason == job.ErrorText && f.Rule == job.ErrorRule) run_failure_listed = true;
    }
    EXPECT_TRUE(run_failure_listed)
        << "the run failed at " << job.ErrorRule << ": " << job.ErrorText;
    return found;
  }
  std::string Missing(const std::string& name) {
    return Message(MessageKey::MsgRefFileNotFound, {kScriptDir + name});
  }
};

TEST_F(RuleFailuresTest, EveryFailingLineOnceInScriptOrder) {
  const std::string twice = MakeArchive({{0x10, "a"}, {0x20, "b"}, {0x10, "c"}});
  const struct {
    const char* Name;
    std::string Script;
    Found Expected;
  } cases[] = {
      {"an id the source holds twice, after a later line",
       "@00000020=b.bin\n@00000010=a.bin\n",
       {{1, Missing("b.bin")}, {2, Missing("a.bin")}}},
      {"a new entry the run adds and cannot fill",
       "#AddEntries=yes\n@00000099=new.bin\n@00000020=@77\n",
       {{2, Missing("new.bin")}, {3, Message(MessageKey::MsgInternalIdNotFound, {"77"})}}},
      {"a new entry without #AddEntries is no failure", "@00000099=new.bin\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    files = MemoryFileSystem();
    job = JobState();
    EXPECT_EQ(FailuresOf(twice, c.Script), c.Expected);
  }
}

// The bytes a file brings may leave no room for an entry that keeps its own: that entry has no
// rule line to quote.
TEST_F(RuleFailuresTest, EntryWithoutARuleLineThatCannotBeWrittenIsListedWithoutALine) {
  files.PutFile(kScriptDir + "big.bin", "x");
  files.SetApparentSize(kScriptDir + "big.bin", 0xFFFFFFF0ull);
  // Not run: the file's four gibibytes are only an apparent size.
  const Found found =
      FailuresOf(MakeArchive({{0x10, "a"}, {0x20, "a long entry"}}), "@00000010=big.bin\n", false);
  EXPECT_EQ(found, (Found{{0, Message(MessageKey::MsgTargetTooLarge, {kTargetPath})}}));
}

}  // namespace
}  // namespace velmora
