#include "cli/terminal_texts.h"

#include "cli/arguments.h"
#include "cli/terminal_view.h"
#include "msg/ansi_text.h"

namespace velmora {
namespace {

struct TextPair {
  const char* Chinese;
  const char* English;
};

const TextPair kTexts[] = {
#define VELMORA_TEXT(key, chinese, english) {chinese, english},
#include "terminal_texts.def"
#undef VELMORA_TEXT
};

}  // namespace

std::string ToolText(const Console& console, TextKey key, std::initializer_list<FormatArg> args) {
  const TextPair& pair = kTexts[static_cast<unsigned>(key)];
  const std::string format =
      AnsiFromUtf8(WithToolName(console.Chinese() ? pair.Chinese : pair.English));
  return args.size() == 0 ? format : FormatText(format, args);
}

std::string CountText(const Console& console, int64_t count, TextKey one, TextKey many) {
  return ToolText(console, count == 1 ? one : many, {count});
}

size_t TextColumns(const std::string& text) { return TerminalColumns(Utf8FromAnsi(text)); }

std::string PadLeft(const std::string& text, size_t columns) {
  const size_t used = TextColumns(text);
  return std::string(columns > used ? columns - used : 0, ' ') + text;
}

std::string PadRight(const std::string& text, size_t columns) {
  const size_t used = TextColumns(text);
  return text + std::string(columns > used ? columns - used : 0, ' ');
}

std::string WithoutTrailingBlanks(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  std::string blanks;  // blanks seen and not yet copied: a line break drops them
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      blanks += c;
      continue;
    }
    if (c != '\n') result += blanks;
    blanks.clear();
    result += c;
  }
  // Blanks at the very end stay: a question waits behind them for its answer.
  return result + blanks;
}

}  // namespace velmora
