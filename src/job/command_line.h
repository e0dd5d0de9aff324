// The process's arguments, split from its raw command line.
//
// The splitting rules are the program's own, not the C runtime's: blanks and control characters
// separate words, double quotes group, and there is no escape character, so a backslash before a
// quote is an ordinary character. Script paths end in backslashes often enough that this
// matters.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The words of `raw`, program name first, up to (not including) the first empty word. Steps by
// characters of the ANSI code page, so the second byte of a double-byte character is never a
// quote or a separator. A zero byte ends the line.
std::vector<std::string> SplitCommandLine(const std::string& raw);

class CommandLine {
 public:
  // `program_path` is what ArgumentAt(0) gives: the program file as the system knows it, not
  // the name the process was started with.
  CommandLine(const std::string& raw, std::string program_path);

  // The number of arguments after the program's own name.
  int ArgumentCount() const;
  // Argument n for 1 <= n <= ArgumentCount(); the program path for 0; empty otherwise.
  std::string ArgumentAt(int n) const;

 private:
  std::vector<std::string> words_;
  std::string program_path_;
};

// The running process's command line (RawCommandLine and ProgramFilePath).
CommandLine ProcessCommandLine();

}  // namespace velmora
