#include "wdf/id_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace velmora {
namespace {

// Tables of every shape the ids of an archive take (counted up, spread, bunched at one end,
// repeated, at the ends of the range), searched for ids in them, beside them and outside them,
// from every place a search may start: the answer is always the one of a plain halving search.
TEST(IdSearchTest, FindsWhatAPlainSearchFindsForAnyTableAndStart) {
  std::mt19937 random(25);
  const auto id_of = [](uint32_t id) { return id; };
  for (int round = 0; round < 400; ++round) {
    const size_t size = random() % 70;
    std::vector<uint32_t> ids(size);
    for (uint32_t& id : ids) {
      switch (round % 5) {
        case 0:  // counted up, with gaps
          id = 0x10000000 + static_cast<uint32_t>(random() % (3 * size + 1));
          break;
        case 1:  // spread over the whole range
          id = static_cast<uint32_t>(random());
          break;
        case 2:  // bunched: most small, a few far out
          id = random() % 8 == 0 ? static_cast<uint32_t>(random()) : random() % 40;
          break;
        case 3:  // few values, many repeats
          id = 0xFFFFFFF0u + random() % 16;
          break;
        default:  // the ends of the range
          id = random() % 2 == 0 ? random() % 3 : 0xFFFFFFFFu - random() % 3;
          break;
      }
    }
    std::sort(ids.begin(), ids.end());
    std::vector<uint32_t> wanted = {0, 1, 0xFFFFFFFEu, 0xFFFFFFFFu,
                                    static_cast<uint32_t>(random())};
    for (uint32_t id : ids) wanted.insert(wanted.end(), {id - 1, id, id + 1});
    for (uint32_t id : wanted) {
      const auto expected = std::lower_bound(ids.begin(), ids.end(), id);
      ASSERT_EQ(LowerBoundId(ids.begin(), ids.end(), id, id_of), expected)
          << "round " << round << ", id " << id;
      for (size_t hint = 0; hint <= size; ++hint) {
        ASSERT_EQ(LowerBoundIdFrom(ids.begin(), ids.end(), ids.begin() + hint, id, id_of), expected)
            << "round " << round << ", id " << id << ", from " << hint;
      }
    }
  }
}

}  // namespace
}  // namespace velmora
