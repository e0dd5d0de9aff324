// JSON for build scripts: texts as JSON strings, in plain ASCII whatever the terminal's
// encoding, so that the document reads the same everywhere.
#pragma once

#include <string>

namespace velmora {

// `utf8` as a JSON string with its quotes; every character beyond ASCII and every control
// character is written as \uXXXX (a pair of them beyond U+FFFF); a byte that is not part of
// valid UTF-8 becomes U+FFFD.
std::string JsonString(const std::string& utf8);

}  // namespace velmora
