#include "job/script.h"

#include <cstdio>

#include "sys/code_page.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// '@' followed by exactly eight hexadecimal digits: the names of entry rules.
bool HasEntryKeyForm(const std::string& name) {
  if (name.size() != 9 || name[0] != '@') return false;
  for (size_t i = 1; i < name.size(); ++i) {
    if (!IsHexDigit(name[i])) return false;
  }
  return true;
}

std::string UpperCasedAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// A name of printable ASCII characters other than the hyphen and the apostrophe (which locale
// comparisons may weigh lightly) equals an entry key only when it has the entry key's form
// itself; such names need no comparison with entry keys.
bool MayEqualEntryKey(const std::string& name) {
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '-' || c == '\'') return true;
  }
  return false;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string TrimBlanksAndControls(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// Each backslash-n becomes a carriage return. Steps by characters, so a backslash byte that
// ends a double-byte character never starts an escape.
std::string ReplaceLineEscapes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '\\' && pos + 1 < text.size() && text[pos + 1] == 'n') {
      out.push_back('\r');
      pos += 2;
      continue;
    }
    size_t next = NextCharOffset(text, pos);
    if (next <= pos) next = pos + 1;  // always move on
    out.append(text, pos, next - pos);
    pos = next;
  }
  return out;
}

}  // namespace

ScriptLines::ScriptLines(const std::string& bytes) {
  size_t pos = 0;
  const size_t size = bytes.size();
  while (pos < size && bytes[pos] != '\0') {
    size_t end = pos;
    while (end < size && bytes[end] != '\0' && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    ScriptLine line;
    line.Text = bytes.substr(pos, end - pos);
    line.Separator = FindChar(line.Text, '=');
    lines_.push_back(std::move(line));
    pos = end;
    if (pos < size && bytes[pos] == '\r') ++pos;
    if (pos < size && bytes[pos] == '\n') ++pos;
  }
  IndexEntryKeys();
}

// A run looks up one entry key per source entry, so scanning every line for each of them would
// grow with entries times lines. Entry-rule names go into a map instead; the few names that
// the platform's comparison might still find equal to an entry key are compared one by one.
void ScriptLines::IndexEntryKeys() {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].Separator == std::string::npos) continue;
    std::string name = lines_[i].Text.substr(0, lines_[i].Separator);
    if (HasEntryKeyForm(name)) {
      entry_key_lines_.emplace(UpperCasedAscii(name), static_cast<int>(i));  // first line wins
    } else if (MayEqualEntryKey(name)) {
      other_named_lines_.push_back(static_cast<int>(i));
    }
  }
}

int ScriptLines::FindKey(const std::string& key) const {
  if (HasEntryKeyForm(key)) {
    int found = -1;
    auto hit = entry_key_lines_.find(UpperCasedAscii(key));
    if (hit != entry_key_lines_.end()) found = hit->second;
    for (int index : other_named_lines_) {
      if (found >= 0 && index > found) break;
      if (EqualIgnoringCase(NameAt(index), key)) return index;
    }
    return found;
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    const ScriptLine& line = lines_[i];
    if (line.Separator == std::string::npos) continue;
    if (EqualIgnoringCase(line.Text.substr(0, line.Separator), key)) return static_cast<int>(i);
  }
  return -1;
}

std::string ScriptLines::ValueAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) return std::string();
  const ScriptLine& line = lines_[index];
  if (line.Separator == std::string::npos) return std::string();
  return line.Text.substr(line.Separator + 1);
}

std::string ScriptLines::NameAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= lines_.size()) return std::string();
  const ScriptLine& line = lines_[index];
  if (line.Separator == std::string::npos) return std::string();
  return line.Text.substr(0, line.Separator);
}

ScriptLines LoadScript(FileSystem& files, const std::string& path) {
  std::unique_ptr<Stream> stream = files.OpenDenyWrite(path);
  if (!stream) {
    throw AppFailure("EFOpenError", "Cannot open file \"" + path + "\". " + LastSystemErrorText());
  }
  uint64_t size = 0;
  std::string bytes;
  bool complete = stream->Size(&size);
  if (complete && size > bytes.max_size()) complete = false;
  if (complete) {
    bytes.resize(static_cast<size_t>(size));
    complete = bytes.empty() || stream->Read(&bytes[0], bytes.size()) == bytes.size();
  }
  if (!complete) {
    throw AppFailure("EReadError", "Cannot read file \"" + path + "\". " + LastSystemErrorText());
  }
  return ScriptLines(bytes);
}

std::string CleanScriptValue(const std::string& value, bool keep_escapes) {
  std::string cleaned = TrimBlanksAndControls(value);
  size_t comment = cleaned.find(';');  // a plain byte search: ';' is never a trail byte
  if (comment != std::string::npos) cleaned = TrimBlanksAndControls(cleaned.substr(0, comment));
  if (!keep_escapes) cleaned = ReplaceLineEscapes(cleaned);
  return cleaned;
}

std::string EntryKey(uint32_t id) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "@%08lX", static_cast<unsigned long>(id));
  return buffer;
}

std::string LastPathSegment(const std::string& text) {
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string PathBeforeLastSlash(const std::string& text) {
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(0, slash);
}

}  // namespace velmora
