#include "msg/format.h"

#include <cstdio>

namespace velmora {

namespace {

// The placeholders a catalogue text may hold. Anything else after '%' is copied as written.
enum class Placeholder { kNone, kText, kDecimal, kHex8, kPercent };

Placeholder PlaceholderAt(const std::string& format, size_t pos, size_t* length) {
  static const struct {
    const char* Spelling;
    Placeholder Kind;
  } kPlaceholders[] = {
      {"%s", Placeholder::kText},
      {"%d", Placeholder::kDecimal},
      {"%.8x", Placeholder::kHex8},
      {"%%", Placeholder::kPercent},
  };
  for (const auto& p : kPlaceholders) {
    if (format.compare(pos, std::char_traits<char>::length(p.Spelling), p.Spelling) == 0) {
      *length = std::char_traits<char>::length(p.Spelling);
      return p.Kind;
    }
  }
  *length = 1;
  return Placeholder::kNone;
}

std::string Decimal(int64_t number) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(number));
  return buffer;
}

std::string Hex8(int64_t number) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%08lX",
                static_cast<unsigned long>(static_cast<uint32_t>(number)));
  return buffer;
}

}  // namespace

std::string FormatText(const std::string& format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size());
  auto next_arg = args.begin();
  size_t pos = 0;
  while (pos < format.size()) {
    size_t percent = format.find('%', pos);
    if (percent == std::string::npos) {
      out.append(format, pos, std::string::npos);
      break;
    }
    out.append(format, pos, percent - pos);
    size_t length = 0;
    Placeholder kind = PlaceholderAt(format, percent, &length);
    if (kind == Placeholder::kNone) {
      out.push_back('%');
    } else if (kind == Placeholder::kPercent) {
      out.push_back('%');
    } else if (next_arg != args.end()) {
      // A placeholder takes the next argument even when the kinds differ, so that the
      // arguments after it still meet their own placeholders.
      const FormatArg& arg = *next_arg++;
      if (kind == Placeholder::kText && arg.IsText()) {
        out += arg.Text();
      } else if (kind == Placeholder::kDecimal && !arg.IsText()) {
        out += Decimal(arg.Number());
      } else if (kind == Placeholder::kHex8 && !arg.IsText()) {
        out += Hex8(arg.Number());
      }
    }
    pos = percent + length;
  }
  return out;
}

std::string Message(MessageKey key, std::initializer_list<FormatArg> args) {
  return FormatText(LoadMessage(key), args);
}

}  // namespace velmora
