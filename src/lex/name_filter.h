// A compact over-approximation of a set of names, by their 20-bit name hash
// (identifier_name_hash): a name the filter rejects is certainly not in it.
#pragma once

#include <cstdint>

// The first bytes of the names a filter holds, while they are few: a line in
// which none of them begins a name holds none of the names, and the wide
// check of a plain line (lex/wide_scan.h) passes over it.
constexpr uint8_t kNameStartBytes = 6;
struct NameStarts {
  uint8_t bytes[kNameStartBytes];
  uint8_t count;  // more than kNameStartBytes: too many to look for
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

// Notes the first byte of a name.
inline void note_name_start_byte(NameStarts& starts, unsigned char first) {
  for (uint8_t i = 0; i < starts.count && i < kNameStartBytes; ++i) {
    if (starts.bytes[i] == first) return;
  }
  if (starts.count < kNameStartBytes) starts.bytes[starts.count] = first;
  if (starts.count <= kNameStartBytes) ++starts.count;
}
