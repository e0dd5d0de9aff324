#include <windows.h>

#include <gtest/gtest.h>

#include "sys/file_system.h"
#include "sys/process.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

std::string TextOf(unsigned long code) {
  SetLastSystemError(code);
  return LastSystemErrorText();
}

// A fresh directory under the system's temporary directory for each test.
class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(0u, GetTempPathA(sizeof temp, temp));
    dir_ = std::string(temp) + "velmora-fs-" + std::to_string(GetCurrentProcessId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(fs_.MakeDirectory(dir_)) << dir_ << ": " << LastSystemErrorText();
  }
  void TearDown() override {
    for (const std::string& name : created_) {
      fs_.RemoveFile(Path(name));
      RemoveDirectoryA(Path(name).c_str());
    }
    EXPECT_TRUE(RemoveDirectoryA(dir_.c_str())) << dir_;
  }
  std::string Path(const std::string& name) { return dir_ + "\\" + name; }
  void Put(const std::string& name, const std::string& bytes) {
    created_.insert(created_.begin(), name);
    auto s = fs_.CreateExclusive(Path(name));
    ASSERT_NE(nullptr, s) << LastSystemErrorText();
    ASSERT_TRUE(s->Write(bytes.data(), bytes.size()));
  }
  void MakeDir(const std::string& name) {
    created_.push_back(name);
    ASSERT_TRUE(fs_.MakeDirectory(Path(name)));
  }

  FileSystem& fs_ = SystemFileSystem();
  std::string dir_;
  std::vector<std::string> created_;  // files first, then directories
};

TEST_F(Win32Files, FileIsPresentAsADirectorySearch) {
  Put("ui.wdf", "PFDW");
  MakeDir("data");
  EXPECT_TRUE(fs_.FileIsPresent(Path("ui.wdf")));
  EXPECT_FALSE(fs_.FileIsPresent(Path("data"))) << "a directory does not count";
  EXPECT_FALSE(fs_.FileIsPresent(Path("none.wdf")));
  EXPECT_TRUE(fs_.FileIsPresent(Path("u?.w*"))) << "wildcards match a file";
  EXPECT_FALSE(fs_.FileIsPresent(Path("d*"))) << "the first entry found is a directory";
  EXPECT_TRUE(fs_.DirectoryExists(Path("data")));
  EXPECT_TRUE(fs_.DirectoryExists(Path("data\\")));
  EXPECT_FALSE(fs_.DirectoryExists(Path("ui.wdf")));
}

TEST_F(Win32Files, SharingViolationsCarryTheSystemsText) {
  Put("src.wdf", "source");
  {
    auto source = fs_.OpenShared(Path("src.wdf"));
    ASSERT_NE(nullptr, source);
    EXPECT_EQ(nullptr, fs_.CreateExclusive(Path("src.wdf")));
    std::string text = LastSystemErrorText();
    EXPECT_EQ(TextOf(ERROR_SHARING_VIOLATION), text);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(text, TextOf(SystemErrorSharingViolation()));
  }
  {
    auto source = fs_.OpenDenyWrite(Path("src.wdf"));
    ASSERT_NE(nullptr, source);
    EXPECT_NE(nullptr, fs_.OpenShared(Path("src.wdf"))) << "a reader may join";
    EXPECT_EQ(nullptr, fs_.OpenExclusive(Path("src.wdf"))) << "a writer may not";
    EXPECT_FALSE(fs_.RemoveFile(Path("src.wdf")));
    // Preparation tells a file another run holds from one it may not remove by this code.
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), LastSystemError());
  }
  auto reopened = fs_.OpenShared(Path("src.wdf"));
  ASSERT_NE(nullptr, reopened);
  std::string bytes(10, '\0');
  bytes.resize(reopened->Read(&bytes[0], bytes.size()));
  EXPECT_EQ("source", bytes);
}

TEST_F(Win32Files, StreamsAndRenamesWorkAsDeclared) {
  Put("a.tmp", "new contents");
  Put("a.wdf", "old");
  {
    auto s = fs_.OpenExclusive(Path("a.tmp"));
    ASSERT_NE(nullptr, s);
    ASSERT_TRUE(s->Seek(4));
    EXPECT_EQ(4u, s->Position());
    ASSERT_TRUE(s->Write("C", 1));
    EXPECT_TRUE(s->Flush());
    uint64_t size = 0;
    ASSERT_TRUE(s->Size(&size));
    EXPECT_EQ(12u, size);
    EXPECT_EQ(5u, s->Position());
    EXPECT_FALSE(fs_.RenameReplacing(Path("a.tmp"), Path("a.wdf")));
  }
  EXPECT_TRUE(fs_.RenameReplacing(Path("a.tmp"), Path("a.wdf")));
  EXPECT_FALSE(fs_.FileIsPresent(Path("a.tmp")));
  auto s = fs_.OpenShared(Path("a.wdf"));
  ASSERT_NE(nullptr, s);
  std::string bytes(20, '\0');
  bytes.resize(s->Read(&bytes[0], bytes.size()));
  EXPECT_EQ("new Contents", bytes);
  EXPECT_FALSE(s->Write("x", 1)) << "a read-only stream must refuse writes";
  EXPECT_EQ(nullptr, fs_.CreateNewExclusive(Path("a.wdf")));
  EXPECT_EQ(TextOf(ERROR_FILE_EXISTS), LastSystemErrorText());
  EXPECT_EQ(nullptr, fs_.OpenShared(Path("none.wdf")));
  EXPECT_EQ(TextOf(SystemErrorNotFound()), LastSystemErrorText());
}

// Other archives' indexes are kept while their version stays: it must move with every write and
// with a file put in the old one's place, and stay for a file left alone.
TEST_F(Win32Files, VersionMovesWhenTheFileChanges) {
  Put("a.wdf", "first contents");
  Put("b.wdf", "other contents");
  FileVersion before, again, written, replaced;
  {
    auto s = fs_.OpenShared(Path("a.wdf"));
    ASSERT_TRUE(s && s->Version(&before)) << LastSystemErrorText();
    ASSERT_TRUE(s->Version(&again));
  }
  EXPECT_TRUE(before == again);
  Sleep(20);
  {
    auto w = fs_.OpenExclusive(Path("a.wdf"));
    ASSERT_TRUE(w && w->Write("FIRST", 5));
  }
  auto s = fs_.OpenShared(Path("a.wdf"));
  ASSERT_TRUE(s && s->Version(&written));
  EXPECT_TRUE(written != before) << "a write of the same size went unseen";
  s.reset();
  Sleep(20);
  ASSERT_TRUE(fs_.RenameReplacing(Path("b.wdf"), Path("a.wdf")));
  s = fs_.OpenShared(Path("a.wdf"));
  ASSERT_TRUE(s && s->Version(&replaced));
  EXPECT_TRUE(replaced != written) << "a file renamed into its place went unseen";
}

// The terminal tools refuse a target that is the source by the files' identities: names of one
// file must agree, names of two files of equal contents must not.
TEST_F(Win32Files, IdentityTellsOneFileFromTwo) {
  Put("a.wdf", "same contents");
  Put("b.wdf", "same contents");
  MakeDir("sub");
  const auto identity = [this](const std::string& name) {
    FileVersion id;
    auto s = fs_.OpenShared(Path(name));
    EXPECT_TRUE(s && s->Identity(&id)) << name << ": " << LastSystemErrorText();
    return id;
  };
  const FileVersion a = identity("a.wdf");
  EXPECT_TRUE(a == identity("A.WDF")) << "another letter case";
  EXPECT_TRUE(a == identity("sub\\..\\a.wdf")) << "a step down and up";
  EXPECT_TRUE(a != identity("b.wdf")) << "an unrelated file of the same contents";
}

TEST_F(Win32Files, CurrentDirectoryFollowsChanges) {
  std::string before = CurrentDirectory();
  ASSERT_FALSE(before.empty());
  ASSERT_TRUE(ChangeCurrentDirectory(dir_));
  EXPECT_TRUE(fs_.FileIsPresent(ProgramFilePath()));
  std::string now = CurrentDirectory();
  ASSERT_TRUE(ChangeCurrentDirectory(before));
  EXPECT_NE('\\', now.back()) << now;
  EXPECT_TRUE(fs_.DirectoryExists(now));
}

TEST(Win32SystemError, UnknownCodesHaveNoText) {
  EXPECT_EQ("", TextOf(0x2FFFFFFF));
  EXPECT_EQ(0x2FFFFFFFu, GetLastError()) << "reading the text keeps the last error";
  EXPECT_NE(std::string::npos, RawCommandLine().find(".exe"));
}

}  // namespace
}  // namespace velmora
