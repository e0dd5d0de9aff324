#include "job/added_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msg/format.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/pack_run_fixture.h"
#include "testing/script_run.h"

namespace velmora {
namespace {

using pack_run_testing::Entries;
using pack_run_testing::ReadWrittenArchive;

const char kScript[] = "C:\\game\\mod.vlm";
const char kSource[] = "C:\\game\\ui.wdf";
const char kTarget[] = "C:\\game\\out.wdf";

struct AddCase {
  const char* Name;
  std::vector<TestResource> Source;
  std::string Lines;  // rule lines, after the header
  Entries Target;     // the new archive's entries; empty with `failure`
  int Added;
  std::vector<std::string> NotExecuted;  // lines the report lists
  bool SwitchedOn;                       // the script has #AddEntries=yes
  std::string Failure;                   // the run's message, when it fails
};

TEST(AddedEntriesTest, NewEntriesGoByIdIntoASortedSourceElseBehindItInLineOrder) {
  const std::vector<TestResource> sorted = {{1, "a"}, {5, "b"}};
  const std::vector<TestResource> unsorted = {{5, "b"}, {1, "a"}};
  const std::vector<AddCase> cases = {
      {"sorted source: by id",
       sorted,
       "@00000003=new.bin\r\n",
       {{1, "a"}, {3, "NEW"}, {5, "b"}},
       1,
       {},
       true,
       ""},
      {"sorted source: before all and after all",
       sorted,
       "@00000009=@00000001\r\n@00000000=new.bin\r\n",
       {{0, "NEW"}, {1, "a"}, {5, "b"}, {9, "a"}},
       2,
       {},
       true,
       ""},
      {"unsorted source: behind it, in line order",
       unsorted,
       "@00000009=new.bin\r\n@00000003=other.wdf/@00000010\r\n",
       {{5, "b"}, {1, "a"}, {9, "NEW"}, {3, "OTH"}},
       2,
       {},
       true,
       ""},
      {"a repeated id is not ascending",
       {{1, "a"}, {1, "b"}},
       "@00000000=new.bin\r\n",
       {{1, "a"}, {1, "b"}, {0, "NEW"}},
       1,
       {},
       true,
       ""},
      {"empty source",
       {},
       "@00000002=new.bin\r\n@00000001=@00000002\r\n",
       {},
       0,
       {},
       true,
       Message(MessageKey::MsgInternalIdNotFound, {"00000002"})},
      {"empty source, files",
       {},
       "@00000002=new.bin\r\n@0000000a=other.wdf/@00000010\r\n",
       {{2, "NEW"}, {0xA, "OTH"}},
       2,
       {},
       true,
       ""},
      {"delete and keep of an absent id change nothing",
       sorted,
       "@00000007=@Delete\r\n@00000008=\r\n",
       {{1, "a"}, {5, "b"}},
       0,
       {"@00000007=@Delete", "@00000008="},
       true,
       ""},
      {"the first line of a new id counts",
       sorted,
       "@00000003=new.bin\r\n@00000003=@00000001\r\n",
       {{1, "a"}, {3, "NEW"}, {5, "b"}},
       1,
       {"@00000003=@00000001"},
       true,
       ""},
      {"lines the run never finds",
       sorted,
       "@3=new.bin\r\n@000000003=new.bin\r\n",
       {{1, "a"}, {5, "b"}},
       0,
       {"@3=new.bin", "@000000003=new.bin"},
       true,
       ""},
      {"without the switch nothing is added",
       sorted,
       "@00000003=new.bin\r\n",
       {{1, "a"}, {5, "b"}},
       0,
       {"@00000003=new.bin"},
       false,
       ""},
      {"a new entry whose file is missing fails the run",
       sorted,
       "@00000003=gone.bin\r\n",
       {},
       0,
       {},
       true,
       Message(MessageKey::MsgRefFileNotFound, {"C:\\game\\gone.bin"})},
  };
  for (const AddCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kSource, ArchiveOf(c.Source));
    files.PutFile("C:\\game\\new.bin", "NEW");
    files.PutFile("C:\\game\\other.wdf", ArchiveOf({{0x10, "OTH"}}));
    const std::string text = std::string("#SrcFile=ui.wdf\r\n#DestFile=out.wdf\r\n#RunEnd=\r\n") +
                             (c.SwitchedOn ? "#AddEntries=Yes\r\n" : "") + c.Lines;
    const auto outcome = RunScriptText(files, kScript, text);
    ASSERT_TRUE(outcome->Prepared) << outcome->Error;
    if (!c.Failure.empty()) {
      EXPECT_FALSE(outcome->Succeeded);
      EXPECT_NE(outcome->Error.find(c.Failure), std::string::npos) << outcome->Error;
      EXPECT_FALSE(files.HasFile(kTarget));
      continue;
    }
    ASSERT_TRUE(outcome->Succeeded) << outcome->Error;
    Entries written;
    ASSERT_TRUE(ReadWrittenArchive(files.FileBytes(kTarget), &written));
    EXPECT_EQ(written, c.Target);
    const std::string added = Message(MessageKey::MsgAddedCount, {c.Added});
    EXPECT_EQ(outcome->Report.find(added) != std::string::npos, c.Added > 0) << outcome->Report;
    for (const std::string& line : c.NotExecuted) {
      EXPECT_NE(outcome->Report.find("\r" + line), std::string::npos) << outcome->Report;
    }
    // Nothing is counted as deleted when entries were only added.
    EXPECT_EQ(outcome->Report.find(Message(MessageKey::MsgDeletedCount, {0, 0}).substr(0, 9)),
              std::string::npos);
  }
}

}  // namespace
}  // namespace velmora
