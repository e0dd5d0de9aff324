// The path rules step by characters of the ANSI code page: in GBK the second byte of a
// double-byte character may be 0x5C, the backslash, and must not count as a separator. Also the
// cost of a very long #SrcPath, measured natively (a million levels would take minutes under the
// emulated Windows even when walked once).
#include <gtest/gtest.h>

#include <string>

#include "job/paths.h"
#include "testing/gbk_lead_bytes.h"

namespace velmora {
namespace {

// Double-byte characters whose second byte is a backslash, as paths of GBK systems hold them.
const std::string kChar1 = "\x81\x5C";
const std::string kChar2 = "\xD5\x5C";

class DoubleBytePathsTest : public ::testing::Test {
 protected:
  GbkLeadBytes gbk_;
};

TEST_F(DoubleBytePathsTest, TrailBackslashIsNoSeparator) {
  const std::string path = "D:\\" + kChar1 + "\\" + kChar2;
  EXPECT_EQ(DirectoryPart(path), "D:\\" + kChar1 + "\\");
  EXPECT_EQ(FileNamePart(path), kChar2);
  EXPECT_EQ(DirectoryPart("D:\\a" + kChar1), "D:\\");
  EXPECT_EQ(FileNamePart("D:\\a" + kChar1), "a" + kChar1);
}

TEST_F(DoubleBytePathsTest, ExtensionBehindATrailBackslash) {
  EXPECT_EQ(Extension("D:\\x." + kChar1 + "wdf"), "." + kChar1 + "wdf");
  EXPECT_EQ(ReplaceExtension("x." + kChar1 + "wdf", ".vlm"), "x.vlm");
  EXPECT_EQ(ReplaceExtension(kChar1 + ".vlm", ".wdf"), kChar1 + ".wdf");
}

TEST_F(DoubleBytePathsTest, OneLevelUpOverNamesEndingInATrailBackslash) {
  // The last name ends in 0x5C 0x5C: the first belongs to a character, so this is no root.
  EXPECT_EQ(OneLevelUp("D:\\a\\" + kChar1 + "\\"), "D:\\a\\");
  EXPECT_EQ(OneLevelUp("D:\\" + kChar1 + kChar2 + "\\"), "D:\\");
  EXPECT_EQ(OneLevelUp("D:\\" + kChar1 + "\\b\\"), "D:\\" + kChar1 + "\\");
}

TEST_F(DoubleBytePathsTest, ResolveRelativePathThroughDoubleByteNames) {
  std::string dir = "D:\\" + kChar1 + "\\" + kChar2 + "\\";
  ASSERT_TRUE(ResolveRelativePath(dir, "..\\"));
  EXPECT_EQ(dir, "D:\\" + kChar1 + "\\");
  ASSERT_TRUE(ResolveRelativePath(dir, ".."));
  EXPECT_EQ(dir, "D:\\");
  // A relative value that starts with such a character is no ".." form.
  std::string base = "D:\\a\\";
  EXPECT_FALSE(ResolveRelativePath(base, "..\\" + kChar1));
  EXPECT_EQ(base, "D:\\a\\");
}

// Each level once: a chain that costs its length for every level would not end in a lifetime.
TEST(ResolveRelativePathTest, ChainOfAMillionLevelsStopsAtTheRootAtOnce) {
  std::string chain;
  for (int level = 0; level < 1000000; ++level) chain += "..\\";
  std::string dir = "D:\\a\\";
  EXPECT_TRUE(ResolveRelativePath(dir, chain));
  EXPECT_EQ(dir, "D:\\");
  dir = "D:\\a\\";
  EXPECT_FALSE(ResolveRelativePath(dir, chain + "."));
  EXPECT_EQ(dir, "D:\\a\\");
}

}  // namespace
}  // namespace velmora
