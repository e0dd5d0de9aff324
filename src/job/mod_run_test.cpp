// Mods of three archives, run through the program's entry: a failure or a cancel on each archive
// in turn, a kill after every file-system operation with and without a power cut, and the undo.
// After everything the archives are all old or all new, each new one with its old as a backup.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "job/archive_backups.h"
#include "job/mod_journal.h"
#include "job/mod_run.h"
#include "job/patch_base.h"
#include "job/program_entry.h"
#include "msg/format.h"
#include "sys/system_error.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/packing_front_end.h"
#include "testing/recording_view.h"
#include "testing/stopping_file_system.h"
#include "wdf/archive_index.h"

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

std::vector<WdfEntry> IndexOf(MemoryFileSystem& files, const std::string& path) {
  ArchiveIndex index;
  EXPECT_EQ(ArchiveFault::kNone, ReadArchiveIndex(*files.OpenShared(path), &index));
  return index.Entries;
}

// What a patch made from the archive's old and new bytes records of the id it changes, as the
// part's key lines.
std::string BaseLines(const Archive& archive) {
  MemoryFileSystem files;
  files.PutFile("C:\\old.wdf", archive.Old);
  files.PutFile("C:\\new.wdf", archive.New);
  std::vector<IdExpectation> expected;
  size_t unreadable = 0;
  bool in_old = false;
  EXPECT_TRUE(ExpectationsOf(*files.OpenShared("C:\\old.wdf"), IndexOf(files, "C:\\old.wdf"),
                             *files.OpenShared("C:\\new.wdf"), IndexOf(files, "C:\\new.wdf"), {1},
                             &expected, &unreadable, &in_old));
  std::string lines;
  for (const auto& [name, value] : ExpectationLines(expected)) lines += name + "=" + value + "\r\n";
  return lines;
}

std::string PatchIdOf(const Archive& archive) {
  return "00000000000000a" + std::to_string(&archive - kArchives.data());
}

// A part as diff --patch writes it: its rule, the base it was made for, its id.
std::string PartScript(const Archive& archive) {
  return "#SrcPath=..\\..\\\r\n#SrcFile=" + archive.Name +
         "\r\n#DestPath=..\\..\\\r\n#DestFile=" + archive.Name +
         "\r\n#InPlace=yes\r\n@00000001=00000001.bin\r\n" + BaseLines(archive) +
         "#PatchId=" + PatchIdOf(archive) + "\r\n";
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

// How the front-end of the runs below writes a mod's parts: each on its own (0), or all
// prepared first and written as one run (1: on this thread, so that every kill comes at the same
// operation in every run). The tables run both ways.
const unsigned kPartWays[] = {0, 1};
unsigned part_threads = 0;

// Runs the script through the entry as the terminal tool does; true when every archive changed.
bool RunScript(FileSystem& files, const std::string& path, RecordingView& view, JobState& job) {
  PackingFrontEnd front(files, view);
  front.PartThreads = part_threads;
  job.ScriptPath = path;
  try {
    RunScriptEntry(job, files, view, front);
  } catch (const AppFailure&) {
    return false;
  }
  return front.ModChanged;
}

bool RunScript(FileSystem& files, const std::string& path, RecordingView& view) {
  JobState job;
  return RunScript(files, path, view, job);
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

// Nothing of a transaction left beside the archives: no new archive, journal, or note without
// its backup.
void ExpectNoLeftovers(const MemoryFileSystem& files) {
  for (const std::string& path : files.FilePaths()) {
    EXPECT_EQ(path.find(".vlmtmp"), std::string::npos) << path;
    EXPECT_EQ(path.find(".vlmmod"), std::string::npos) << path;
    EXPECT_EQ(path.find(".vlmjournal"), std::string::npos) << path;
    const size_t info = path.rfind(".info");
    if (info != std::string::npos) {
      EXPECT_TRUE(files.HasFile(path.substr(0, info))) << path;
    }
  }
}

// Each archive's newest backup, its note naming the script whose run made it.
void ExpectNewestBackupsMadeBy(MemoryFileSystem& files, const std::string& script, bool patch) {
  for (const Archive& archive : kArchives) {
    std::vector<ArchiveBackup> backups;
    ASSERT_TRUE(ListBackups(files, archive.Path, &backups));
    ASSERT_FALSE(backups.empty()) << archive.Path;
    const ArchiveBackup& newest = backups.back();
    ASSERT_TRUE(newest.HasNote) << newest.Path;
    EXPECT_EQ(newest.Note.Script, script);
    EXPECT_EQ(newest.Note.Patch, patch ? PatchIdOf(archive) : std::string());
    EXPECT_NE(newest.Note.Made, 0);
  }
}

// Every case with every way of writing the parts.
template <typename Case>
std::vector<std::pair<const Case&, unsigned>> WithEveryWay(const std::vector<Case>& cases) {
  std::vector<std::pair<const Case&, unsigned>> all;
  for (const Case& c : cases) {
    for (const unsigned way : kPartWays) all.emplace_back(c, way);
  }
  return all;
}

// Every case with every way of writing the parts and on every archive.
template <typename Case>
std::vector<std::tuple<const Case&, unsigned, size_t>> Combinations(
    const std::vector<Case>& cases) {
  std::vector<std::tuple<const Case&, unsigned, size_t>> all;
  for (const Case& c : cases) {
    for (const unsigned way : kPartWays) {
      for (size_t k = 0; k < kArchives.size(); ++k) all.emplace_back(c, way, k);
    }
  }
  return all;
}

TEST(ModRunTest, AFailureOrCancelOnAnyArchiveLeavesEveryArchiveAsItWas) {
  struct Case {
    const char* Name;
    std::function<void(MemoryFileSystem&, size_t, RecordingView&)> Break;
    bool FailsArchiveK = true;  // else it fails the transaction, after every part
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
       [](MemoryFileSystem& files, size_t, RecordingView&) { files.FailRenames(); }, false},
  };
  for (const auto& [c, way, k] : Combinations(cases)) {
    {
      part_threads = way;
      SCOPED_TRACE(testing::Message()
                   << c.Name << " on archive " << k + 1 << ", parts together " << way);
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
      if (c.FailsArchiveK) {
        EXPECT_LE(view.Progress.size(), 2 * (k + 1)) << "a part after the failing one was begun";
      }
      ASSERT_FALSE(view.Boxes.empty());
      EXPECT_NE(view.Boxes.back().Text.find(Message(MessageKey::MsgModNothingChanged)),
                std::string::npos)
          << view.Boxes.back().Text;
    }
  }
}

void AppliedAndUndone() {
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

  ExpectNewestBackupsMadeBy(files, kMod, true);

  ASSERT_TRUE(RunScript(files, kUndo));
  EXPECT_TRUE(AllAre(files, &Archive::Old));
  ExpectNewestBackupsMadeBy(files, kUndo, false);
  for (const Archive& archive : kArchives) {
    EXPECT_EQ(files.FileBytes(BackupName(archive.Path, 2)), archive.New);
  }
  EXPECT_FALSE(files.HasFile(kRecord));
  ExpectNoLeftovers(files);
  RecordingView again;
  EXPECT_FALSE(RunScript(files, kUndo, again)) << "there is nothing left to undo";
  EXPECT_TRUE(AllAre(files, &Archive::Old));
}

TEST(ModRunTest, AModIsAppliedAndUndoneAsOneAndTheUndoKeepsTheModAsBackups) {
  for (const unsigned way : kPartWays) {
    part_threads = way;
    SCOPED_TRACE(testing::Message() << "parts together " << way);
    AppliedAndUndone();
  }
}

// A single run in place on the archive `k` that fails in its pack run, after it has made its
// temporary file: it must leave a mod in progress as it found it.
void RunFailingSingleRun(MemoryFileSystem& files, size_t k) {
  const std::string script = "C:\\game\\single.vlm";
  files.PutFile(script, "#SrcFile=" + kArchives[k].Name + "\r\n#DestFile=" + kArchives[k].Name +
                            "\r\n#InPlace=yes\r\n@00000001=missing.bin\r\n");
  RunScript(files, script);
  files.RemoveFile(script);
}

// The files after a kill once `budget` operations of the mod (or its undo) are done, with or
// without a power cut, optionally a failing single run on every archive, and the journal's
// completion.
std::unique_ptr<MemoryFileSystem> KilledAndCompleted(int budget, bool undo, bool power_cut,
                                                     bool single_runs, bool* completed) {
  auto files = std::make_unique<MemoryFileSystem>();
  PutGame(*files);
  if (undo) {
    EXPECT_TRUE(RunScript(*files, kMod));
  }
  StoppingFileSystem stopping(*files, budget);
  *completed = RunScript(stopping, undo ? kUndo : kMod);
  if (power_cut) files->CutPower();
  for (size_t k = 0; single_runs && k < kArchives.size(); ++k) RunFailingSingleRun(*files, k);
  if (files->HasFile(kJournal)) {
    std::string message;
    EXPECT_TRUE(CompleteModAround(*files, kArchives[1].Path, &message));
    EXPECT_EQ(message, Message(MessageKey::MsgModRecovered));
  }
  return files;
}

// A kill after any number of operations of the mod or its undo, with or without a power cut:
// what is left is all old, all new, or a journal that completes to one of the two, whatever a
// single run on the same archives does in between; the next run of the same script finishes it.
void KillsAtEveryOperation() {
  for (const bool undo : {false, true}) {
    for (const bool power_cut : {false, true}) {
      for (int budget = 0;; ++budget) {
        SCOPED_TRACE(testing::Message()
                     << (undo ? "undo" : "mod") << ", operations done: " << budget << ", power cut "
                     << power_cut << ", parts together " << part_threads);
        bool completed = false;
        bool completed_too = false;
        const auto plain = KilledAndCompleted(budget, undo, power_cut, false, &completed);
        const auto meddled = KilledAndCompleted(budget, undo, power_cut, true, &completed_too);
        MemoryFileSystem& files = *plain;
        EXPECT_EQ(files.FilePaths(), meddled->FilePaths());
        for (const std::string& path : files.FilePaths()) {
          if (path.size() > 5 && path.compare(path.size() - 5, 5, ".info") == 0) continue;  // times
          EXPECT_EQ(files.FileBytes(path), meddled->FileBytes(path))
              << path << ": a single run in between changed how the mod completed";
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
        // Run again: done, or found done already when the completion went forward.
        JobState job;
        RecordingView view;
        const bool again = RunScript(files, undo ? kUndo : kMod, view, job);
        ASSERT_TRUE(again || job.SucceededWithoutPack || (undo && !files.HasFile(kRecord)));
        EXPECT_TRUE(AllAre(files, undo ? &Archive::Old : &Archive::New));
        ExpectNoLeftovers(files);
        ASSERT_LT(budget, 500) << "the run never completed";
      }
    }
  }
}

TEST(ModRunTest, AKillAtAnyOperationLeavesAllOldOrAllNewAfterTheNextRun) {
  for (const unsigned way : kPartWays) {
    part_threads = way;
    KillsAtEveryOperation();
  }
}

// A second mod over one archive of a mod left pending (killed once its journal was written, its
// new archives waiting): the pending mod is completed first, so its new archive is not taken for
// a leftover, and the second mod is applied over its result.
TEST(ModRunTest, AnotherModPendingOnTheSameArchiveIsCompletedFirst) {
  const std::string snd = kArchives[1].Path;
  for (int budget = 0;; ++budget) {
    ASSERT_LT(budget, 500) << "the journal was never written";
    MemoryFileSystem files;
    PutGame(files);
    StoppingFileSystem stopping(files, budget);
    RunScript(stopping, kMod);
    if (!files.HasFile(kJournal) || !files.HasFile(snd + ".vlmmod")) continue;
    files.PutFile("C:\\game\\data\\other\\1\\part.vlm",
                  "#SrcPath=..\\..\\\r\n#SrcFile=snd.wdf\r\n#DestPath=..\\..\\\r\n"
                  "#DestFile=snd.wdf\r\n#InPlace=yes\r\n@00000002=b.bin\r\n");
    files.PutFile("C:\\game\\data\\other\\1\\b.bin", "B two");
    files.PutFile("C:\\game\\data\\other\\mod.vlm", "#ModBase=..\\\r\n#ModPart1=1\\part.vlm\r\n");
    RecordingView view;
    ASSERT_TRUE(RunScript(files, "C:\\game\\data\\other\\mod.vlm", view));
    ASSERT_FALSE(view.Boxes.empty());
    EXPECT_EQ(view.Boxes.front().Text, Message(MessageKey::MsgModRecovered));
    EXPECT_FALSE(files.HasFile(kJournal));
    EXPECT_EQ(files.FileBytes(kArchives[0].Path), kArchives[0].New);
    EXPECT_EQ(files.FileBytes(kArchives[2].Path), kArchives[2].New);
    EXPECT_EQ(files.FileBytes(snd), ArchiveOf({{1, "NEW 2"}, {2, "B two"}}));
    EXPECT_EQ(files.FileBytes(BackupName(snd, 1)), kArchives[1].Old);
    EXPECT_EQ(files.FileBytes(BackupName(snd, 2)), kArchives[1].New);
    ExpectNoLeftovers(files);
    return;
  }
}

enum class Kept { kOld, kNew, kOther };

struct BaseCase {
  const char* Name;
  std::vector<Kept> Archives;  // what the player has, archive by archive
  bool Force;
  std::deque<int> Answers;
  bool Changed;                    // the mod was applied
  std::vector<std::string> Named;  // texts of the first box (the finding)
};

// Every archive's base is checked before the mod asks or writes anything: a wrong base on any
// archive, or a mod applied to some archives only, changes nothing anywhere unless forced or
// answered OK; a mod applied to every archive says so and makes no backup.
TEST(ModRunTest, EveryArchiveIsCheckedAgainstItsBaseBeforeAnythingIsWritten) {
  const Kept o = Kept::kOld;
  const Kept n = Kept::kNew;
  const Kept x = Kept::kOther;
  const std::string differ = ": the entries 00000001 differ";
  const std::vector<BaseCase> cases = {
      {"every archive on its base", {o, o, o}, false, {}, true, {"Run the script"}},
      {"every archive applied already", {n, n, n}, false, {}, false, {"already applied to all 3"}},
      {"another second archive, declined", {o, x, o}, false, {2}, false, {"snd.wdf" + differ}},
      {"two other archives, declined",
       {x, o, x},
       false,
       {2},
       false,
       {"gfx.wdf" + differ, "txt.wdf" + differ}},
      {"another last archive, applied on purpose", {o, o, x}, false, {1}, true, {"txt.wdf"}},
      {"another first archive, forced", {x, o, o}, true, {}, true, {"Run the script"}},
      {"applied to one archive only",
       {n, o, o},
       false,
       {2},
       false,
       {"gfx.wdf: holds the mod's result already"}},
      {"applied to two, another third",
       {n, n, x},
       false,
       {2},
       false,
       {"txt.wdf" + differ, "snd.wdf: holds the mod's result"}},
      {"applied to one archive only, forced", {n, o, o}, true, {}, true, {"Run the script"}},
  };
  SetMessageLanguage(MessageLanguage::kEnglish);
  for (const auto& [c, way] : WithEveryWay(cases)) {
    part_threads = way;
    SCOPED_TRACE(testing::Message() << c.Name << ", parts together " << way);
    MemoryFileSystem files;
    PutGame(files);
    std::vector<std::string> before;
    for (size_t k = 0; k < kArchives.size(); ++k) {
      const Archive& archive = kArchives[k];
      before.push_back(c.Archives[k] == Kept::kOld   ? archive.Old
                       : c.Archives[k] == Kept::kNew ? archive.New
                                                     : ArchiveOf({{1, "mine"}, {2, "two"}}));
      files.PutFile(archive.Path, before.back());
    }
    RecordingView view;
    view.Answers = c.Answers;
    JobState job;
    job.ForcePatch = c.Force;
    EXPECT_EQ(c.Changed, RunScript(files, kMod, view, job));
    ASSERT_FALSE(view.Boxes.empty());
    for (const std::string& text : c.Named) {
      EXPECT_NE(view.Boxes.front().Text.find(text), std::string::npos) << view.Boxes.front().Text;
    }
    const bool all_new = c.Archives == std::vector<Kept>{n, n, n};
    EXPECT_EQ(job.SucceededWithoutPack, all_new && !c.Force);
    for (size_t k = 0; k < kArchives.size(); ++k) {
      const Archive& archive = kArchives[k];
      EXPECT_EQ(files.FileBytes(archive.Path), c.Changed ? archive.New : before[k]);
      EXPECT_EQ(files.HasFile(BackupName(archive.Path, 1)), c.Changed);
      if (c.Changed) {
        EXPECT_EQ(files.FileBytes(BackupName(archive.Path, 1)), before[k]);
      }
    }
    if (c.Changed) ExpectNewestBackupsMadeBy(files, kMod, true);
    ExpectNoLeftovers(files);
  }
  SetMessageLanguage(MessageLanguage::kChinese);
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
