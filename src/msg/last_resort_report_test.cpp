#include "msg/last_resort_report.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

#include "sys/system_error.h"

namespace velmora {
namespace {

TEST(LastResortReportText, NamesTypeModuleOffsetAndMessage) {
  EXPECT_EQ(
      "Exception EFOpenError in module Velmora.exe at 0001A2B0.\r\n"
      "Cannot open file \"C:\\a.vlm\". Access is denied.\r\n",
      LastResortReportText("EFOpenError", "Velmora.exe", 0x1A2B0,
                           "Cannot open file \"C:\\a.vlm\". Access is denied."));
}

TEST(LastResortReportText, FullStopIsAddedOnlyToAMessageWithoutOne) {
  EXPECT_EQ("Exception E in module M at 00000000.\r\nfailed.\r\n",
            LastResortReportText("E", "M", 0, "failed"));
  EXPECT_EQ("Exception E in module M at FFFFFFFF.\r\n\r\n",
            LastResortReportText("E", "M", 0xFFFFFFFF, ""));
  // A system text ends with its line break, so the full stop follows that.
  EXPECT_EQ("Exception E in module M at 00000010.\r\nx. denied\r\n.\r\n",
            LastResortReportText("E", "M", 16, "x. denied\r\n"));
}

TEST(FactsOf, AppFailureGivesItsOwnNameMessageAndAddress) {
  const AppFailure failure("EFOpenError", "Cannot open file");
  const FailureFacts facts = FactsOf(std::make_exception_ptr(failure), nullptr);
  EXPECT_EQ("EFOpenError", facts.TypeName);
  EXPECT_EQ("Cannot open file", facts.Message);
  EXPECT_NE(nullptr, facts.CodeAddress);
  EXPECT_EQ(failure.CodeAddress(), facts.CodeAddress);
}

TEST(FactsOf, OtherFailuresGiveTheirCxxTypeNameAndTheFallbackAddress) {
  int here = 0;
  const FailureFacts bad_alloc = FactsOf(std::make_exception_ptr(std::bad_alloc()), &here);
  EXPECT_EQ("std::bad_alloc", bad_alloc.TypeName);
  EXPECT_EQ(&here, bad_alloc.CodeAddress);
  EXPECT_EQ("dialog failed",
            FactsOf(std::make_exception_ptr(std::runtime_error("dialog failed")), &here).Message);
  EXPECT_EQ("int", FactsOf(std::make_exception_ptr(42), &here).TypeName);
  EXPECT_EQ("unknown", FactsOf(std::exception_ptr(), &here).TypeName);
}

}  // namespace
}  // namespace velmora
