// Searches of tables sorted by resource id. A run looks up tens of thousands of ids in tables of
// hundreds of thousands of entries, each lookup at a place unrelated to the last; a plain halving
// search then touches a new page of memory at nearly every probe. Ids of an archive are spread
// evenly more often than not (counted up, or made from names), so the place an id takes among
// the table's first and last ids is a close guess: the search starts there and widens its steps
// only as far as the guess was off, and so stays within a page or two.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace velmora {

// The first element of [first, last) whose id is not below `id`, as std::lower_bound would find
// it, searched from `hint` (any place in the range) outwards in steps that double, then by halving
// within the last step.
template <typename It, typename IdOf>
It LowerBoundIdFrom(It first, It last, It hint, uint32_t id, IdOf id_of) {
  auto low = first;
  auto high = last;
  if (hint < high && id_of(*hint) < id) {
    low = hint + 1;
    for (std::ptrdiff_t step = 1; low < high; step *= 2) {
      const auto probe = low + std::min<std::ptrdiff_t>(step - 1, high - low - 1);
      if (id_of(*probe) >= id) {
        high = probe;
        break;
      }
      low = probe + 1;
    }
  } else {
    high = hint;
    for (std::ptrdiff_t step = 1; low < high; step *= 2) {
      const auto probe = high - std::min<std::ptrdiff_t>(step, high - low);
      if (id_of(*probe) < id) {
        low = probe + 1;
        break;
      }
      high = probe;
    }
  }
  return std::partition_point(low, high, [&](const auto& element) { return id_of(element) < id; });
}

// As std::lower_bound by id over [first, last), sorted by id, starting where `id` would stand
// were the ids spread evenly between the first and the last.
template <typename It, typename IdOf>
It LowerBoundId(It first, It last, uint32_t id, IdOf id_of) {
  if (first == last) return last;
  const uint32_t lowest = id_of(*first);
  const uint32_t highest = id_of(*(last - 1));
  if (id <= lowest) return first;
  if (id > highest) return last;
  const uint64_t span = uint64_t{highest} - lowest;
  const auto places = static_cast<uint64_t>(last - first - 1);
  const auto guess = static_cast<std::ptrdiff_t>((uint64_t{id} - lowest) * places / span);
  return LowerBoundIdFrom(first, last, first + guess, id, id_of);
}

}  // namespace velmora
