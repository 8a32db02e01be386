// The spelling table: every distinct identifier of a run interned once, so
// that identifiers everywhere else compare by the identity of their entry.
#pragma once

#include <cstddef>
#include <cstdint>

struct MacroDef;
struct Pool;
struct Preprocessor;
struct SharedSpellings;

// Room for a copy of a short spelling in the entry's pool block.
constexpr size_t kInlineSpelling = sizeof(void*) == 8 ? 26 : 22;

struct IdentEntry {
  uint32_t name_hash;  // identifier_name_hash of the spelling
  // A spelling of plain bytes (no splice, trigraph or UCN) equals another
  // plain one exactly when the bytes do; short ones are copied here, so a
  // lookup reads this block and not the text where the name was first met.
  uint8_t plain;
  uint8_t inline_length;  // 0 when the spelling is not copied
  char inline_text[kInlineSpelling];
  const char* text_begin;
  const char* text_end;
  IdentEntry* next;  // next entry of the bucket, in order of first appearance
  MacroDef* macro;   // the name's definition, if the table gives it one
};

// Chains of entries in a power-of-two number of buckets, doubled whenever
// the entries outnumber them, so that a table of any size keeps short chains.
struct SpellingTable {
  IdentEntry** buckets;
  uint32_t bucket_bits;
  uint32_t entries;
  Pool* pool;
  // The replacement table's names, shared read-only by every file that
  // takes the table from its snapshot. A spelling missing from this file's
  // chains is looked up there, and the file's new entry takes the name's
  // definition from there: a file costs nothing for the table's names it
  // does not use, and never writes to what the others read.
  const SharedSpellings* shared;
};

constexpr uint32_t kInitialSpellingBucketBits = 8;

// The table lives as long as the pool's arena.
void init_spelling_table(SpellingTable* table, Pool* pool, uint32_t bucket_bits);
// Forgets every entry and starts again with 2^bucket_bits empty buckets.
void clear_spelling_table(SpellingTable* table, uint32_t bucket_bits);

inline uint32_t spelling_bucket_count(const SpellingTable* table) { return uint32_t{1} << table->bucket_bits; }

// The name hash has 20 bits, made of small steps; a multiplication spreads
// them over the top bits, which pick the bucket.
inline uint32_t spelling_bucket_of(const SpellingTable* table, uint32_t name_hash) {
  return (name_hash * 0x9E3779B1u) >> (32 - table->bucket_bits);
}

// Hashes and interns a spelling in one step.
IdentEntry* intern_spelling(Preprocessor* p, const char* begin, const char* end);
// Interns a spelling whose identifier_name_hash (and plainness) the caller has already.
IdentEntry* intern_hashed_spelling(Preprocessor* p, const char* begin, const char* end, uint32_t name_hash, bool plain);
