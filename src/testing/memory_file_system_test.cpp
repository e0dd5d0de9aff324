#include "testing/gbk_lead_bytes.h"
#include "testing/memory_file_system.h"

#include <gtest/gtest.h>

#include <functional>

#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

std::string TextOf(unsigned long code) {
  SetLastSystemError(code);
  return LastSystemErrorText();
}

// The last error must be exactly the one named, and carry a real system text.
void ExpectLastError(unsigned long code) {
  std::string got = LastSystemErrorText();
  EXPECT_EQ(TextOf(code), got);
  EXPECT_FALSE(got.empty());
}

std::string ReadAll(Stream& stream, size_t n) {
  std::string bytes(n, '\0');
  bytes.resize(stream.Read(&bytes[0], n));
  return bytes;
}

TEST(MemoryFileSystemSharing, ClosingReleasesTheFileAndOtherPathsAreIndependent) {
  MemoryFileSystem fs;
  fs.PutFile("a", "1");
  fs.PutFile("b", "2");
  auto a = fs.OpenExclusive("a");
  ASSERT_NE(nullptr, a);
  EXPECT_NE(nullptr, fs.OpenExclusive("b"));
  EXPECT_EQ(nullptr, fs.OpenShared("a"));
  EXPECT_EQ(1, fs.OpenStreamCount());
  a.reset();
  EXPECT_EQ(0, fs.OpenStreamCount());
  EXPECT_NE(nullptr, fs.OpenShared("a"));
}

TEST(MemoryFileSystemOpen, MissingAndExistingFilesFailWithTheSystemsReason) {
  MemoryFileSystem fs;
  fs.PutFile("D:\\proj\\ui.wdf", "PFDW");
  fs.PutDirectory("D:\\proj\\build");

  EXPECT_EQ(nullptr, fs.OpenShared("D:\\proj\\none.wdf"));
  ExpectLastError(SystemErrorNotFound());
  EXPECT_EQ(nullptr, fs.OpenExclusive("D:\\proj\\UI.wdf")) << "paths compare exactly";
  ExpectLastError(SystemErrorNotFound());
  EXPECT_EQ(nullptr, fs.CreateNewExclusive("D:\\proj\\ui.wdf"));
  ExpectLastError(SystemErrorAlreadyExists());
  EXPECT_EQ("PFDW", fs.FileBytes("D:\\proj\\ui.wdf"));
  EXPECT_EQ(nullptr, fs.CreateExclusive("D:\\proj\\missing\\ui.wdf"));
  ExpectLastError(SystemErrorPathNotFound());
  EXPECT_EQ(nullptr, fs.CreateExclusive("D:\\proj\\build")) << "a directory is no file";
  ExpectLastError(SystemErrorAccessDenied());

  fs.FailOpensOf("D:\\proj\\ui.wdf", SystemErrorAccessDenied());
  EXPECT_EQ(nullptr, fs.OpenShared("D:\\proj\\ui.wdf"));
  ExpectLastError(SystemErrorAccessDenied());

  auto created = fs.CreateNewExclusive("D:\\proj\\build\\ui.wdf");
  ASSERT_NE(nullptr, created);
  EXPECT_TRUE(fs.HasFile("D:\\proj\\build\\ui.wdf"));
}

TEST(MemoryFileSystemOpen, CreateExclusiveTruncatesAndReadOnlyStreamsRefuseWrites) {
  MemoryFileSystem fs;
  fs.PutFile("t.wdf", "old contents");
  {
    auto reader = fs.OpenShared("t.wdf");
    ASSERT_NE(nullptr, reader);
    EXPECT_FALSE(reader->Write("x", 1));
    ExpectLastError(SystemErrorAccessDenied());
  }
  auto target = fs.CreateExclusive("t.wdf");
  ASSERT_NE(nullptr, target);
  uint64_t size = 99;
  ASSERT_TRUE(target->Size(&size));
  EXPECT_EQ(0u, size);
  EXPECT_TRUE(target->Write("new", 3));
  ASSERT_TRUE(target->Seek(1));
  EXPECT_EQ("ew", ReadAll(*target, 10));
  EXPECT_EQ("new", fs.FileBytes("t.wdf"));
}

TEST(MemoryFileSystemStreams, SeekBeyondTheEndThenWriteFillsTheGapWithZeros) {
  MemoryFileSystem fs;
  auto s = fs.CreateExclusive("f");
  ASSERT_NE(nullptr, s);
  ASSERT_TRUE(s->Seek(4));
  EXPECT_EQ(0u, s->Read(nullptr, 0));
  EXPECT_TRUE(s->Write("ab", 2));
  EXPECT_EQ(6u, s->Position());
  EXPECT_EQ(std::string("\0\0\0\0ab", 6), fs.FileBytes("f"));
  ASSERT_TRUE(s->Seek(5));
  EXPECT_EQ("b", ReadAll(*s, 8)) << "a read stops at the end of the file";
}

TEST(MemoryFileSystemStreams, StreamsSurviveChangesToTheRecordsAndTheFileSystem) {
  std::unique_ptr<Stream> stream;
  {
    MemoryFileSystem fs;
    fs.PutFile("a", "first");
    stream = fs.OpenShared("a");
    ASSERT_NE(nullptr, stream);
    fs.PutFile("a", "second");  // an open file whose contents change
    EXPECT_EQ("second", ReadAll(*stream, 100));
  }
  uint64_t size = 0;
  ASSERT_TRUE(stream->Size(&size));
  EXPECT_EQ(6u, size);
  stream.reset();  // closing after the file system has gone must be safe
}

TEST(MemoryFileSystemFaults, WriteLimitWritesUpToTheLimitThenReportsDiskFull) {
  MemoryFileSystem fs;
  fs.LimitWrittenBytes(5);
  auto a = fs.CreateExclusive("a");
  auto b = fs.CreateExclusive("b");
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->Write("123", 3));
  EXPECT_FALSE(b->Write("4567", 4)) << "the limit counts over all files";
  ExpectLastError(SystemErrorDiskFull());
  EXPECT_EQ("45", fs.FileBytes("b"));
  EXPECT_FALSE(a->Write("8", 1));
  EXPECT_EQ("123", fs.FileBytes("a"));
  EXPECT_TRUE(a->Write("", 0));
}

TEST(MemoryFileSystemFaults, ReadsStopAtTheFailingOffsetWithAnInputOutputError) {
  MemoryFileSystem fs;
  fs.PutFile("src.wdf", "0123456789");
  fs.FailReadsOfFrom("src.wdf", 4);
  auto s = fs.OpenShared("src.wdf");
  ASSERT_NE(nullptr, s);
  EXPECT_EQ("01", ReadAll(*s, 2)) << "bytes before the fault read normally";
  SetLastSystemError(0);
  EXPECT_EQ("23", ReadAll(*s, 5));
  ExpectLastError(SystemErrorReadFault());
  ASSERT_TRUE(s->Seek(8));
  EXPECT_EQ("", ReadAll(*s, 1));
  uint64_t size = 0;
  ASSERT_TRUE(s->Size(&size));
  EXPECT_EQ(10u, size) << "the file still looks whole";
}

TEST(MemoryFileSystemFaults, ApparentSizeBeyondFourGibibytesReadsAsZeros) {
  MemoryFileSystem fs;
  fs.PutFile("big.wdf", "PFDW");
  const uint64_t five_gib = uint64_t{5} << 30;
  fs.SetApparentSize("big.wdf", five_gib);
  auto s = fs.OpenShared("big.wdf");
  ASSERT_NE(nullptr, s);
  uint64_t size = 0;
  ASSERT_TRUE(s->Size(&size));
  EXPECT_EQ(five_gib, size);
  EXPECT_EQ(std::string("DW\0\0", 4), (s->Seek(2), ReadAll(*s, 4)));
  ASSERT_TRUE(s->Seek(five_gib - 3));
  EXPECT_EQ(five_gib - 3, s->Position());
  EXPECT_EQ(std::string(3, '\0'), ReadAll(*s, 16));
  EXPECT_EQ(five_gib, s->Position());
}

TEST(MemoryFileSystemDirectories, PutFileCreatesParentsAndTrailingSeparatorsAreIgnored) {
  MemoryFileSystem fs;
  fs.PutFile("D:\\proj\\data\\ui.wdf", "x");
  EXPECT_TRUE(fs.HasDirectory("D:\\proj"));
  EXPECT_TRUE(fs.DirectoryExists("D:\\proj\\data\\"));
  EXPECT_TRUE(fs.DirectoryExists("D:\\"));
  EXPECT_FALSE(fs.DirectoryExists("D:\\proj\\data\\ui.wdf"));
  EXPECT_FALSE(fs.DirectoryExists("D:\\Proj"));
  EXPECT_EQ(std::vector<std::string>{"D:\\proj\\data\\ui.wdf"}, fs.FilePaths());
}

TEST(MemoryFileSystemDirectories, MakeDirectoryNeedsTheParentAndAFreeName) {
  MemoryFileSystem fs;
  fs.PutFile("D:\\proj\\out", "a file");
  EXPECT_FALSE(fs.MakeDirectory("D:\\proj\\a\\b"));
  ExpectLastError(SystemErrorPathNotFound());
  EXPECT_FALSE(fs.MakeDirectory("D:\\proj\\out"));
  EXPECT_FALSE(fs.MakeDirectory("D:\\proj"));
  EXPECT_TRUE(fs.MakeDirectory("D:\\proj\\a"));
  EXPECT_TRUE(fs.MakeDirectory("D:\\proj\\a\\b\\"));
  fs.FailMakeDirectory("D:\\proj\\c");
  EXPECT_FALSE(fs.MakeDirectory("D:\\proj\\c"));
  ExpectLastError(SystemErrorAccessDenied());
  EXPECT_EQ((std::vector<std::string>{"D:\\proj\\a", "D:\\proj\\a\\b"}), fs.CreatedDirectories());
}

TEST(MemoryFileSystemDirectories, FileIsPresentSearchesTheDirectory) {
  MemoryFileSystem fs;
  fs.PutFile("D:\\p\\b.wdf", "");
  fs.PutDirectory("D:\\p\\a.Dir");
  EXPECT_TRUE(fs.FileIsPresent("D:\\p\\b.wdf"));
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\a.Dir"));
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\c.wdf"));
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\"));
  EXPECT_TRUE(fs.FileIsPresent("D:\\p\\b.*"));
  EXPECT_TRUE(fs.FileIsPresent("D:\\p\\?.wdf"));
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\*")) << "the first entry found is a directory";
  EXPECT_FALSE(fs.FileIsPresent("D:\\q\\*"));
  EXPECT_TRUE(fs.FileIsPresent("D:\\p\\*b*.*w*d*f*"));
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\*b*.*w*d*f?"));
  // Every star tried at every split would take longer than the universe has.
  EXPECT_FALSE(fs.FileIsPresent("D:\\p\\" + std::string(200, '*') + "x"));
}

TEST(MemoryFileSystemFaults, FailedRenamesKeepBothNames) {
  MemoryFileSystem fs;
  fs.PutFile("D:\\t.wdf", "old");
  fs.FailRenames();
  EXPECT_FALSE(fs.RenameReplacing("D:\\t.wdf", "D:\\u.wdf"));
  ExpectLastError(SystemErrorAccessDenied());
  EXPECT_EQ("old", fs.FileBytes("D:\\t.wdf"));
  EXPECT_FALSE(fs.HasFile("D:\\u.wdf"));
}

TEST(MemoryFileSystemDirectories, DoubleByteNamesWhoseSecondByteIsABackslash) {
  [[maybe_unused]] GbkLeadBytes gbk;
  const std::string dir = "D:\\\x95\\";  // a two-byte character ending in 0x5C
  MemoryFileSystem fs;
  fs.PutFile(dir + "\\a.wdf", "x");
  EXPECT_TRUE(fs.HasDirectory(dir));
  EXPECT_FALSE(fs.HasDirectory("D:\\\x95"));
  EXPECT_TRUE(fs.FileIsPresent(dir + "\\?.wdf"));
  EXPECT_TRUE(fs.MakeDirectory(dir + "\\sub"));
}

}  // namespace
}  // namespace velmora
