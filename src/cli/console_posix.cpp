// The console on POSIX hosts: texts arrive in the active code page and leave in UTF-8, the
// terminal's encoding.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "cli/console.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

bool WriteAll(int fd, const void* data, size_t n) {
  const char* bytes = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t put = write(fd, bytes, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

class PosixConsole final : public Console {
 public:
  PosixConsole()
      : chinese_(LocaleIsChinese({std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                  std::getenv("LC_MESSAGES"), std::getenv("LANG")})) {}

  void Out(const std::string& text) override { Write(STDOUT_FILENO, text); }
  bool OutBytes(const void* data, size_t n) override { return WriteAll(STDOUT_FILENO, data, n); }
  void Err(const std::string& text) override { Write(STDERR_FILENO, text); }
  bool OutIsTerminal() const override { return isatty(STDOUT_FILENO) == 1; }
  bool ErrIsTerminal() const override { return isatty(STDERR_FILENO) == 1; }
  bool InIsTerminal() const override { return isatty(STDIN_FILENO) == 1; }

  // Byte by byte, so that nothing after the line is taken from the input. An interrupt (Ctrl-C
  // while a question waits) ends the reading: the question is answered Cancel.
  bool ReadLine(std::string* line) override {
    line->clear();
    for (;;) {
      char byte;
      const ssize_t got = read(STDIN_FILENO, &byte, 1);
      if (got <= 0) return got == 0 && !line->empty();
      if (byte == '\n') return true;
      *line += byte;
    }
  }
  bool Chinese() const override { return chinese_; }

 private:
  static void Write(int fd, const std::string& text) {
    const std::string utf8 = Utf8FromActiveCodePage(text);
    WriteAll(fd, utf8.data(), utf8.size());
  }

  bool chinese_;
};

}  // namespace

std::unique_ptr<Console> MakeSystemConsole() { return std::make_unique<PosixConsole>(); }

const char* ToolName() { return "velmora"; }

}  // namespace velmora
