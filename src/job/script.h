// The script: a plain text file of name=value lines that drives one run.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "sys/file_system.h"

namespace velmora {

struct ScriptLine {
  std::string Text;  // the line without its line break; bytes as in the file
  int UsedMark = 0;  // 1 once the walk reached the entry this line names
  // Offset of the first '=' (found by characters), or std::string::npos.
  size_t Separator = std::string::npos;
};

// The loaded script. Lines never change after loading; only their marks do.
class ScriptLines {
 public:
  ScriptLines() = default;
  // Splits `bytes` into lines: CR LF, a lone CR and a lone LF each end one line; the first
  // byte 0 ends the text. A UTF-8 byte-order mark at the start marks the text's encoding and is
  // no part of the first line, so a key written first is that key.
  explicit ScriptLines(const std::string& bytes);

  size_t Count() const { return lines_.size(); }
  // True when the text began with a UTF-8 byte-order mark, which a writer puts back.
  bool HasByteOrderMark() const { return byte_order_mark_; }
  const std::string& TextAt(size_t index) const { return lines_[index].Text; }
  int UsedMarkAt(size_t index) const { return lines_[index].UsedMark; }
  void SetUsedMark(size_t index) { lines_[index].UsedMark = 1; }

  // Index of the first line whose name equals `key` (the platform's comparison ignoring case),
  // or -1.
  int FindKey(const std::string& key) const;
  // The raw value of line `index`: everything after its first '='.
  std::string ValueAt(int index) const;
  // The name of line `index`: everything before its first '='; empty without '='.
  std::string NameAt(int index) const;

 private:
  void IndexNames();

  std::vector<ScriptLine> lines_;
  bool byte_order_mark_ = false;
  // Every named line is found through one of these maps (first line of each name wins), so a
  // lookup costs the same however many lines the script has:
  // names of printable ASCII other than '-' and '\'' by their upper-cased text, since the
  // platform's comparison finds two such texts equal exactly when they are equal apart from
  // letter case;
  std::unordered_map<std::string, int> plain_names_;
  // every other name by the platform's comparison key;
  std::unordered_map<std::string, int> keyed_names_;
  // and the names the system could make no key of, compared one by one.
  std::vector<int> unkeyed_lines_;
};

// Reads the whole file at `path` (opened so that others may read but not write it). Throws
// AppFailure ("Cannot open file \"<path>\". <system text>") when it cannot be opened or read.
ScriptLines LoadScript(FileSystem& files, const std::string& path);

// Free-function names used throughout the program.
inline int FindScriptKey(const ScriptLines& script, const std::string& key) {
  return script.FindKey(key);
}
inline std::string ScriptValueAt(const ScriptLines& script, int index) {
  return script.ValueAt(index);
}
inline std::string ScriptNameAt(const ScriptLines& script, int index) {
  return script.NameAt(index);
}

// `text` without bytes 0 to 32 (blanks and control bytes) at either end.
std::string TrimBlanksAndControls(const std::string& text);

// Trims bytes 0 to 32 from both ends, cuts at the first ';', trims again and, only when
// `keep_escapes` is false, turns each backslash-n into a carriage return (character-aware).
std::string CleanScriptValue(const std::string& value, bool keep_escapes);

// The cleaned value of `key` (CleanScriptValue) when the script has that key; false without it.
bool ScriptValue(const ScriptLines& script, const char* key, bool keep_escapes, std::string* value);

// True when the script has the line `key`=yes (the value in any letter case). Such switches are
// how new behaviour is asked for: earlier versions ignore keys they do not know.
bool ScriptKeySaysYes(const ScriptLines& script, const char* key);

// '@' and the eight upper-case hexadecimal digits of `id`.
std::string EntryKey(uint32_t id);

// The text after the last '/'; the whole text without '/'.
std::string LastPathSegment(const std::string& text);
// The text before the last '/'; the whole text without '/'.
std::string PathBeforeLastSlash(const std::string& text);

}  // namespace velmora
