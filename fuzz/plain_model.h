// Plain models of the script and archive rules for the fuzzers to hold the program against.
// Each is written from the rules as stated (what a line is, what a rule value means, when an
// archive is valid), in the most direct form: byte loops over whole texts, nothing indexed,
// nothing shared with the program's own code, so that a disagreement points at the program.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora {
namespace fuzzing {

// Stops the fuzzer with the disagreement described; libFuzzer keeps the input that caused it.
#define FUZZ_CHECK(condition, ...)                                                         \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                                   \
      std::fprintf(stderr, "\n");                                                          \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)

// Text made printable for a failure report.
inline std::string Shown(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 32 && c < 127 && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

// The character rules of the code page: without double-byte characters every byte is one; in
// the double-byte code page of the target systems a byte 0x81 to 0xFE starts a character of two
// bytes unless nothing, or a zero byte, follows it.
class PlainText {
 public:
  explicit PlainText(bool double_byte) : double_byte_(double_byte) {}

  // Where the character that starts at `pos` ends.
  size_t CharacterEnd(const std::string& text, size_t pos) const {
    const unsigned char byte = static_cast<unsigned char>(text[pos]);
    const bool pair = double_byte_ && byte >= 0x81 && byte <= 0xFE && pos + 1 < text.size() &&
                      text[pos + 1] != '\0';
    return pos + (pair ? 2 : 1);
  }

  // The text cut into its characters.
  std::vector<std::string> Characters(const std::string& text) const {
    std::vector<std::string> chars;
    for (size_t pos = 0, end; pos < text.size(); pos = end) {
      end = CharacterEnd(text, pos);
      chars.push_back(text.substr(pos, end - pos));
    }
    return chars;
  }

  // The lines of a script file: CR LF, a lone CR and a lone LF end a line; the first byte 0
  // ends the text; a break at the very end adds no empty line.
  std::vector<std::string> Lines(const std::string& bytes) const {
    std::string text = bytes.substr(0, bytes.find('\0'));
    // A UTF-8 mark at the start says how the script is encoded; it belongs to no line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<std::string> lines;
    std::string current;
    size_t pos = 0;
    while (pos < text.size()) {
      const char c = text[pos++];
      if (c != '\r' && c != '\n') {
        current += c;
        continue;
      }
      if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
      lines.push_back(current);
      current.clear();
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
  }

  // Splits a line at its first '=' that is a character of its own. False when there is none.
  bool NameAndValue(const std::string& line, std::string* name, std::string* value) const {
    for (size_t pos = 0, end; pos < line.size(); pos = end) {
      end = CharacterEnd(line, pos);
      if (end == pos + 1 && line[pos] == '=') {
        *name = line.substr(0, pos);
        *value = line.substr(end);
        return true;
      }
    }
    return false;
  }

  // Equal when the characters pair up, single-byte ones equal once a-z count as A-Z, double-byte
  // ones identical.
  bool EqualFoldingAscii(const std::string& a, const std::string& b) const {
    if (a.size() != b.size()) return false;
    for (size_t pos = 0, end; pos < a.size(); pos = end) {
      end = CharacterEnd(a, pos);
      if (CharacterEnd(b, pos) != end) return false;
      if (end == pos + 2 ? a.compare(pos, 2, b, pos, 2) != 0 : Upper(a[pos]) != Upper(b[pos])) {
        return false;
      }
    }
    return true;
  }

  // Trims bytes 0 to 32 at both ends, keeps what stands before the first ';', trims again;
  // without `keep_escapes`, each backslash-n that begins a character becomes a carriage return.
  std::string Clean(const std::string& value, bool keep_escapes) const {
    std::string text = Trim(value);
    const size_t semicolon = text.find(';');
    if (semicolon != std::string::npos) text = Trim(text.substr(0, semicolon));
    if (keep_escapes) return text;
    const std::vector<std::string> chars = Characters(text);
    std::string out;
    for (size_t k = 0; k < chars.size(); ++k) {
      if (chars[k] == "\\" && k + 1 < chars.size() && chars[k + 1] == "n") {
        out += '\r';
        ++k;
      } else {
        out += chars[k];
      }
    }
    return out;
  }

  // Up to and including the last backslash or colon that is a character of its own.
  std::string DirectoryPart(const std::string& path) const {
    std::string dir;
    std::string walked;
    for (const std::string& c : Characters(path)) {
      walked += c;
      if (c == "\\" || c == ":") dir = walked;
    }
    return dir;
  }

  static char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

 private:
  static std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
  }

  bool double_byte_;
};

// '@' and eight upper-case hexadecimal digits.
inline std::string PlainEntryKey(uint32_t id) {
  std::string key = "@";
  for (int shift = 28; shift >= 0; shift -= 4) key += "0123456789ABCDEF"[(id >> shift) & 15];
  return key;
}

// One or more hexadecimal digits and nothing else, worth at most 0xFFFFFFFF.
inline bool PlainHexId(const std::string& text, uint32_t* id) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  *id = static_cast<uint32_t>(value);
  return true;
}

// The kinds of rule values, tested in this order.
enum class PlainRule {
  kKeep,
  kInternalReference,
  kDelete,
  kInternalIdInvalid,
  kEndsWithSlash,
  kArchiveEntry,
  kExternalFile,
};

// Classifies a cleaned rule value; `id_text` receives the text after the '@' that matters.
inline PlainRule ClassifyPlainRule(const std::string& value, std::string* id_text) {
  id_text->clear();
  if (value.empty()) return PlainRule::kKeep;
  uint32_t id = 0;
  if (value[0] == '@') {
    *id_text = value.substr(1);
    if (PlainHexId(*id_text, &id)) return PlainRule::kInternalReference;
    std::string upper;
    for (char c : *id_text) upper += PlainText::Upper(c);
    return upper == "DELETE" ? PlainRule::kDelete : PlainRule::kInternalIdInvalid;
  }
  if (value.back() == '/') return PlainRule::kEndsWithSlash;
  const std::string last = value.substr(value.rfind('/') + 1);  // whole value without '/'
  if (!last.empty() && last[0] == '@') {
    *id_text = last.substr(1);
    return PlainRule::kArchiveEntry;
  }
  return PlainRule::kExternalFile;
}

// --- Archives -------------------------------------------------------------------------------

struct PlainEntry {
  uint32_t Id = 0, Offset = 0, Size = 0, Space = 0;
};

inline uint32_t PlainLe32(const std::string& bytes, uint64_t at) {
  uint32_t value = 0;
  for (int k = 3; k >= 0; --k) value = value * 256 + static_cast<unsigned char>(bytes[at + k]);
  return value;
}

// The 16-byte record at `at`; the caller has made sure it lies inside `bytes`.
inline PlainEntry PlainRecord(const std::string& bytes, uint64_t at) {
  return {PlainLe32(bytes, at), PlainLe32(bytes, at + 4), PlainLe32(bytes, at + 8),
          PlainLe32(bytes, at + 12)};
}

// "PFDW", a whole header, and a file at least as long as the index's end.
inline bool PlainHeader(const std::string& bytes, uint32_t* count, uint32_t* index_offset) {
  if (bytes.size() < 12 || bytes.compare(0, 4, "PFDW") != 0) return false;
  *count = PlainLe32(bytes, 4);
  *index_offset = PlainLe32(bytes, 8);
  return bytes.size() >= static_cast<uint64_t>(*count) * 16 + *index_offset;
}

// The entry with its reserved space ends before the last `count` * 16 bytes of the file.
inline bool PlainInBounds(const PlainEntry& entry, uint64_t file_size, uint32_t count) {
  const unsigned __int128 end = static_cast<unsigned __int128>(entry.Offset) + entry.Size +
                                entry.Space + static_cast<unsigned __int128>(count) * 16;
  return end <= file_size;
}

// The `size` bytes at `offset`, when they all lie inside the file; nothing is read for size 0.
inline bool PlainSlice(const std::string& bytes, uint64_t offset, uint64_t size, std::string* out) {
  if (size == 0) {
    out->clear();
    return true;
  }
  if (offset > bytes.size() || size > bytes.size() - offset) return false;
  *out = bytes.substr(offset, size);
  return true;
}

// An archive in the layout the program writes: header, data from 12, then the index.
inline std::string PlainArchive(const std::vector<std::pair<uint32_t, std::string>>& entries) {
  auto le32 = [](uint64_t value) {
    std::string out;
    for (int k = 0; k < 4; ++k) out += static_cast<char>((value >> (8 * k)) & 0xFF);
    return out;
  };
  std::string data;
  std::string index;
  for (const auto& entry : entries) {
    index += le32(entry.first) + le32(12 + data.size()) + le32(entry.second.size()) + le32(0);
    data += entry.second;
  }
  return "PFDW" + le32(entries.size()) + le32(12 + data.size()) + data + index;
}

}  // namespace fuzzing
}  // namespace velmora
