#include "job/archive_backups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/memory_file_system.h"
#include "testing/archive_bytes.h"
#include "testing/stopping_file_system.h"

namespace velmora {
namespace {

const char kDir[] = "C:\\game\\";
#if defined(_WIN32)
constexpr bool kPosix = false;
#else
constexpr bool kPosix = true;
#endif
const char kArchive[] = "C:\\game\\ui.wdf";
const char kWritten[] = "C:\\game\\ui.wdf.vlmtmp";

const std::string kOldBytes = ArchiveOf({{1, "old"}});
const std::string kNewBytes = ArchiveOf({{1, "new"}, {2, "added"}});

std::vector<std::string> BackupNames(MemoryFileSystem& files) {
  std::vector<ArchiveBackup> backups;
  EXPECT_TRUE(ListBackups(files, kArchive, &backups));
  std::vector<std::string> names;
  for (const ArchiveBackup& backup : backups) names.push_back(backup.Path.substr(sizeof kDir - 1));
  return names;
}

struct NamingCase {
  const char* Name;
  std::vector<std::string> Present;  // files beside the archive before the swap
  std::vector<std::string> Listed;   // its backups before the swap
  const char* Backup;                // the name the old archive gets
};

TEST(ArchiveBackupsTest, TheOldArchiveTakesANameAboveEveryBackup) {
  const std::vector<NamingCase> cases = {
    {"no backup yet", {}, {}, "ui.wdf.1.bak"},
    {"two backups",
     {"ui.wdf.1.bak", "ui.wdf.2.bak"},
     {"ui.wdf.1.bak", "ui.wdf.2.bak"},
     "ui.wdf.3.bak"},
    {"a gap is not filled",
     {"ui.wdf.5.bak", "ui.wdf.1.bak"},
     {"ui.wdf.1.bak", "ui.wdf.5.bak"},
     "ui.wdf.6.bak"},
    {"numbers sort as numbers",
     {"ui.wdf.9.bak", "ui.wdf.10.bak"},
     {"ui.wdf.9.bak", "ui.wdf.10.bak"},
     "ui.wdf.11.bak"},
    {"names that are no backups of it",
     {"ui.wdf.01.bak", "ui.wdf.x.bak", "ui.wdf.bak", "other.wdf.1.bak", "ui.wdf.1.bak.txt"},
     {},
     "ui.wdf.1.bak"},
#if !defined(_WIN32)  // on Windows another letter case names the same file
    {"another letter case is another archive's",
     {"UI.WDF.2.BAK", "ui.WDF.3.bak"},
     {},
     "ui.wdf.1.bak"},
#endif
  };
  for (const NamingCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kArchive, kOldBytes);
    files.PutFile(kWritten, kNewBytes);
    for (const std::string& name : c.Present) files.PutFile(kDir + name, "earlier");
    EXPECT_EQ(BackupNames(files), c.Listed);
    std::string backup;
    SwapStep failed = SwapStep::kNone;
    ASSERT_TRUE(SwapInNewArchive(files, kArchive, kWritten, BackupNote(), &backup, &failed));
    EXPECT_EQ(backup, kDir + std::string(c.Backup));
    EXPECT_EQ(files.FileBytes(backup), kOldBytes);
    EXPECT_EQ(files.FileBytes(kArchive), kNewBytes);
    EXPECT_FALSE(files.HasFile(kWritten));
    for (const std::string& name : c.Present) EXPECT_EQ(files.FileBytes(kDir + name), "earlier");
  }
}

TEST(ArchiveBackupsTest, AnEmptyReservationIsNoBackupButItsNumberIsNotReused) {
  MemoryFileSystem files;
  files.PutFile(kArchive, kOldBytes);
  files.PutFile(kWritten, kNewBytes);
  files.PutFile(std::string(kDir) + "ui.wdf.1.bak", "earlier");
  files.PutFile(std::string(kDir) + "ui.wdf.2.bak", "");
  EXPECT_EQ(BackupNames(files), std::vector<std::string>{"ui.wdf.1.bak"});
  std::string backup;
  SwapStep failed = SwapStep::kNone;
  ASSERT_TRUE(SwapInNewArchive(files, kArchive, kWritten, BackupNote(), &backup, &failed));
  EXPECT_EQ(backup, std::string(kDir) + "ui.wdf.3.bak");
}

TEST(ArchiveBackupsTest, AFailedStepLeavesTheOldArchiveAndTheNewOneWhereTheyWere) {
  struct FailureCase {
    const char* Name;
    SwapStep step;
  };
  for (const FailureCase& c : {FailureCase{"the backup name", SwapStep::kReserve},
                               FailureCase{"the old archive's rename", SwapStep::kKeepOld},
                               FailureCase{"the new archive's rename", SwapStep::kPlaceNew}}) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    files.PutFile(kArchive, kOldBytes);
    files.PutFile(kWritten, kNewBytes);
    std::unique_ptr<Stream> held;
    if (c.step == SwapStep::kReserve) files.FailOpensOf(BackupName(kArchive, 1), 5);
    if (c.step == SwapStep::kKeepOld) files.FailRenames();
    if (c.step == SwapStep::kPlaceNew) held = files.OpenShared(kWritten);  // cannot be renamed
    std::string backup;
    SwapStep failed = SwapStep::kNone;
    EXPECT_FALSE(SwapInNewArchive(files, kArchive, kWritten, BackupNote(), &backup, &failed));
    EXPECT_EQ(failed, c.step);
    EXPECT_EQ(files.FileBytes(kArchive), kOldBytes);
    EXPECT_EQ(files.FileBytes(kWritten), kNewBytes);
    EXPECT_EQ(BackupNames(files), std::vector<std::string>{});
  }
}

// A kill after any number of file-system operations, with or without a power cut after it:
// the archive's name holds the old or the new archive, or recovery gives it the new one; the
// old archive is never lost and an earlier backup never touched.
TEST(ArchiveBackupsTest, AKillAtAnyOperationLosesNothingAndRecoveryCompletesTheSwap) {
  for (bool power_cut : {false, true}) {
    for (int budget = 0;; ++budget) {
      SCOPED_TRACE(testing::Message()
                   << "operations done: " << budget << ", power cut " << power_cut);
      MemoryFileSystem files;
      files.PutFile(kArchive, kOldBytes);
      files.PutFile(kWritten, kNewBytes);
      files.PutFile(std::string(kDir) + "ui.wdf.1.bak", "earlier");
      StoppingFileSystem stopping(files, budget);
      std::string backup;
      SwapStep failed = SwapStep::kNone;
      const bool swapped =
          SwapInNewArchive(stopping, kArchive, kWritten, BackupNote(), &backup, &failed);
      if (power_cut) files.CutPower();
      std::string completed;
      const bool recovered = RecoverInterruptedSwap(files, kArchive, &completed);

      const std::string archive = files.FileBytes(kArchive);
      ASSERT_TRUE(archive == kOldBytes || archive == kNewBytes) << archive;
      EXPECT_EQ(files.FileBytes(std::string(kDir) + "ui.wdf.1.bak"), "earlier");
      const std::vector<std::string> backups = BackupNames(files);
      if (archive == kNewBytes) {
        ASSERT_EQ(backups.size(), 2u);
        EXPECT_EQ(files.FileBytes(kDir + backups[1]), kOldBytes);
      } else {
        EXPECT_EQ(backups, std::vector<std::string>{"ui.wdf.1.bak"});
        EXPECT_EQ(files.FileBytes(kWritten), kNewBytes);
      }
      EXPECT_FALSE(swapped && recovered);
      if (recovered) {
        EXPECT_EQ(completed, kWritten);
      }
      if (swapped) {
        EXPECT_EQ(archive, kNewBytes);
        EXPECT_GE(budget, 5) << "a kill was tried at too few operations";
        break;
      }
      ASSERT_LT(budget, 100) << "the swap never completed";
    }
  }
}

TEST(ArchiveBackupsTest, RecoveryLeavesAnArchiveAloneAndTakesOnlyAFileWrittenInFull) {
  MemoryFileSystem files;
  files.PutFile(std::string(kDir) + "ui.wdf.1.bak", kOldBytes);
  files.PutFile(kWritten, "PFDW" + std::string(8, '\0') + "cut short");  // placeholder header
  std::string completed;
  EXPECT_FALSE(RecoverInterruptedSwap(files, kArchive, &completed));
  EXPECT_FALSE(files.HasFile(kArchive));

  files.PutFile(kWritten, kNewBytes);
  files.PutFile(kArchive, kOldBytes);
  EXPECT_FALSE(RecoverInterruptedSwap(files, kArchive, &completed));
  EXPECT_EQ(files.FileBytes(kWritten), kNewBytes);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// Three states of the archive, each replaced by the next: backups 1 and 2 and the archive.
std::vector<std::string> Chain(MemoryFileSystem& files) {
  const std::vector<std::string> states = {ArchiveOf({{1, "original"}}), ArchiveOf({{1, "first"}}),
                                           ArchiveOf({{1, "second"}, {2, "more"}})};
  files.PutFile(kArchive, states[0]);
  for (size_t k = 1; k < states.size(); ++k) {
    files.PutFile(kWritten, states[k]);
    std::string backup;
    SwapStep failed = SwapStep::kNone;
    BackupNote note = NoteMadeNow("C:\\game\\patch\\ui-patch.vlm");
    note.Patch = "p" + std::to_string(k);
    EXPECT_TRUE(SwapInNewArchive(files, kArchive, kWritten, note, &backup, &failed));
  }
  return states;
}

TEST(ArchiveBackupsTest, RestoreReachesEveryBackupOfAChainAndEachRestoreIsABackupToo) {
  for (uint32_t target : {1u, 2u}) {
    SCOPED_TRACE(target);
    MemoryFileSystem files;
    const std::vector<std::string> states = Chain(files);
    std::vector<ArchiveBackup> backups;
    ASSERT_TRUE(ListBackups(files, kArchive, &backups));
    ASSERT_EQ(2u, backups.size());
    EXPECT_EQ("p1", backups[0].Note.Patch);
    EXPECT_EQ("C:\\game\\patch\\ui-patch.vlm", backups[1].Note.Script);
    EXPECT_GT(backups[1].Note.Made, 0);
    BackupNote note = NoteMadeNow("");
    note.Restored = target;
    std::string kept;
    std::string failure;
    ASSERT_TRUE(RestoreBackup(files, kArchive, *FindBackup(backups, target), note, &kept, &failure))
        << failure;
    EXPECT_EQ(states[target - 1], files.FileBytes(kArchive));
    EXPECT_EQ(BackupName(kArchive, 3), kept);
    EXPECT_EQ(states[2], files.FileBytes(kept));
    EXPECT_EQ(states[target - 1], files.FileBytes(BackupName(kArchive, target)));  // stays
    // The restore is undone by restoring the backup it made.
    ASSERT_TRUE(ListBackups(files, kArchive, &backups));
    EXPECT_EQ(target, backups.back().Note.Restored);
    ASSERT_TRUE(RestoreBackup(files, kArchive, backups.back(), NoteMadeNow(""), &kept, &failure));
    EXPECT_EQ(states[2], files.FileBytes(kArchive));
  }
}

// restore --to N takes backup N and never a neighbour: numbers have gaps where backups were pruned.
TEST(ArchiveBackupsTest, ABackupIsFoundByItsOwnNumberOnly) {
  MemoryFileSystem files;
  for (uint32_t number : {2u, 5u}) files.PutFile(BackupName(kArchive, number), kOldBytes);
  std::vector<ArchiveBackup> backups;
  ASSERT_TRUE(ListBackups(files, kArchive, &backups));
  for (uint32_t number = 1; number <= 6; ++number) {
    const ArchiveBackup* found = FindBackup(backups, number);
    EXPECT_EQ(found ? found->Number : 0u, number == 2 || number == 5 ? number : 0u) << number;
  }
}

TEST(ArchiveBackupsTest, ARestoreThatCannotBeMadeLeavesTheArchiveAsItWas) {
  MemoryFileSystem files;
  const std::vector<std::string> states = Chain(files);
  files.PutFile(BackupName(kArchive, 2), "not an archive");
  std::vector<ArchiveBackup> backups;
  ASSERT_TRUE(ListBackups(files, kArchive, &backups));
  std::string kept;
  std::string failure;
  EXPECT_FALSE(RestoreBackup(files, kArchive, backups[1], NoteMadeNow(""), &kept, &failure));
  EXPECT_NE(std::string::npos, failure.find("ui.wdf.2.bak"));
  EXPECT_EQ(states[2], files.FileBytes(kArchive));
  EXPECT_TRUE(kept.empty());
  EXPECT_FALSE(files.HasFile(TemporaryArchiveName(kArchive, 0)));
}

struct PruneCase {
  size_t Backups;
  size_t KeepNewest;
  bool WithOriginal;
  std::vector<uint32_t> Left;
};

TEST(ArchiveBackupsTest, PruneKeepsTheOriginalUnlessToldAndTheNewestAsked) {
  const std::vector<PruneCase> cases = {
      {0, 0, false, {}},     {1, 0, false, {1}},       {4, 0, false, {1}},
      {4, 1, false, {1, 4}}, {4, 2, false, {1, 3, 4}}, {4, 9, false, {1, 2, 3, 4}},
      {4, 0, true, {}},      {4, 1, true, {4}},        {1, 0, true, {}},
  };
  for (const PruneCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Backups) + " keep " + std::to_string(c.KeepNewest) +
                 (c.WithOriginal ? " with the original" : ""));
    MemoryFileSystem files;
    files.PutFile(kArchive, kNewBytes);
    for (uint32_t n = 1; n <= c.Backups; ++n) {
      files.PutFile(BackupName(kArchive, n), kOldBytes);
      files.PutFile(BackupNoteName(BackupName(kArchive, n)), "Made=1\r\n");
    }
    std::vector<ArchiveBackup> backups;
    ASSERT_TRUE(ListBackups(files, kArchive, &backups));
    std::vector<std::string> removed;
    std::string failure;
    ASSERT_TRUE(PruneBackups(files, backups, c.KeepNewest, c.WithOriginal, &removed, &failure));
    ASSERT_TRUE(ListBackups(files, kArchive, &backups));
    std::vector<uint32_t> left;
    for (const ArchiveBackup& backup : backups) left.push_back(backup.Number);
    EXPECT_EQ(c.Left, left);
    EXPECT_EQ(c.Backups - c.Left.size(), removed.size());
    for (const std::string& path : removed) EXPECT_FALSE(files.HasFile(BackupNoteName(path)));
    EXPECT_EQ(kNewBytes, files.FileBytes(kArchive));
  }
}

}  // namespace
}  // namespace velmora
