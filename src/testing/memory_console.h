// For tests: a console over strings, with terminals and answers as a test sets them.
#pragma once

#include <deque>
#include <string>

#include "cli/command.h"

namespace velmora {

class MemoryConsole : public Console {
 public:
  std::string out;
  std::string err;
  bool out_terminal = false;
  bool err_terminal = false;
  bool in_terminal = false;
  bool chinese = false;
  std::deque<std::string> answers;  // lines to be read, first first

  void Out(const std::string& text) override { out += text; }
  bool OutBytes(const void* data, size_t n) override {
    out.append(static_cast<const char*>(data), n);
    return true;
  }
  void Err(const std::string& text) override { err += text; }
  bool OutIsTerminal() const override { return out_terminal; }
  bool ErrIsTerminal() const override { return err_terminal; }
  bool InIsTerminal() const override { return in_terminal; }
  bool ReadLine(std::string* line) override {
    if (answers.empty()) return false;
    *line = answers.front();
    answers.pop_front();
    return true;
  }
  bool Chinese() const override { return chinese; }
};

}  // namespace velmora
