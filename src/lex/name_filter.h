// A compact over-approximation of a set of names, by their 20-bit name hash
// (identifier_name_hash): a name the filter rejects is certainly not in it.
#pragma once

#include <cstdint>

struct NameFilter {
  uint64_t* words;
  uint32_t mask;  // of the bit index within the name hash
};

inline bool filter_may_hold(const NameFilter& filter, uint32_t name_hash) {
  uint32_t bit = name_hash & filter.mask;
  return (filter.words[bit >> 6] >> (bit & 63)) & 1;
}
