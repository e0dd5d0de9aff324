// run and check over real files: check changes nothing and ends as run ends, with the same
// message; scripts in code page 936; Ctrl-C during a run.
#include <gtest/gtest.h>
#include <unistd.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "cli/front_end.h"
#include "cli/script_job.h"
#include "testing/pack_run_fixture.h"
#include "sys/code_page.h"
#include "sys/file_system.h"
#include "testing/memory_console.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using pack_run_testing::Entries;
using pack_run_testing::MakeArchive;

class RunCheckCommandsTest : public ::testing::Test {
 protected:
  void Put(const std::string& name, const std::string& bytes) { scratch_.Put(name, bytes); }
  std::string Get(const std::string& name) { return scratch_.Get(name); }
  // Every file and directory below the test directory with its size, time and bytes.
  std::map<std::string, std::string> Listing() {
    std::map<std::string, std::string> listing;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_)) {
      const std::string name = entry.path().string().substr(dir_.size());
      std::string facts = std::to_string(entry.last_write_time().time_since_epoch().count());
      if (entry.is_regular_file()) facts += " " + Get(name);
      listing[name] = facts;
    }
    return listing;
  }
  int Velmora(std::vector<std::string> words, MemoryConsole& console) {
    return RunCommandLine(words, console, SystemFileSystem());
  }
  std::string Script() { return dir_ + "/job.vlm"; }

  ScratchDirectory scratch_{"cli"};
  const std::string dir_ = scratch_.path();
};

const std::string kSource = MakeArchive({{0x10, "alpha"}, {0x20, "bravo!"}, {0x30, "charlie"}});
const std::string kHead = "#SrcFile=src.wdf\r\n#DestFile=out\\new.wdf\r\n";

// check and run on the same script: the same outcome, the same first message, and where one
// passes the other writes. "<dir>" in a script or a text stands for the test's folder.
struct ScriptCase {
  const char* Name;
  std::string Script;
  bool OldTarget;  // out/new.wdf exists before
  int ExitCode;
  std::string Said = "";  // a piece of the message both programs give
};

const std::string kDriveSaid =
    " names a Windows drive or network share, which this system does not have";

const ScriptCase kScripts[] = {
    {"every kind of rule",
     kHead + "#RunEnd=\r\n@00000010=@Delete\r\n@00000020=other.wdf/@00000001\r\n"
             "@00000030=extra.bin\r\n@00000099=@Delete\r\n",
     false, kExitOk},
    {"an old target replaced, a question first",
     "#RunBegin=\r\n" + kHead + "@00000020=@00000010\r\n", true, kExitOk},
    {"no #SrcFile", "#DestFile=a.wdf\r\n", false, kExitFailed},
    {"#SrcPath not made of ..", "#SrcPath=sub\\\r\n" + kHead, false, kExitFailed},
    {"missing source", "#SrcFile=nope.wdf\r\n", false, kExitFailed},
    {"source no archive", "#SrcFile=extra.bin\r\n#DestFile=x.wdf\r\n", false, kExitFailed},
    {"target is the source", "#SrcFile=src.wdf\r\n#DestFile=SRC.WDF\r\n", false, kExitFailed},
    {"target directory is a file", "#SrcFile=src.wdf\r\n#DestFile=extra.bin\\x.wdf\r\n", false,
     kExitFailed},
    {"invalid internal id", kHead + "@00000020=@zz\r\n", false, kExitFailed},
    {"internal id not in the source", kHead + "@00000020=@00000077\r\n", false, kExitFailed},
    {"missing external file", kHead + "@00000020=nothere.bin\r\n", true, kExitFailed},
    {"entry missing in another archive", kHead + "@00000030=other.wdf/@00000099\r\n", false,
     kExitFailed},
    {"a rule reading the old target", kHead + "@00000010=out\\new.wdf/@00000001\r\n", true,
     kExitFailed},
    {"a rule reading the new target", kHead + "@00000010=out\\new.wdf/@00000001\r\n", false,
     kExitFailed},
    {"a byte-order mark before the first key", "\xEF\xBB\xBF" + kHead + "@00000020=@Delete\r\n",
     false, kExitOk},
    {"paths from the root", "#SrcFile=<dir>/src.wdf\r\n#DestFile=<dir>/out/new.wdf\r\n", false,
     kExitOk},
    {"a drive in #DestFile", "#SrcFile=src.wdf\r\n#DestFile=C:\\out\\new.wdf\r\n", false,
     kExitFailed, "#DestFile=C:\\out\\new.wdf" + kDriveSaid},
    {"a drive in #SrcFile", "#SrcFile=c:src.wdf\r\n#DestFile=out\\new.wdf\r\n", false, kExitFailed,
     "#SrcFile=c:src.wdf" + kDriveSaid},
    {"a network share in #DestFile", "#SrcFile=src.wdf\r\n#DestFile=\\\\srv\\out\\new.wdf\r\n",
     false, kExitFailed, "#DestFile=\\\\srv\\out\\new.wdf" + kDriveSaid},
    {"a BOM before a drive", "\xEF\xBB\xBF#DestFile=C:\\new.wdf\r\n#SrcFile=src.wdf\r\n", false,
     kExitFailed, "#DestFile=C:\\new.wdf" + kDriveSaid},
    {"saved as UTF-16", std::string("\xFF\xFE#\0S\0r\0c\0", 10), false, kExitFailed,
     "is saved as UTF-16 (Unicode), which Velmora cannot read: save it again as ANSI (GBK) or "
     "UTF-8"},
    {"a slash before a missing folder", "#SrcFile=src.wdf\r\n#DestFile=gone/new.wdf\r\n", false,
     kExitFailed},
};

TEST_F(RunCheckCommandsTest, CheckChangesNothingAndEndsAsRunEnds) {
  for (const ScriptCase& c : kScripts) {
    SCOPED_TRACE(c.Name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Put("src.wdf", kSource);
    Put("other.wdf", MakeArchive({{0x01, "from another archive"}}));
    Put("extra.bin", "a whole file");
    if (c.OldTarget) Put("out/new.wdf", "the old target");
    const auto with_dir = [this](std::string text) {
      for (size_t at = text.find("<dir>"); at != std::string::npos; at = text.find("<dir>", at)) {
        text.replace(at, 5, dir_);
      }
      return text;
    };
    Put("job.vlm", with_dir(c.Script));

    const auto before = Listing();
    MemoryConsole check;
    EXPECT_EQ(Velmora({"check", Script()}, check), c.ExitCode) << check.ErrText;
    EXPECT_EQ(Listing(), before) << "check created, changed or removed a file";

    MemoryConsole run;
    EXPECT_EQ(Velmora({"run", "--yes", "--quiet", Script()}, run), c.ExitCode);
    // The same message, or none; check may add the rest of what it found.
    EXPECT_EQ(check.ErrText.substr(0, run.ErrText.size()), run.ErrText) << check.ErrText;
    EXPECT_NE(run.ErrText.find(with_dir(c.Said)), std::string::npos) << run.ErrText;
    if (c.ExitCode != kExitOk) {
      EXPECT_NE(run.ErrText, "");
      EXPECT_EQ(check.OutText, "");
      EXPECT_EQ(Get("out/new.wdf"), c.OldTarget ? "the old target" : "");
    } else {
      EXPECT_NE(check.OutText.find("Target: " + dir_ + "/out/new.wdf"), std::string::npos)
          << check.OutText;
      EXPECT_EQ(Get("out/new.wdf").substr(0, 4), "PFDW") << "the run wrote elsewhere";
      EXPECT_NE(check.OutText.find("Script encoding: UTF-8\n"), std::string::npos);
    }
    EXPECT_FALSE(scratch_.Exists("C:")) << "a folder named after a drive";
    for (const auto& entry : Listing()) {
      EXPECT_EQ(entry.first.find(".vlmtmp"), std::string::npos) << entry.first;
    }
  }
}

// Everything a modder must mend before the next try, at once: every failing rule line in script
// order after the run's own failure, the warnings, and the same as one JSON document.
TEST_F(RunCheckCommandsTest, CheckReportsEveryFailureAndWarning) {
  Put("src.wdf", kSource);
  Put("job.vlm", kHead +
                     "@00000030=gone\\c.bin\r\n#DestFlie=x.wdf\r\n@00000010=@00000077\r\n"
                     "@00000020=gone\\b.bin\r\n");
  MemoryConsole run;
  ASSERT_EQ(Velmora({"run", "--yes", Script()}, run), kExitFailed);
  MemoryConsole check;
  ASSERT_EQ(Velmora({"check", Script()}, check), kExitFailed);
  const std::string& err = check.ErrText;
  EXPECT_EQ(err.substr(0, run.ErrText.size()), run.ErrText) << err;
  const size_t list = err.find("Every rule line that would fail, in script order:\n");
  ASSERT_NE(list, std::string::npos) << err;
  const size_t third = err.find("line 3: @00000030=gone\\c.bin\n  The referenced file " + dir_ +
                                "/gone/c.bin does not exist\n");
  const size_t fifth = err.find("line 5: @00000010=@00000077\n  The referenced entry 00000077");
  const size_t sixth = err.find("line 6: @00000020=gone\\b.bin\n");
  EXPECT_TRUE(list < third && third < fifth && fifth < sixth) << err;
  EXPECT_NE(err.find("warning: line 4: unknown key #DestFlie (did you mean #DestFile?)"),
            std::string::npos);

  MemoryConsole json;
  ASSERT_EQ(Velmora({"check", "--format=json", Script()}, json), kExitFailed);
  EXPECT_EQ(json.OutText.substr(0, 2), "{\"");
  for (const char* piece :
       {"\"result\":\"fails\",\"exit_code\":1,\"message\":\"Error in the script\\n\\n@00000",
        "\"failures\":[{\"line\":3,\"rule\":\"@00000030=gone\\\\c.bin\"", "{\"line\":5,",
        "{\"line\":6,", "\"warnings\":[{\"line\":4,\"kind\":\"unknown-key\""}) {
    EXPECT_NE(json.OutText.find(piece), std::string::npos) << piece << "\n" << json.OutText;
  }

  // A script that would run, with a warning: --strict makes it fail.
  Put("job.vlm", kHead + "@00000010 =@Delete\r\n");
  MemoryConsole lenient;
  EXPECT_EQ(Velmora({"check", Script()}, lenient), kExitOk);
  MemoryConsole strict;
  EXPECT_EQ(Velmora({"check", "--strict", Script()}, strict), kExitFailed);
  EXPECT_NE(strict.ErrText.find("1 warning, which --strict"), std::string::npos) << strict.ErrText;
}

// A target that is the source under another name is refused before the first question, and the
// source stays as it was; a default target that is the source says where its name came from.
TEST_F(RunCheckCommandsTest, TargetThatIsTheSourceIsRefusedBeforeAnyQuestion) {
  const struct {
    const char* Name;
    const char* Target;  // #DestFile, or nullptr for the default (the script is src.vlm)
    const char* Said;
  } cases[] = {
      {"another spelling", ".\\src.wdf", "Both names lead to one file"},
      {"a symbolic link", "link.wdf", "Both names lead to one file"},
      {"a hard link", "hard.wdf", "Both names lead to one file"},
      {"the default target", nullptr, "The script has no #DestFile"},
  };
  Put("src.wdf", kSource);
  ASSERT_EQ(symlink("src.wdf", (dir_ + "/link.wdf").c_str()), 0);
  ASSERT_EQ(link((dir_ + "/src.wdf").c_str(), (dir_ + "/hard.wdf").c_str()), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string script = dir_ + (c.Target ? "/job.vlm" : "/src.vlm");
    Put(c.Target ? "job.vlm" : "src.vlm",
        std::string("#RunBegin=go?\r\n#SrcFile=src.wdf\r\n") +
            (c.Target ? "#DestFile=" + std::string(c.Target) + "\r\n" : ""));
    for (const char* command : {"run", "check"}) {
      MemoryConsole console;
      console.InTerminal = true;
      console.Answers = {"y"};
      EXPECT_EQ(Velmora({command, script}, console), kExitFailed);
      EXPECT_EQ(console.Answers.size(), 1u) << "a question was asked";
      EXPECT_NE(console.ErrText.find("cannot be the source archive"), std::string::npos);
      EXPECT_NE(console.ErrText.find(c.Said), std::string::npos) << console.ErrText;
    }
    EXPECT_EQ(Get("src.wdf"), kSource);
  }
}

// With #InPlace=yes the default target (the script's name with the source's extension) may be
// the source, as #DestFile may name it: run patches it, and check agrees beforehand.
TEST_F(RunCheckCommandsTest, InPlaceByTheDefaultTargetIsNoRefusal) {
  Put("a.wdf", kSource);
  Put("a.vlm", "#SrcFile=a.wdf\r\n#InPlace=yes\r\n@00000010=@Delete\r\n");
  const std::string script = dir_ + "/a.vlm";
  MemoryConsole check;
  ASSERT_EQ(Velmora({"check", script}, check), kExitOk) << check.ErrText;
  EXPECT_EQ(Get("a.wdf"), kSource);
  MemoryConsole run;
  ASSERT_EQ(Velmora({"run", "--yes", script}, run), kExitOk) << run.ErrText;
  EXPECT_EQ(Get("a.wdf"), MakeArchive({{0x20, "bravo!"}, {0x30, "charlie"}}));
  EXPECT_EQ(Get("a.wdf.1.bak"), kSource);
}

TEST_F(RunCheckCommandsTest, CheckSaysWhatTheRunWouldWrite) {
  Put("src.wdf", kSource);
  Put("other.wdf", MakeArchive({{0x01, "from another archive"}}));
  Put("extra.bin", "a whole file");
  Put("job.vlm", kScripts[0].Script);
  MemoryConsole check;
  ASSERT_EQ(Velmora({"check", Script()}, check), kExitOk) << check.ErrText;
  const std::string& out = check.OutText;
  EXPECT_NE(out.find("Target: " + dir_ + "/out/new.wdf (new)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Would create the folder " + dir_ + "/out\n"), std::string::npos);
  EXPECT_NE(out.find("Entries kept: 0; from the same archive: 0; from another archive: 1; from "
                     "a file: 1; deleted: 1\n"),
            std::string::npos)
      << out;
  EXPECT_NE(check.ErrText.find("warning: line 7: the source archive holds no entry @00000099"),
            std::string::npos)
      << check.ErrText;
  MemoryConsole run;
  ASSERT_EQ(Velmora({"run", Script()}, run), kExitOk) << run.ErrText;
  EXPECT_NE(
      out.find("New archive: 2 entries, " + std::to_string(Get("out/new.wdf").size()) + " bytes\n"),
      std::string::npos)
      << out;
  EXPECT_NE(out.find("match no entry:\n  @00000099=@Delete\n"), std::string::npos) << out;
}

// A script saved on Windows: CR LF, and names in code page 936 whose second byte is a backslash
// (0xD5 0x5C is U+8AA0).
TEST_F(RunCheckCommandsTest, ScriptInCodePage936RunsUnchanged) {
  const std::string name936 = "\xD5\x5C";
  const std::string name_utf8 = "\xE8\xAA\xA0";
  Put(name_utf8 + ".wdf", kSource);
  Put("job.vlm", "#SrcFile=" + name936 + ".wdf\r\n#DestFile=out\\" + name936 +
                     "\\new.wdf\r\n#RunEnd=\r\n@00000099=@Delete\r\n");
  MemoryConsole run;
  ASSERT_EQ(Velmora({"run", Script()}, run), kExitOk) << run.ErrText;
  EXPECT_EQ(Get("out/" + name_utf8 + "/new.wdf"), kSource);
  // The console is handed the script's own bytes and prints them in UTF-8.
  EXPECT_NE(run.OutText.find(dir_ + "/" + name936 + ".wdf"), std::string::npos)
      << "paths quoted with '/': " << run.OutText;
  EXPECT_EQ(ActiveCodePage(), CodePage::kUtf8) << "the command gives the code page back";

  // Read as UTF-8 the script names another file, which is missing.
  MemoryConsole forced;
  EXPECT_EQ(Velmora({"check", "--codepage", "utf8", Script()}, forced), kExitFailed);
}

TEST(ScriptCodePageTest, ValidUtf8IsTold) {
  struct {
    const char* Bytes;
    bool Valid;
  } cases[] = {{"#SrcFile=a.wdf", true}, {"\xE8\xAA\xA0", true},     {"\xF0\x9F\x98\x80", true},
               {"\xD5\x5C", false},      {"\xC0\xAF", false},        {"\xED\xA0\x80", false},
               {"\xE8\xAA", false},      {"\xF4\x90\x80\x80", false}};
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.Bytes), c.Valid) << c.Bytes;
}

// A console on a terminal that presses Ctrl-C when the progress line is first drawn.
class InterruptingConsole : public MemoryConsole {
 public:
  void Err(const std::string& text) override {
    MemoryConsole::Err(text);
    if (!pressed_ && text.rfind("\r", 0) == 0) {
      pressed_ = true;
      raise(SIGINT);
      raise(SIGINT);  // a second Ctrl-C changes nothing
    }
  }

 private:
  bool pressed_ = false;
};

TEST_F(RunCheckCommandsTest, CtrlCGivesUpTheNewArchiveAndKeepsTheOldTarget) {
  Put("src.wdf", kSource);
  Put("out/new.wdf", "the old target");
  Put("job.vlm", kHead);
  InterruptingConsole console;
  console.ErrTerminal = true;
  EXPECT_EQ(Velmora({"run", "-y", Script()}, console), kExitInterrupted);
  EXPECT_EQ(Get("out/new.wdf"), "the old target");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ + "/out"), fs::directory_iterator()), 1)
      << "no temporary file stays";
  EXPECT_EQ(console.ErrText.back(), '\n') << "the failure report follows: " << console.ErrText;
}

}  // namespace
}  // namespace velmora
