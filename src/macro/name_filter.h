// A compact over-approximation of the names that need more than copying:
// every macro name of the run, _Pragma and __VA_ARGS__. A name the filter
// rejects is certainly none of them.
#pragma once

#include <cstdint>

struct Preprocessor;

struct NameFilter {
  uint64_t* words;
  uint32_t mask;  // of the bit index within the name hash
};

NameFilter build_name_filter(Preprocessor* p);

inline bool filter_may_hold(const NameFilter& filter, uint32_t name_hash) {
  uint32_t bit = name_hash & filter.mask;
  return (filter.words[bit >> 6] >> (bit & 63)) & 1;
}
