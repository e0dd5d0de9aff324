#include "sys/system_error.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

__attribute__((noinline)) void RaiseFailure() { throw AppFailure("ReadError", "short read"); }

TEST(AppFailure, CarriesItsTypeMessageAndTheAddressThatRaisedIt) {
  try {
    RaiseFailure();
    FAIL() << "no failure raised";
  } catch (const AppFailure& failure) {
    EXPECT_STREQ("ReadError", failure.TypeName());
    EXPECT_STREQ("short read", failure.what());
    // The raising code lies within the raising function, which is short.
    auto raiser = reinterpret_cast<uintptr_t>(&RaiseFailure);
    auto address = reinterpret_cast<uintptr_t>(failure.CodeAddress());
    EXPECT_GT(address, raiser);
    EXPECT_LT(address, raiser + 256) << std::hex << address << " outside " << raiser;
  }
}

TEST(SystemError, TextsOfTheCodesTheFakesUse) {
  for (unsigned long code :
       {SystemErrorNotFound(), SystemErrorSharingViolation(), SystemErrorDiskFull(),
        SystemErrorAccessDenied(), SystemErrorAlreadyExists(), SystemErrorPathNotFound(),
        SystemErrorReadFault()}) {
    SetLastSystemError(code);
    std::string text = LastSystemErrorText();
    ASSERT_GT(text.size(), 2u) << "code " << code;
    EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << "code " << code;
    EXPECT_EQ(text, LastSystemErrorText()) << "reading the text keeps the last error";
  }
  SetLastSystemError(SystemErrorNotFound());
  std::string not_found = LastSystemErrorText();
  SetLastSystemError(SystemErrorSharingViolation());
  EXPECT_NE(not_found, LastSystemErrorText());
}

}  // namespace
}  // namespace velmora
