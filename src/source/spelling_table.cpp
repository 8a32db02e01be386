#include "source/spelling_table.h"

#include "driver/preprocessor.h"
#include "lex/identifier.h"
#include "memory/pool.h"

IdentEntry* intern_identifier(const char* begin, const char* end, uint32_t bucket, Preprocessor* p) {
  IdentEntry** slot = &p->spelling_buckets[bucket];
  for (IdentEntry* entry = *slot; entry; entry = entry->next) {
    if (same_identifier(entry->text_begin, entry->text_end, begin, end)) return entry;
    slot = &entry->next;
  }
  IdentEntry* entry = static_cast<IdentEntry*>(pool_alloc(p->store, sizeof(IdentEntry)));
  entry->bucket = bucket;
  entry->text_begin = begin;
  entry->text_end = end;
  entry->next = nullptr;
  *slot = entry;
  return entry;
}

IdentEntry* intern_spelling(const char* begin, const char* end, Preprocessor* p) {
  return intern_identifier(begin, end, identifier_hash(begin, end), p);
}
