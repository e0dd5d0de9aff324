#include "cli/nearest_word.h"

#include <algorithm>

namespace velmora {
namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b) {
  // Three rows of the table: two back are needed for a swap of neighbours.
  std::vector<size_t> before(b.size() + 1);
  std::vector<size_t> previous(b.size() + 1);
  std::vector<size_t> current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const bool same = FoldAscii(a[i - 1]) == FoldAscii(b[j - 1]);
      current[j] =
          std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && FoldAscii(a[i - 1]) == FoldAscii(b[j - 2]) &&
          FoldAscii(a[i - 2]) == FoldAscii(b[j - 1])) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(current);
  }
  return previous[b.size()];
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& known) {
  std::string best;
  size_t best_distance = 3;
  for (const std::string& candidate : known) {
    const size_t distance = EditDistance(word, candidate);
    if (distance == 0) return std::string();
    if (distance < best_distance && distance * 2 < word.size()) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

}  // namespace velmora
