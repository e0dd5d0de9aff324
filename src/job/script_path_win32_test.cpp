// The path rules over the system's own current directory and drives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "job/script_path.h"
#include "sys/process.h"

namespace velmora {
namespace {

// A drive letter that names no drive of this machine, or 0.
char AbsentDriveLetter() {
  const DWORD drives = GetLogicalDrives();
  for (char letter = 'Q'; letter <= 'Y'; ++letter) {
    if ((drives & (1u << (letter - 'A'))) == 0) return letter;
  }
  return 0;
}

class SystemScriptPath : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = CurrentDirectory();
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(0u, GetTempPathA(MAX_PATH, temp));
    ASSERT_TRUE(ChangeCurrentDirectory(temp));
    current_ = CurrentDirectory();
    ASSERT_GE(current_.size(), 3u);
    ASSERT_EQ(':', current_[1]) << current_;
  }
  void TearDown() override { ChangeCurrentDirectory(previous_); }

  std::string previous_;
  std::string current_;
};

TEST_F(SystemScriptPath, JoinsTheCurrentDirectory) {
  EXPECT_EQ(current_ + "\\name.vlm", MakeAbsoluteScriptPath("name.vlm", ProcessCurrentDirectory()));
  EXPECT_EQ(current_.substr(0, 2) + "\\x\\name.vlm",
            MakeAbsoluteScriptPath("\\x\\name.vlm", ProcessCurrentDirectory()));
}

TEST_F(SystemScriptPath, DriveRelativeNameOfTheCurrentDriveAndTheCurrentDirectoryStays) {
  const std::string drive = current_.substr(0, 2);
  EXPECT_EQ(current_ + "\\name.vlm",
            MakeAbsoluteScriptPath(drive + "name.vlm", ProcessCurrentDirectory()));
  EXPECT_EQ(current_, CurrentDirectory());
}

TEST_F(SystemScriptPath, DriveRelativeNameOfAnAbsentDriveStaysAsGiven) {
  const char letter = AbsentDriveLetter();
  if (letter == 0) GTEST_SKIP() << "every drive letter from Q to Y is in use";
  const std::string argument = std::string(1, letter) + ":name.vlm";
  EXPECT_EQ(argument, MakeAbsoluteScriptPath(argument, ProcessCurrentDirectory()));
  EXPECT_EQ(current_, CurrentDirectory());
}

}  // namespace
}  // namespace velmora
