#include "macro/table_snapshot.h"

#include <cstring>

#include "macro/expansion.h"
#include "macro/replacement_table.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/spelling_table.h"

TableCache make_table_cache() {
  TableCache cache;
  for (TableSnapshot& snapshot : cache.by_language) {
    snapshot = TableSnapshot{TableSnapshot::UNTRIED, nullptr, nullptr, NameFilter{nullptr, 0, NameStarts{{}, {}, 0}}};
  }
  cache.text_arena = nullptr;
  cache.text = LoadedText{nullptr, 0};
  cache.making = nullptr;
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

// Every chain of renamings is followed now, while the snapshot is made:
// afterwards nothing writes to it, and every file (and every job) can
// read it at once.
static void settle_every_chain(const SpellingTable* table) {
  for (uint32_t i = 0; i < spelling_bucket_count(table); ++i) {
    for (IdentEntry* entry = table->buckets[i]; entry; entry = entry->next) {
      if (entry->macro) settled_target(entry->macro);
    }
  }
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
  settle_every_chain(&loaded->spellings);
  snapshot.filter = build_name_filter(loaded);
  snapshot.loaded = loaded;
  snapshot.state = TableSnapshot::USABLE;
}

// The snapshot for the file's language, made on first use.
static const TableSnapshot& snapshot_for(const Preprocessor* p, TableCache* cache) {
  TableSnapshot& snapshot = cache->by_language[p->settings->cplusplus ? 1 : 0];
  std::unique_lock<std::mutex> lock;
  if (cache->making) lock = std::unique_lock<std::mutex>(*cache->making);
  if (snapshot.state == TableSnapshot::UNTRIED) make_snapshot(cache, snapshot, p->settings);
  return snapshot;
}

bool adopt_table_snapshot(Preprocessor* p, TableCache* cache) {
  const TableSnapshot& snapshot = snapshot_for(p, cache);
  if (snapshot.state != TableSnapshot::USABLE) return false;
  const Preprocessor* loaded = snapshot.loaded;
  // The file's own table keeps only the names the file adds; the names it
  // was made with are the table's again.
  clear_spelling_table(&p->spellings, kInitialSpellingBucketBits);
  p->spellings.shared = &loaded->spellings;
  p->id_va_args = loaded->id_va_args;
  p->id_stdc_iec_559 = loaded->id_stdc_iec_559;
  p->id_stdc_iec_559_complex = loaded->id_stdc_iec_559_complex;
  p->id_stdc_iso_10646 = loaded->id_stdc_iso_10646;
  p->id_defined = loaded->id_defined;
  p->id_pragma = loaded->id_pragma;
  p->table_filter = &snapshot.filter;
  return true;
}
