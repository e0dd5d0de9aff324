#include "cli/console.h"

#include <string>

namespace velmora {

namespace {

// The first value that is set and not empty, or the empty text.
std::string FirstSet(const std::vector<const char*>& values) {
  for (const char* value : values) {
    if (value != nullptr && *value != '\0') return value;
  }
  return std::string();
}

}  // namespace

bool LocaleIsChinese(const std::vector<const char*>& values) {
  return FirstSet(values).compare(0, 2, "zh") == 0;
}

bool LocaleUsesCodePage936(const std::vector<const char*>& values) {
  const std::string locale = FirstSet(values);
  const size_t dot = locale.find('.');
  if (dot == std::string::npos) return false;
  std::string codeset;
  for (size_t k = dot + 1; k < locale.size() && locale[k] != '@'; ++k) {
    const char c = locale[k];
    if (c == '-' || c == '_') continue;
    codeset += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return codeset == "GBK" || codeset == "GB2312" || codeset == "GB18030" || codeset == "CP936";
}

}  // namespace velmora
