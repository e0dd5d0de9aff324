// Script paths with double-byte characters whose second byte is a backslash, as GBK allows.
#include <gtest/gtest.h>

#include <string>

#include "testing/fake_current_directory.h"
#include "job/script_path.h"
#include "testing/gbk_lead_bytes.h"

namespace velmora {
namespace {

class DoubleByteScriptPath : public ::testing::Test {
 protected:
  GbkLeadBytes gbk_;
};

TEST_F(DoubleByteScriptPath, TrailBackslashDoesNotMakeADriveRelativeNameAPath) {
  FakeCurrentDirectory dirs("C:\\work");
  dirs.SetDriveDirectory('D', "D:\\data");
  EXPECT_EQ("D:\\data\\\xD5\x5C.vlm", MakeAbsoluteScriptPath("D:\xD5\x5C.vlm", dirs));
}

TEST_F(DoubleByteScriptPath, TrailBackslashDoesNotStartTheFileName) {
  EXPECT_FALSE(IsRemovalRequest("\xD5\x5C-u.vlm", "C:\\work\\\xD5\x5C-u.vlm"));
  EXPECT_TRUE(IsRemovalRequest("\xD5\x5C\\-u.vlm", "C:\\work\\\xD5\x5C\\-u.vlm"));
}

}  // namespace
}  // namespace velmora
