// For tests: the lead bytes of the target systems' code page (GBK, 0x81 to 0xFE) for the
// lifetime of an object. Windows runs the tests under that code page for real, so there the
// object does nothing.
#pragma once

#include "sys/code_page.h"

namespace velmora {

#if !defined(_WIN32)
struct GbkLeadBytes {
  GbkLeadBytes() { SetLeadByteRangeForTesting(0x81, 0xFE); }
  ~GbkLeadBytes() { SetLeadByteRangeForTesting(1, 0); }
  GbkLeadBytes(const GbkLeadBytes&) = delete;
  GbkLeadBytes& operator=(const GbkLeadBytes&) = delete;
};
#else
struct GbkLeadBytes {};
#endif

}  // namespace velmora
