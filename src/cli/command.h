// The terminal tool's commands: what each command gets from the front-end and what it gives
// back. One front-end (`velmora` on Linux, `velmora-cli.exe` on Windows) parses the command
// name, finds the command in its table and calls it with the words that follow the name.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

// Exit codes that scripts can test.
constexpr int kExitOk = 0;             // the command did what it was asked
constexpr int kExitFailed = 1;         // refused, failed, cancelled, invalid input
constexpr int kExitUsage = 2;          // unknown command or option, missing argument
constexpr int kExitInterrupted = 130;  // Ctrl-C

// The process's standard streams as a command sees them. Texts passed to Out and Err are in
// the program's text encoding (the ANSI code page on Windows, UTF-8 on Linux unless a script
// chose otherwise); the console converts them for the terminal or the redirected file.
class Console {
 public:
  virtual ~Console() = default;
  // Data: lists, reports, the information a command was asked for.
  virtual void Out(const std::string& text) = 0;
  // Raw bytes to standard output, unconverted (an entry extracted to `-`).
  virtual bool OutBytes(const void* data, size_t n) = 0;
  // Diagnostics: errors, warnings, questions, progress.
  virtual void Err(const std::string& text) = 0;
  virtual bool OutIsTerminal() const = 0;
  virtual bool ErrIsTerminal() const = 0;
  virtual bool InIsTerminal() const = 0;
  // Reads one answer line from standard input; false at its end.
  virtual bool ReadLine(std::string* line) = 0;
  // True when the help texts are to be shown in Simplified Chinese.
  virtual bool Chinese() const = 0;
};

// What a command is called with: the words after its name, the console and the files.
struct CommandCall {
  std::vector<std::string> Args;
  Console& Terminal;
  FileSystem& Files;
};

// A command of the tool. `run` returns the process's exit code.
struct CommandInfo {
  const char* Name;
  int (*Run)(CommandCall& call);
  const char* SummaryEn;  // one line for the command list
  const char* SummaryZh;
  const char* HelpEn;  // the whole text of `velmora help NAME` (UTF-8)
  const char* HelpZh;
};

}  // namespace velmora
