#include "msg/ansi_text.h"

#include <windows.h>

#include <vector>

namespace velmora {

std::string AnsiFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::string();
  int input_length = static_cast<int>(utf8.size());
  int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), input_length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::vector<wchar_t> wide(wide_length);
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), input_length, wide.data(), wide_length);
  int ansi_length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (ansi_length <= 0) return std::string();
  std::string ansi(ansi_length, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wide_length, &ansi[0], ansi_length, nullptr, nullptr);
  return ansi;
}

std::string Utf8FromAnsi(const std::string& text) {
  if (text.empty()) return std::string();
  const int input_length = static_cast<int>(text.size());
  const int wide_length = MultiByteToWideChar(CP_ACP, 0, text.data(), input_length, nullptr, 0);
  if (wide_length <= 0) return std::string();
  std::vector<wchar_t> wide(wide_length);
  MultiByteToWideChar(CP_ACP, 0, text.data(), input_length, wide.data(), wide_length);
  const int utf8_length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  if (utf8_length <= 0) return std::string();
  std::string utf8(utf8_length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, &utf8[0], utf8_length, nullptr,
                      nullptr);
  return utf8;
}

}  // namespace velmora
