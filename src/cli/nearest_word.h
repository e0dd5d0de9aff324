// Suggestions for a mistyped word: the known word it most probably means.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// The number of single-character insertions, deletions, substitutions and swaps of two
// neighbours that turn `a` into `b`, with ASCII letters compared without regard to case.
size_t EditDistance(const std::string& a, const std::string& b);

// The word of `known` nearest to `word`, when it is near enough to be a slip of the fingers
// (at most two edits, and fewer than half of the word's characters); empty otherwise, and when
// `word` is already one of them.
std::string NearestWord(const std::string& word, const std::vector<std::string>& known);

}  // namespace velmora
