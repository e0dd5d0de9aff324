// Fuzzes the splitting of the command line, the absolute script path and the removal test.
//
// Input: one byte of flags, then the raw command line. Flags:
//   bit 0  the double-byte code page of the target systems
//   bit 1  the current directory is the root C:\ (otherwise C:\work)
//   bit 2  the current directory cannot be read
// Drive D's current directory is D:\data; no other drive exists. The words, the absolute path
// of each argument and the removal test must be those of the plain model, and making a path
// absolute must leave the process in the directory it was in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "job/command_line.h"
#include "testing/fake_current_directory.h"
#include "job/script_path.h"
#include "plain_model.h"
#include "sys/code_page.h"

using namespace velmora;
using namespace velmora::fuzzing;

namespace {

// Arguments whose absolute path is checked per input.
constexpr size_t kArgumentsPerInput = 4;

bool IsSeparator(const std::string& c) {
  return c.size() == 1 && static_cast<unsigned char>(c[0]) >= 1 &&
         static_cast<unsigned char>(c[0]) <= 32;
}

// The words of the line: separators and empty pairs of quotes before a word are skipped; a
// word runs to a separator outside quotes; quotes toggle the quoted state and are dropped; the
// first empty word ends the list.
std::vector<std::string> PlainWords(const PlainText& text, const std::string& raw) {
  const std::vector<std::string> chars = text.Characters(raw.substr(0, raw.find('\0')));
  std::vector<std::string> words;
  size_t k = 0;
  for (;;) {
    for (;;) {
      if (k < chars.size() && IsSeparator(chars[k])) {
        ++k;
      } else if (k + 1 < chars.size() && chars[k] == "\"" && chars[k + 1] == "\"") {
        k += 2;
      } else {
        break;
      }
    }
    std::string word;
    bool quoted = false;
    for (; k < chars.size() && (quoted || !IsSeparator(chars[k])); ++k) {
      if (chars[k] == "\"") {
        quoted = !quoted;
      } else {
        word += chars[k];
      }
    }
    if (word.empty()) return words;
    words.push_back(word);
  }
}

std::string Drive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
}

// The absolute path as the program documents it: drive-less arguments join the current
// directory (one with a leading backslash joins only its drive), drive-relative names join
// their drive's directory, everything else stays as it is.
std::string PlainAbsolute(const PlainText& text, const std::string& argument,
                          const std::string& current) {
  const std::vector<std::string> chars = text.Characters(argument);
  bool has_backslash = false;
  for (const std::string& c : chars) has_backslash |= c == "\\";
  const bool drive_letter = chars.size() >= 2 && chars[0].size() == 1 && chars[1] == ":";
  if (drive_letter) {
    if (has_backslash || current.empty()) return argument;
    const char letter = PlainText::Upper(argument[0]);
    std::string dir;
    if (letter == 'C') dir = current;
    if (letter == 'D') dir = "D:\\data";
    return dir.empty() ? argument : dir + "\\" + argument.substr(2);
  }
  if (argument.compare(0, 2, "\\\\") == 0) return argument;
  if (current.empty()) return argument;
  if (!argument.empty() && argument[0] == '\\') return Drive(current) + argument;
  return current + "\\" + argument;
}

// Argument 1 is "-u", or the file name of the path without its extension is, ASCII letters
// folded.
bool PlainRemoval(const PlainText& text, const std::string& argument, const std::string& path) {
  auto is_removal = [&text](const std::string& word) { return text.EqualFoldingAscii(word, "-u"); };
  std::string name, stem;
  for (const std::string& c : text.Characters(path)) {
    name = c == "\\" || c == ":" ? std::string() : name + c;
  }
  stem = name;
  std::string walked;
  for (const std::string& c : text.Characters(name)) {
    if (c == ".") stem = walked;
    walked += c;
  }
  return is_removal(argument) || is_removal(stem);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const bool double_byte = (flags & 1) != 0;
  SetActiveCodePage(double_byte ? CodePage::kGbk : CodePage::kUtf8);
  const PlainText text(double_byte);
  const std::string raw(reinterpret_cast<const char*>(data) + 1, size - 1);

  const std::vector<std::string> words = SplitCommandLine(raw);
  const std::vector<std::string> plain = PlainWords(text, raw);
  FUZZ_CHECK(words == plain, "\"%s\" split into %zu words, expected %zu", Shown(raw).c_str(),
             words.size(), plain.size());
  const CommandLine line(raw, "C:\\Velmora\\Velmora.exe");
  FUZZ_CHECK(line.ArgumentCount() == (words.empty() ? 0 : static_cast<int>(words.size()) - 1),
             "argument count %d", line.ArgumentCount());
  FUZZ_CHECK(line.ArgumentAt(0) == "C:\\Velmora\\Velmora.exe", "argument 0");
  FUZZ_CHECK(line.ArgumentAt(line.ArgumentCount() + 1).empty(), "argument beyond the last");

  const std::string current = (flags & 4) ? "" : (flags & 2) ? "C:\\" : "C:\\work";
  for (int n = 1; n <= line.ArgumentCount() && n <= static_cast<int>(kArgumentsPerInput); ++n) {
    const std::string argument = line.ArgumentAt(n);
    FakeCurrentDirectory dirs((flags & 2) ? "C:\\" : "C:\\work");
    dirs.SetDriveDirectory('D', "D:\\data");
    if (flags & 4) dirs.MakeUnreadable();
    const std::string path = MakeAbsoluteScriptPath(argument, dirs);
    const std::string expected = PlainAbsolute(text, argument, current);
    FUZZ_CHECK(path == expected, "\"%s\" made \"%s\", expected \"%s\"", Shown(argument).c_str(),
               Shown(path).c_str(), Shown(expected).c_str());
    FUZZ_CHECK(dirs.Current() == current, "left in \"%s\"", Shown(dirs.Current()).c_str());
    FUZZ_CHECK(IsRemovalRequest(argument, path) == PlainRemoval(text, argument, path),
               "removal test of \"%s\"", Shown(argument).c_str());
  }
  return 0;
}
