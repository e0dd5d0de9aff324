// The process on POSIX hosts. The command line is handed over as separate arguments; it is
// joined back into one line in the form the program's command-line reader expects (words
// separated by blanks, a word with blanks or control characters, or an empty one, in double
// quotes). That form has no escape character, so a double quote inside an argument cannot be
// carried over.
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <vector>

#include "sys/process.h"

namespace velmora {

namespace {

std::string QuotedWord(const std::string& word) {
  bool needs_quotes = word.empty();
  for (unsigned char c : word) {
    if (c >= 1 && c <= 32) needs_quotes = true;
  }
  return needs_quotes ? "\"" + word + "\"" : word;
}

}  // namespace

std::string RawCommandLine() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string line;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (!line.empty()) line += ' ';
    line += QuotedWord(all.substr(start, end - start));
    start = end + 1;
  }
  return line;
}

std::string ProgramFilePath() {
  std::vector<char> buffer(4096);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string CurrentDirectory() {
  std::vector<char> buffer(1024);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool ChangeCurrentDirectory(const std::string& path) { return chdir(path.c_str()) == 0; }

}  // namespace velmora
