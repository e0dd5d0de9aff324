// How often the one rule for a script's encoding takes GBK text for UTF-8: for the catalogue's
// Chinese texts and for random names of Chinese characters, each encoded in GBK. The guides quote
// the figures that bench/script_encoding_misreads prints; a unit test holds them down.
#pragma once

#include <cstdint>
#include <vector>

namespace velmora {

struct MisreadCount {
  int Misread = 0;  // texts the rule reads as UTF-8 that are not the same in UTF-8
  int Texts = 0;
  double Share() const { return Texts == 0 ? 0 : static_cast<double>(Misread) / Texts; }
};

// Every text of the catalogue, in the language written in Chinese characters.
MisreadCount CatalogueTextsReadAsUtf8();

// For each length from `shortest` to `longest` characters, `names` random names of characters
// of the national standard's two levels (which names are written in), drawn in turn from one
// generator seeded with `seed`.
std::vector<MisreadCount> RandomGbkNamesReadAsUtf8(int shortest, int longest, int names,
                                                   uint32_t seed);

}  // namespace velmora
