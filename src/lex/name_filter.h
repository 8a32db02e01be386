// A compact over-approximation of a set of names, by their 20-bit name hash
// (identifier_name_hash): a name the filter rejects is certainly not in it.
#pragma once

#include <cstdint>

// How the names a filter holds begin, while they begin in few ways: by
// their first byte and their second (0 for a name of one byte, which any
// byte may follow). A line in which no name begins so holds none of the
// names, and the wide check of plain lines (lex/wide_scan.h) passes over it.
constexpr uint8_t kNameStarts = 8;
struct NameStarts {
  uint8_t first[kNameStarts];
  uint8_t second[kNameStarts];
  uint8_t count;  // more than kNameStarts: too many to look for
};

struct NameFilter {
  uint64_t* words;
  uint32_t mask;  // of the bit index within the name hash
  NameStarts starts;
};

inline bool filter_may_hold(const NameFilter& filter, uint32_t name_hash) {
  uint32_t bit = name_hash & filter.mask;
  return (filter.words[bit >> 6] >> (bit & 63)) & 1;
}

// Notes how a name begins (`second` 0 for a name of one byte).
inline void note_name_start(NameStarts& starts, unsigned char first, unsigned char second) {
  for (uint8_t i = 0; i < starts.count && i < kNameStarts; ++i) {
    if (starts.first[i] == first && starts.second[i] == second) return;
  }
  if (starts.count < kNameStarts) {
    starts.first[starts.count] = first;
    starts.second[starts.count] = second;
  }
  if (starts.count <= kNameStarts) ++starts.count;
}
