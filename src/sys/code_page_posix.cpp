// POSIX hosts work in UTF-8, where no byte starts a double-byte character; tests may install a
// lead-byte range to run the double-byte rules natively.
#include <atomic>

#include "sys/code_page.h"

namespace velmora {

namespace {

// Packed as first << 8 | last; the empty range (first > last) by default.
std::atomic<unsigned> lead_byte_range{0x0100u};

}  // namespace

void SetLeadByteRangeForTesting(unsigned char first, unsigned char last) {
  lead_byte_range.store(static_cast<unsigned>(first) << 8 | last);
}

bool IsLeadByte(unsigned char byte) {
  unsigned range = lead_byte_range.load();
  return byte >= (range >> 8) && byte <= (range & 0xFFu);
}

size_t NextCharOffset(const std::string& text, size_t pos) {
  if (pos >= text.size()) return text.size();
  // A lead byte followed by the end or by a zero byte stands alone, as the system steps it.
  if (IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() &&
      text[pos + 1] != '\0') {
    return pos + 2;
  }
  return pos + 1;
}

// Without a locale of the ANSI kind, only the ASCII letters have a case to ignore.
bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return EqualFoldingAscii(a, b);
}

bool ComparisonKey(const std::string& text, std::string* key) {
  *key = FoldedAsciiKey(text);
  return true;
}

}  // namespace velmora
