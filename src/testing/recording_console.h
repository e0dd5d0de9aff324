// For tests: a console that keeps what a command prints and answers from a prepared input.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"

namespace velmora {

class RecordingConsole final : public Console {
 public:
  void Out(const std::string& text) override { out += text; }
  bool OutBytes(const void* data, size_t n) override {
    out.append(static_cast<const char*>(data), n);
    return true;
  }
  void Err(const std::string& text) override { err += text; }
  bool OutIsTerminal() const override { return false; }
  bool ErrIsTerminal() const override { return false; }
  bool InIsTerminal() const override { return false; }
  bool ReadLine(std::string* line) override {
    if (next_answer >= answers.size()) return false;
    *line = answers[next_answer++];
    return true;
  }
  bool Chinese() const override { return chinese; }

  std::string out;
  std::string err;
  std::vector<std::string> answers;
  size_t next_answer = 0;
  bool chinese = false;
};

// Runs `command` with `args` over `files`, recording into `console`; returns the exit code.
inline int RunCommand(const CommandInfo& command, std::vector<std::string> args,
                      RecordingConsole& console, FileSystem& files) {
  CommandCall call{std::move(args), console, files};
  return command.run(call);
}

}  // namespace velmora
