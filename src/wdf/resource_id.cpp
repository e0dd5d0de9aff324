#include "wdf/resource_id.h"

#include <cstdio>

namespace velmora {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseHexId(const std::string& text, uint32_t* id) {
  if (text.empty()) return false;
  uint32_t value = 0;
  int significant_digits = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    if (significant_digits == 0 && digit == 0) continue;  // leading zeros
    if (++significant_digits > 8) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  *id = value;
  return true;
}

bool ParseIdArgument(const std::string& text, uint32_t* id) {
  size_t start = 0;
  if (text.compare(0, 1, "@") == 0) {
    start = 1;
  } else if (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0) {
    start = 2;
  }
  return ParseHexId(text.substr(start), id);
}

std::string FormatId(uint32_t id) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(id));
  return text;
}

}  // namespace velmora
