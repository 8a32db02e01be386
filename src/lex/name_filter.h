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
  // For a large table, whose names fill the name hash's values densely: a
  // second look, by the hash and the length of a name of plain bytes, turns
  // away most names the first lets through. Null when there is none, or
  // when a name of the table is spelled with a splice, a trigraph or a UCN
  // (its length is not that of its plain spellings).
  uint64_t* by_length;
  // With the second look, a look before the first: a bit for each first
  // two bytes a name of the table begins with (kStartPairs bits, the
  // second byte 0 for a name of one byte). It stays in the nearest cache,
  // where the first look's words of a large table do not, and turns away
  // nearly every other name when the table's names share a few prefixes,
  // as a vendored library's do.
  uint64_t* by_start;
};

constexpr uint32_t kStartPairs = 1u << 16;

inline uint32_t start_pair(const char* spelling, uint32_t length) {
  return static_cast<uint32_t>(static_cast<unsigned char>(spelling[0])) << 8 |
         (length >= 2 ? static_cast<unsigned char>(spelling[1]) : 0u);
}

inline bool filter_may_hold(const NameFilter& filter, uint32_t name_hash) {
  uint32_t bit = name_hash & filter.mask;
  return (filter.words[bit >> 6] >> (bit & 63)) & 1;
}

// The bit of the second look for a name of plain bytes.
inline uint32_t filter_length_bit(const NameFilter& filter, uint32_t name_hash, uint32_t length) {
  return ((name_hash + length * 0x9E3779B1u) * 0x85EBCA6Bu >> 12) & filter.mask;
}

// The filter's answer for a name spelled in plain bytes, `length` of them
// from `spelling`: the start look, the first and the second, those there are.
inline bool filter_may_hold_plain(const NameFilter& filter, const char* spelling, uint32_t name_hash,
                                  uint32_t length) {
  if (filter.by_start) {
    uint32_t pair = start_pair(spelling, length);
    if (!((filter.by_start[pair >> 6] >> (pair & 63)) & 1)) return false;
  }
  if (!filter_may_hold(filter, name_hash)) return false;
  if (!filter.by_length) return true;
  uint32_t bit = filter_length_bit(filter, name_hash, length);
  return (filter.by_length[bit >> 6] >> (bit & 63)) & 1;
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

// The filter's answer for a name the scan met, `length` bytes written
// `plain` (with no splice, trigraph or UCN) or not: only a plain spelling's
// length is its name's.
inline bool filter_may_hold_name(const NameFilter& filter, const char* spelling, uint32_t name_hash, bool plain,
                                 uint32_t length) {
  return plain ? filter_may_hold_plain(filter, spelling, name_hash, length)
               : filter_may_hold(filter, name_hash);
}
