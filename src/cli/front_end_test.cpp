// The command line as a user types it: what each form prints where, and its exit code.
#include "cli/front_end.h"

#include <gtest/gtest.h>

#include "testing/memory_file_system.h"
#include "cli/arguments.h"
#include "cli/command_table.h"
#include "cli/console.h"
#include "cli/terminal_texts.h"
#include "cli/terminal_view.h"
#include "msg/ansi_text.h"
#include "testing/memory_console.h"

namespace velmora {
namespace {

struct CommandLineCase {
  std::vector<std::string> Words;
  int ExitCode;
  const char* OutStarts;    // what standard output starts with ("" for nothing at all)
  const char* ErrContains;  // a piece of standard error ("" for nothing at all)
};

const CommandLineCase kCommandLines[] = {
    {{"--version"}, kExitOk, "{tool} 1.0.0.9\n", ""},
    {{"--help"}, kExitOk, "Usage: {tool} COMMAND", ""},
    {{"-h"}, kExitOk, "Usage: {tool} COMMAND", ""},
    {{"help"}, kExitOk, "Usage: {tool} COMMAND", ""},
    {{"help", "run"}, kExitOk, "Usage: {tool} run [-y] [-q]", ""},
    {{"help", "check"}, kExitOk, "Usage: {tool} check", ""},
    {{"run", "--help"}, kExitOk, "Usage: {tool} run", ""},
    {{"check", "-h", "x.vlm"}, kExitOk, "Usage: {tool} check", ""},
    {{}, kExitUsage, "", "{tool}: no command given (see '{tool} --help')\n"},
    {{"frob"}, kExitUsage, "", "{tool}: unknown command 'frob' (see '{tool} --help')\n"},
    {{"help", "frob"}, kExitUsage, "", "unknown command 'frob'"},
    {{"help", "run", "check"}, kExitUsage, "", "too many arguments"},
    {{"--bogus"}, kExitUsage, "", "{tool}: unknown option '--bogus' (see '{tool} --help')\n"},
    {{"-v"}, kExitUsage, "", "{tool}: unknown option '-v' (see '{tool} --help')\n"},
    {{"chekc", "a.vlm"}, kExitUsage, "", "unknown command 'chekc'; did you mean 'check'?"},
    {{"--version", "x"}, kExitUsage, "", "--version takes nothing after it: 'x'"},
    {{"-V"}, kExitOk, "{tool} 1.0.0.9\n", ""},
    {{"help", "--help"}, kExitOk, "Usage: {tool} help [COMMAND]", ""},
    {{"check", "--format", "xml", "a.vlm"}, kExitUsage, "", "unknown format 'xml' (text or json)"},
    {{"run"}, kExitUsage, "", "{tool} run: no script named"},
    {{"run", "-x", "a.vlm"}, kExitUsage, "", "unknown option '-x'"},
    {{"run", "--yes=1", "a.vlm"}, kExitUsage, "", "option takes no value: '--yes=1'"},
    {{"run", "a.vlm", "b.vlm"}, kExitUsage, "", "too many arguments from 'b.vlm'"},
    {{"check", "--yes", "a.vlm"}, kExitUsage, "", "{tool} check: unknown option '--yes'"},
    // The forms that run a script reach the entry, which reports the missing script.
    {{"missing.vlm"}, kExitFailed, "", "missing.vlm"},
    {{"--yes", "missing.VLM"}, kExitFailed, "", "missing.VLM"},
    {{"run", "-yq", "--", "-missing.vlm"}, kExitFailed, "", "-missing.vlm"},
#if !defined(_WIN32)
    // Windows reads every script in the system's code page.
    {{"run", "--codepage"}, kExitUsage, "", "option needs a value: '--codepage'"},
    {{"run", "--codepage", "latin1", "a.vlm"}, kExitUsage, "", "unknown code page"},
    {{"run", "--codepage=utf8", "missing.vlm"}, kExitFailed, "", "missing.vlm"},
#else
    {{"run", "--codepage", "gbk", "a.vlm"}, kExitUsage, "", "unknown option '--codepage'"},
#endif
    {{"check", "missing.vlm"}, kExitFailed, "", "missing.vlm"},
};

TEST(FrontEndTest, EachFormPrintsWhereItShouldWithItsExitCode) {
  for (const CommandLineCase& c : kCommandLines) {
    std::string line;
    for (const std::string& word : c.Words) line += " " + word;
    SCOPED_TRACE(ToolName() + line);
    MemoryConsole console;
    MemoryFileSystem files;
    EXPECT_EQ(RunCommandLine(c.Words, console, files), c.ExitCode);
    EXPECT_EQ(console.OutText.rfind(WithToolName(c.OutStarts), 0), 0u) << console.OutText;
    if (*c.OutStarts == '\0') {
      EXPECT_EQ(console.OutText, "");
    }
    EXPECT_NE(console.ErrText.find(WithToolName(c.ErrContains)), std::string::npos)
        << console.ErrText;
    if (*c.ErrContains == '\0') {
      EXPECT_EQ(console.ErrText, "");
    }
    if (c.ExitCode == kExitUsage) {
      EXPECT_EQ(console.ErrText.find('\n'), console.ErrText.size() - 1)
          << "one line: " << console.ErrText;
    }
  }
}

TEST(FrontEndTest, HelpAndComplaintsFollowTheLanguage) {
  MemoryConsole console;
  console.UsesChinese = true;
  MemoryFileSystem files;
  EXPECT_EQ(RunCommandLine({"help", "run"}, console, files), kExitOk);
  EXPECT_EQ(console.OutText.rfind(AnsiFromUtf8(WithToolName("用法：{tool} run")), 0), 0u)
      << console.OutText;
  EXPECT_EQ(RunCommandLine({"run", "--nope", "a.vlm"}, console, files), kExitUsage);
  EXPECT_NE(console.ErrText.find(AnsiFromUtf8("未知选项 '--nope'")), std::string::npos)
      << console.ErrText;
}

// The column where an option's description starts on its line ("  -o DIR    the folder") or on
// a line that goes on with it (only blanks before), counted in terminal columns; npos for
// another line.
size_t DescriptionColumn(const std::string& line, bool follows_option) {
  const size_t text = line.find_first_not_of(' ');
  if (text == std::string::npos) return std::string::npos;
  if (text >= 4 && follows_option) return text;
  if (text != 2 || line[2] != '-') return std::string::npos;
  const size_t gap = line.find("  ", text);
  const size_t description = line.find_first_not_of(' ', gap);
  if (gap == std::string::npos || description == std::string::npos) return std::string::npos;
  return TerminalColumns(line.substr(0, description));
}

// Every list of options in every help, in both languages: the descriptions start in one column,
// Chinese characters counted as two columns each, as a terminal shows them.
TEST(HelpTest, OptionDescriptionsLineUpInBothLanguages) {
  std::vector<std::pair<std::string, std::string>> helps = {
      {"general zh", std::string(texts_zh::TxtGeneralHelpTail)},
      {"general en", std::string(texts_en::TxtGeneralHelpTail)}};
  for (const CommandInfo* command : Commands()) {
    helps.emplace_back(std::string(command->Name) + " zh", command->HelpZh);
    helps.emplace_back(std::string(command->Name) + " en", command->HelpEn);
  }
  for (const auto& [name, help] : helps) {
    size_t column = std::string::npos;
    size_t start = 0;
    for (size_t end = help.find('\n'); end != std::string::npos;
         start = end + 1, end = help.find('\n', start)) {
      const std::string line = help.substr(start, end - start);
      const size_t here = DescriptionColumn(line, column != std::string::npos);
      if (here == std::string::npos) {
        column = std::string::npos;  // the list ended
      } else if (column == std::string::npos) {
        column = here;
      } else {
        EXPECT_EQ(here, column) << name << ": " << line;
      }
    }
  }
}

TEST(LocaleTest, TheFirstNonEmptyVariableDecides) {
  EXPECT_TRUE(LocaleIsChinese({"zh_CN:en", "C", nullptr, nullptr}));
  EXPECT_TRUE(LocaleIsChinese({"", nullptr, "", "zh_TW.UTF-8"}));
  EXPECT_FALSE(LocaleIsChinese({nullptr, "C.UTF-8", "zh_CN", "zh_CN"}));
  EXPECT_FALSE(LocaleIsChinese({"", "", "", ""}));
  EXPECT_FALSE(LocaleIsChinese({"z", nullptr, nullptr, nullptr}));
  // The output's encoding: code page 936 only where the locale names it.
  const struct {
    const char* Locale;
    bool Cp936;
  } encodings[] = {{"zh_CN.GBK", true},
                   {"zh_CN.gb2312", true},
                   {"zh_CN.GB18030", true},
                   {"zh_CN.cp936@euro", true},
                   {"zh_CN.UTF-8", false},
                   {"zh_CN", false},
                   {"C", false},
                   {"", false}};
  for (const auto& e : encodings) {
    EXPECT_EQ(LocaleUsesCodePage936({e.Locale, nullptr, "zh_CN.GBK"}),
              e.Cp936 || e.Locale[0] == '\0')
        << e.Locale;
  }
}

}  // namespace
}  // namespace velmora
