// Measures how often the rule for a script's encoding reads GBK text as UTF-8: the catalogue's
// Chinese texts, and random GBK names of two to eight characters. Prints the table the guides
// quote.
//
//   script_encoding_misreads [NAMES_PER_LENGTH]   (default 1,000,000)
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "testing/gbk_misreads.h"

int main(int argc, char** argv) {
  using velmora::MisreadCount;
  const int names = argc > 1 ? std::atoi(argv[1]) : 1000000;
  if (names <= 0) {
    std::fprintf(stderr, "usage: script_encoding_misreads [NAMES_PER_LENGTH]\n");
    return 2;
  }
  const MisreadCount catalogue = velmora::CatalogueTextsReadAsUtf8();
  std::printf("| GBK text | read as UTF-8 |\n|---|---|\n");
  std::printf("| the catalogue's Chinese texts | %d of %d |\n", catalogue.Misread, catalogue.Texts);
  const std::vector<MisreadCount> counts = velmora::RandomGbkNamesReadAsUtf8(2, 8, names, 20261207);
  for (size_t k = 0; k < counts.size(); ++k) {
    std::printf("| random names of %zu characters | %d of %d (%.4f %%) |\n", k + 2,
                counts[k].Misread, counts[k].Texts, 100 * counts[k].Share());
  }
  return 0;
}
