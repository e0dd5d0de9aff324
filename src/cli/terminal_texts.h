// The terminal tool's own words (help, labels, warnings, summaries), written once in
// res/terminal_texts.def in both languages, as the catalogue holds the run's messages.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "cli/command.h"
#include "msg/format.h"

namespace velmora {

enum class TextKey : unsigned {
#define VELMORA_TEXT(key, chinese, english) key,
#include "terminal_texts.def"
#undef VELMORA_TEXT
};

// Each text as a named constant of its language (UTF-8), for the tables that hold both, such as
// the commands' help.
namespace texts_zh {
#define VELMORA_TEXT(key, chinese, english) inline constexpr char key[] = chinese;
#include "terminal_texts.def"
#undef VELMORA_TEXT
}  // namespace texts_zh
namespace texts_en {
#define VELMORA_TEXT(key, chinese, english) inline constexpr char key[] = english;
#include "terminal_texts.def"
#undef VELMORA_TEXT
}  // namespace texts_en

// Text `key` in the console's language, in the program's text encoding, with its placeholders
// (as in the catalogue: %s, %d, %.8x, %%) filled by `args` and every "{tool}" replaced by the
// tool's name.
std::string ToolText(const Console& console, TextKey key,
                     std::initializer_list<FormatArg> args = {});

// `count` with the noun that fits it in English ("1 entry", "2 entries"): `one` is used for a
// count of 1, `many` for every other; both hold the count as %d. Chinese has one form.
std::string CountText(const Console& console, int64_t count, TextKey one, TextKey many);

// Columns a text of the program (in its text encoding) takes on a terminal: Chinese characters
// take two, so tables of Chinese words line up only when padded by columns, not by bytes.
size_t TextColumns(const std::string& text);
// `text` with blanks before it (PadLeft) or after it (PadRight) up to `columns` columns.
std::string PadLeft(const std::string& text, size_t columns);
std::string PadRight(const std::string& text, size_t columns);

// `text` without blanks at the ends of its lines: what the terminal tool prints never ends a
// line in blanks, though a catalogue text shown in a box may.
std::string WithoutTrailingBlanks(const std::string& text);

}  // namespace velmora
