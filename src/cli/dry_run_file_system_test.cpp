#include "cli/dry_run_file_system.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

class DryRunFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    real.PutFile("C:\\w\\src.wdf", "source");
    real.PutFile("C:\\w\\old.wdf", "old");
  }
  // Nothing of the real files changed, whatever the dry run did.
  void ExpectRealUnchanged() {
    EXPECT_EQ(real.FilePaths(), (std::vector<std::string>{"C:\\w\\old.wdf", "C:\\w\\src.wdf"}));
    EXPECT_EQ(real.FileBytes("C:\\w\\old.wdf"), "old");
    EXPECT_TRUE(real.CreatedDirectories().empty());
  }

  MemoryFileSystem real;
  DryRunFileSystem dry{real};
};

TEST_F(DryRunFileSystemTest, CreatedFilesCountTheirBytesAndAreHeldWhileOpen) {
  std::unique_ptr<Stream> sink = dry.CreateExclusive("C:\\w\\new.wdf");
  ASSERT_NE(sink, nullptr);
  EXPECT_TRUE(sink->Write("0123456789", 10));
  EXPECT_TRUE(sink->Seek(4));
  EXPECT_TRUE(sink->Write("ab", 2));
  EXPECT_TRUE(dry.FileIsPresent("C:\\w\\new.wdf"));
  EXPECT_EQ(dry.OpenShared("C:\\w\\new.wdf"), nullptr) << "held without sharing";
  const std::string reason = LastSystemErrorText();
  SetLastSystemError(SystemErrorSharingViolation());
  EXPECT_EQ(reason, LastSystemErrorText()) << "the system's sharing text, as in the run";
  EXPECT_EQ(dry.CreateNewExclusive("C:\\w\\new.wdf"), nullptr);
  sink.reset();
  EXPECT_EQ(dry.CreatedSize("C:\\w\\new.wdf"), 10u);
  EXPECT_EQ(dry.CreateExclusive("C:\\nowhere\\new.wdf"), nullptr) << "its directory must exist";
  ExpectRealUnchanged();
}

TEST_F(DryRunFileSystemTest, DirectoriesRemovalsAndRenamesAreOnlyRemembered) {
  EXPECT_FALSE(dry.MakeDirectory("C:\\w\\a\\b")) << "the parent is missing";
  EXPECT_TRUE(dry.MakeDirectory("C:\\w\\a"));
  EXPECT_TRUE(dry.MakeDirectory("C:\\w\\a\\b"));
  EXPECT_TRUE(dry.DirectoryExists("C:\\w\\a\\b\\"));
  EXPECT_FALSE(dry.MakeDirectory("C:\\w\\src.wdf")) << "a file has the name";
  EXPECT_EQ(dry.MadeDirectories(), (std::vector<std::string>{"C:\\w\\a", "C:\\w\\a\\b"}));

  std::unique_ptr<Stream> temporary = dry.CreateNewExclusive("C:\\w\\a\\b\\old.tmp");
  ASSERT_NE(temporary, nullptr);
  temporary->Write("new!", 4);
  EXPECT_FALSE(dry.RenameReplacing("C:\\w\\a\\b\\old.tmp", "C:\\w\\old.wdf")) << "still open";
  temporary.reset();
  EXPECT_TRUE(dry.RenameReplacing("C:\\w\\a\\b\\old.tmp", "C:\\w\\old.wdf"));
  EXPECT_FALSE(dry.FileIsPresent("C:\\w\\a\\b\\old.tmp"));
  EXPECT_EQ(dry.CreatedSize("C:\\w\\old.wdf"), 4u);

  EXPECT_TRUE(dry.RemoveFile("C:\\w\\src.wdf"));
  EXPECT_FALSE(dry.FileIsPresent("C:\\w\\src.wdf"));
  EXPECT_EQ(dry.OpenShared("C:\\w\\src.wdf"), nullptr);
  EXPECT_FALSE(dry.RemoveFile("C:\\w\\src.wdf"));
  ExpectRealUnchanged();
}

TEST_F(DryRunFileSystemTest, ExistingFilesOpenAsTheRunOpensThemButAreNeverWritten) {
  std::unique_ptr<Stream> old = dry.OpenExclusive("C:\\w\\old.wdf");
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(real.OpenShared("C:\\w\\old.wdf"), nullptr) << "held without sharing for real";
  EXPECT_FALSE(old->Write("x", 1));
  char bytes[3];
  EXPECT_EQ(old->Read(bytes, 3), 3u);
  old.reset();
  EXPECT_EQ(dry.CreateNewExclusive("C:\\w\\old.wdf"), nullptr);
  std::unique_ptr<Stream> replaced = dry.CreateExclusive("C:\\w\\old.wdf");
  ASSERT_NE(replaced, nullptr);
  replaced->Write("longer", 6);
  replaced.reset();
  real.FailOpensOf("C:\\w\\src.wdf", SystemErrorAccessDenied());
  EXPECT_EQ(dry.CreateExclusive("C:\\w\\src.wdf"), nullptr) << "truncating it would fail too";
  ExpectRealUnchanged();
}

}  // namespace
}  // namespace velmora
