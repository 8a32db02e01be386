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
};

inline bool filter_may_hold(const NameFilter& filter, uint32_t name_hash) {
  uint32_t bit = name_hash & filter.mask;
  return (filter.words[bit >> 6] >> (bit & 63)) & 1;
}

// The name hashes that a file's names brought to the filter and that its
// first look turned away, remembered in a small table that stays in the
// nearest cache: a name comes back often within a file, and the filter of
// a large table (from kRememberedFilterBits bits) does not stay there.
constexpr uint32_t kRememberedFilterBits = 1u << 15;
constexpr uint32_t kRememberedHashes = 256;
struct FilterMisses {
  uint32_t hashes[kRememberedHashes];  // a hash plus one; 0 for none
};

// The filter's first look, remembering what it turned away.
inline bool filter_may_hold_remembered(const NameFilter& filter, FilterMisses* misses, uint32_t name_hash) {
  if (!misses) return filter_may_hold(filter, name_hash);
  uint32_t& slot = misses->hashes[name_hash % kRememberedHashes];
  if (slot == name_hash + 1) return false;
  if (filter_may_hold(filter, name_hash)) return true;
  slot = name_hash + 1;
  return false;
}

// The bit of the second look for a name of plain bytes.
inline uint32_t filter_length_bit(const NameFilter& filter, uint32_t name_hash, uint32_t length) {
  return ((name_hash + length * 0x9E3779B1u) * 0x85EBCA6Bu >> 12) & filter.mask;
}

// The filter's answer for a name spelled in plain bytes, `length` of them:
// with the second look when there is one (`misses` may be null).
inline bool filter_may_hold_plain(const NameFilter& filter, FilterMisses* misses, uint32_t name_hash,
                                  uint32_t length) {
  if (!filter_may_hold_remembered(filter, misses, name_hash)) return false;
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
inline bool filter_may_hold_name(const NameFilter& filter, FilterMisses* misses, uint32_t name_hash, bool plain,
                                 uint32_t length) {
  return plain ? filter_may_hold_plain(filter, misses, name_hash, length) : filter_may_hold(filter, name_hash);
}
