// Scripts that patch their source in place (#InPlace=yes), through preparation, the pack run
// and the report, with kills at every file-system operation.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "msg/format.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/script_run.h"
#include "testing/stopping_file_system.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\game\\ui.wdf";
const char kPatchScript[] = "C:\\game\\patch\\ui-patch.vlm";
const std::string kPatchHeader =
    "#SrcPath=..\\\r\n#SrcFile=ui.wdf\r\n#DestPath=..\\\r\n#DestFile=ui.wdf\r\n#RunEnd=\r\n";

const std::string kOld = ArchiveOf({{1, "old one"}, {2, "two"}});
const std::string kNew = ArchiveOf({{1, "NEW"}, {2, "two"}});

MemoryFileSystem& Game(MemoryFileSystem& files) {
  files.PutFile(kArchive, kOld);
  files.PutFile("C:\\game\\patch\\00000001.bin", "NEW");
  return files;
}

std::string Backup(uint32_t n) { return BackupName(kArchive, n); }

struct InPlaceCase {
  const char* Name;
  const char* ScriptPath;
  std::string Text;
  std::vector<std::string> EarlierBackups;  // files present before the run
  int StopAfter;
  // The outcome: the archive's bytes after the run, the backup that holds the old ones (empty:
  // none), and a text the run's error names (empty: it succeeds).
  std::string Archive;
  std::string Backup;
  std::string Error;
};

TEST(InPlaceRunTest, TheSourceTakesTheNewArchiveAndKeepsTheOldAsABackupOrStaysAsItWas) {
  const std::string rule = "@00000001=00000001.bin\r\n";
  const std::vector<InPlaceCase> cases = {
      {"without the switch the target may not be the source",
       kPatchScript,
       kPatchHeader + rule,
       {},
       -1,
       kOld,
       "",
       Message(MessageKey::MsgTargetSameAsSource, {kArchive, kArchive})},
      {"in place",
       kPatchScript,
       kPatchHeader + "#InPlace=yes\r\n" + rule,
       {},
       -1,
       kNew,
       Backup(1),
       ""},
      {"earlier backups stay",
       kPatchScript,
       kPatchHeader + "#InPlace=YES\r\n" + rule,
       {Backup(1), Backup(2)},
       -1,
       kNew,
       Backup(3),
       ""},
      {"the default target is the source",
       "C:\\game\\ui.vlm",
       "#SrcFile=ui.wdf\r\n#InPlace=yes\r\n#RunEnd=\r\n@00000001=patch\\00000001.bin\r\n",
       {},
       -1,
       kNew,
       Backup(1),
       ""},
      {"a failed run leaves it",
       kPatchScript,
       kPatchHeader + "#InPlace=yes\r\n@00000002=missing.bin\r\n",
       {},
       -1,
       kOld,
       "",
       Message(MessageKey::MsgRefFileNotFound, {"C:\\game\\patch\\missing.bin"})},
      {"a cancelled run leaves it",
       kPatchScript,
       kPatchHeader + "#InPlace=yes\r\n" + rule,
       {},
       1,
       kOld,
       "",
       Message(MessageKey::MsgPackFailed, {kArchive, kArchive})},
  };
  for (const InPlaceCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    Game(files);
    for (const std::string& earlier : c.EarlierBackups) files.PutFile(earlier, "earlier");
    const auto outcome = RunScriptText(files, c.ScriptPath, c.Text, c.StopAfter);
    EXPECT_EQ(files.FileBytes(kArchive), c.Archive);
    for (const std::string& earlier : c.EarlierBackups) {
      EXPECT_EQ(files.FileBytes(earlier), "earlier");
    }
    EXPECT_FALSE(files.HasFile(TemporaryArchiveName(kArchive, 0)));
    for (const RecordingView::Box& box : outcome->View.Boxes) {
      EXPECT_NE(box.Kind, RecordingView::Box::kQuestion) << "nothing is overwritten: " << box.Text;
    }
    if (!c.Error.empty()) {
      EXPECT_FALSE(outcome->Succeeded);
      EXPECT_NE(outcome->Error.find(c.Error), std::string::npos) << outcome->Error;
      EXPECT_FALSE(files.HasFile(Backup(c.EarlierBackups.size() + 1)));
      continue;
    }
    ASSERT_TRUE(outcome->Succeeded) << outcome->Error;
    EXPECT_EQ(files.FileBytes(c.Backup), kOld);
    EXPECT_NE(outcome->Report.find(Message(MessageKey::MsgBackupKept, {c.Backup})),
              std::string::npos)
        << outcome->Report;
  }
}

// A kill after any number of file-system operations of a run in place, with or without a power
// cut: nothing is lost, and running the patch again gives the patched archive.
TEST(InPlaceRunTest, AKillAtAnyOperationLosesNothingAndTheNextRunFinishes) {
  const std::string text = kPatchHeader + "#InPlace=yes\r\n@00000001=00000001.bin\r\n";
  for (bool power_cut : {false, true}) {
    for (int budget = 0;; ++budget) {
      SCOPED_TRACE(testing::Message()
                   << "operations done: " << budget << ", power cut " << power_cut);
      MemoryFileSystem files;
      Game(files);
      StoppingFileSystem stopping(files, budget);
      const bool completed = RunScriptText(stopping, kPatchScript, text)->Succeeded;
      if (power_cut) files.CutPower();
      // The old archive is somewhere: under its name, or as the backup beside the new one.
      const std::string archive = files.FileBytes(kArchive);
      if (files.HasFile(kArchive)) {
        ASSERT_TRUE(archive == kOld || archive == kNew);
        if (archive == kNew) {
          EXPECT_EQ(files.FileBytes(Backup(1)), kOld);
        }
      } else {
        EXPECT_EQ(files.FileBytes(Backup(1)), kOld);
        EXPECT_EQ(files.FileBytes(TemporaryArchiveName(kArchive, 0)), kNew);
      }
      if (completed) {
        EXPECT_EQ(archive, kNew);
        EXPECT_GE(budget, 10) << "a kill was tried at too few operations";
        break;
      }
      // The next run finishes what was cut short (or patches the patched archive again, which
      // changes nothing but keeps one more backup).
      const auto next = RunScriptText(files, kPatchScript, text);
      ASSERT_TRUE(next->Succeeded) << next->Error;
      EXPECT_EQ(files.FileBytes(kArchive), kNew);
      std::vector<ArchiveBackup> backups;
      ASSERT_TRUE(ListBackups(files, kArchive, &backups));
      ASSERT_FALSE(backups.empty());
      EXPECT_EQ(files.FileBytes(backups.front().Path), kOld);
      ASSERT_LT(budget, 200) << "the run never completed";
    }
  }
}

}  // namespace
}  // namespace velmora
