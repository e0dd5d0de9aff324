#include "msg/file_failure.h"

#include <gtest/gtest.h>

#include "msg/format.h"
#include "sys/system_error.h"

namespace velmora {
namespace {

// A held file is named as in use where the program asks for it, and for the steps that never
// had a box of Velmora.exe's own; any other failure keeps the system's text. The last error
// survives for the next reader.
TEST(FileFailureReasonTest, NamesAHeldFileOnlyWhereAsked) {
  const std::string in_use = Message(MessageKey::MsgFileInUse, {"C:\\a.wdf"});
  struct Case {
    unsigned long Code;
    bool Named;
    bool Expected;  // the reason says that the file is in use
  };
  const Case cases[] = {
      {SystemErrorSharingViolation(), true, true},
      {SystemErrorSharingViolation(), false, false},
      {SystemErrorAccessDenied(), true, false},
      {SystemErrorNotFound(), true, false},
  };
  for (const Case& c : cases) {
    SetHeldFileNamed(c.Named);
    SetLastSystemError(c.Code);
    const std::string system = LastSystemErrorText();
    const std::string reason = FileFailureReason("C:\\a.wdf");
    EXPECT_EQ(reason, c.Expected ? in_use : system) << c.Code << (c.Named ? " named" : "");
    EXPECT_EQ(LastSystemError(), c.Code);
    SetLastSystemError(c.Code);
    EXPECT_EQ(HeldFileFailureReason("C:\\a.wdf"),
              c.Code == SystemErrorSharingViolation() ? in_use : system);
  }
  SetHeldFileNamed(false);
  EXPECT_NE(in_use.find("C:\\a.wdf"), std::string::npos);
}

}  // namespace
}  // namespace velmora
