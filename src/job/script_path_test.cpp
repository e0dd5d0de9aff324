#include "job/script_path.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/fake_current_directory.h"

namespace velmora {
namespace {

// The process in C:\work, drive D in D:\data.
class AbsoluteScriptPath : public ::testing::Test {
 protected:
  AbsoluteScriptPath() : dirs_("C:\\work") { dirs_.SetDriveDirectory('D', "D:\\data"); }

  std::string Absolute(const std::string& argument) {
    return MakeAbsoluteScriptPath(argument, dirs_);
  }

  FakeCurrentDirectory dirs_;
};

TEST_F(AbsoluteScriptPath, DrivelessNamesJoinTheCurrentDirectoryUnsimplified) {
  EXPECT_EQ("C:\\work\\name.vlm", Absolute("name.vlm"));
  EXPECT_EQ("C:\\work\\sub\\name.vlm", Absolute("sub\\name.vlm"));
  EXPECT_EQ("C:\\work\\..\\name.vlm", Absolute("..\\name.vlm"));
  EXPECT_EQ("C:\\work\\.\\name.vlm", Absolute(".\\name.vlm"));
  // A slash is no separator of the path rules: /u is a name like any other.
  EXPECT_EQ("C:\\work\\/u", Absolute("/u"));
}

TEST_F(AbsoluteScriptPath, RootRelativeNameTakesTheCurrentDrive) {
  EXPECT_EQ("C:\\x\\name.vlm", Absolute("\\x\\name.vlm"));
  EXPECT_EQ("C:\\name.vlm", Absolute("\\name.vlm"));
}

TEST_F(AbsoluteScriptPath, RootRelativeNameOnANetworkShareTakesServerAndShare) {
  FakeCurrentDirectory share("\\\\srv\\share\\dir\\sub");
  EXPECT_EQ("\\\\srv\\share\\x\\name.vlm", MakeAbsoluteScriptPath("\\x\\name.vlm", share));
  EXPECT_EQ("\\\\srv\\share\\dir\\sub\\name.vlm", MakeAbsoluteScriptPath("name.vlm", share));
  FakeCurrentDirectory share_root("\\\\srv\\share");
  EXPECT_EQ("\\\\srv\\share\\x.vlm", MakeAbsoluteScriptPath("\\x.vlm", share_root));
}

TEST_F(AbsoluteScriptPath, DriveRelativeNameJoinsThatDrivesDirectoryAndRestoresTheCurrent) {
  EXPECT_EQ("D:\\data\\name.vlm", Absolute("D:name.vlm"));
  EXPECT_EQ("C:\\work", dirs_.Current());
  EXPECT_EQ("D:\\data\\name.vlm", Absolute("d:name.vlm"));
  EXPECT_EQ("C:\\work", dirs_.Current());
  EXPECT_EQ("C:\\work\\name.vlm", Absolute("C:name.vlm"));
}

TEST_F(AbsoluteScriptPath, DriveRelativeNameOnAMissingDriveStaysAsGiven) {
  EXPECT_EQ("Q:name.vlm", Absolute("Q:name.vlm"));
  EXPECT_EQ("C:\\work", dirs_.Current());
}

TEST_F(AbsoluteScriptPath, PathsWithADrivePartAndABackslashStayAsGiven) {
  EXPECT_EQ("D:sub\\name.vlm", Absolute("D:sub\\name.vlm"));
  EXPECT_EQ("D:\\x\\name.vlm", Absolute("D:\\x\\name.vlm"));
  EXPECT_EQ("\\\\srv\\share\\name.vlm", Absolute("\\\\srv\\share\\name.vlm"));
  EXPECT_EQ(0, dirs_.Changes());
}

TEST_F(AbsoluteScriptPath, AtADrivesRootTheJoinKeepsBothBackslashes) {
  FakeCurrentDirectory root("C:\\");
  root.SetDriveDirectory('D', "D:\\");
  EXPECT_EQ("C:\\\\name.vlm", MakeAbsoluteScriptPath("name.vlm", root));
  EXPECT_EQ("D:\\\\name.vlm", MakeAbsoluteScriptPath("D:name.vlm", root));
  EXPECT_EQ("C:\\x\\name.vlm", MakeAbsoluteScriptPath("\\x\\name.vlm", root));
}

TEST_F(AbsoluteScriptPath, UnreadableCurrentDirectoryLeavesTheArgumentAsGiven) {
  dirs_.MakeUnreadable();
  EXPECT_EQ("name.vlm", Absolute("name.vlm"));
  EXPECT_EQ("\\x\\name.vlm", Absolute("\\x\\name.vlm"));
  EXPECT_EQ("D:name.vlm", Absolute("D:name.vlm"));
  EXPECT_EQ(0, dirs_.Changes());
}

TEST(RemovalRequest, ArgumentMinusUInEitherCase) {
  EXPECT_TRUE(IsRemovalRequest("-u", "C:\\work\\-u"));
  EXPECT_TRUE(IsRemovalRequest("-U", "C:\\work\\-U"));
  EXPECT_TRUE(IsRemovalRequest("-u", ""));
}

TEST(RemovalRequest, ScriptFileNamedMinusUWithAnyExtension) {
  EXPECT_TRUE(IsRemovalRequest("C:\\scripts\\-u.vlm", "C:\\scripts\\-u.vlm"));
  EXPECT_TRUE(IsRemovalRequest("-u.txt", "C:\\work\\-u.txt"));
  EXPECT_TRUE(IsRemovalRequest("D:-U.vlm", "D:-U.vlm"));
}

TEST(RemovalRequest, OtherNamesAreScripts) {
  EXPECT_FALSE(IsRemovalRequest("/u", "C:\\work\\/u"));
  EXPECT_FALSE(IsRemovalRequest("--u", "C:\\work\\--u"));
  EXPECT_FALSE(IsRemovalRequest("-u ", "C:\\work\\-u "));
  EXPECT_FALSE(IsRemovalRequest("-u.A.vlm", "C:\\work\\-u.A.vlm"));
  EXPECT_FALSE(IsRemovalRequest("-u\\x.vlm", "C:\\work\\-u\\x.vlm"));
  EXPECT_FALSE(IsRemovalRequest("u", "C:\\work\\u"));
}

}  // namespace
}  // namespace velmora
