#include "cli/script_warnings.h"

#include <unordered_map>

#include "cli/nearest_word.h"
#include "sys/code_page.h"
#include "wdf/resource_id.h"

namespace velmora {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsHexDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      return false;
    }
  }
  return true;
}

// A key the run would look up: '@' and eight hexadecimal digits, or a '#' key.
bool IsRuleKey(const std::string& key) {
  return key.size() == 9 && key[0] == '@' && IsHexDigits(key.substr(1));
}

std::string KnownKeyNamed(const std::string& key) {
  for (const std::string& known : KnownScriptKeys()) {
    if (EqualFoldingAscii(key, known)) return known;
  }
  // A mod's parts: #ModPart1, #ModPart2, ...
  const std::string part = "#ModPart";
  if (key.size() > part.size() && EqualFoldingAscii(key.substr(0, part.size()), part) &&
      key[part.size()] != '0' &&
      key.find_first_not_of("0123456789", part.size()) == std::string::npos) {
    return key;
  }
  // A patch's base and result of one id: the key and a rule key.
  for (const std::string prefix : {"#Base", "#Result"}) {
    if (key.size() == prefix.size() + 9 &&
        EqualFoldingAscii(key.substr(0, prefix.size()), prefix) &&
        IsRuleKey(key.substr(prefix.size()))) {
      return key;
    }
  }
  return std::string();
}

// The warning for the key of one line, apart from repeats and ids: the key as written is
// `name`, the key the writer meant `key` (without blanks and mark).
bool KeyWarning(const std::string& name, const std::string& key, ScriptWarning* warning) {
  if (key.empty()) return false;
  const bool meaningful = IsRuleKey(key) || !KnownKeyNamed(key).empty();
  if (meaningful && name != key) {
    warning->Kind = IsBlank(name[0]) ? ScriptWarningKind::kBlankBeforeKey
                                     : ScriptWarningKind::kBlankBeforeEquals;
    warning->Detail = key;
    return true;
  }
  if (key[0] == '#' && KnownKeyNamed(key).empty()) {
    warning->Kind = ScriptWarningKind::kUnknownKey;
    warning->Detail = NearestWord(key, KnownScriptKeys());
    return true;
  }
  if (key[0] == '@' && !IsRuleKey(key) && key.size() > 1 && IsHexDigits(key.substr(1))) {
    warning->Kind = ScriptWarningKind::kShortRuleId;
    warning->Detail = key;
    return true;
  }
  if (key.size() == 8 && IsHexDigits(key)) {
    warning->Kind = ScriptWarningKind::kRuleWithoutAt;
    warning->Detail = "@" + key;
    return true;
  }
  return false;
}

}  // namespace

const std::vector<std::string>& KnownScriptKeys() {
  static const std::vector<std::string> keys = {"#RunBegin",   "#SrcPath", "#SrcFile", "#DestPath",
                                                "#DestFile",   "#Author",  "#Date",    "#RunEnd",
                                                "#AddEntries", "#InPlace", "#PatchId", "#Undo",
                                                "#Restore",    "#ModBase", "#ModUndo"};
  return keys;
}

std::vector<ScriptWarning> FindScriptWarnings(const ScriptLines& script,
                                              const std::unordered_set<uint32_t>* source_ids) {
  std::vector<ScriptWarning> warnings;
  const bool adds_entries = ScriptKeySaysYes(script, "#AddEntries");
  std::unordered_map<std::string, size_t> first_line_of_key;  // by the folded key
  for (size_t i = 0; i < script.Count(); ++i) {
    const std::string& text = script.TextAt(i);
    ScriptWarning warning;
    warning.Line = i + 1;
    warning.Text = text;
    std::string name = ScriptNameAt(script, static_cast<int>(i));
    warning.Key = TrimBlanksAndControls(name);
    if (text.find('=') == std::string::npos) continue;
    const std::string key = TrimBlanksAndControls(name);
    if (KeyWarning(name, key, &warning)) {
      warnings.push_back(warning);
      continue;
    }
    const std::string folded = FoldedAsciiKey(name);
    const auto first = first_line_of_key.emplace(folded, i + 1);
    if (!first.second) {
      warning.Kind = ScriptWarningKind::kRepeatedKey;
      warning.Detail = name;
      warning.Other = first.first->second;
      warnings.push_back(warning);
      continue;
    }
    uint32_t id = 0;
    // With #AddEntries=yes such a line adds an entry, as its writer meant.
    if (source_ids != nullptr && !adds_entries && IsRuleKey(name) &&
        ParseHexId(name.substr(1), &id) && source_ids->count(id) == 0) {
      warning.Kind = ScriptWarningKind::kIdNotInSource;
      warning.Detail = name;
      warnings.push_back(warning);
    }
  }
  return warnings;
}

bool LooksLikeUtf16(const std::string& bytes) {
  if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
  // Without a mark: ASCII text in UTF-16 has a zero byte in every pair, which no script in a
  // single- or double-byte code page has before its end.
  const size_t pairs = bytes.size() < 64 ? bytes.size() / 2 : 32;
  if (pairs < 2) return false;
  size_t zeros = 0;
  for (size_t k = 0; k < pairs; ++k) {
    if (bytes[2 * k] == '\0' || bytes[2 * k + 1] == '\0') ++zeros;
  }
  return zeros * 4 >= pairs * 3;
}

}  // namespace velmora
