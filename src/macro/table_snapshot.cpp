#include "macro/table_snapshot.h"

#include <cstring>

#include "macro/replacement_table.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/spelling_table.h"

TableCache make_table_cache() {
  TableCache cache;
  for (TableSnapshot& snapshot : cache.by_language) {
    snapshot = TableSnapshot{TableSnapshot::UNTRIED, nullptr, nullptr, nullptr, nullptr, false, NameFilter{nullptr, 0}};
  }
  cache.text_arena = nullptr;
  cache.text = LoadedText{nullptr, 0};
  return cache;
}

int read_table_text(TableCache* cache, const char* name, LoadedText* text) {
  int error = 0;
  if (!cache->text.text) {
    if (!cache->text_arena) cache->text_arena = arena_create();
    // Kept for the whole run: a table rewritten meanwhile must not change it.
    read_whole_file(name, &cache->text, &error, pool_create(cache->text_arena), true);
  }
  *text = cache->text;
  return error;
}

static void release_snapshot(TableSnapshot& snapshot) {
  if (snapshot.arena) arena_release(snapshot.arena);
  snapshot.arena = nullptr;
  snapshot.loaded = nullptr;
}

void release_table_cache(TableCache* cache) {
  for (TableSnapshot& snapshot : cache->by_language) release_snapshot(snapshot);
  if (cache->text_arena) arena_release(cache->text_arena);
  cache->text_arena = nullptr;
  cache->text = LoadedText{nullptr, 0};
}

static void record_chains(TableSnapshot& snapshot, const SpellingTable* table) {
  uint32_t buckets = spelling_bucket_count(table);
  snapshot.chained = static_cast<IdentEntry**>(arena_alloc(snapshot.arena, sizeof(IdentEntry*) * table->entries));
  snapshot.chain_starts = static_cast<uint32_t*>(arena_alloc(snapshot.arena, sizeof(uint32_t) * (buckets + 1)));
  uint32_t count = 0;
  for (uint32_t i = 0; i < buckets; ++i) {
    snapshot.chain_starts[i] = count;
    for (IdentEntry* entry = table->buckets[i]; entry; entry = entry->next) snapshot.chained[count++] = entry;
  }
  snapshot.chain_starts[buckets] = count;
}

// The previous file appended its own names behind the table's: cut them
// off. When its table grew, the chains were relinked as well: restore them.
static void restore_chains(TableSnapshot& snapshot) {
  const SpellingTable* table = &snapshot.loaded->spellings;
  uint32_t buckets = spelling_bucket_count(table);
  for (uint32_t i = 0; i < buckets; ++i) {
    uint32_t begin = snapshot.chain_starts[i];
    uint32_t end = snapshot.chain_starts[i + 1];
    if (begin == end) continue;
    if (snapshot.relinked) {
      for (uint32_t k = begin; k + 1 < end; ++k) snapshot.chained[k]->next = snapshot.chained[k + 1];
    }
    snapshot.chained[end - 1]->next = nullptr;
  }
  snapshot.relinked = false;
}

// Loads the table as a later file would, silently; usable when it would
// have reported nothing.
static void make_snapshot(TableCache* cache, TableSnapshot& snapshot, const RunSettings* like) {
  snapshot.state = TableSnapshot::UNUSABLE;
  snapshot.arena = arena_create();
  Pool* pool = pool_create(snapshot.arena);
  RunSettings* settings = static_cast<RunSettings*>(pool_alloc(pool, sizeof(RunSettings)));
  init_run_settings_like(settings, like, pool);
  settings->diag = nullptr;  // reporting to no stream
  settings->tables = cache;
  Preprocessor* loaded = create_preprocessor(settings);
  try {
    load_replacement_table(loaded, Report::OFF);
  } catch (const FatalError&) {
    loaded->report.failed = true;
  }
  if (loaded->report.failed || loaded->report.reports) {
    release_snapshot(snapshot);
    return;
  }
  record_chains(snapshot, &loaded->spellings);
  snapshot.filter = build_name_filter(loaded);
  snapshot.loaded = loaded;
  snapshot.state = TableSnapshot::USABLE;
}

bool adopt_table_snapshot(Preprocessor* p, TableCache* cache) {
  TableSnapshot& snapshot = cache->by_language[p->settings->cplusplus ? 1 : 0];
  if (snapshot.state == TableSnapshot::UNTRIED) make_snapshot(cache, snapshot, p->settings);
  if (snapshot.state != TableSnapshot::USABLE) return false;
  restore_chains(snapshot);
  const Preprocessor* loaded = snapshot.loaded;
  const SpellingTable* table = &loaded->spellings;
  clear_spelling_table(&p->spellings, table->bucket_bits);
  memcpy(p->spellings.buckets, table->buckets, sizeof(IdentEntry*) * spelling_bucket_count(table));
  p->spellings.entries = table->entries;
  p->spellings.relinked = &snapshot.relinked;
  p->id_va_args = loaded->id_va_args;
  p->id_stdc_iec_559 = loaded->id_stdc_iec_559;
  p->id_stdc_iec_559_complex = loaded->id_stdc_iec_559_complex;
  p->id_stdc_iso_10646 = loaded->id_stdc_iso_10646;
  p->id_defined = loaded->id_defined;
  p->id_pragma = loaded->id_pragma;
  p->table_filter = &snapshot.filter;
  return true;
}
