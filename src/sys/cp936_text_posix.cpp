// Linux file names are UTF-8 by convention; the C library's converter knows code page 936
// under the name GBK.
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "sys/cp936_text.h"

namespace velmora {

bool Cp936FromPathText(const std::string& text, std::string* cp936) {
  iconv_t converter = iconv_open("GBK", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = text;
  std::vector<char> output(text.size() * 2 + 4);  // never longer than twice the UTF-8 bytes
  char* in = input.empty() ? nullptr : &input[0];
  size_t in_left = input.size();
  char* out = output.data();
  size_t out_left = output.size();
  const size_t result = in_left == 0 ? 0 : iconv(converter, &in, &in_left, &out, &out_left);
  iconv_close(converter);
  if (result == static_cast<size_t>(-1) || in_left != 0) return false;
  cp936->assign(output.data(), output.size() - out_left);
  return true;
}

}  // namespace velmora
