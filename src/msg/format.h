// Printf-like filling of catalogue texts: %s (text), %d (signed decimal), %.8x (eight upper-case
// hexadecimal digits) and %% (a percent sign). Nothing else is a placeholder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "msg/catalogue.h"

namespace velmora {

class FormatArg {
 public:
  FormatArg(const std::string& text) : is_text_(true), text_(text) {}  // NOLINT: implicit
  FormatArg(const char* text) : is_text_(true), text_(text) {}         // NOLINT: implicit
  FormatArg(int64_t number) : number_(number) {}                       // NOLINT: implicit
  FormatArg(int number) : number_(number) {}                           // NOLINT: implicit
  FormatArg(uint32_t number) : number_(number) {}                      // NOLINT: implicit

  bool IsText() const { return is_text_; }
  const std::string& Text() const { return text_; }
  int64_t Number() const { return number_; }

 private:
  bool is_text_ = false;
  std::string text_;
  int64_t number_ = 0;
};

// Fills the placeholders of `format` strictly in the order of `args`. A placeholder without an
// argument, or with an argument of the other kind, becomes the empty text; it never reads
// beyond the arguments given.
std::string FormatText(const std::string& format, std::initializer_list<FormatArg> args);

// LoadMessage(key) filled with `args`.
std::string Message(MessageKey key, std::initializer_list<FormatArg> args = {});

}  // namespace velmora
