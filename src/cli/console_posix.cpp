// The console on POSIX hosts: texts arrive in the active code page and leave in the encoding of
// the locale (UTF-8, or code page 936 under zh_CN.GBK and its kin); answers arrive in it too.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

constexpr int kInterruptLookMs = 100;

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
      : chinese_(LocaleIsChinese(
            {std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")})),
        code_page_936_(LocaleUsesCodePage936(
            {std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG")})) {}

  void Out(const std::string& text) override { Write(STDOUT_FILENO, text); }
  bool OutBytes(const void* data, size_t n) override { return WriteAll(STDOUT_FILENO, data, n); }
  void Err(const std::string& text) override { Write(STDERR_FILENO, text); }
  bool OutIsTerminal() const override { return isatty(STDOUT_FILENO) == 1; }
  bool ErrIsTerminal() const override { return isatty(STDERR_FILENO) == 1; }
  bool InIsTerminal() const override { return isatty(STDIN_FILENO) == 1; }

  // Byte by byte, so that nothing after the line is taken from the input. Ctrl-C while a
  // question waits ends the reading: the question is answered Cancel. The wait looks at the
  // interrupt a few times a second, since Ctrl-C may come just before the read begins.
  bool ReadLine(std::string* line) override {
    line->clear();
    for (;;) {
      if (InterruptRequested()) return false;
      struct pollfd input = {STDIN_FILENO, POLLIN, 0};
      const int ready = poll(&input, 1, kInterruptLookMs);
      if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
      char byte;
      const ssize_t got = read(STDIN_FILENO, &byte, 1);
      if (got <= 0) return got == 0 && !line->empty() && FromTerminal(line);
      if (byte == '\n') return FromTerminal(line);
      *line += byte;
    }
  }
  bool Chinese() const override { return chinese_; }

 private:
  void Write(int fd, const std::string& text) const {
    const std::string bytes =
        code_page_936_ ? Cp936FromActiveCodePage(text) : Utf8FromActiveCodePage(text);
    WriteAll(fd, bytes.data(), bytes.size());
  }

  // An answer typed in the terminal's encoding, in the active code page.
  bool FromTerminal(std::string* line) const {
    *line = code_page_936_ ? ActiveCodePageFromCp936(*line) : ActiveCodePageFromUtf8(*line);
    return true;
  }

  bool chinese_;
  bool code_page_936_;
};

}  // namespace

std::unique_ptr<Console> MakeSystemConsole() { return std::make_unique<PosixConsole>(); }

const char* ToolName() { return "velmora"; }

}  // namespace velmora
