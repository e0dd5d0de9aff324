// A script as bytes and as lines: each line kept as it stands in the file, with its kind and,
// for a rule line, its id and whether it is the line a run takes for that id. Edits are made
// line by line, so that whatever is not edited is written back byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "job/script.h"

namespace velmora {

enum class ScriptLineKind : uint8_t {
  kKey,      // a name starting with '#'
  kRule,     // named '@' and eight hexadecimal digits
  kComment,  // blank, or ';' first
  kOther,    // anything else: a run never takes it
};

struct ScriptDocumentLine {
  size_t Start = 0;   // of its text in the bytes
  size_t Length = 0;  // of its text, without its line break
  size_t Next = 0;    // where the next line starts (behind the line break)
  ScriptLineKind Kind = ScriptLineKind::kOther;
  uint32_t Id = 0;     // kRule
  bool Taken = false;  // kRule: the line a run takes for Id (the first that names it)
};

// The changes to a script's lines that a save makes. Line texts are without their break.
struct ScriptEdit {
  std::map<size_t, std::optional<std::string>> Replaced;  // a line's new text, or removed
  std::vector<std::string> BeforeRules;                   // new lines before the first rule line
  std::vector<std::string> Appended;  // new lines at the end of the text a run reads
};

class ScriptDocument {
 public:
  explicit ScriptDocument(std::string bytes = std::string());

  const std::string& Bytes() const { return bytes_; }
  // The lines as a run reads them.
  const ScriptLines& Lines() const { return lines_; }
  size_t Count() const { return raw_.size(); }
  const ScriptDocumentLine& Line(size_t k) const { return raw_[k]; }
  std::string TextAt(size_t k) const { return bytes_.substr(raw_[k].Start, raw_[k].Length); }
  // The line break the script uses: that of its first line that has one, CR LF otherwise.
  const std::string& LineBreak() const { return line_break_; }

  // The line a run takes for the entry `id`, or -1.
  int TakenLine(uint32_t id) const { return FindScriptKey(lines_, EntryKey(id)); }
  // How many rule lines name `id`.
  size_t RuleLinesOf(uint32_t id) const;

  // The bytes with `edit` made: unedited lines exactly as they were, new and replaced lines
  // ending in the script's line break, and whatever follows the byte 0 that ends a script kept
  // behind the appended lines.
  std::string Edited(const ScriptEdit& edit) const;

 private:
  std::string bytes_;
  ScriptLines lines_;
  std::vector<ScriptDocumentLine> raw_;
  size_t tail_ = 0;  // where the text a run reads ends
  std::string line_break_ = "\r\n";
};

}  // namespace velmora
