// POSIX hosts step texts in the code page the terminal tool chose for the script: UTF-8, where no
// byte starts a double-byte character, or GBK.
#include <iconv.h>

#include <atomic>
#include <cerrno>

#include "sys/code_page.h"

namespace velmora {

namespace {

// Packed as first << 8 | last; the empty range (first > last) by default.
std::atomic<unsigned> lead_byte_range{0x0100u};
std::atomic<CodePage> active_code_page{CodePage::kUtf8};

constexpr unsigned char kGbkFirstLead = 0x81;
constexpr unsigned char kGbkLastLead = 0xFE;

// The whole of `text` converted with a converter of its own (so that threads never share one).
// Where a sequence does not convert, its first byte is kept and the conversion goes on after it.
std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::string result;
  char buffer[1024];
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  while (in_left > 0) {
    char* out = buffer;
    size_t out_left = sizeof buffer;
    const size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    const int failure = errno;
    result.append(buffer, static_cast<size_t>(out - buffer));
    if (done != static_cast<size_t>(-1) || failure == E2BIG) continue;
    // EILSEQ or EINVAL (a character cut off at the end): keep the byte as it is.
    result += *in;
    ++in;
    --in_left;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(converter);
  return result;
}

}  // namespace

void SetActiveCodePage(CodePage code_page) {
  if (code_page == CodePage::kSystemAnsi) code_page = CodePage::kUtf8;
  active_code_page.store(code_page);
  // UTF-8 has no lead bytes in this sense: no continuation byte is ASCII, so byte steps do.
  lead_byte_range.store(code_page == CodePage::kGbk ? (kGbkFirstLead << 8 | kGbkLastLead) : 0x100u);
}

CodePage ActiveCodePage() { return active_code_page.load(); }

std::string Utf8FromActiveCodePage(const std::string& text) {
  if (ActiveCodePage() == CodePage::kUtf8) return text;
  return Convert(text, "UTF-8", "GBK");
}

std::string ActiveCodePageFromUtf8(const std::string& utf8) {
  if (ActiveCodePage() == CodePage::kUtf8) return utf8;
  return Convert(utf8, "GBK", "UTF-8");
}

std::string Cp936FromActiveCodePage(const std::string& text) {
  if (ActiveCodePage() == CodePage::kGbk) return text;
  return Convert(text, "GBK", "UTF-8");
}

std::string ActiveCodePageFromCp936(const std::string& cp936) {
  if (ActiveCodePage() == CodePage::kGbk) return cp936;
  return Convert(cp936, "UTF-8", "GBK");
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
