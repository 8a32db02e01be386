#include "source/spelling_table.h"

#include "driver/preprocessor.h"
#include "lex/identifier.h"
#include "memory/pool.h"

static IdentEntry* intern_hashed(const char* begin, const char* end, uint32_t name_hash, Preprocessor* p) {
  uint32_t bucket = bucket_of_name_hash(name_hash);
  IdentEntry** slot = &p->spelling_buckets[bucket];
  for (IdentEntry* entry = *slot; entry; entry = entry->next) {
    if (entry->name_hash == name_hash && same_identifier(entry->text_begin, entry->text_end, begin, end)) return entry;
    slot = &entry->next;
  }
  IdentEntry* entry = static_cast<IdentEntry*>(pool_alloc(p->store, sizeof(IdentEntry)));
  entry->bucket = bucket;
  entry->name_hash = name_hash;
  entry->text_begin = begin;
  entry->text_end = end;
  entry->next = nullptr;
  *slot = entry;
  return entry;
}

// The bucket is implied by the spelling; callers that have it already save
// nothing by passing it, since the full hash is needed too.
IdentEntry* intern_identifier(const char* begin, const char* end, uint32_t, Preprocessor* p) {
  return intern_hashed(begin, end, identifier_name_hash(begin, end), p);
}

IdentEntry* intern_spelling(const char* begin, const char* end, Preprocessor* p) {
  return intern_hashed(begin, end, identifier_name_hash(begin, end), p);
}
