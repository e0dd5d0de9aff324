// The console on Windows: texts arrive in the active code page (UTF-8, or the script's while a
// script runs); a console window gets them through its wide-character output (so that they show
// whatever the console's own code page), a file or pipe gets them in the system's ANSI code page,
// as every program of the system writes them.
#include <windows.h>

#include <vector>

#include "cli/console.h"
#include "cli/interrupt.h"
#include "msg/catalogue.h"
#include "sys/code_page.h"

namespace velmora {
namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr &&
         GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

bool WriteAll(HANDLE handle, const void* data, size_t n) {
  const char* bytes = static_cast<const char*>(data);
  while (n > 0) {
    DWORD put = 0;
    const DWORD chunk = n > 0x10000 ? 0x10000 : static_cast<DWORD>(n);
    if (!WriteFile(handle, bytes, chunk, &put, nullptr) || put == 0) return false;
    bytes += put;
    n -= put;
  }
  return true;
}

class WindowsConsole final : public Console {
 public:
  WindowsConsole()
      : out_(GetStdHandle(STD_OUTPUT_HANDLE)),
        err_(GetStdHandle(STD_ERROR_HANDLE)),
        in_(GetStdHandle(STD_INPUT_HANDLE)) {}

  void Out(const std::string& text) override { Write(out_, text); }
  bool OutBytes(const void* data, size_t n) override { return WriteAll(out_, data, n); }
  void Err(const std::string& text) override { Write(err_, text); }
  bool OutIsTerminal() const override { return IsConsole(out_); }
  bool ErrIsTerminal() const override { return IsConsole(err_); }
  bool InIsTerminal() const override { return IsConsole(in_); }

  bool ReadLine(std::string* line) override {
    line->clear();
    if (IsConsole(in_)) {
      std::wstring wide;
      for (;;) {
        // Ctrl-C that came just before the read answers the question as one during it does.
        if (InterruptRequested()) return false;
        wchar_t ch;
        DWORD got = 0;
        if (!ReadConsoleW(in_, &ch, 1, &got, nullptr) || got == 0) return false;
        if (ch == L'\n') break;
        if (ch != L'\r') wide += ch;
      }
      *line = ActiveCodePageFromWide(wide);
      return true;
    }
    for (;;) {
      char byte;
      DWORD got = 0;
      if (!ReadFile(in_, &byte, 1, &got, nullptr) || got == 0) return !line->empty();
      if (byte == '\n') return true;
      if (byte != '\r') *line += byte;
    }
  }

  bool Chinese() const override { return UserInterfaceLanguage() == MessageLanguage::kChinese; }

 private:
  static void Write(HANDLE handle, const std::string& text) {
    if (text.empty()) return;
    if (IsConsole(handle)) {
      const std::wstring wide = WideFromActiveCodePage(text);
      DWORD put = 0;
      WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &put, nullptr);
      return;
    }
    const std::string bytes = SystemAnsiFromActiveCodePage(text);
    WriteAll(handle, bytes.data(), bytes.size());
  }

  HANDLE out_;
  HANDLE err_;
  HANDLE in_;
};

}  // namespace

std::unique_ptr<Console> MakeSystemConsole() { return std::make_unique<WindowsConsole>(); }

const char* ToolName() { return "velmora-cli"; }

}  // namespace velmora
