// What a run ignores or reads differently from what the script's writer probably meant: lines
// whose key the run never finds, keys it does not know, rules it never reaches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "job/script.h"

namespace velmora {

enum class ScriptWarningKind {
  kBlankBeforeKey,     // a blank before the key: the run looks the key up with it
  kBlankBeforeEquals,  // a blank between the key and '='
  kUnknownKey,         // a '#' key the run does not know; Detail: the known key it is near
  kRuleWithoutAt,      // eight hexadecimal digits and '=' but no '@' before them
  kShortRuleId,        // '@' with fewer or more than eight digits: the run looks for eight
  kRepeatedKey,        // the key of an earlier line again; Other: the line that counts
  kIdNotInSource,      // a rule for an id the source archive does not hold
};

struct ScriptWarning {
  ScriptWarningKind Kind = ScriptWarningKind::kUnknownKey;
  size_t Line = 0;     // counted from 1
  std::string Text;    // the line as written
  std::string Key;     // the line's key without blanks
  std::string Detail;  // the key meant (kUnknownKey; empty when none is near) or the key read
  size_t Other = 0;    // the line that counts (kRepeatedKey)
};

// The keys a script may set, in the spelling the guide uses.
const std::vector<std::string>& KnownScriptKeys();

// The warnings for `script` in line order (one per line at most, the most telling one).
// `source_ids` holds the ids of the source archive when it could be read; without it, rules
// for missing ids are not looked for.
std::vector<ScriptWarning> FindScriptWarnings(const ScriptLines& script,
                                              const std::unordered_set<uint32_t>* source_ids);

// Whether the script's bytes are UTF-16 (a byte-order mark of either order, or the zero bytes
// between ASCII characters that UTF-16 text without one has), which the run cannot read.
bool LooksLikeUtf16(const std::string& bytes);

}  // namespace velmora
