#include "source/spelling_table.h"

#include "driver/preprocessor.h"
#include "lex/identifier.h"
#include "memory/pool.h"

static_assert(sizeof(IdentEntry) <= kPoolSmallClass, "an identifier entry is a small pool block");

namespace {

bool same_bytes(const char* a, const char* b, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

bool entry_matches(const IdentEntry* entry, const char* begin, const char* end, bool plain) {
  if (!(entry->plain && plain)) return same_identifier(entry->text_begin, entry->text_end, begin, end);
  size_t length = static_cast<size_t>(end - begin);
  if (length != static_cast<size_t>(entry->text_end - entry->text_begin)) return false;
  return same_bytes(entry->inline_length ? entry->inline_text : entry->text_begin, begin, length);
}

IdentEntry* intern_hashed(const char* begin, const char* end, uint32_t name_hash, bool plain, Preprocessor* p) {
  uint32_t bucket = bucket_of_name_hash(name_hash);
  IdentEntry** slot = &p->spelling_buckets[bucket];
  for (IdentEntry* entry = *slot; entry; entry = entry->next) {
    if (entry->name_hash == name_hash && entry_matches(entry, begin, end, plain)) return entry;
    slot = &entry->next;
  }
  IdentEntry* entry = static_cast<IdentEntry*>(pool_alloc(p->store, sizeof(IdentEntry)));
  entry->bucket = bucket;
  entry->name_hash = name_hash;
  entry->text_begin = begin;
  entry->text_end = end;
  entry->next = nullptr;
  entry->plain = plain;
  size_t length = static_cast<size_t>(end - begin);
  entry->inline_length = plain && length <= kInlineSpelling ? static_cast<uint8_t>(length) : 0;
  for (size_t i = 0; i < entry->inline_length; ++i) entry->inline_text[i] = begin[i];
  entry->has_macro = 0;
  *slot = entry;
  return entry;
}

IdentEntry* intern_new_spelling(const char* begin, const char* end, Preprocessor* p) {
  bool plain;
  uint32_t name_hash = identifier_name_hash(begin, end, &plain);
  return intern_hashed(begin, end, name_hash, plain, p);
}

}  // namespace

// The bucket is implied by the spelling; callers that have it already save
// nothing by passing it, since the full hash is needed too.
IdentEntry* intern_identifier(const char* begin, const char* end, uint32_t, Preprocessor* p) {
  return intern_new_spelling(begin, end, p);
}

IdentEntry* intern_spelling(const char* begin, const char* end, Preprocessor* p) {
  return intern_new_spelling(begin, end, p);
}

IdentEntry* intern_hashed_spelling(const char* begin, const char* end, uint32_t name_hash, bool plain, Preprocessor* p) {
  return intern_hashed(begin, end, name_hash, plain, p);
}
