#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "sys/file_system.h"
#include "sys/process.h"
#include "sys/system_error.h"
#include "testing/child_process.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

std::string TextOf(unsigned long code) {
  SetLastSystemError(code);
  return LastSystemErrorText();
}

void ExpectLastError(unsigned long code) {
  std::string got = LastSystemErrorText();
  EXPECT_EQ(TextOf(code), got);
}

// A fresh directory of real files for each test, removed afterwards.
class PosixFiles : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return scratch_.Path(name); }
  void Put(const std::string& name, const std::string& bytes) const { scratch_.Put(name, bytes); }
  std::string Get(const std::string& name) const { return scratch_.Get(name); }

  FileSystem& fs_ = SystemFileSystem();
  ScratchDirectory scratch_{"fs"};
  const std::string dir_ = scratch_.path();
};

std::string ReadAll(Stream& stream, size_t n) {
  std::string bytes(n, '\0');
  bytes.resize(stream.Read(&bytes[0], n));
  return bytes;
}

TEST_F(PosixFiles, StreamsReadWriteSeekAndAskTheSizeAnew) {
  auto target = fs_.CreateExclusive(Path("t.wdf"));
  ASSERT_NE(nullptr, target) << LastSystemErrorText();
  std::string block(100000, 'x');
  ASSERT_TRUE(target->Write(block.data(), block.size()));
  ASSERT_TRUE(target->Write("END", 3));
  EXPECT_EQ(100003u, target->Position());
  ASSERT_TRUE(target->Seek(0));
  ASSERT_TRUE(target->Write("PFDW", 4));
  uint64_t size = 0;
  ASSERT_TRUE(target->Size(&size));
  EXPECT_EQ(100003u, size);
  EXPECT_EQ(4u, target->Position()) << "asking the size keeps the position";
  ASSERT_TRUE(target->Seek(99999));
  EXPECT_EQ("xEND", ReadAll(*target, 10)) << "a read stops at the end of the file";
  target.reset();
  EXPECT_EQ("PFDWxx", Get("t.wdf").substr(0, 6));

  auto reader = fs_.OpenShared(Path("t.wdf"));
  ASSERT_NE(nullptr, reader);
  EXPECT_FALSE(reader->Write("no", 2)) << "a read-only stream must refuse writes";
}

TEST_F(PosixFiles, SparseFileBeyondFourGibibytesKeepsSixtyFourBitOffsets) {
  const uint64_t size = (uint64_t{5} << 30) + 17;
  {
    int fd = open(Path("big.wdf").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(size)));
    close(fd);
  }
  auto s = fs_.OpenExclusive(Path("big.wdf"));
  ASSERT_NE(nullptr, s) << LastSystemErrorText();
  uint64_t got = 0;
  ASSERT_TRUE(s->Size(&got));
  EXPECT_EQ(size, got);
  const uint64_t far = (uint64_t{4} << 30) + 3;  // 2^32 + 3: lost in 32 bits
  ASSERT_TRUE(s->Seek(far));
  EXPECT_EQ(far, s->Position());
  ASSERT_TRUE(s->Write("HIGH", 4));
  EXPECT_EQ(far + 4, s->Position());
  ASSERT_TRUE(s->Seek(3));
  EXPECT_EQ(std::string(4, '\0'), ReadAll(*s, 4)) << "the low offset must stay untouched";
  ASSERT_TRUE(s->Seek(far - 1));
  EXPECT_EQ(std::string("\0HIGH\0", 6), ReadAll(*s, 6));
  ASSERT_TRUE(s->Seek(size - 2));
  EXPECT_EQ(2u, ReadAll(*s, 100).size());
}

// Opens of one file under two names share one set of sharing rules.
TEST_F(PosixFiles, TheSameFileUnderAnotherNameIsRecognised) {
  Put("src.wdf", "source bytes");
  ASSERT_EQ(0, mkdir(Path("sub").c_str(), 0755));
  const std::string other_name = Path("sub/../src.wdf");
  auto source = fs_.OpenDenyWrite(Path("src.wdf"));
  ASSERT_NE(nullptr, source);
  EXPECT_NE(nullptr, fs_.OpenShared(other_name)) << "readers may join";
  EXPECT_EQ(nullptr, fs_.CreateExclusive(other_name)) << "the source must not be truncated";
  ExpectLastError(SystemErrorSharingViolation());
  EXPECT_EQ("source bytes", Get("src.wdf"));
}

// A script written on Windows names files in any letter case: to read, one name that matches is
// taken, two are taken as neither and named; a name written as it is on the disk always wins.
// Whatever is written, held against writers or created takes the name exactly as written.
TEST_F(PosixFiles, NamesAreFoundWithoutRegardToLetterCaseOnlyToRead) {
  ASSERT_EQ(mkdir(Path("Pictures").c_str(), 0777), 0);
  Put("Pictures/Title.BMP", "picture");
  Put("Pictures/exact.txt", "exact");
  Put("Pictures/EXACT.txt", "upper");
  Put("Two.bin", "a");
  Put("TWO.bin", "b");
  const struct {
    const char* Written;
    const char* Read;  // nullptr: not found
    size_t Ambiguous;
  } cases[] = {
      {"pictures\\title.bmp", "picture", 0},
      {"PICTURES/TITLE.BMP", "picture", 0},
      {"pictures\\exact.txt", "exact", 0},
      {"pictures\\Exact.txt", nullptr, 1},
      {"two.bin", nullptr, 1},
      {"pictures\\gone.bmp", nullptr, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Written);
    const std::string path = dir_ + "/" + c.Written;
    EXPECT_EQ(fs_.FileIsPresentForReading(path), c.Read != nullptr);
    for (auto open : {&FileSystem::OpenShared, &FileSystem::OpenDenyWrite}) {
      std::unique_ptr<Stream> stream = (fs_.*open)(path);
      ASSERT_EQ(stream != nullptr, c.Read != nullptr);
      EXPECT_EQ(stream ? ReadAll(*stream, 100) : "", c.Read ? c.Read : "");
    }
    const std::vector<std::string> ambiguous = TakeLetterCaseCandidates();
    ASSERT_EQ(ambiguous.size(), c.Ambiguous);
    for (const std::string& both : ambiguous) EXPECT_NE(both.find('\n'), std::string::npos);
  }
  const std::string other_case = dir_ + "/pictures/title.bmp";
  EXPECT_FALSE(fs_.FileIsPresent(other_case));
  EXPECT_FALSE(fs_.DirectoryExists(dir_ + "/PICTURES"));
  EXPECT_EQ(nullptr, fs_.OpenExclusive(other_case));
  EXPECT_EQ(nullptr, fs_.CreateNewExclusive(dir_ + "/PICTURES/New.bin")) << "no such folder";
  EXPECT_EQ(Get("Pictures/Title.BMP"), "picture");
}

// Lookups in a folder that has stayed as it was read it once; a name that appears, goes or
// moves is seen at the next lookup, also when the folder's modification time is put back.
TEST_F(PosixFiles, LetterCaseLookupsSeeEveryChangeOfTheFolder) {
  ASSERT_EQ(mkdir(Path("dir").c_str(), 0777), 0);
  Put("dir/First.BIN", "first");
  struct stat settled;
  ASSERT_EQ(stat(Path("dir").c_str(), &settled), 0);
  // Only the listing of a folder that has not changed for a while is kept.
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  const auto read = [&](const char* name) {
    std::unique_ptr<Stream> stream = fs_.OpenShared(dir_ + "/dir/" + name);
    return stream ? ReadAll(*stream, 100) : std::string("(none)");
  };
  EXPECT_EQ(read("first.bin"), "first");
  EXPECT_EQ(read("second.bin"), "(none)");
  Put("dir/Second.BIN", "second");
  const timespec as_before[2] = {settled.st_atim, settled.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, Path("dir").c_str(), as_before, 0), 0);
  EXPECT_EQ(read("second.bin"), "second");
  ASSERT_EQ(rename(Path("dir/First.BIN").c_str(), Path("dir/Third.BIN").c_str()), 0);
  EXPECT_EQ(read("first.bin"), "(none)");
  EXPECT_EQ(read("THIRD.bin"), "first");
  Put("dir/SECOND.bin", "another");
  EXPECT_EQ(read("second.BIN"), "(none)") << "two names match";
  EXPECT_EQ(TakeLetterCaseCandidates().size(), 1u);
}

TEST_F(PosixFiles, AnotherProcessCannotTruncateAFileHeldWithoutWriteSharing) {
  Put("src.wdf", "source bytes");
  Pipe ready;
  ASSERT_TRUE(ready.IsOpen());
  // The other process starts before the file is opened, so it knows nothing of this open but
  // what the system tells it.
  ChildProcess other([&] {
    ready.CloseWriteEnd();
    if (!ready.Receive()) return 2;
    auto target = fs_.CreateExclusive(Path("src.wdf"));
    return target == nullptr && errno == EBUSY ? 0 : 1;
  });
  ASSERT_TRUE(other.Started());
  ready.CloseReadEnd();
  auto source = fs_.OpenDenyWrite(Path("src.wdf"));
  ASSERT_NE(nullptr, source);
  ASSERT_TRUE(ready.Send());
  int status = 0;
  ASSERT_TRUE(other.Wait(&status)) << "the other process did not end";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the other process's open was not refused, status " << status;
  EXPECT_EQ("source bytes", Get("src.wdf"));
}

// Another process's open without sharing is a lock on an open file description of its own,
// which this one stands in for: such a file is neither removed nor replaced nor renamed.
TEST_F(PosixFiles, FilesLockedByAnotherProcessAreNeitherRemovedNorReplaced) {
  {
    auto written = fs_.CreateNewExclusive(Path("a.tmp"));
    ASSERT_NE(nullptr, written);
    ASSERT_TRUE(written->Write("new", 3));
    EXPECT_TRUE(written->Flush());
  }
  Put("a.wdf", "old");
  for (const char* locked : {"a.tmp", "a.wdf"}) {
    const int other = open(Path(locked).c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(0, flock(other, LOCK_EX));
    EXPECT_FALSE(fs_.RenameReplacing(Path("a.tmp"), Path("a.wdf"))) << locked;
    ExpectLastError(std::string(locked) == "a.tmp" ? SystemErrorSharingViolation()
                                                   : SystemErrorAccessDenied());
    EXPECT_FALSE(fs_.RemoveFile(Path(locked))) << locked;
    ExpectLastError(SystemErrorSharingViolation());
    close(other);
  }
  EXPECT_EQ("old", Get("a.wdf"));
  EXPECT_TRUE(fs_.RenameReplacing(Path("a.tmp"), Path("a.wdf")));
  EXPECT_EQ("new", Get("a.wdf"));
  EXPECT_TRUE(fs_.RemoveFile(Path("a.wdf")));
}

TEST_F(PosixFiles, SystemTextsEndWithALineBreak) {
  std::string text = TextOf(SystemErrorSharingViolation());
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ("\r\n", text.substr(text.size() - 2));
  EXPECT_EQ("", TextOf(0));
}

TEST_F(PosixFiles, PathsWithBackslashesAndTheExistenceTests) {
  ASSERT_EQ(0, mkdir(Path("data").c_str(), 0755));
  Put("data/ui.wdf", "x");
  const std::string windows_form = dir_ + "\\data\\ui.wdf";
  EXPECT_TRUE(fs_.FileIsPresent(windows_form));
  EXPECT_NE(nullptr, fs_.OpenShared(windows_form));
  EXPECT_TRUE(fs_.DirectoryExists(dir_ + "\\data\\"));
  EXPECT_FALSE(fs_.FileIsPresent(Path("data")));
  EXPECT_FALSE(fs_.FileIsPresent(Path("data/none")));
  EXPECT_FALSE(fs_.FileIsPresent(Path("data/*.wdf"))) << "no wildcards on POSIX";
  EXPECT_FALSE(fs_.DirectoryExists(Path("data/ui.wdf")));
}

TEST_F(PosixFiles, CurrentDirectoryFollowsChanges) {
  std::string before = CurrentDirectory();
  ASSERT_FALSE(before.empty());
  ASSERT_TRUE(ChangeCurrentDirectory(dir_));
  char real[4096];
  ASSERT_NE(nullptr, realpath(dir_.c_str(), real));
  EXPECT_EQ(std::string(real), CurrentDirectory());
  EXPECT_FALSE(ChangeCurrentDirectory(Path("missing")));
  ASSERT_TRUE(ChangeCurrentDirectory(before));
}

TEST(PosixProcess, ProgramFileAndCommandLineNameThisProgram) {
  std::string program = ProgramFilePath();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ('/', program[0]);
  EXPECT_TRUE(SystemFileSystem().FileIsPresent(program));
  std::string line = RawCommandLine();
  std::string name = program.substr(program.rfind('/') + 1);
  EXPECT_NE(std::string::npos, line.find(name)) << "command line: " << line;
}

}  // namespace
}  // namespace velmora
