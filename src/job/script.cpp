#include "job/script.h"

#include <cstdio>

#include "sys/code_page.h"
#include "wdf/resource_id.h"
#include "sys/system_error.h"

namespace velmora {

namespace {

std::string UpperCasedAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Printable ASCII other than the hyphen and the apostrophe (which locale comparisons may weigh
// lightly): two such texts compare equal exactly when they are equal apart from letter case.
bool IsPlainName(const std::string& name) {
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || c == '-' || c == '\'') return false;
  }
  return true;
}

// The smaller of two line indexes, where -1 means none.
int EarlierLine(int a, int b) {
  if (a < 0) return b;
  if (b < 0) return a;
  return a < b ? a : b;
}

int LineOf(const std::unordered_map<std::string, int>& names, const std::string& key) {
  auto hit = names.find(key);
  return hit == names.end() ? -1 : hit->second;
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

std::string TrimBlanksAndControls(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

ScriptLines::ScriptLines(const std::string& bytes) {
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  byte_order_mark_ = bytes.compare(0, 3, kByteOrderMark) == 0;
  size_t pos = byte_order_mark_ ? 3 : 0;
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
  IndexNames();
}

// A run looks up one entry key per source entry, so scanning every line for each of them would
// grow with entries times lines. Every named line goes into a map instead.
void ScriptLines::IndexNames() {
  std::string key;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].Separator == std::string::npos) continue;
    const std::string name = lines_[i].Text.substr(0, lines_[i].Separator);
    const int line = static_cast<int>(i);
    if (IsPlainName(name)) {
      plain_names_.emplace(UpperCasedAscii(name), line);  // the first line keeps the name
    } else if (ComparisonKey(name, &key)) {
      keyed_names_.emplace(key, line);
    } else {
      unkeyed_lines_.push_back(line);
    }
  }
}

int ScriptLines::FindKey(const std::string& key) const {
  if (key.empty() || !IsPlainName(key)) {
    // The program looks up only plain keys; any other is compared with every line.
    for (size_t i = 0; i < lines_.size(); ++i) {
      const ScriptLine& line = lines_[i];
      if (line.Separator == std::string::npos) continue;
      if (EqualIgnoringCase(line.Text.substr(0, line.Separator), key)) return static_cast<int>(i);
    }
    return -1;
  }
  int found = LineOf(plain_names_, UpperCasedAscii(key));
  std::string comparison_key;
  if (!keyed_names_.empty() && ComparisonKey(key, &comparison_key)) {
    found = EarlierLine(found, LineOf(keyed_names_, comparison_key));
  } else if (!keyed_names_.empty()) {
    for (const auto& named : keyed_names_) {
      if (EqualIgnoringCase(NameAt(named.second), key)) found = EarlierLine(found, named.second);
    }
  }
  for (int index : unkeyed_lines_) {
    if (found >= 0 && index > found) break;
    if (EqualIgnoringCase(NameAt(index), key)) return index;
  }
  return found;
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

bool ScriptValue(const ScriptLines& script, const char* key, bool keep_escapes,
                 std::string* value) {
  const int line = FindScriptKey(script, key);
  if (line < 0) return false;
  *value = CleanScriptValue(ScriptValueAt(script, line), keep_escapes);
  return true;
}

bool ScriptKeySaysYes(const ScriptLines& script, const char* key) {
  const int line = FindScriptKey(script, key);
  return line >= 0 && EqualFoldingAscii(CleanScriptValue(ScriptValueAt(script, line), true), "yes");
}

std::string EntryKey(uint32_t id) { return "@" + FormatId(id); }

std::string LastPathSegment(const std::string& text) {
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string PathBeforeLastSlash(const std::string& text) {
  size_t slash = text.rfind('/');
  return slash == std::string::npos ? text : text.substr(0, slash);
}

}  // namespace velmora
