#include "source/spelling_table.h"

#include <cstring>

#include "lex/identifier.h"
#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/shared_spellings.h"

static_assert(sizeof(IdentEntry) <= kPoolSmallClass, "an identifier entry is a small pool block");

namespace {

// More buckets than name hashes would only stay empty.
constexpr uint32_t kMaxSpellingBucketBits = 20;

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

// Bucket arrays come from the heap, not the arena: each doubling gives the
// old array back.
IdentEntry** new_buckets(uint32_t bucket_bits) {
  size_t bytes = sizeof(IdentEntry*) << bucket_bits;
  IdentEntry** buckets = static_cast<IdentEntry**>(heap_allocate(bytes));
  if (!buckets) out_of_memory();
  memset(buckets, 0, bytes);
  return buckets;
}

void release_buckets(void* data, size_t) {
  SpellingTable* table = static_cast<SpellingTable*>(data);
  if (table->buckets) heap_release(table->buckets);
  table->buckets = nullptr;
}

// Doubling splits every bucket in two, each taking its entries in their
// order: chains keep the order of first appearance.
void double_buckets(SpellingTable* table) {
  IdentEntry** old_buckets = table->buckets;
  uint32_t old_count = spelling_bucket_count(table);
  table->buckets = new_buckets(table->bucket_bits + 1);
  table->bucket_bits += 1;
  for (uint32_t i = 0; i < old_count; ++i) {
    IdentEntry** tails[2] = {&table->buckets[2 * i], &table->buckets[2 * i + 1]};
    for (IdentEntry* entry = old_buckets[i]; entry;) {
      IdentEntry* next = entry->next;
      IdentEntry**& tail = tails[spelling_bucket_of(table, entry->name_hash) & 1];
      *tail = entry;
      tail = &entry->next;
      entry = next;
    }
    *tails[0] = nullptr;
    *tails[1] = nullptr;
  }
  heap_release(old_buckets);
}

IdentEntry* new_entry(const char* begin, const char* end, uint32_t name_hash, bool plain, Pool* pool) {
  IdentEntry* entry = static_cast<IdentEntry*>(pool_alloc(pool, sizeof(IdentEntry)));
  entry->name_hash = name_hash;
  entry->plain = plain;
  size_t length = static_cast<size_t>(end - begin);
  entry->inline_length = plain && length <= kInlineSpelling ? static_cast<uint8_t>(length) : 0;
  for (size_t i = 0; i < entry->inline_length; ++i) entry->inline_text[i] = begin[i];
  entry->text_begin = begin;
  entry->text_end = end;
  entry->next = nullptr;
  entry->macro = nullptr;
  return entry;
}

IdentEntry* intern_hashed(Preprocessor* p, const char* begin, const char* end, uint32_t name_hash, bool plain) {
  SpellingTable* table = &p->spellings;
  IdentEntry** slot = &table->buckets[spelling_bucket_of(table, name_hash)];
  for (IdentEntry* entry = *slot; entry; entry = entry->next) {
    if (entry->name_hash == name_hash && entry_matches(entry, begin, end, plain)) return entry;
    slot = &entry->next;
  }
  IdentEntry* entry = new_entry(begin, end, name_hash, plain, table->pool);
  *slot = entry;
  if (++table->entries > spelling_bucket_count(table) && table->bucket_bits < kMaxSpellingBucketBits) {
    double_buckets(table);
  }
  // Entered before it takes its definition: the name may rename to itself.
  if (const SharedSpellings* shared = table->shared) {
    uint32_t number = find_shared_name(shared, begin, end, name_hash, plain);
    if (number != kNoSharedName) {
      uint32_t definition = record_at(shared->names, number).definition;
      if (definition != kNoDefinition) shared->on_definition(p, entry, definition, shared->hook_data);
    }
  }
  return entry;
}

}  // namespace

void init_spelling_table(SpellingTable* table, Pool* pool, uint32_t bucket_bits) {
  table->pool = pool;
  table->buckets = nullptr;
  table->entries = 0;
  table->shared = nullptr;
  arena_on_release(pool->arena, release_buckets, table, 0);
  clear_spelling_table(table, bucket_bits);
}

void clear_spelling_table(SpellingTable* table, uint32_t bucket_bits) {
  IdentEntry** buckets = new_buckets(bucket_bits);
  if (table->buckets) heap_release(table->buckets);
  table->buckets = buckets;
  table->bucket_bits = bucket_bits;
  table->entries = 0;
}

IdentEntry* intern_spelling(Preprocessor* p, const char* begin, const char* end) {
  bool plain;
  uint32_t name_hash = identifier_name_hash(begin, end, &plain);
  return intern_hashed(p, begin, end, name_hash, plain);
}

IdentEntry* intern_hashed_spelling(Preprocessor* p, const char* begin, const char* end, uint32_t name_hash, bool plain) {
  return intern_hashed(p, begin, end, name_hash, plain);
}
