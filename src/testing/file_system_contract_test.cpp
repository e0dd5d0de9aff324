// The contract of the file-system seam, held against the memory file system that tests use and
// against this platform's own, with the same cases: a difference between the double and the
// real thing fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sys/file_system.h"
#include "sys/system_error.h"
#include "testing/memory_file_system.h"
#include "testing/scratch_directory.h"

namespace velmora {
namespace {

// Paths are written with backslashes, as scripts name them; every file system takes that form.
class MemoryFiles {
 public:
  static constexpr bool kLetterCaseTellsNamesApart = true;
  MemoryFiles() { files_.PutDirectory("D:\\w"); }
  FileSystem& Files() { return files_; }
  std::string Path(const std::string& name) const { return "D:\\w\\" + name; }
  void Put(const std::string& name, const std::string& bytes) { files_.PutFile(Path(name), bytes); }
  std::string Get(const std::string& name) const { return files_.FileBytes(Path(name)); }
  // What another program does to a file held open here: nothing, in memory.
  bool ReplaceBehindTheSeam(const std::string&, const std::string&) { return false; }
  bool RemoveBehindTheSeam(const std::string&) { return false; }

 private:
  MemoryFileSystem files_;
};

class SystemFiles {
 public:
#if defined(_WIN32)
  static constexpr bool kLetterCaseTellsNamesApart = false;
#else
  static constexpr bool kLetterCaseTellsNamesApart = true;
#endif
  FileSystem& Files() { return SystemFileSystem(); }
  std::string Path(const std::string& name) const { return scratch_.path() + "\\" + name; }
  void Put(const std::string& name, const std::string& bytes) { scratch_.Put(Native(name), bytes); }
  std::string Get(const std::string& name) const { return scratch_.Get(Native(name)); }
  // Another program renames a new file over `name`, or removes it; false where the system
  // refuses that while the file is held open.
  bool ReplaceBehindTheSeam(const std::string& name, const std::string& bytes) {
    scratch_.Put("replacement", bytes);
    std::error_code failure;
    std::filesystem::rename(scratch_.Path("replacement"), scratch_.Path(Native(name)), failure);
    return !failure;
  }
  bool RemoveBehindTheSeam(const std::string& name) {
    std::error_code failure;
    return std::filesystem::remove(scratch_.Path(Native(name)), failure) && !failure;
  }

 private:
  // The name with the platform's own separator, for the checks made beside the seam.
  static std::string Native(std::string name) {
    for (char& c : name) {
      if (c == '\\') c = static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return name;
  }

  ScratchDirectory scratch_{"contract"};
};

template <typename World>
class FileSystemContract : public ::testing::Test {
 protected:
  FileSystem& fs() { return world_.Files(); }
  std::string Path(const std::string& name) const { return world_.Path(name); }
  void Put(const std::string& name, const std::string& bytes) { world_.Put(name, bytes); }
  std::string Get(const std::string& name) const { return world_.Get(name); }
  bool ReplaceBehindTheSeam(const std::string& name, const std::string& bytes) {
    return world_.ReplaceBehindTheSeam(name, bytes);
  }
  bool RemoveBehindTheSeam(const std::string& name) { return world_.RemoveBehindTheSeam(name); }

  // The last error is the system's code for `expected` (compared by their texts, which is what
  // a person sees).
  static void ExpectLastError(unsigned long expected, const char* what) {
    const std::string got = LastSystemErrorText();
    SetLastSystemError(expected);
    EXPECT_EQ(LastSystemErrorText(), got) << what;
  }

 private:
  World world_;
};

using Worlds = ::testing::Types<MemoryFiles, SystemFiles>;
struct WorldNames {
  template <typename World>
  static std::string GetName(int) {
    return std::is_same<World, MemoryFiles>() ? "Memory" : "System";
  }
};
TYPED_TEST_SUITE(FileSystemContract, Worlds, WorldNames);

using Opener = std::unique_ptr<Stream> (FileSystem::*)(const std::string&);
const struct {
  const char* Name;
  Opener Open;
} kOpens[] = {
    {"OpenShared", &FileSystem::OpenShared},
    {"OpenDenyWrite", &FileSystem::OpenDenyWrite},
    {"OpenExclusive", &FileSystem::OpenExclusive},
    {"CreateExclusive", &FileSystem::CreateExclusive},
};

TYPED_TEST(FileSystemContract, CreationAndItsRefusals) {
  FileSystem& fs = this->fs();
  this->Put("a.wdf", "keep");
  ASSERT_TRUE(fs.MakeDirectory(this->Path("dir")));

  EXPECT_EQ(nullptr, fs.OpenShared(this->Path("none.wdf")));
  this->ExpectLastError(SystemErrorNotFound(), "a missing file");
  EXPECT_EQ(nullptr, fs.CreateNewExclusive(this->Path("a.wdf")));
  this->ExpectLastError(SystemErrorAlreadyExists(), "a new file over an existing one");
  EXPECT_EQ("keep", this->Get("a.wdf"));
  EXPECT_EQ(nullptr, fs.CreateExclusive(this->Path("missing\\a.wdf")));
  this->ExpectLastError(SystemErrorPathNotFound(), "a file in a missing folder");
  EXPECT_EQ(nullptr, fs.OpenShared(this->Path("dir")));
  this->ExpectLastError(SystemErrorAccessDenied(), "a folder opened as a file");

  {
    auto created = fs.CreateNewExclusive(this->Path("dir\\new.wdf"));
    ASSERT_NE(nullptr, created);
    EXPECT_TRUE(created->Write("new bytes", 9));
    EXPECT_TRUE(created->Flush());
  }
  EXPECT_EQ("new bytes", this->Get("dir\\new.wdf"));
  auto truncated = fs.CreateExclusive(this->Path("a.wdf"));
  ASSERT_NE(nullptr, truncated);
  uint64_t size = 99;
  ASSERT_TRUE(truncated->Size(&size));
  EXPECT_EQ(0u, size) << "CreateExclusive truncates";
}

// A read at an offset gives the bytes there, fewer at the end of the file, and the end is no
// failure: the reason of an earlier one stays.
TYPED_TEST(FileSystemContract, ReadsAtAnOffsetGiveTheBytesThereAndFewerAtTheEnd) {
  this->Put("r.wdf", "0123456789");
  auto file = this->fs().OpenShared(this->Path("r.wdf"));
  ASSERT_NE(nullptr, file);
  char bytes[8] = {};
  EXPECT_EQ(4u, file->ReadAt(3, bytes, 4));
  EXPECT_EQ("3456", std::string(bytes, 4));
  EXPECT_EQ(2u, file->ReadAt(8, bytes, 8));
  EXPECT_EQ("89", std::string(bytes, 2));
  SetLastSystemError(SystemErrorAccessDenied());
  EXPECT_EQ(0u, file->ReadAt(10, bytes, 8));
  EXPECT_EQ(0u, file->ReadAt(1000, bytes, 8));
  this->ExpectLastError(SystemErrorAccessDenied(), "a read at the end of the file");
  ASSERT_TRUE(file->Seek(1));
  EXPECT_EQ(2u, file->Read(bytes, 2));
  EXPECT_EQ("12", std::string(bytes, 2));
}

// Flushes started ahead while the writing goes on (more than a small file's worth, which may be
// left to the last flush), one still under way at the last write: the final flush waits for
// them and the file holds every byte, in place.
TYPED_TEST(FileSystemContract, FlushesStartedAheadLeaveEveryByteInPlace) {
  FileSystem& fs = this->fs();
  std::string expected;
  {
    auto file = fs.CreateNewExclusive(this->Path("flushed.wdf"));
    ASSERT_NE(nullptr, file);
    for (int k = 0; k < 64; ++k) {
      const std::string piece(262144 + k, static_cast<char>('a' + k % 26));
      ASSERT_TRUE(file->Write(piece.data(), piece.size()));
      expected += piece;
      if (k % 8 == 0) file->FlushAhead();
    }
    ASSERT_TRUE(file->Seek(3));
    ASSERT_TRUE(file->Write("HEAD", 4));
    expected.replace(3, 4, "HEAD");
    file->FlushAhead();
    EXPECT_TRUE(file->Flush());
  }
  EXPECT_TRUE(this->Get("flushed.wdf") == expected);
}

TYPED_TEST(FileSystemContract, SecondOpensFollowTheSharingRules) {
  // Rows: the open already made; columns: the second open of the same file. Readers share a
  // file when neither denies reading; nobody joins a writer or an open that denies writing.
  const bool allowed[4][4] = {
      {true, true, false, false},    // OpenShared
      {true, true, false, false},    // OpenDenyWrite
      {false, false, false, false},  // OpenExclusive
      {false, false, false, false},  // CreateExclusive
  };
  FileSystem& fs = this->fs();
  for (int first = 0; first < 4; ++first) {
    for (int second = 0; second < 4; ++second) {
      this->Put("a.wdf", "abc");
      {
        auto held = (fs.*kOpens[first].Open)(this->Path("a.wdf"));
        ASSERT_NE(nullptr, held) << kOpens[first].Name;
        auto other = (fs.*kOpens[second].Open)(this->Path("a.wdf"));
        const std::string pair = std::string(kOpens[first].Name) + " then " + kOpens[second].Name;
        EXPECT_EQ(allowed[first][second], other != nullptr) << pair;
        if (!other) this->ExpectLastError(SystemErrorSharingViolation(), pair.c_str());
      }
      const bool truncated = first == 3 || (allowed[first][second] && second == 3);
      EXPECT_EQ(truncated ? "" : "abc", this->Get("a.wdf"))
          << "a refused " << kOpens[second].Name << " must not truncate";
    }
  }
  EXPECT_NE(nullptr, fs.OpenExclusive(this->Path("a.wdf"))) << "closing releases the file";
}

TYPED_TEST(FileSystemContract, RenameAndRemovalRefuseHeldFiles) {
  FileSystem& fs = this->fs();
  this->Put("t.tmp", "new");
  this->Put("t.wdf", "old");
  for (const char* held : {"t.tmp", "t.wdf"}) {
    auto open = fs.OpenShared(this->Path(held));
    ASSERT_NE(nullptr, open);
    // A held file is not moved (sharing violation), nor replaced (access denied).
    EXPECT_FALSE(fs.RenameReplacing(this->Path("t.tmp"), this->Path("t.wdf"))) << held;
    this->ExpectLastError(
        held == std::string("t.tmp") ? SystemErrorSharingViolation() : SystemErrorAccessDenied(),
        held);
    EXPECT_FALSE(fs.RemoveFile(this->Path(held))) << held;
    this->ExpectLastError(SystemErrorSharingViolation(), held);
  }
  EXPECT_EQ("old", this->Get("t.wdf"));
  EXPECT_TRUE(fs.RenameReplacing(this->Path("t.tmp"), this->Path("t.wdf")));
  EXPECT_EQ("new", this->Get("t.wdf"));
  EXPECT_FALSE(fs.FileIsPresent(this->Path("t.tmp")));
  EXPECT_FALSE(fs.RemoveFile(this->Path("t.tmp")));
  this->ExpectLastError(SystemErrorNotFound(), "removing a missing file");
  EXPECT_TRUE(fs.RemoveFile(this->Path("t.wdf")));
  EXPECT_FALSE(fs.FileIsPresent(this->Path("t.wdf")));
}

TYPED_TEST(FileSystemContract, FoldersParentsAndListing) {
  FileSystem& fs = this->fs();
  this->Put("d\\b.bin", "");
  this->Put("d\\a.txt", "");
  this->Put("d\\sub\\deep.bin", "");
  this->Put("dx\\other.bin", "");
  EXPECT_FALSE(fs.MakeDirectory(this->Path("x\\y")));
  this->ExpectLastError(SystemErrorPathNotFound(), "a folder whose parent is missing");
  EXPECT_FALSE(fs.MakeDirectory(this->Path("d\\a.txt")));
  this->ExpectLastError(SystemErrorAlreadyExists(), "a folder over a file");
  EXPECT_TRUE(fs.MakeDirectory(this->Path("x")));
  EXPECT_TRUE(fs.DirectoryExists(this->Path("x")));
  EXPECT_TRUE(fs.DirectoryExists(this->Path("d\\")));
  EXPECT_FALSE(fs.DirectoryExists(this->Path("d\\a.txt")));
  EXPECT_TRUE(fs.FileIsPresent(this->Path("d\\a.txt")));
  EXPECT_FALSE(fs.FileIsPresent(this->Path("d\\sub"))) << "a folder is no file";
  EXPECT_FALSE(fs.FileIsPresent(this->Path("d\\none")));

  std::vector<std::string> names = {"stale"};
  ASSERT_TRUE(fs.ListFiles(this->Path("d\\"), &names));
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.bin"})) << "files only, sorted";
  EXPECT_FALSE(fs.ListFiles(this->Path("none"), &names));
}

// OpenSharedIfPresent answers as the question and the open it stands for, asked in turn: the
// same presence, the same stream, and for a file that is there but will not open, the open's
// own reason.
TYPED_TEST(FileSystemContract, OpeningIfPresentAnswersAsAskingThenOpening) {
  FileSystem& fs = this->fs();
  this->Put("a.wdf", "abc");
  this->Put("held.wdf", "held");
  this->Put("Other Case.bin", "case");
  ASSERT_TRUE(fs.MakeDirectory(this->Path("dir")));
  auto holder = fs.OpenExclusive(this->Path("held.wdf"));
  ASSERT_NE(nullptr, holder);
  std::vector<std::string> names = {"a.wdf",          "none.wdf",       "dir",   "held.wdf",
                                    "other case.BIN", "missing\\a.wdf", "a?.wdf"};
#if defined(_WIN32)
  names.push_back("NUL");
#endif
  for (const std::string& name : names) {
    const std::string path = this->Path(name);
    const bool asked = fs.FileIsPresentForReading(path);
    std::unique_ptr<Stream> opened = asked ? fs.OpenShared(path) : nullptr;
    const std::string reason = opened || !asked ? std::string() : LastSystemErrorText();

    SetLastSystemError(SystemErrorDiskFull());  // no earlier failure may show through
    bool present = !asked;
    std::unique_ptr<Stream> got = fs.OpenSharedIfPresent(path, &present);
    EXPECT_EQ(asked, present) << name;
    EXPECT_EQ(opened != nullptr, got != nullptr) << name;
    if (asked && !got) {
      EXPECT_EQ(reason, LastSystemErrorText()) << name;
    }
    if (opened && got) {
      uint64_t size = 0, expected = 1;
      EXPECT_TRUE(got->Size(&size) && opened->Size(&expected) && size == expected) << name;
    }
  }
}

// A file held open is read in place of opening its name again only while the name leads to it:
// whenever the answer is yes, the held stream reads what a new open would.
TYPED_TEST(FileSystemContract, AHeldFileStandsForItsNameOnlyWhileTheNameLeadsToIt) {
  FileSystem& fs = this->fs();
  this->Put("a.wdf", "first");
  auto held = fs.OpenShared(this->Path("a.wdf"));
  ASSERT_NE(nullptr, held);
  const auto reads_as_a_new_open = [&](const char* when) {
    if (!fs.HeldFileStillAt(this->Path("a.wdf"), *held)) return;
    auto fresh = fs.OpenShared(this->Path("a.wdf"));
    ASSERT_NE(nullptr, fresh) << when;
    char from_held[16] = {}, from_fresh[16] = {};
    ASSERT_TRUE(held->Seek(0) && fresh->Seek(0)) << when;
    EXPECT_EQ(std::string(from_fresh, fresh->Read(from_fresh, sizeof from_fresh)),
              std::string(from_held, held->Read(from_held, sizeof from_held)))
        << when;
  };
  reads_as_a_new_open("untouched");
  if (this->ReplaceBehindTheSeam("a.wdf", "second")) {
    EXPECT_FALSE(fs.HeldFileStillAt(this->Path("a.wdf"), *held)) << "replaced";
  }
  reads_as_a_new_open("after a replacement");
  if (this->RemoveBehindTheSeam("a.wdf")) {
    EXPECT_FALSE(fs.HeldFileStillAt(this->Path("a.wdf"), *held)) << "removed";
  }
}

// Every call that creates, writes, renames or removes, and the questions asked before one,
// takes a name exactly as written: where letter case tells names apart, a neighbour whose name
// differs only in letter case is another file, and no call finds, changes or replaces it.
TYPED_TEST(FileSystemContract, ANeighbourInAnotherLetterCaseIsNeverTaken) {
  if (!TypeParam::kLetterCaseTellsNamesApart) GTEST_SKIP() << "letter case names one file here";
  FileSystem& fs = this->fs();
  const std::string kNeighbour = "the neighbour";
  this->Put("A.WDF", kNeighbour);
  this->Put("T.TMP", kNeighbour);
  this->Put("DIR\\inside.bin", kNeighbour);
  const auto untouched = [&](const char* what) {
    EXPECT_EQ(kNeighbour, this->Get("A.WDF")) << what;
    EXPECT_EQ(kNeighbour, this->Get("T.TMP")) << what;
    EXPECT_EQ(kNeighbour, this->Get("DIR\\inside.bin")) << what;
  };

  EXPECT_FALSE(fs.FileIsPresent(this->Path("a.wdf")));
  EXPECT_FALSE(fs.DirectoryExists(this->Path("dir")));
  std::vector<std::string> names;
  EXPECT_FALSE(fs.ListFiles(this->Path("dir"), &names));
  EXPECT_EQ(nullptr, fs.OpenExclusive(this->Path("a.wdf")));
  this->ExpectLastError(SystemErrorNotFound(), "OpenExclusive");
  EXPECT_FALSE(fs.RemoveFile(this->Path("a.wdf")));
  this->ExpectLastError(SystemErrorNotFound(), "RemoveFile");
  EXPECT_FALSE(fs.RenameReplacing(this->Path("t.tmp"), this->Path("moved.wdf")));
  this->ExpectLastError(SystemErrorNotFound(), "RenameReplacing from");
  untouched("after the refusals");

  for (Opener create : {&FileSystem::CreateNewExclusive, &FileSystem::CreateExclusive}) {
    {
      auto created = (fs.*create)(this->Path("a.wdf"));
      ASSERT_NE(nullptr, created);
      EXPECT_TRUE(created->Write("new", 3));
    }
    EXPECT_EQ("new", this->Get("a.wdf"));
    untouched("after a creation");
    EXPECT_TRUE(fs.RemoveFile(this->Path("a.wdf")));
    untouched("after a removal");
  }

  this->Put("x.tmp", "renamed");
  EXPECT_TRUE(fs.RenameReplacing(this->Path("x.tmp"), this->Path("a.wdf")));
  EXPECT_EQ("renamed", this->Get("a.wdf"));
  untouched("after a rename onto the name");

  EXPECT_TRUE(fs.MakeDirectory(this->Path("dir")));
  EXPECT_TRUE(fs.DirectoryExists(this->Path("dir")));
  ASSERT_TRUE(fs.ListFiles(this->Path("dir"), &names));
  EXPECT_TRUE(names.empty()) << "a folder of its own";
  untouched("after a new folder");
}

}  // namespace
}  // namespace velmora
