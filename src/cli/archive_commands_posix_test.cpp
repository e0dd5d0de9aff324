// The archive commands over real files in a folder of their own.
#include "cli/commands.h"
#include "cli/front_end.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include "sys/system_error.h"
#include "testing/memory_console.h"
#include "wdf/wdf.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

struct Resource {
  uint32_t Id;
  std::string Bytes;
};

std::string U32(uint32_t v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// An archive in the writer layout.
std::string ArchiveOf(const std::vector<Resource>& resources) {
  std::string data, index;
  for (const Resource& r : resources) {
    index += U32(r.Id) + U32(static_cast<uint32_t>(12 + data.size())) +
             U32(static_cast<uint32_t>(r.Bytes.size())) + U32(0);
    data += r.Bytes;
  }
  return "PFDW" + U32(static_cast<uint32_t>(resources.size())) +
         U32(static_cast<uint32_t>(12 + data.size())) + data + index;
}

const std::string kBmp = "BM" + std::string(12, '\0') + std::string("\x28\0\0\0", 4) + "pixels";
const std::string kText = "name=hero\r\n";

class ArchiveCommandsTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  void Put(const std::string& name, const std::string& bytes) { scratch_.Put(name, bytes); }
  std::string Get(const std::string& name) const { return scratch_.Get(name); }
  bool Exists(const std::string& name) const { return scratch_.Exists(name); }
  std::vector<std::string> Files(const std::string& folder) {
    std::vector<std::string> names;
    SystemFileSystem().ListFiles(Path(folder), &names);
    return names;
  }
  // The command as a person calls it: through the tool's command line, in its language.
  int Run(const CommandInfo& command, const std::vector<std::string>& args) {
    console_ = MemoryConsole();
    console_.UsesChinese = chinese_;
    std::vector<std::string> words = {command.Name};
    words.insert(words.end(), args.begin(), args.end());
    return RunCommandLine(words, console_, SystemFileSystem());
  }

  // Repeated id 0x10, an empty entry, a text, and a picture.
  void PutSample() {
    Put("ui.wdf", ArchiveOf({{0x10, kBmp}, {0xA1B3, kText}, {0x10, "second"}, {0x20, ""}}));
  }

  ScratchDirectory scratch_{"toolkit"};
  const std::string dir_ = scratch_.path();
  MemoryConsole console_;
  bool chinese_ = false;
};

TEST_F(ArchiveCommandsTest, ListInEachForm) {
  PutSample();
  ASSERT_EQ(Run(kListCommand, {"--format", "tsv", Path("ui.wdf")}), kExitOk);
  EXPECT_EQ(console_.OutText,
            "id\toffset\tsize\tspace\tkind\n"
            "00000010\t12\t24\t0\tbmp\n"
            "0000A1B3\t36\t11\t0\ttext\n"
            "00000010\t47\t6\t0\ttext\n"
            "00000020\t53\t0\t0\tempty\n");
  ASSERT_EQ(Run(kListCommand, {Path("ui.wdf")}), kExitOk);
  EXPECT_NE(console_.OutText.find("\n4 entries, index at offset 53, file size 117 bytes\n"),
            std::string::npos)
      << console_.OutText;
  Put("empty.wdf", ArchiveOf({}));
  ASSERT_EQ(Run(kListCommand, {"--format=json", Path("empty.wdf")}), kExitOk);
  EXPECT_EQ(console_.OutText,
            "{\"count\":0,\"index_offset\":12,\"file_size\":12,\"entries\":[]}\n");
}

// What people read comes in one language, every word of it; what programs read (tsv, json)
// is the same in both. Each command's output side by side in the two languages; "@" stands for
// the folder of the archives.
TEST_F(ArchiveCommandsTest, PeopleReadOneLanguage) {
  PutSample();
  Put("new.wdf", ArchiveOf({{0x10, "BM changed"}, {0xA1B3, kText}, {0x20, ""}, {0x30, "added"}}));
  const struct {
    const CommandInfo& Command;
    std::vector<std::string> Args;
    const char* English;
    const char* Chinese;
  } outputs[] = {
      {kListCommand,
       {"@ui.wdf"},
       "id        offset  size  space  kind\n"
       "00000010      12    24      0  bmp\n"
       "0000A1B3      36    11      0  text\n"
       "00000010      47     6      0  text\n"
       "00000020      53     0      0  empty\n"
       "4 entries, index at offset 53, file size 117 bytes\n",
       "ID        偏移  大小  保留空间  种类\n"
       "00000010    12    24         0  bmp\n"
       "0000A1B3    36    11         0  文本\n"
       "00000010    47     6         0  文本\n"
       "00000020    53     0         0  空\n"
       "共 4 个条目，索引位于偏移 53，文件大小 117 字节\n"},
      {kListCommand,
       {"--format", "tsv", "@new.wdf"},
       "id\toffset\tsize\tspace\tkind\n00000010\t12\t10\t0\ttext\n0000A1B3\t22\t11\t0\ttext\n"
       "00000020\t33\t0\t0\tempty\n00000030\t33\t5\t0\ttext\n",
       nullptr},
      {kVerifyCommand,
       {"@ui.wdf", "@new.wdf"},
       "@ui.wdf: warning: entry 3 repeats id 00000010 of entry 1; rules and references reach only "
       "entry 1\n@ui.wdf: OK with 1 warning\n@new.wdf: OK\n",
       "@ui.wdf：警告：第 3 个条目重复了 ID 00000010（与第 1 个条目相同）；规则和引用只能找到第 1 "
       "个条目\n@ui.wdf：完好，有 1 个警告\n@new.wdf：完好\n"},
      {kDiffCommand,
       {"--all", "@ui.wdf", "@new.wdf"},
       "changed  00000010  24 -> 10 bytes\n"
       "same     0000A1B3  11 -> 11 bytes\n"
       "removed  00000010-2  6 bytes\n"
       "same     00000020  0 -> 0 bytes\n"
       "added    00000030  5 bytes\n"
       "1 changed, 1 added, 1 removed, 2 same\n",
       "更改  00000010  24 -> 10 字节\n"
       "相同  0000A1B3  11 -> 11 字节\n"
       "删除  00000010-2  6 字节\n"
       "相同  00000020  0 -> 0 字节\n"
       "新增  00000030  5 字节\n"
       "1 个更改，1 个新增，1 个删除，2 个相同\n"},
      {kDiffCommand,
       {"--format", "tsv", "@ui.wdf", "@new.wdf"},
       "change\tid\tn\told_size\tnew_size\nchanged\t00000010\t1\t24\t10\n"
       "removed\t00000010\t2\t6\t\nadded\t00000030\t1\t\t5\n",
       nullptr},
  };
  const auto placed = [this](std::string text) {
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
      text.replace(at, 1, dir_ + "/");
    }
    return text;
  };
  for (const auto& output : outputs) {
    std::vector<std::string> args;
    for (const std::string& arg : output.Args) args.push_back(placed(arg));
    for (bool chinese : {false, true}) {
      chinese_ = chinese;
      SCOPED_TRACE(std::string(output.Command.Name) + (chinese ? " in Chinese" : " in English"));
      Run(output.Command, args);
      EXPECT_EQ(console_.OutText,
                placed(chinese && output.Chinese ? output.Chinese : output.English));
    }
  }
}

TEST_F(ArchiveCommandsTest, EntriesOutsideTheFileAreListedAsSuch) {
  Put("far.wdf", "PFDW" + U32(2) + U32(12) + U32(1) + U32(40) + U32(5) + U32(0) + U32(2) +
                     U32(0xFFFFFFF0) + U32(0x20) + U32(0));
  ASSERT_EQ(Run(kListCommand, {"--format", "tsv", Path("far.wdf")}), kExitOk);
  EXPECT_EQ(console_.OutText,
            "id\toffset\tsize\tspace\tkind\n00000001\t40\t5\t0\tout-of-bounds\n"
            "00000002\t4294967280\t32\t0\tout-of-bounds\n");

  // Extraction is all or nothing, unless --skip-bad asks for what the file still holds.
  Put("part.wdf", "PFDW" + U32(2) + U32(17) + "hello" + U32(1) + U32(12) + U32(5) + U32(0) +
                      U32(2) + U32(0xFFFFFFF0) + U32(0x20) + U32(0));
  EXPECT_EQ(Run(kExtractCommand, {"-o", Path("all"), Path("part.wdf")}), kExitFailed);
  EXPECT_FALSE(Exists("all"));
  EXPECT_EQ(Run(kExtractCommand, {"--skip-bad", "-o", Path("some"), Path("part.wdf")}),
            kExitFailed);
  EXPECT_EQ(Get("some/00000001.txt"), "hello");
  EXPECT_EQ(console_.OutText, "1 file written to " + Path("some") + "\n");
  EXPECT_NE(console_.ErrText.find("entry 2 (id 00000002, offset 4294967280, size 32) does not lie"),
            std::string::npos)
      << console_.ErrText;
  EXPECT_NE(console_.ErrText.find("1 entry skipped"), std::string::npos);
}

TEST_F(ArchiveCommandsTest, MalformedArchivesAreRefusedByEveryCommand) {
  const std::vector<std::pair<const char*, std::string>> archives = {
      {"not an archive", "hello"},
      {"cut header", "PFDW\1\0"},
      {"count 0xFFFFFFFF", "PFDW" + U32(0xFFFFFFFF) + U32(12) + std::string(64, 'x')},
      {"index beyond the end", "PFDW" + U32(1) + U32(1000) + std::string(16, 'x')},
  };
  for (const auto& archive : archives) {
    SCOPED_TRACE(archive.first);
    Put("bad.wdf", archive.second);
    const std::string bad = Path("bad.wdf");
    const std::string refusal = "The source archive " + bad + " is not a valid WDF archive\n";
    EXPECT_EQ(Run(kListCommand, {bad}), kExitFailed);
    EXPECT_EQ(console_.ErrText.substr(0, refusal.size()), refusal);
    EXPECT_EQ(Run(kExtractCommand, {"-o", Path("out"), bad}), kExitFailed);
    EXPECT_EQ(console_.ErrText.substr(0, refusal.size()), refusal);
    EXPECT_FALSE(Exists("out"));
    EXPECT_EQ(Run(kScriptCommand, {"--from-dir", dir_, "-o", Path("s.vlm"), bad}), kExitFailed);
    EXPECT_FALSE(Exists("s.vlm"));
    EXPECT_EQ(Run(kVerifyCommand, {bad}), kExitFailed);
    EXPECT_NE(console_.OutText.find(bad + ": INVALID\n"), std::string::npos) << console_.OutText;
  }
}

TEST_F(ArchiveCommandsTest, ExtractNamesRepeatsAndKinds) {
  PutSample();
  ASSERT_EQ(Run(kExtractCommand, {"-o", Path("out"), Path("ui.wdf")}), kExitOk) << console_.ErrText;
  EXPECT_EQ(Files("out"), (std::vector<std::string>{"00000010-2.txt", "00000010.bmp",
                                                    "00000020.dat", "0000A1B3.txt"}));
  EXPECT_EQ(Get("out/00000010.bmp"), kBmp);
  EXPECT_EQ(Get("out/00000010-2.txt"), "second");
  EXPECT_EQ(Get("out/00000020.dat"), "");
  EXPECT_EQ(console_.OutText, "4 files written to " + Path("out") + "\n");
}

TEST_F(ArchiveCommandsTest, ExtractTakesIdsInEveryForm) {
  PutSample();
  const std::vector<std::string> forms = {"a1b3", "@0000A1B3", "0xA1B3", "0000a1b3"};
  for (const std::string& form : forms) {
    ASSERT_EQ(Run(kExtractCommand, {"--force", "-o", Path("out"), Path("ui.wdf"), form}), kExitOk)
        << form << console_.ErrText;
    EXPECT_EQ(Files("out"), std::vector<std::string>{"0000A1B3.txt"}) << form;
  }
  EXPECT_EQ(Run(kExtractCommand, {Path("ui.wdf"), "xyz"}), kExitUsage);
}

TEST_F(ArchiveCommandsTest, ExtractRefusalsWriteNothing) {
  PutSample();
  Put("far.wdf", "PFDW" + U32(2) + U32(12) + U32(1) + U32(0) + U32(4) + U32(0) + U32(2) + U32(400) +
                     U32(5) + U32(0));
  mkdir(Path("taken").c_str(), 0777);
  Put("taken/0000A1B3.txt", "mine");
  struct Case {
    const char* Name;
    std::vector<std::string> Args;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"missing id",
       {"-o", Path("out"), Path("ui.wdf"), "10", "99"},
       "no entry has the id 00000099"},
      {"entry outside the file", {"-o", Path("out"), Path("far.wdf")}, "does not lie within the"},
      {"existing file", {"-o", Path("taken"), Path("ui.wdf")}, "exists (--force replaces it)"},
      {"archive missing",
       {"-o", Path("out"), Path("none.wdf")},
       "The source archive " + Path("none.wdf") + " does not exist"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(kExtractCommand, c.Args), kExitFailed) << c.Name;
    EXPECT_NE(console_.ErrText.find(c.Message), std::string::npos)
        << c.Name << ": " << console_.ErrText;
    EXPECT_FALSE(Exists("out")) << c.Name;
    EXPECT_EQ(Files("taken"), std::vector<std::string>{"0000A1B3.txt"}) << c.Name;
    EXPECT_EQ(Get("taken/0000A1B3.txt"), "mine") << c.Name;
  }
}

TEST_F(ArchiveCommandsTest, ExtractWithForceReplacesALinkInsteadOfFollowingIt) {
  PutSample();
  mkdir(Path("out").c_str(), 0777);
  Put("outside.txt", "keep");
  ASSERT_EQ(symlink(Path("outside.txt").c_str(), Path("out/0000A1B3.txt").c_str()), 0);
  ASSERT_EQ(Run(kExtractCommand, {"--force", "-o", Path("out"), Path("ui.wdf"), "A1B3"}), kExitOk);
  EXPECT_EQ(Get("outside.txt"), "keep");
  EXPECT_EQ(Get("out/0000A1B3.txt"), kText);
}

TEST_F(ArchiveCommandsTest, ExtractOneEntryToStandardOutput) {
  PutSample();
  ASSERT_EQ(Run(kExtractCommand, {"-o", "-", Path("ui.wdf"), "10"}), kExitOk);
  EXPECT_EQ(console_.OutText, kBmp);  // the first entry with the id, as rules find it
  EXPECT_EQ(Run(kExtractCommand, {"-o", "-", Path("ui.wdf"), "10", "20"}), kExitUsage);
  EXPECT_EQ(Run(kExtractCommand, {"-o", "-", Path("ui.wdf")}), kExitUsage);
}

TEST_F(ArchiveCommandsTest, ExtractIntoTheDefaultFolder) {
  PutSample();
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  const int code = Run(kExtractCommand, {"ui.wdf", "20"});
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(code, kExitOk);
  EXPECT_EQ(Files("ui"), std::vector<std::string>{"00000020.dat"});
}

TEST_F(ArchiveCommandsTest, VerifyVerdicts) {
  PutSample();
  Put("sound.wdf", ArchiveOf({{1, "abc"}}));
  // The index at the front: the entry lies in the file but a run refuses it.
  Put("front.wdf", "PFDW" + U32(1) + U32(12) + U32(1) + U32(28) + U32(4) + U32(0) + "data");
  ASSERT_EQ(Run(kVerifyCommand, {Path("sound.wdf"), Path("ui.wdf")}), kExitOk);
  EXPECT_EQ(console_.OutText,
            Path("sound.wdf") + ": OK\n" + Path("ui.wdf") +
                ": warning: entry 3 repeats id 00000010 of entry 1; rules and references reach "
                "only entry 1\n" +
                Path("ui.wdf") + ": OK with 1 warning\n");
  EXPECT_EQ(Run(kVerifyCommand, {Path("front.wdf"), Path("sound.wdf")}), kExitFailed);
  EXPECT_NE(
      console_.OutText.find(Path("front.wdf") + ": error: entry 1 (id 00000001) ends at byte 32"),
      std::string::npos)
      << console_.OutText;
  EXPECT_NE(console_.OutText.find(Path("front.wdf") + ": INVALID\n" + Path("sound.wdf") + ": OK\n"),
            std::string::npos);
  EXPECT_EQ(Run(kVerifyCommand, {}), kExitUsage);

  // What cannot be read at all is said once, on standard error, and is no verdict.
  const struct {
    std::string Path;
    const char* Said;
  } unreadable[] = {{Path("none.wdf"), "does not exist"},
                    {Path(""), "is a folder, not an archive"}};
  for (const auto& u : unreadable) {
    console_.OutText.clear();
    console_.ErrText.clear();
    EXPECT_EQ(Run(kVerifyCommand, {u.Path}), kExitFailed);
    EXPECT_EQ(console_.OutText, "");
    EXPECT_NE(console_.ErrText.find(u.Said), std::string::npos) << console_.ErrText;
    EXPECT_EQ(console_.ErrText.find('\n'), console_.ErrText.size() - 1) << console_.ErrText;
  }
  console_.OutText.clear();
  EXPECT_EQ(Run(kVerifyCommand, {"--format", "json", Path("ui.wdf"), Path("none.wdf")}),
            kExitFailed);
  EXPECT_EQ(console_.OutText, "{\"archives\":[{\"path\":\"" + Path("ui.wdf") +
                                  "\",\"verdict\":\"ok\",\"errors\":0,\"warnings\":1,"
                                  "\"findings\":[{\"severity\":\"warning\",\"message\":\"entry 3 "
                                  "repeats id 00000010 of entry 1; rules and references reach only "
                                  "entry 1\"}]},{\"path\":\"" +
                                  Path("none.wdf") + "\",\"verdict\":\"unreadable\"}]}\n");
}

class ScriptCommandTest : public ArchiveCommandsTest {
 protected:
  // The sample extracted to edited/, one file changed, a few that cannot be used.
  void PutEditedFolder() {
    PutSample();
    ASSERT_EQ(Run(kExtractCommand, {"-o", Path("edited"), Path("ui.wdf")}), kExitOk);
    Put("edited/0000A1B3.txt", "name=villain\r\n");
    Put("edited/00000010-2.txt", "changed too");
    Put("edited/00000099.bin", "new");
    Put("edited/notes.md", "todo");
  }
};

TEST_F(ScriptCommandTest, OnlyChangedFilesInIndexOrder) {
  PutEditedFolder();
  Put("edited/00000020.dat", "now with bytes");
  ASSERT_EQ(Run(kScriptCommand, {"--from-dir", Path("edited"), "-o", Path("ui.vlm"), Path("ui.wdf"),
                                 "--dest", Path("out/ui.wdf")}),
            kExitOk)
      << console_.ErrText;
  EXPECT_EQ(Get("ui.vlm"),
            "#SrcFile=ui.wdf\r\n#DestFile=out\\ui.wdf\r\n@0000A1B3=edited\\0000A1B3.txt\r\n"
            "@00000020=edited\\00000020.dat\r\n");
  for (const char* name : {"00000010-2.txt", "00000099.bin", "notes.md"}) {
    EXPECT_NE(console_.ErrText.find(std::string("not usable: ") + Path("edited/") + name),
              std::string::npos)
        << name << "\n"
        << console_.ErrText;
  }
  EXPECT_EQ(console_.OutText,
            Path("ui.vlm") + " written; rule lines: 2, files unchanged: 1, files not usable: 3\n");
}

TEST_F(ScriptCommandTest, AllFilesAndPathsAboveTheScript) {
  PutEditedFolder();
  ASSERT_EQ(Run(kScriptCommand, {"--all", "--from-dir", Path("edited"), "-o", Path("mods/ui/s.vlm"),
                                 Path("ui.wdf")}),
            kExitOk)
      << console_.ErrText;
  EXPECT_EQ(Get("mods/ui/s.vlm"),
            "#SrcPath=..\\..\\\r\n#SrcFile=ui.wdf\r\n@00000010=..\\..\\edited\\00000010.bmp\r\n"
            "@0000A1B3=..\\..\\edited\\0000A1B3.txt\r\n@00000020=..\\..\\edited\\00000020.dat\r\n");
}

TEST_F(ScriptCommandTest, NamesBecomeCodePage936OrAreReportedUnusable) {
  PutSample();
  mkdir(Path("改过").c_str(), 0777);
  Put("改过/0000A1B3.新.txt", "changed");
  Put("改过/00000020.\xF0\x9F\x98\x80", "changed");  // a character without a GBK form
  ASSERT_EQ(Run(kScriptCommand, {"--from-dir", Path("改过"), "-o", Path("s.vlm"), Path("ui.wdf")}),
            kExitOk)
      << console_.ErrText;
  EXPECT_EQ(Get("s.vlm"),
            "#SrcFile=ui.wdf\r\n@0000A1B3=\xB8\xC4\xB9\xFD\\0000A1B3.\xD0\xC2.txt\r\n");
  EXPECT_NE(console_.ErrText.find("code page 936 lacks"), std::string::npos) << console_.ErrText;
  EXPECT_EQ(console_.ErrText.find("--codepage gbk"), std::string::npos) << console_.ErrText;

  // The name's code page 936 bytes C3 A9 also read as UTF-8 (as another name).
  mkdir(Path("茅").c_str(), 0777);
  Put("茅/0000A1B3.txt", "changed");
  ASSERT_EQ(Run(kScriptCommand, {"--from-dir", Path("茅"), "-o", Path("t.vlm"), Path("ui.wdf")}),
            kExitOk);
  EXPECT_EQ(Get("t.vlm"), "#SrcFile=ui.wdf\r\n@0000A1B3=\xC3\xA9\\0000A1B3.txt\r\n");
  EXPECT_NE(console_.ErrText.find("--codepage gbk"), std::string::npos) << console_.ErrText;
}

TEST_F(ScriptCommandTest, Refusals) {
  PutEditedFolder();
  Put("taken.vlm", "mine");
  struct Case {
    const char* Name;
    std::vector<std::string> Args;
    int Code;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"existing script",
       {"--from-dir", Path("edited"), "-o", Path("taken.vlm"), Path("ui.wdf")},
       kExitFailed,
       "exists (--force replaces it)"},
      {"default target is the source",
       {"--from-dir", Path("edited"), "-o", Path("ui.vlm"), Path("ui.wdf")},
       kExitFailed,
       "give another --dest TARGET"},
      {"target is the source",
       {"--from-dir", Path("edited"), "--dest", Path("ui.wdf"), "-o", Path("n.vlm"),
        Path("ui.wdf")},
       kExitFailed,
       "its own source"},
      {"missing folder",
       {"--from-dir", Path("none"), "-o", Path("n.vlm"), Path("ui.wdf")},
       kExitFailed,
       "cannot be read"},
      {"no -o", {"--from-dir", Path("edited"), Path("ui.wdf")}, kExitUsage, "-o SCRIPT"},
      {"no --from-dir", {"-o", Path("n.vlm"), Path("ui.wdf")}, kExitUsage, "--from-dir"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(kScriptCommand, c.Args), c.Code) << c.Name << ": " << console_.ErrText;
    EXPECT_NE(console_.ErrText.find(c.Message), std::string::npos)
        << c.Name << ": " << console_.ErrText;
  }
  EXPECT_EQ(Get("taken.vlm"), "mine");
  EXPECT_FALSE(Exists("n.vlm"));

  // Two files for one entry: the edit in either could be lost, so nothing is written.
  Put("edited/0000A1B3.bak", "name=hero\r\n");
  Put("edited/00000020.png", "a picture");
  EXPECT_EQ(
      Run(kScriptCommand, {"--from-dir", Path("edited"), "-o", Path("n.vlm"), Path("ui.wdf")}),
      kExitFailed);
  for (const std::string& named :
       {"0000A1B3: " + Path("edited/0000A1B3.bak") + ", " + Path("edited/0000A1B3.txt"),
        "00000020: " + Path("edited/00000020.dat") + ", " + Path("edited/00000020.png")}) {
    EXPECT_NE(console_.ErrText.find(named), std::string::npos) << console_.ErrText;
  }
  EXPECT_FALSE(Exists("n.vlm"));
}

// A file system that carries out `budget` creates and renames, fails the next one, as a file
// another program holds or a disk that is full for a moment does, and carries out the rest (what
// a command does to undo its work). Everything else goes through.
class FailingWrites final : public FileSystem {
 public:
  FailingWrites(FileSystem& real, int budget) : real_(real), budget_(budget) {}
  bool Failed() const { return failed_; }

  std::unique_ptr<Stream> OpenShared(const std::string& p) override { return real_.OpenShared(p); }
  std::unique_ptr<Stream> OpenDenyWrite(const std::string& p) override {
    return real_.OpenDenyWrite(p);
  }
  std::unique_ptr<Stream> OpenExclusive(const std::string& p) override {
    return real_.OpenExclusive(p);
  }
  std::unique_ptr<Stream> CreateExclusive(const std::string& p) override {
    return Go() ? real_.CreateExclusive(p) : nullptr;
  }
  std::unique_ptr<Stream> CreateNewExclusive(const std::string& p) override {
    return Go() ? real_.CreateNewExclusive(p) : nullptr;
  }
  bool FileIsPresent(const std::string& p) override { return real_.FileIsPresent(p); }
  bool DirectoryExists(const std::string& p) override { return real_.DirectoryExists(p); }
  bool MakeDirectory(const std::string& p) override { return real_.MakeDirectory(p); }
  bool RemoveFile(const std::string& p) override { return real_.RemoveFile(p); }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return Go() && real_.RenameReplacing(from, to);
  }
  bool ListFiles(const std::string& d, std::vector<std::string>* names) override {
    return real_.ListFiles(d, names);
  }

 private:
  bool Go() {
    if (budget_-- != 0) return true;
    failed_ = true;
    SetLastSystemError(SystemErrorDiskFull());
    return false;
  }
  FileSystem& real_;
  int budget_;
  bool failed_ = false;
};

class DiffPatchTest : public ArchiveCommandsTest {
 protected:
  // ui.wdf and its edited form: one entry changed, one removed, one added.
  void PutArchives() {
    PutSample();
    Put("new.wdf", ArchiveOf({{0x10, kBmp},
                              {0xA1B3, "\x01\x02 changed"},
                              {0x10, "second"},
                              {0x30, std::string("\x00\x07 new", 6)}}));
  }
  std::vector<std::string> PatchArgs(std::vector<std::string> more = {}) {
    more.insert(more.end(), {"--patch", Path("patch"), Path("ui.wdf"), Path("new.wdf")});
    return more;
  }
};

// A write or rename that fails at any point leaves the folder exactly as it was: no new file,
// and every file that was to be replaced with its old bytes.
TEST_F(DiffPatchTest, AWriteThatFailsPartWayLeavesTheFolderAsItWas) {
  PutArchives();
  const struct {
    const char* Name;
    std::vector<std::string> Args;
    std::map<std::string, std::string> Before;  // in folder "out"
    std::vector<std::string> After;
  } cases[] = {
      {"a patch into a new folder",
       {"diff", "--patch", Path("out"), Path("ui.wdf"), Path("new.wdf")},
       {},
       {"00000030.bin", "0000A1B3.bin", "ui-patch.vlm", "ui-undo.vlm"}},
      {"a patch over an older one",
       {"diff", "--patch", Path("out"), "--force", Path("ui.wdf"), Path("new.wdf")},
       {{"0000A1B3.bin", "old entry"}, {"ui-patch.vlm", "old script"}},
       {"00000030.bin", "0000A1B3.bin", "ui-patch.vlm", "ui-undo.vlm"}},
      {"extract over older files",
       {"extract", "--force", "-o", Path("out"), Path("ui.wdf")},
       {{"0000A1B3.txt", "old text"}, {"00000020.dat", "old empty"}},
       {"00000010-2.txt", "00000010.bmp", "00000020.dat", "0000A1B3.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    int failed_runs = 0;
    for (int budget = 0;; ++budget) {
      ASSERT_LT(budget, 20) << "the command never completes";
      std::vector<std::string> names;
      SystemFileSystem().ListFiles(Path("out"), &names);
      for (const std::string& name : names) SystemFileSystem().RemoveFile(Path("out/" + name));
      for (const auto& [name, bytes] : c.Before) Put("out/" + name, bytes);
      console_ = MemoryConsole();
      FailingWrites files(SystemFileSystem(), budget);
      const int code = RunCommandLine(c.Args, console_, files);
      if (!files.Failed()) {
        ASSERT_EQ(code, kExitOk) << console_.ErrText;
        EXPECT_EQ(Files("out"), c.After);
        break;
      }
      ++failed_runs;
      EXPECT_EQ(code, kExitFailed) << budget;
      std::vector<std::string> before;
      for (const auto& [name, bytes] : c.Before) {
        before.push_back(name);
        EXPECT_EQ(Get("out/" + name), bytes) << "budget " << budget;
      }
      EXPECT_EQ(Files("out"), before) << "budget " << budget;
    }
    EXPECT_GE(failed_runs, 3);  // a create of each kind and a rename at least
  }
}

TEST_F(DiffPatchTest, AnEntryFileInTheWayRefusesThePatchUnlessReplacingIsAsked) {
  PutArchives();
  Put("patch/0000A1B3.bin", "mine");
  EXPECT_EQ(Run(kDiffCommand, PatchArgs()), kExitFailed);
  EXPECT_NE(console_.ErrText.find(Path("patch/0000A1B3.bin") + " exists (--force replaces it)"),
            std::string::npos)
      << console_.ErrText;
  EXPECT_EQ(Files("patch"), std::vector<std::string>{"0000A1B3.bin"});
  EXPECT_EQ(Get("patch/0000A1B3.bin"), "mine");

  ASSERT_EQ(Run(kDiffCommand, PatchArgs({"--force"})), kExitOk) << console_.ErrText;
  EXPECT_EQ(Get("patch/0000A1B3.bin"), "\x01\x02 changed");

  // A folder under an entry file's name is never replaced, asked or not.
  Put("patch2/00000030.bin/inside", "x");
  EXPECT_EQ(
      Run(kDiffCommand, {"--patch", Path("patch2"), "--force", Path("ui.wdf"), Path("new.wdf")}),
      kExitFailed);
  EXPECT_NE(console_.ErrText.find(Path("patch2/00000030.bin") + " is a folder"), std::string::npos)
      << console_.ErrText;
  EXPECT_EQ(Files("patch2"), std::vector<std::string>{});
  EXPECT_EQ(Get("patch2/00000030.bin/inside"), "x");
}

}  // namespace
}  // namespace velmora
