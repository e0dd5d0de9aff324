// For tests: the code page of the target systems (GBK, lead bytes 0x81 to 0xFE) for the lifetime
// of an object, as the terminal tool chooses it for a script that is not UTF-8. Windows runs the
// tests under that code page for real, so there the object does nothing.
#pragma once

#include "sys/code_page.h"

namespace velmora {

#if !defined(_WIN32)
struct GbkLeadBytes {
  GbkLeadBytes() : previous_(ActiveCodePage()) { SetActiveCodePage(CodePage::kGbk); }
  ~GbkLeadBytes() { SetActiveCodePage(previous_); }
  GbkLeadBytes(const GbkLeadBytes&) = delete;
  GbkLeadBytes& operator=(const GbkLeadBytes&) = delete;

 private:
  CodePage previous_;
};
#else
struct GbkLeadBytes {};
#endif

}  // namespace velmora
