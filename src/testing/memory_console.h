// For tests: a console over strings, with terminals and answers as a test sets them.
#pragma once

#include <deque>
#include <string>

#include "cli/command.h"

namespace velmora {

class MemoryConsole : public Console {
 public:
  std::string OutText;
  std::string ErrText;
  bool OutTerminal = false;
  bool ErrTerminal = false;
  bool InTerminal = false;
  bool UsesChinese = false;
  std::deque<std::string> Answers;  // lines to be read, first first

  void Out(const std::string& text) override { OutText += text; }
  bool OutBytes(const void* data, size_t n) override {
    OutText.append(static_cast<const char*>(data), n);
    return true;
  }
  void Err(const std::string& text) override { ErrText += text; }
  bool OutIsTerminal() const override { return OutTerminal; }
  bool ErrIsTerminal() const override { return ErrTerminal; }
  bool InIsTerminal() const override { return InTerminal; }
  bool ReadLine(std::string* line) override {
    if (Answers.empty()) return false;
    *line = Answers.front();
    Answers.pop_front();
    return true;
  }
  bool Chinese() const override { return UsesChinese; }
};

}  // namespace velmora
