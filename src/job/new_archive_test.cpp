// The new archive's way to its name, where a run in place was cut short between its two renames:
// the next run in place finds the complete new archive under any of the temporary names a run
// may have written it under, and finishes the swap before it reads its source.
#include "job/new_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/script_run.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\game\\ui.wdf";
const char kScript[] = "C:\\game\\patch.vlm";
const char kScriptText[] =
    "#SrcFile=ui.wdf\r\n#DestFile=ui.wdf\r\n#InPlace=yes\r\n"
    "@00000002=@Delete\r\n";

TEST(NewArchiveTest, AnInterruptedSwapIsFinishedFromAnyTemporaryNameThatHoldsAWholeArchive) {
  const std::string old_archive = ArchiveOf({{1, "old"}});
  const std::string interrupted = ArchiveOf({{1, "new"}, {2, "added"}});
  const std::string cut_short = "PFDW" + std::string(8, '\0') + "cut short";  // placeholder header
  const struct {
    const char* Name;
    std::vector<std::pair<int, std::string>> Temporary;  // attempt, bytes ("" for a folder)
    bool Recovered;
  } cases[] = {
      {"the first name", {{0, "whole"}}, true},
      {"a later name, behind one cut short and a gap", {{0, cut_short}, {2, "whole"}}, true},
      {"behind a folder", {{0, ""}, {1, "whole"}}, true},
      {"the last name a run tries", {{kTemporaryNameAttempts - 1, "whole"}}, true},
      {"no name a run tries", {{kTemporaryNameAttempts, "whole"}}, false},
      {"only one cut short", {{0, cut_short}, {1, cut_short}}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(BackupName(kArchive, 1), old_archive);  // renamed away before the cut
    for (const auto& temporary : c.Temporary) {
      const std::string path = TemporaryArchiveName(kArchive, temporary.first);
      if (temporary.second.empty()) {
        files.PutDirectory(path);
      } else {
        files.PutFile(path, temporary.second == "whole" ? interrupted : temporary.second);
      }
    }
    const auto outcome = RunScriptText(files, kScript, kScriptText);
    EXPECT_EQ(outcome->Succeeded, c.Recovered) << outcome->Error;
    EXPECT_EQ(files.FileBytes(BackupName(kArchive, 1)), old_archive);
    if (!c.Recovered) {
      EXPECT_FALSE(files.HasFile(kArchive));
      continue;
    }
    // The recovered archive is the run's source: kept as the next backup, patched in place.
    EXPECT_EQ(files.FileBytes(BackupName(kArchive, 2)), interrupted);
    EXPECT_EQ(files.FileBytes(kArchive), ArchiveOf({{1, "new"}}));
  }
}

}  // namespace
}  // namespace velmora
