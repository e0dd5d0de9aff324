#include "job/command_line.h"

#include <utility>

#include "sys/code_page.h"
#include "sys/process.h"

namespace velmora {
namespace {

bool IsSeparator(char c) {
  const unsigned char code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Where the next word starts: blanks, control characters and empty pairs of quotes before it
// are skipped, as often as they come.
size_t SkipToWord(const std::string& line, size_t pos) {
  for (;;) {
    if (pos < line.size() && IsSeparator(line[pos])) {
      pos = NextCharOffset(line, pos);
    } else if (pos + 1 < line.size() && line[pos] == '"' && line[pos + 1] == '"') {
      pos += 2;
    } else {
      return pos;
    }
  }
}

// Reads one word starting at `pos` into `word` and returns the offset just after it. Quoted
// stretches join the word without their quotes; an unclosed one runs to the end of the line.
size_t ReadWord(const std::string& line, size_t pos, std::string& word) {
  bool quoted = false;
  while (pos < line.size()) {
    const char c = line[pos];
    if (!quoted && IsSeparator(c)) break;
    const size_t next = NextCharOffset(line, pos);
    if (c == '"' && next == pos + 1) {
      quoted = !quoted;
    } else {
      word.append(line, pos, next - pos);
    }
    pos = next;
  }
  return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& raw) {
  const std::string line = raw.substr(0, raw.find('\0'));
  std::vector<std::string> words;
  size_t pos = 0;
  for (;;) {
    pos = SkipToWord(line, pos);
    std::string word;
    pos = ReadWord(line, pos, word);
    if (word.empty()) return words;
    words.push_back(std::move(word));
  }
}

CommandLine::CommandLine(const std::string& raw, std::string program_path)
    : words_(SplitCommandLine(raw)), program_path_(std::move(program_path)) {}

int CommandLine::ArgumentCount() const {
  return words_.empty() ? 0 : static_cast<int>(words_.size()) - 1;
}

std::string CommandLine::ArgumentAt(int n) const {
  if (n == 0) return program_path_;
  if (n < 0 || n > ArgumentCount()) return std::string();
  return words_[static_cast<size_t>(n)];
}

CommandLine ProcessCommandLine() { return CommandLine(RawCommandLine(), ProgramFilePath()); }

}  // namespace velmora
