#include "job/prepare.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "testing/recording_view.h"
#include "msg/ansi_text.h"
#include "msg/format.h"
#include "testing/memory_file_system.h"
#include "sys/system_error.h"
#include "wdf/wdf.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

const char kScriptPath[] = "C:\\work\\job.vlm";
const char kSource[] = "C:\\work\\gfx.wdf";
const char kTarget[] = "C:\\work\\out.wdf";
const char kTemporary[] = "C:\\work\\out.wdf.vlmtmp";
const char kOldTarget[] = "the archive the user wants to keep";

// A valid archive of two one-byte resources.
std::string SourceArchive() {
  unsigned char header[kWdfHeaderSize];
  EncodeWdfHeader({kWdfMagic, 2, 14}, header);
  std::string bytes(reinterpret_cast<char*>(header), sizeof header);
  bytes += "ab";
  for (uint32_t i = 0; i < 2; ++i) {
    unsigned char entry[kWdfEntrySize];
    EncodeWdfEntry({i + 1, 12 + i, 1, 0}, entry);
    bytes.append(reinterpret_cast<char*>(entry), sizeof entry);
  }
  return bytes;
}

std::string SystemText(unsigned long code) {
  SetLastSystemError(code);
  return LastSystemErrorText();
}

// One box as the tests read it.
std::string Error(MessageKey key, std::initializer_list<FormatArg> args = {}) {
  return "error: " + Message(key, args);
}
std::string Question(const std::string& text) { return "question: " + text; }

class PrepareJobTest : public ::testing::Test {
 protected:
  // Stores the script and makes it the job's, as the program entry does.
  void Script(const std::string& text, const std::string& path = kScriptPath) {
    files_.PutFile(path, text);
    job_.ScriptPath = path;
    job_.ScriptDir = path.substr(0, path.rfind('\\') + 1);
    job_.Script = std::make_unique<ScriptLines>(text);
  }
  // The script with a valid source archive gfx.wdf beside it.
  void ScriptAndSource(const std::string& text) {
    Script(text);
    files_.PutFile(kSource, SourceArchive());
  }

  bool Prepare() { return PrepareJob(job_, files_, view_); }

  Lines Boxes() const {
    Lines boxes;
    for (const auto& box : view_.Boxes) {
      const char* kind = box.Kind == RecordingView::Box::kError      ? "error: "
                         : box.Kind == RecordingView::Box::kQuestion ? "question: "
                                                                     : "info: ";
      boxes.push_back(kind + box.Text);
    }
    return boxes;
  }

  // What the job holds open, as "source target old" with "-" for each stream not held.
  std::string Held() const {
    return std::string(job_.SourceStream ? "source" : "-") + " " +
           (job_.TargetStream ? "target" : "-") + " " + (job_.OldTarget ? "old" : "-");
  }

  MemoryFileSystem files_;
  RecordingView view_;
  JobState job_;
};

// --- The questions ---------------------------------------------------------------------------

TEST_F(PrepareJobTest, EmptyRunBeginAsksAboutTheScriptAndCancelTouchesNothing) {
  ScriptAndSource("#RunBegin=\r\n#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n");
  view_.Answers = {2};
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Question(Message(MessageKey::MsgConfirmScript, {kScriptPath}))});
  EXPECT_EQ(view_.Boxes[0].Text, AnsiFromUtf8("确定要执行脚本 C:\\work\\job.vlm 吗？"));
  EXPECT_EQ(Held(), "- - -");
  EXPECT_EQ(files_.OpenStreamCount(), 0);
  EXPECT_EQ(files_.FilePaths(), (Lines{kSource, kScriptPath}));
}

TEST_F(PrepareJobTest, RunBeginTextWithALineBreakEscapeIsFollowedByTheStandardQuestion) {
  ScriptAndSource(
      "#RunBegin=Replace the title pictures.\\nBack up the archive first!   ; shown first\r\n"
      "#SrcFile=gfx.wdf\r\n");
  EXPECT_TRUE(Prepare());
  const std::string expected = "Replace the title pictures.\rBack up the archive first!" +
                               Message(MessageKey::MsgConfirmScriptSuffix);
  EXPECT_EQ(Boxes(), Lines{Question(expected)});
  EXPECT_EQ(view_.Boxes[0].Text, "Replace the title pictures.\rBack up the archive first!\r\r" +
                                     AnsiFromUtf8("确定执行这个脚本吗？"));
}

TEST_F(PrepareJobTest, OnlyOkIsConsent) {
  ScriptAndSource("#RunBegin=Go?\r\n#SrcFile=gfx.wdf\r\n");
  for (int answer : {0, 2, 6, 7, -1}) {
    view_.Answers = {answer};
    EXPECT_FALSE(Prepare()) << "answer " << answer;
    EXPECT_EQ(Held(), "- - -") << "answer " << answer;
  }
}

TEST_F(PrepareJobTest, QuestionComesBeforeTheSourceIsLookedFor) {
  Script("#RunBegin=\r\n#SrcFile=gfx.wdf\r\n");
  view_.Answers = {2};
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(view_.Boxes.size(), 1u);
  EXPECT_EQ(view_.Boxes[0].Kind, RecordingView::Box::kQuestion);
}

// --- The source ------------------------------------------------------------------------------

TEST_F(PrepareJobTest, ScriptWithoutSrcFileIsRefusedBeforeSrcPathIsLookedAt) {
  Script("#SrcPath=data\\\r\n#DestFile=out.wdf\r\n");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgNoSource)});
  EXPECT_EQ(Held(), "- - -");

  JobState no_script;  // a job without any script lines at all
  no_script.ScriptPath = kScriptPath;
  view_ = RecordingView();
  EXPECT_FALSE(PrepareJob(no_script, files_, view_));
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgNoSource)});
}

TEST_F(PrepareJobTest, InvalidSrcPathIsRefused) {
  for (const char* value : {"data\\", "..\\data", "D:\\data\\"}) {
    view_ = RecordingView();
    Script(std::string("#SrcFile=gfx.wdf\r\n#SrcPath=") + value + "\r\n");
    EXPECT_FALSE(Prepare()) << value;
    EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgSourcePathInvalid)}) << value;
    EXPECT_EQ(Held(), "- - -") << value;
  }
}

// Where the source is looked for and where the target goes, from the script's settings.
struct LayoutCase {
  const char* ScriptPath;
  const char* Script;
  const char* SourceOnDisk;
  const char* Expected;  // "source folder|source name > target folder|target name"
};

class PrepareLayoutTest : public PrepareJobTest,
                          public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(PrepareLayoutTest, SourceAndTargetPaths) {
  const LayoutCase& c = GetParam();
  Script(c.Script, c.ScriptPath);
  files_.PutFile(c.SourceOnDisk, SourceArchive());
  ASSERT_TRUE(Prepare()) << c.Script << testing::PrintToString(Boxes());
  EXPECT_EQ(job_.SourcePath, job_.SourceDir + job_.SourceName) << c.Script;
  ASSERT_EQ(job_.TargetPath.rfind(job_.TargetDir, 0), 0u) << job_.TargetPath;
  EXPECT_EQ(job_.SourceDir + "|" + job_.SourceName + " > " + job_.TargetDir + "|" +
                job_.TargetPath.substr(job_.TargetDir.size()),
            c.Expected)
      << c.Script;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareLayoutTest,
    ::testing::Values(LayoutCase{"D:\\a\\b\\c\\job.vlm",
                                 "#SrcFile=gfx.wdf\r\n#SrcPath=..\\..\\  ; two up\r\n",
                                 "D:\\a\\gfx.wdf", "D:\\a\\|gfx.wdf > D:\\a\\b\\c\\|job.wdf"},
                      LayoutCase{kScriptPath, "#SrcFile=gfx.wdf\r\n#SrcPath=\r\n", kSource,
                                 "C:\\work\\|gfx.wdf > C:\\work\\|job.wdf"},
                      LayoutCase{kScriptPath, "#SrcFile=data\\gfx.wdf\r\n",
                                 "C:\\work\\data\\gfx.wdf",
                                 "C:\\work\\data\\|gfx.wdf > C:\\work\\|job.wdf"},
                      // Without a target name: the script's name with the source's extension.
                      LayoutCase{kScriptPath, "#SrcFile=gfx.wdf\r\n#DestFile=\r\n", kSource,
                                 "C:\\work\\|gfx.wdf > C:\\work\\|job.wdf"},
                      LayoutCase{kScriptPath, "#SrcFile=gfx.wdf\r\n#DestFile= ; later\r\n", kSource,
                                 "C:\\work\\|gfx.wdf > C:\\work\\|job.wdf"},
                      LayoutCase{kScriptPath, "#SrcFile=gfx\r\n", "C:\\work\\gfx",
                                 "C:\\work\\|gfx > C:\\work\\|job"},
                      LayoutCase{"C:\\work\\proj\\job.vlm",
                                 "#SrcFile=gfx.wdf\r\n#DestPath=..\r\n#DestFile=build\\ui.wdf\r\n",
                                 "C:\\work\\proj\\gfx.wdf",
                                 "C:\\work\\proj\\|gfx.wdf > C:\\work\\build\\|ui.wdf"}));

TEST_F(PrepareJobTest, MissingSourceIsNamed) {
  Script("#SrcFile=gfx.wdf\r\n#DestPath=nonsense\r\n");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgSourceNotFound, {kSource})});
  EXPECT_EQ(view_.Boxes[0].Text, AnsiFromUtf8("源文件 C:\\work\\gfx.wdf 不存在"));
  EXPECT_EQ(Held(), "- - -");
}

TEST_F(PrepareJobTest, EmptySrcFileNamesTheDirectoryAsMissing) {
  Script("#SrcFile=   ; nothing\r\n");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgSourceNotFound, {"C:\\work\\"})});
}

TEST_F(PrepareJobTest, SourceLockedByAnotherProgramGivesTheSystemsReason) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n");
  auto other_program = files_.OpenExclusive(kSource);
  ASSERT_NE(other_program, nullptr);
  EXPECT_FALSE(Prepare());
  const std::string reason = SystemText(SystemErrorSharingViolation());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgSourceOpenFailed, {kSource, reason})});
  EXPECT_EQ(view_.Boxes[0].Text,
            AnsiFromUtf8("打开源文件 C:\\work\\gfx.wdf 失败    \r\r") + reason);
  EXPECT_EQ(Held(), "- - -");
}

TEST_F(PrepareJobTest, SourceIsOpenedSharedSoOthersMayStillReadAndWriteIt) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n");
  ASSERT_TRUE(Prepare());
  EXPECT_NE(files_.OpenShared(kSource), nullptr);
  EXPECT_EQ(files_.OpenExclusive(kSource), nullptr);  // read-only by us, shared with writers
  EXPECT_EQ(job_.SourceCount, 2u);
  EXPECT_EQ(job_.SourceIndexOffset, 14u);
}

// --- The target's name -----------------------------------------------------------------------

TEST_F(PrepareJobTest, InvalidDestPathIsRefusedWithTheSourceOpen) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestPath=..\\out\r\n");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgTargetPathInvalid)});
  EXPECT_EQ(Held(), "source - -");
  EXPECT_EQ(files_.OpenStreamCount(), 1);
}

TEST_F(PrepareJobTest, TargetEqualToTheSourceUpToAsciiCaseIsRefusedNamingTheTargetFirst) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=GFX.WDF\r\n");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(),
            Lines{Error(MessageKey::MsgTargetSameAsSource, {"C:\\work\\GFX.WDF", kSource})});
  EXPECT_EQ(view_.Boxes[0].Text,
            AnsiFromUtf8("目标文件 C:\\work\\GFX.WDF \r与源文件 C:\\work\\gfx.wdf 不能相同"));
  EXPECT_EQ(Held(), "source - -");
  EXPECT_EQ(files_.FileBytes(kSource), SourceArchive());
}

TEST_F(PrepareJobTest, OnlyAsciiLettersAreFoldedWhenComparingWithTheSource) {
  // Bytes beyond ASCII differ in case only in the eyes of a locale: the comparison is bytewise.
  Script("#SrcFile=\xC0.wdf\r\n#DestFile=\xE0.wdf\r\n");
  files_.PutFile("C:\\work\\\xC0.wdf", SourceArchive());
  EXPECT_TRUE(Prepare()) << testing::PrintToString(Boxes());
}

// --- An existing target ----------------------------------------------------------------------

class ExistingTargetTest : public PrepareJobTest {
 protected:
  void SetUp() override {
    ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n");
    files_.PutFile(kTarget, kOldTarget);
  }
  void ExpectTargetUntouchedAndNothingLeft() {
    EXPECT_EQ(files_.FileBytes(kTarget), kOldTarget);
    EXPECT_EQ(files_.FilePaths(), (Lines{kSource, kScriptPath, kTarget}));
  }
  // The question about overwriting, then the refusal.
  Lines AskedThenRefused(const std::string& refusal) {
    return {Question(Message(MessageKey::MsgTargetExists, {kTarget})), refusal};
  }
};

TEST_F(ExistingTargetTest, CancelLeavesTheTargetUntouched) {
  view_.Answers = {2};
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Question(Message(MessageKey::MsgTargetExists, {kTarget}))});
  EXPECT_EQ(view_.Boxes[0].Text,
            AnsiFromUtf8("目标文件 C:\\work\\out.wdf 已存在    \r\r是否覆盖？"));
  EXPECT_EQ(Held(), "source - -");
  ExpectTargetUntouchedAndNothingLeft();
}

TEST_F(ExistingTargetTest, AllowedOverwriteHoldsTheTargetAndWritesBesideIt) {
  ASSERT_TRUE(Prepare()) << testing::PrintToString(Boxes());
  EXPECT_EQ(Boxes(), Lines{Question(Message(MessageKey::MsgTargetExists, {kTarget}))});
  EXPECT_EQ(Held(), "source target old");
  EXPECT_EQ(job_.TargetPath, kTarget);
  EXPECT_EQ(job_.TargetWritePath, kTemporary);
  EXPECT_EQ(files_.FileBytes(kTemporary), "");
  // Nothing else may open the old target during the run, not even to read it.
  EXPECT_EQ(files_.OpenShared(kTarget), nullptr);
  // The new archive is written into the temporary file.
  ASSERT_TRUE(job_.TargetStream->Write("PFDW", 4));
  EXPECT_EQ(files_.FileBytes(kTemporary), "PFDW");
  EXPECT_EQ(files_.FileBytes(kTarget), kOldTarget);
}

TEST_F(ExistingTargetTest, SourceThatIsNoArchiveLeavesTheTargetByteForByte) {
  files_.PutFile(kSource, "not an archive");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), AskedThenRefused(Error(MessageKey::MsgSourceNotWdf, {kSource})));
  EXPECT_EQ(Held(), "source - -");
  EXPECT_EQ(job_.TargetWritePath, "");
  EXPECT_EQ(files_.OpenStreamCount(), 1);
  ExpectTargetUntouchedAndNothingLeft();
  EXPECT_NE(files_.OpenExclusive(kTarget), nullptr) << "old target still held";
}

TEST_F(ExistingTargetTest, TargetHeldByAnotherProgramIsRefusedWithTheSystemsReason) {
  auto other_program = files_.OpenShared(kTarget);
  EXPECT_FALSE(Prepare());
  const std::string reason = SystemText(SystemErrorSharingViolation());
  EXPECT_EQ(Boxes(), AskedThenRefused(Error(MessageKey::MsgTargetCreateFailed, {kTarget, reason})));
  EXPECT_EQ(view_.Boxes[1].Text,
            AnsiFromUtf8("创建目标文件 C:\\work\\out.wdf 失败    \r\r") + reason);
  EXPECT_EQ(Held(), "source - -");
  ExpectTargetUntouchedAndNothingLeft();
}

TEST_F(ExistingTargetTest, TemporaryFileThatCannotBeCreatedReleasesTheTarget) {
  files_.FailOpensOf(kTemporary, SystemErrorAccessDenied());
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), AskedThenRefused(Error(MessageKey::MsgTargetCreateFailed,
                                            {kTarget, SystemText(SystemErrorAccessDenied())})));
  EXPECT_EQ(Held(), "source - -");
  EXPECT_EQ(files_.OpenStreamCount(), 1);
  ExpectTargetUntouchedAndNothingLeft();
}

// What stands under the temporary names beside the target decides which one the new archive
// takes: a file left by a killed run is removed and its name reused, a directory is kept and
// skipped, and a file that a stream holds belongs to a run writing the same target now.
struct TemporaryNamesCase {
  const char* Name;
  std::vector<std::string> Leftovers;  // suffixes of files left beside the target
  std::vector<std::string> Directories;
  std::string Held;   // suffix of a leftover that another stream holds
  std::string Taken;  // suffix taken for the new archive; empty when refused
};

class TemporaryNamesTest : public ExistingTargetTest,
                           public ::testing::WithParamInterface<TemporaryNamesCase> {};

TEST_P(TemporaryNamesTest, LeftoversAreRemovedAndAHeldNameRefusesTheRun) {
  const TemporaryNamesCase& c = GetParam();
  const std::string target = kTarget;
  for (const std::string& suffix : c.Leftovers) files_.PutFile(target + suffix, "PFDW partial");
  for (const std::string& suffix : c.Directories) files_.PutDirectory(target + suffix);
  std::unique_ptr<Stream> other_run;
  if (!c.Held.empty()) other_run = files_.OpenExclusive(target + c.Held);
  const bool prepared = Prepare();
  EXPECT_EQ(prepared, !c.Taken.empty());
  if (prepared) {
    EXPECT_EQ(job_.TargetWritePath, target + c.Taken);
    EXPECT_EQ(files_.FileBytes(target + c.Taken), "");
    for (const std::string& suffix : c.Leftovers) {
      EXPECT_EQ(files_.HasFile(target + suffix), suffix == c.Taken) << suffix;
    }
  } else {
    const std::string held = SystemText(SystemErrorSharingViolation());
    EXPECT_EQ(Boxes(), AskedThenRefused(Error(MessageKey::MsgTargetCreateFailed, {kTarget, held})));
    EXPECT_EQ(Held(), "source - -");
    EXPECT_EQ(files_.FileBytes(target + c.Held), "PFDW partial");
  }
  for (const std::string& suffix : c.Directories) EXPECT_TRUE(files_.HasDirectory(target + suffix));
  EXPECT_EQ(files_.FileBytes(kTarget), kOldTarget);
}

INSTANTIATE_TEST_SUITE_P(
    Beside, TemporaryNamesTest,
    ::testing::Values(
        TemporaryNamesCase{"LeftoverReused", {".vlmtmp"}, {}, "", ".vlmtmp"},
        TemporaryNamesCase{"DirectorySkipped", {".vlmtmp1"}, {".vlmtmp"}, "", ".vlmtmp1"},
        TemporaryNamesCase{"HeldRefuses", {".vlmtmp"}, {}, ".vlmtmp", ""},
        TemporaryNamesCase{
            "HeldBehindADirectoryRefuses", {".vlmtmp1"}, {".vlmtmp"}, ".vlmtmp1", ""}),
    [](const ::testing::TestParamInfo<TemporaryNamesCase>& info) { return info.param.Name; });

TEST_F(ExistingTargetTest, NoFreeTemporaryNameIsRefused) {
  files_.PutDirectory(std::string(kTemporary));
  for (int i = 1; i < 100; ++i) files_.PutDirectory(kTemporary + std::to_string(i));
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), AskedThenRefused(Error(MessageKey::MsgTargetCreateFailed,
                                            {kTarget, SystemText(SystemErrorAccessDenied())})));
  EXPECT_EQ(Held(), "source - -");
  EXPECT_EQ(files_.FilePaths(), (Lines{kSource, kScriptPath, kTarget}));
  EXPECT_EQ(files_.FileBytes(kTarget), kOldTarget);
}

// --- Creating the target ---------------------------------------------------------------------

TEST_F(PrepareJobTest, NewTargetIsWrittenBesideItsNameAndHeldWithoutSharing) {
  // Nothing appears under the target's name before the run has completed the archive.
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n");
  ASSERT_TRUE(Prepare());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Held(), "source target -");
  EXPECT_EQ(job_.TargetWritePath, kTemporary);
  EXPECT_FALSE(files_.HasFile(kTarget));
  EXPECT_EQ(files_.OpenShared(kTemporary), nullptr);
  EXPECT_EQ(files_.FileBytes(kSource), SourceArchive());
}

TEST_F(PrepareJobTest, SourceThatIsNoArchiveLeavesNoNewTargetBehind) {
  Script("#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n#Author=\r\n");
  files_.PutFile(kSource, "PFDW");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgSourceNotWdf, {kSource})});
  EXPECT_EQ(view_.Boxes[0].Text, AnsiFromUtf8("源文件 C:\\work\\gfx.wdf 不是一个有效的WDF文件"));
  EXPECT_EQ(Held(), "source - -");
  EXPECT_FALSE(files_.HasFile(kTarget));
  EXPECT_EQ(job_.SourceCount, 0u);
  // The information lines are set only on the way to success.
  EXPECT_EQ(job_.Texts.AuthorLine, DialogTexts().AuthorLine);
}

TEST_F(PrepareJobTest, MissingTargetDirectoriesAreCreatedOutermostFirst) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out\\deep\\new.wdf\r\n");
  ASSERT_TRUE(Prepare()) << testing::PrintToString(Boxes());
  EXPECT_EQ(files_.CreatedDirectories(), (Lines{"C:\\work\\out", "C:\\work\\out\\deep"}));
  EXPECT_TRUE(files_.HasFile("C:\\work\\out\\deep\\new.wdf.vlmtmp"));
}

TEST_F(PrepareJobTest, ExistingTargetDirectoryIsNotCreatedAgain) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out\\new.wdf\r\n");
  files_.PutDirectory("C:\\work\\out");
  ASSERT_TRUE(Prepare());
  EXPECT_TRUE(files_.CreatedDirectories().empty());
}

TEST_F(PrepareJobTest, DirectoryCreationStopsAtTheFirstFailureKeepingTheParentsMade) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out\\deep\\deeper\\new.wdf\r\n");
  files_.FailMakeDirectory("C:\\work\\out\\deep");
  EXPECT_FALSE(Prepare());
  const std::string reason = SystemText(SystemErrorAccessDenied());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgTargetDirFailed,
                                 {"C:\\work\\out\\deep\\deeper\\", reason})});
  EXPECT_EQ(view_.Boxes[0].Text,
            AnsiFromUtf8("创建目标目录 C:\\work\\out\\deep\\deeper\\ 失败    \r\r") + reason);
  EXPECT_EQ(files_.CreatedDirectories(), Lines{"C:\\work\\out"});
  EXPECT_EQ(Held(), "source - -");
}

TEST_F(PrepareJobTest, TargetDirectoryBlockedByAFileIsRefused) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=blocker\\new.wdf\r\n");
  files_.PutFile("C:\\work\\blocker", "a file");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgTargetDirFailed,
                                 {"C:\\work\\blocker\\", SystemText(SystemErrorAlreadyExists())})});
  EXPECT_EQ(files_.FileBytes("C:\\work\\blocker"), "a file");
}

TEST_F(PrepareJobTest, TargetThatCannotBeCreatedIsRefusedBeforeTheSourceHeaderIsRead) {
  Script("#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n");
  files_.PutFile(kSource, "WDFP");  // no archive, but the target is created first
  files_.FailOpensOf(kTarget, SystemErrorAccessDenied());
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgTargetCreateFailed,
                                 {kTarget, SystemText(SystemErrorAccessDenied())})});
  EXPECT_EQ(Held(), "source - -");
  EXPECT_FALSE(files_.HasFile(kTarget));
}

TEST_F(PrepareJobTest, TargetNamingADirectoryIsNotAskedAboutAndCannotBeCreated) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=sub\r\n");
  files_.PutDirectory("C:\\work\\sub");
  EXPECT_FALSE(Prepare());
  EXPECT_EQ(Boxes(), Lines{Error(MessageKey::MsgTargetCreateFailed,
                                 {"C:\\work\\sub", SystemText(SystemErrorAccessDenied())})});
}

// --- The information lines -------------------------------------------------------------------

TEST_F(PrepareJobTest, InformationLinesFromAuthorAndDate) {
  ScriptAndSource(
      "#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n#Author=Mod team ; us\r\n#Date=Spring\r\n");
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(job_.Texts.AuthorLine, "Mod team");
  EXPECT_EQ(job_.Texts.DateLine, "Spring");
}

TEST_F(PrepareJobTest, EmptyAuthorAndDateShowTheTwoPaths) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n#DestFile=out.wdf\r\n#Author=; note\r\n#Date=\r\n");
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(job_.Texts.AuthorLine, AnsiFromUtf8("从：") + kSource);
  EXPECT_EQ(job_.Texts.DateLine, AnsiFromUtf8("到：") + kTarget);
}

TEST_F(PrepareJobTest, AbsentAuthorAndDateKeepTheDefaults) {
  ScriptAndSource("#SrcFile=gfx.wdf\r\n");
  ASSERT_TRUE(Prepare());
  EXPECT_EQ(job_.Texts.AuthorLine, DialogTexts().AuthorLine);
  EXPECT_EQ(job_.Texts.DateLine, DialogTexts().DateLine);
}

}  // namespace
}  // namespace velmora
