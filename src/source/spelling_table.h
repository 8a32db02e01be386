// The spelling table: every distinct identifier of a run interned once, so
// that identifiers everywhere else compare by the identity of their entry.
#pragma once

#include <cstddef>
#include <cstdint>

struct Preprocessor;

// Room for a copy of a short spelling in the entry's pool block.
constexpr size_t kInlineSpelling = sizeof(void*) == 8 ? 29 : 25;

struct IdentEntry {
  uint32_t bucket;     // identifier_hash of the spelling
  uint32_t name_hash;  // the hash before reduction: a cheap test before comparing spellings
  const char* text_begin;
  const char* text_end;
  IdentEntry* next;  // next entry of the bucket, in order of first appearance
  // A spelling of plain bytes (no splice, trigraph or UCN) equals another
  // plain one exactly when the bytes do; short ones are copied here, so a
  // lookup reads this block and not the text where the name was first met.
  uint8_t plain;
  uint8_t inline_length;  // 0 when the spelling is not copied
  uint8_t has_macro;      // the macro table may hold a definition of it
  char inline_text[kInlineSpelling];
};

IdentEntry* intern_identifier(const char* begin, const char* end, uint32_t bucket, Preprocessor* p);

// Hashes and interns a spelling in one step.
IdentEntry* intern_spelling(const char* begin, const char* end, Preprocessor* p);
// Interns a spelling whose identifier_name_hash (and plainness) the caller has already.
IdentEntry* intern_hashed_spelling(const char* begin, const char* end, uint32_t name_hash, bool plain, Preprocessor* p);
