// A patch that knows its base and its undo, run whole as the programs run scripts
// (RunScriptEntry): the archive it meets decides whether it writes, and the undo script brings
// back what the patch's run replaced.
#include "job/patch_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/archive_backups.h"
#include "job/patch_undo.h"
#include "job/program_entry.h"
#include "msg/format.h"
#include "testing/archive_bytes.h"
#include "testing/memory_file_system.h"
#include "testing/packing_front_end.h"
#include "testing/recording_view.h"
#include "wdf/archive_index.h"

namespace velmora {
namespace {

const char kArchive[] = "C:\\game\\ui.wdf";
const char kPatchScript[] = "C:\\game\\patch\\ui-patch.vlm";
const char kUndoScript[] = "C:\\game\\patch\\ui-undo.vlm";

// The base has id 4 twice; the patch changes 1 and both entries of 4, and deletes 2.
const std::string kOld = ArchiveOf({{1, "old one"}, {2, "two"}, {4, "x"}, {4, "x"}});
const std::string kNew = ArchiveOf({{1, "NEW"}, {4, "y"}, {4, "y"}});

std::vector<WdfEntry> IndexOf(const std::string& bytes) {
  MemoryFileSystem files;
  files.PutFile("C:\\a.wdf", bytes);
  ArchiveIndex index;
  EXPECT_EQ(ArchiveFault::kNone, ReadArchiveIndex(*files.OpenShared("C:\\a.wdf"), &index));
  return index.Entries;
}

// The patch's script as diff --patch writes it, its base keys made from kOld and kNew.
std::string PatchText(bool with_base) {
  std::string text =
      "#SrcPath=..\\\r\n#SrcFile=ui.wdf\r\n#DestPath=..\\\r\n#DestFile=ui.wdf\r\n"
      "#InPlace=yes\r\n#RunEnd=\r\n#Undo=ui-undo.vlm\r\n"
      "@00000001=00000001.bin\r\n@00000004=00000004.bin\r\n@00000002=@Delete\r\n";
  if (!with_base) return text;
  MemoryFileSystem files;
  files.PutFile("C:\\old.wdf", kOld);
  files.PutFile("C:\\new.wdf", kNew);
  std::vector<IdExpectation> expected;
  size_t unreadable = 0;
  bool in_old = false;
  EXPECT_TRUE(ExpectationsOf(*files.OpenShared("C:\\old.wdf"), IndexOf(kOld),
                             *files.OpenShared("C:\\new.wdf"), IndexOf(kNew), {1, 4, 2}, &expected,
                             &unreadable, &in_old));
  for (const auto& [name, value] : ExpectationLines(expected)) text += name + "=" + value + "\r\n";
  return text + "#PatchId=00000000000000a1\r\n";
}

const std::string kUndoText =
    "#RunBegin=\r\n#SrcPath=..\\\r\n#SrcFile=ui.wdf\r\n#Restore=00000000000000a1\r\n#RunEnd="
    "undone\r\n";

void PutGame(MemoryFileSystem& files, const std::string& archive, bool with_base) {
  files.PutFile(kArchive, archive);
  files.PutFile(kPatchScript, PatchText(with_base));
  files.PutFile(kUndoScript, kUndoText);
  files.PutFile("C:\\game\\patch\\00000001.bin", "NEW");
  files.PutFile("C:\\game\\patch\\00000004.bin", "y");
}

struct Ran {
  JobState Job;
  RecordingView View;
  int Runs = 0;
};

std::unique_ptr<Ran> RunScript(MemoryFileSystem& files, const char* script, bool force = false,
                               std::deque<int> answers = {}) {
  auto ran = std::make_unique<Ran>();
  ran->View.Answers = answers;
  ran->Job.ScriptPath = script;
  ran->Job.ForcePatch = force;
  PackingFrontEnd front(files, ran->View, true);
  RunScriptEntry(ran->Job, files, ran->View, front);
  ran->Runs = front.Runs;
  return ran;
}

size_t BackupCount(MemoryFileSystem& files) {
  std::vector<ArchiveBackup> backups;
  EXPECT_TRUE(ListBackups(files, kArchive, &backups));
  return backups.size();
}

struct BaseCase {
  const char* Name;
  std::string Archive;  // what the player has
  bool WithBase;        // the script has the base keys
  bool Force;
  std::deque<int> Answers;
  bool Written;           // the patch was applied (one backup of the archive)
  const char* BoxWanted;  // a text in the last box
  bool DoneWithoutWriting;
};

TEST(PatchBaseTest, TheArchiveTheRunMeetsDecidesWhetherThePatchWrites) {
  const std::string other_one = ArchiveOf({{1, "mine"}, {2, "two"}, {4, "x"}, {4, "x"}});
  const std::string one_repeat_differs =
      ArchiveOf({{1, "old one"}, {2, "two"}, {4, "x"}, {4, "z"}});
  const std::string repeat_missing = ArchiveOf({{1, "old one"}, {2, "two"}, {4, "x"}});
  const std::string half_applied = ArchiveOf({{1, "NEW"}, {2, "two"}, {4, "x"}, {4, "x"}});
  const std::vector<BaseCase> cases = {
      {"the base", kOld, true, false, {}, true, "ui.wdf.1.bak", false},
      {"another archive, declined", other_one, true, false, {2}, false, "00000001", false},
      {"another archive, applied on purpose", other_one, true, false, {1}, true, "", false},
      {"another archive, forced", other_one, true, true, {}, true, "", false},
      {"already applied", kNew, true, false, {}, false, "already applied", true},
      {"already applied, forced", kNew, true, true, {}, true, "", false},
      {"a repeated id whose second entry differs",
       one_repeat_differs,
       true,
       false,
       {2},
       false,
       "00000004",
       false},
      {"a repeated id with an entry fewer",
       repeat_missing,
       true,
       false,
       {2},
       false,
       "00000004",
       false},
      {"half applied is another archive", half_applied, true, false, {2}, false, "00000001", false},
      {"a script without the keys runs as always", other_one, false, false, {}, true, "", false},
  };
  SetMessageLanguage(MessageLanguage::kEnglish);
  for (const BaseCase& c : cases) {
    SCOPED_TRACE(c.Name);
    MemoryFileSystem files;
    PutGame(files, c.Archive, c.WithBase);
    const auto ran = RunScript(files, kPatchScript, c.Force, c.Answers);
    EXPECT_EQ(c.Written ? 1 : 0, ran->Runs);
    EXPECT_EQ(c.Written ? 1u : 0u, BackupCount(files));
    if (c.Written) {
      EXPECT_EQ(c.Archive, files.FileBytes(BackupName(kArchive, 1)));
    } else {
      EXPECT_EQ(c.Archive, files.FileBytes(kArchive));
    }
    EXPECT_EQ(c.DoneWithoutWriting, ran->Job.SucceededWithoutPack);
    EXPECT_FALSE(files.HasFile(TemporaryArchiveName(kArchive, 0)));
    if (*c.BoxWanted == '\0') continue;
    ASSERT_FALSE(ran->View.Boxes.empty());
    EXPECT_NE(std::string::npos, ran->View.Boxes.back().Text.find(c.BoxWanted))
        << ran->View.Boxes.back().Text;
  }
  SetMessageLanguage(MessageLanguage::kChinese);
}

TEST(PatchBaseTest, PrintsReadBackAsWrittenAndMalformedKeysAreCounted) {
  const std::vector<std::vector<EntryPrint>> lists = {
      {}, {{0, 0}}, {{9, 0x0123456789abcdefu}, {4294967295u, ~uint64_t{0}}}};
  for (const auto& prints : lists) {
    std::vector<EntryPrint> read;
    ASSERT_TRUE(ParsePrintsValue(PrintsValue(prints), &read));
    EXPECT_EQ(prints, read);
  }
  for (const char* bad : {"9", "9:", ":0123456789abcdef", "4294967296:0123456789abcdef",
                          "9:0123456789abcdeg", "9:0123456789abcde", "9:0123456789abcdef,"}) {
    std::vector<EntryPrint> read;
    EXPECT_FALSE(ParsePrintsValue(bad, &read)) << bad;
  }
  size_t malformed = 0;
  const ScriptLines script(
      "#Base@00000001=1:0000000000000001\r\n#Result@00000001=\r\n"
      "#Base@00000002=1:0000000000000001\r\n"      // no result
      "#Base@3=\r\n#Result@3=\r\n"                 // not eight digits
      "#Base@00000005=x\r\n#Result@00000005=\r\n"  // not a print
      "#Base@00000001=\r\n");                      // the first line of an id wins
  const std::vector<IdExpectation> expected = ReadPatchExpectations(script, &malformed);
  EXPECT_EQ(3u, malformed);
  ASSERT_EQ(1u, expected.size());
  EXPECT_EQ((IdExpectation{1, {{1, 1}}, {}}), expected[0]);
}

TEST(PatchUndoTest, TheUndoScriptBringsBackWhatThePatchReplacedOnceAndSaysSoAfter) {
  SetMessageLanguage(MessageLanguage::kEnglish);
  MemoryFileSystem files;
  PutGame(files, kOld, true);
  // No run of the patch yet: nothing to undo, nothing changed.
  auto ran = RunScript(files, kUndoScript);
  EXPECT_NE(std::string::npos, ran->View.Boxes.back().Text.find("has no backup that this patch"));
  EXPECT_EQ(kOld, files.FileBytes(kArchive));

  ran = RunScript(files, kPatchScript);
  ASSERT_EQ(1, ran->Runs);
  EXPECT_NE(std::string::npos, ran->View.Boxes.back().Text.find("double-click ui-undo.vlm"));
  const std::string patched = files.FileBytes(kArchive);

  ran = RunScript(files, kUndoScript, false, {2});  // Cancel to the question
  EXPECT_EQ(patched, files.FileBytes(kArchive));
  ran = RunScript(files, kUndoScript);
  EXPECT_TRUE(ran->Job.SucceededWithoutPack);
  EXPECT_EQ(kOld, files.FileBytes(kArchive));
  EXPECT_EQ(patched, files.FileBytes(BackupName(kArchive, 2)));
  EXPECT_NE(std::string::npos, ran->View.Boxes.back().Text.find("undone\r\r"));

  ran = RunScript(files, kUndoScript);
  EXPECT_NE(std::string::npos, ran->View.Boxes.back().Text.find("already undone"));
  EXPECT_EQ(2u, BackupCount(files));

  // Applied again, undone again: the newest run of the patch is the one undone.
  RunScript(files, kPatchScript);
  EXPECT_EQ(patched, files.FileBytes(kArchive));
  RunScript(files, kUndoScript);
  EXPECT_EQ(kOld, files.FileBytes(kArchive));
  SetMessageLanguage(MessageLanguage::kChinese);
}

}  // namespace
}  // namespace velmora
