// The spelling table: every distinct identifier of a run interned once, so
// that identifiers everywhere else compare by the identity of their entry.
#pragma once

#include <cstdint>

struct Preprocessor;

struct IdentEntry {
  uint32_t bucket;     // identifier_hash of the spelling
  uint32_t name_hash;  // the hash before reduction: a cheap test before comparing spellings
  const char* text_begin;
  const char* text_end;
  IdentEntry* next;  // next entry of the bucket, in order of first appearance
};

IdentEntry* intern_identifier(const char* begin, const char* end, uint32_t bucket, Preprocessor* p);

// Hashes and interns a spelling in one step.
IdentEntry* intern_spelling(const char* begin, const char* end, Preprocessor* p);
