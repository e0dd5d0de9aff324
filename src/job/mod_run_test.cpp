// Mods of three archives, run through the program's entry: a failure or a cancel on each archive
// in turn, a kill after every file-system operation with and without a power cut, and the undo.
// After everything the archives are all old or all new, each new one with its old as a backup.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "job/mod_journal.h"
#include "job/mod_run.h"
#include "job/pack_run.h"
#include "job/program_entry.h"
#include "msg/format.h"
#include "sys/system_error.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/recording_view.h"
#include "testing/stopping_file_system.h"

namespace velmora {
namespace {

const char kMod[] = "C:\\game\\mod\\mod.vlm";
const char kUndo[] = "C:\\game\\mod\\mod-undo.vlm";
const char kJournal[] = "C:\\game\\velmora-mod.vlmjournal";
const char kRecord[] = "C:\\game\\mod\\mod.vlm.applied";

struct Archive {
  std::string Path;
  std::string Name;  // as the part names it, below the game folder
  std::string Old;
  std::string New;
};

const std::vector<Archive> kArchives = {
    {"C:\\game\\gfx.wdf", "gfx.wdf", ArchiveOf({{1, "old gfx"}, {2, "two"}}),
     ArchiveOf({{1, "NEW 1"}, {2, "two"}})},
    {"C:\\game\\data\\snd.wdf", "data\\snd.wdf", ArchiveOf({{1, "old snd"}, {2, "two"}}),
     ArchiveOf({{1, "NEW 2"}, {2, "two"}})},
    {"C:\\game\\data\\txt.wdf", "data\\txt.wdf", ArchiveOf({{1, "old txt"}, {2, "two"}}),
     ArchiveOf({{1, "NEW 3"}, {2, "two"}})},
};

std::string PartDir(size_t k) { return "C:\\game\\mod\\" + std::to_string(k + 1) + "\\"; }

std::string PartScript(const Archive& archive) {
  return "#SrcPath=..\\..\\\r\n#SrcFile=" + archive.Name +
         "\r\n#DestPath=..\\..\\\r\n#DestFile=" + archive.Name +
         "\r\n#InPlace=yes\r\n@00000001=00000001.bin\r\n";
}

void PutGame(MemoryFileSystem& files) {
  std::string mod = "#ModBase=..\\\r\n#RunBegin=\r\n";
  for (size_t k = 0; k < kArchives.size(); ++k) {
    const Archive& archive = kArchives[k];
    files.PutFile(archive.Path, archive.Old);
    files.PutFile(PartDir(k) + "part.vlm", PartScript(archive));
    files.PutFile(PartDir(k) + "00000001.bin", "NEW " + std::to_string(k + 1));
    mod += "#ModPart" + std::to_string(k + 1) + "=" + std::to_string(k + 1) + "\\part.vlm\r\n";
  }
  files.PutFile(kMod, mod + "#RunEnd=\r\n");
  files.PutFile(kUndo, "#ModBase=..\\\r\n#ModUndo=mod.vlm\r\n");
}

class PackFrontEnd final : public EntryFrontEnd {
 public:
  PackFrontEnd(FileSystem& files, RunView& view) : files_(files), view_(view) {}
  std::string MakeAbsolute(const std::string& argument) override { return argument; }
  void RegisterScriptType() override {}
  void UnregisterScriptType() override {}
  void RunWithProgress(JobState& job) override { RunPack(job, files_, view_); }
  void ModEnded(bool changed) override { Changed = changed; }
  bool Changed = false;

 private:
  FileSystem& files_;
  RunView& view_;
};

// Runs the script through the entry as the terminal tool does; true when every archive changed.
bool RunScript(FileSystem& files, const std::string& path, RecordingView& view) {
  PackFrontEnd front(files, view);
  JobState job;
  job.ScriptPath = path;
  try {
    RunScriptEntry(job, files, view, front);
  } catch (const AppFailure&) {
    return false;
  }
  return front.Changed;
}

bool RunScript(FileSystem& files, const std::string& path) {
  RecordingView view;
  return RunScript(files, path, view);
}

bool AllAre(const MemoryFileSystem& files, std::string Archive::*bytes) {
  for (const Archive& archive : kArchives) {
    if (files.FileBytes(archive.Path) != archive.*bytes) return false;
  }
  return true;
}

// Every archive new and the old bytes in its first backup, or every archive old.
void ExpectAllOldOrAllNew(MemoryFileSystem& files) {
  if (AllAre(files, &Archive::New)) {
    for (const Archive& archive : kArchives) {
      std::vector<ArchiveBackup> backups;
      ASSERT_TRUE(ListBackups(files, archive.Path, &backups));
      ASSERT_FALSE(backups.empty()) << archive.Path;
      EXPECT_EQ(files.FileBytes(backups.front().Path), archive.Old) << archive.Path;
    }
  } else {
    EXPECT_TRUE(AllAre(files, &Archive::Old)) << "some archives new, some old";
  }
}

// Nothing of a transaction left beside the archives.
void ExpectNoLeftovers(const MemoryFileSystem& files) {
  for (const std::string& path : files.FilePaths()) {
    EXPECT_EQ(path.find(".vlmtmp"), std::string::npos) << path;
    EXPECT_EQ(path.find(".vlmjournal"), std::string::npos) << path;
  }
}

TEST(ModRunTest, AFailureOrCancelOnAnyArchiveLeavesEveryArchiveAsItWas) {
  struct Case {
    const char* Name;
    std::function<void(MemoryFileSystem&, size_t, RecordingView&)> Break;
  };
  const std::vector<Case> cases = {
      {"a missing entry file",
       [](MemoryFileSystem& files, size_t k, RecordingView&) {
         files.PutFile(PartDir(k) + "part.vlm",
                       PartScript(kArchives[k]) + "@00000002=missing.bin\r\n");
       }},
      {"a cancel",
       [](MemoryFileSystem&, size_t k, RecordingView& view) { view.StopAfterReports = 2 * k + 1; }},
      {"an archive that is no archive",
       [](MemoryFileSystem& files, size_t k, RecordingView&) {
         files.PutFile(kArchives[k].Path, "not an archive");
       }},
      {"a missing part", [](MemoryFileSystem& files, size_t k,
                            RecordingView&) { files.RemoveFile(PartDir(k) + "part.vlm"); }},
      {"a part that writes elsewhere",
       [](MemoryFileSystem& files, size_t k, RecordingView&) {
         files.PutFile(PartDir(k) + "part.vlm", "#SrcPath=..\\..\\\r\n#SrcFile=" +
                                                    kArchives[k].Name + "\r\n#DestFile=x.wdf\r\n");
       }},
      {"a part that changes the archive of another",
       [](MemoryFileSystem& files, size_t k, RecordingView&) {
         files.PutFile(PartDir(k) + "part.vlm", PartScript(kArchives[k == 0 ? 1 : 0]));
       }},
      {"a disk that refuses the renames",
       [](MemoryFileSystem& files, size_t, RecordingView&) { files.FailRenames(); }},
  };
  for (const Case& c : cases) {
    for (size_t k = 0; k < kArchives.size(); ++k) {
      SCOPED_TRACE(testing::Message() << c.Name << " on archive " << k + 1);
      MemoryFileSystem files;
      PutGame(files);
      RecordingView view;
      c.Break(files, k, view);
      const std::string broken = files.FileBytes(kArchives[k].Path);
      EXPECT_FALSE(RunScript(files, kMod, view));
      for (const Archive& archive : kArchives) {
        EXPECT_EQ(files.FileBytes(archive.Path), &archive == &kArchives[k] ? broken : archive.Old);
        EXPECT_FALSE(files.HasFile(BackupName(archive.Path, 1)));
      }
      ExpectNoLeftovers(files);
      EXPECT_FALSE(files.HasFile(kRecord));
      ASSERT_FALSE(view.Boxes.empty());
      EXPECT_NE(view.Boxes.back().Text.find(Message(MessageKey::MsgModNothingChanged)),
                std::string::npos)
          << view.Boxes.back().Text;
    }
  }
}

TEST(ModRunTest, AModIsAppliedAndUndoneAsOneAndTheUndoKeepsTheModAsBackups) {
  MemoryFileSystem files;
  PutGame(files);
  RecordingView view;
  ASSERT_TRUE(RunScript(files, kMod, view));
  ExpectAllOldOrAllNew(files);
  EXPECT_TRUE(AllAre(files, &Archive::New));
  EXPECT_TRUE(files.HasFile(kRecord));
  ExpectNoLeftovers(files);
  ASSERT_EQ(view.Boxes.size(), 2u);  // the question, then one report for the whole mod
  EXPECT_NE(view.Boxes[1].Text.find(Message(MessageKey::MsgModApplied, {3})), std::string::npos);
  EXPECT_NE(view.Boxes[1].Text.find(BackupName(kArchives[2].Path, 1)), std::string::npos);

  ASSERT_TRUE(RunScript(files, kUndo));
  EXPECT_TRUE(AllAre(files, &Archive::Old));
  for (const Archive& archive : kArchives) {
    EXPECT_EQ(files.FileBytes(BackupName(archive.Path, 2)), archive.New);
  }
  EXPECT_FALSE(files.HasFile(kRecord));
  ExpectNoLeftovers(files);
  RecordingView again;
  EXPECT_FALSE(RunScript(files, kUndo, again)) << "there is nothing left to undo";
  EXPECT_TRUE(AllAre(files, &Archive::Old));
}

// A kill after any number of operations of the mod or its undo, with or without a power cut:
// what is left is all old, all new, or a journal that completes to one of the two; the next
// run of the mod then leaves all new.
TEST(ModRunTest, AKillAtAnyOperationLeavesAllOldOrAllNewAfterTheNextRun) {
  for (const bool undo : {false, true}) {
    for (const bool power_cut : {false, true}) {
      for (int budget = 0;; ++budget) {
        SCOPED_TRACE(testing::Message() << (undo ? "undo" : "mod") << ", operations done: "
                                        << budget << ", power cut " << power_cut);
        MemoryFileSystem files;
        PutGame(files);
        if (undo) {
          ASSERT_TRUE(RunScript(files, kMod));
        }
        StoppingFileSystem stopping(files, budget);
        const bool completed = RunScript(stopping, undo ? kUndo : kMod);
        if (power_cut) files.CutPower();
        if (files.HasFile(kJournal)) {
          std::string message;
          ASSERT_TRUE(CompleteModAround(files, kArchives[1].Path, &message));
          EXPECT_EQ(message, Message(MessageKey::MsgModRecovered));
        }
        if (undo) {
          // Undone (the record retired) or not at all (the mod's archives and record stay).
          const bool undone = AllAre(files, &Archive::Old);
          EXPECT_TRUE(undone || AllAre(files, &Archive::New));
          EXPECT_EQ(files.HasFile(kRecord), !undone);
        } else {
          ExpectAllOldOrAllNew(files);
        }
        if (completed) {
          ExpectNoLeftovers(files);
          EXPECT_GE(budget, 40) << "a kill was tried at too few operations";
          break;
        }
        ASSERT_TRUE(RunScript(files, kMod));
        ExpectAllOldOrAllNew(files);
        EXPECT_TRUE(AllAre(files, &Archive::New));
        ExpectNoLeftovers(files);
        ASSERT_LT(budget, 500) << "the run never completed";
      }
    }
  }
}

TEST(ModRunTest, TheJournalReadsBackWhatWasWrittenAndNothingElse) {
  ModJournal journal;
  journal.Record = "C:\\mod\\mod.vlm.applied";
  journal.Archives = {{"C:\\a.wdf", "C:\\a.wdf.1.bak", "C:\\a.wdf.vlmtmp"},
                      {"C:\\d\\b.wdf", "C:\\d\\b.wdf.3.bak", ""}};
  const std::string text = FormatModJournal(journal);
  ModJournal read;
  ASSERT_TRUE(ParseModJournal(text, &read));
  EXPECT_EQ(FormatModJournal(read), text);
  for (size_t cut = 0; cut < text.size(); ++cut) {
    EXPECT_FALSE(ParseModJournal(text.substr(0, cut), &read)) << "cut at " << cut;
  }
}

}  // namespace
}  // namespace velmora
