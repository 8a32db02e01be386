#include "macro/name_filter.h"

#include <cstring>

#include "macro/macro_table.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/spelling_table.h"

void add_to_name_filter(NameFilter& filter, uint32_t name_hash, const char* spelling, size_t length, bool plain) {
  uint32_t bit = name_hash & filter.mask;
  filter.words[bit >> 6] |= uint64_t{1} << (bit & 63);
  if (filter.by_length && plain) {
    uint32_t second = filter_length_bit(filter, name_hash, static_cast<uint32_t>(length));
    filter.by_length[second >> 6] |= uint64_t{1} << (second & 63);
    uint32_t pair = start_pair(spelling, static_cast<uint32_t>(length));
    filter.by_start[pair >> 6] |= uint64_t{1} << (pair & 63);
  } else {
    filter.by_length = nullptr;
    filter.by_start = nullptr;
  }
  // A name spelled with a splice, a trigraph or a UCN may begin otherwise
  // in a source: no first bytes stand for it.
  if (plain) {
    note_name_start(filter.starts, static_cast<unsigned char>(spelling[0]),
                    length >= 2 ? static_cast<unsigned char>(spelling[1]) : 0);
  } else {
    filter.starts.count = kNameStarts + 1;
  }
}

static void add_name(NameFilter& filter, const IdentEntry* name) {
  add_to_name_filter(filter, name->name_hash, name->text_begin, static_cast<size_t>(name->text_end - name->text_begin),
                     name->plain);
}

template <typename Visit>
static void for_each_macro_name(const SpellingTable* table, Visit visit) {
  uint32_t buckets = spelling_bucket_count(table);
  for (uint32_t i = 0; i < buckets; ++i) {
    for (const IdentEntry* entry = table->buckets[i]; entry; entry = entry->next) {
      if (entry->macro) visit(entry);
    }
  }
}

// Tables of this many names or more get the filter's second look.
constexpr uint32_t kSecondLookNames = 1u << 14;

NameFilter make_name_filter(Arena* arena, uint32_t names) {
  // About one name in 64 bits keeps false hits rare; the name hash has 20 bits.
  uint32_t bits = 1u << 12;
  while (bits < (1u << 20) && bits < names * uint64_t{64}) bits <<= 1;
  NameFilter filter;
  filter.mask = bits - 1;
  filter.starts = NameStarts{{}, {}, 0};
  size_t bytes = bits / 8;
  filter.words = static_cast<uint64_t*>(arena_alloc(arena, bytes));
  memset(filter.words, 0, bytes);
  filter.by_length = nullptr;
  filter.by_start = nullptr;
  // A quarter of the hash's values taken or more: the second look pays.
  if (names >= kSecondLookNames) {
    filter.by_length = static_cast<uint64_t*>(arena_alloc(arena, bytes));
    memset(filter.by_length, 0, bytes);
    filter.by_start = static_cast<uint64_t*>(arena_alloc(arena, kStartPairs / 8));
    memset(filter.by_start, 0, kStartPairs / 8);
  }
  return filter;
}

NameFilter build_name_filter(Preprocessor* p) {
  uint32_t names = 2;
  for_each_macro_name(&p->spellings, [&names](const IdentEntry*) { ++names; });
  NameFilter filter = make_name_filter(p->store->arena, names);
  for_each_macro_name(&p->spellings, [&filter](const IdentEntry* name) { add_name(filter, name); });
  add_name(filter, p->id_pragma);
  add_name(filter, p->id_va_args);
  return filter;
}
