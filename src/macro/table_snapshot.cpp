#include "macro/table_snapshot.h"

#include <cstring>
#include <mutex>

#include "diag/diagnostics.h"
#include "lex/char_class.h"

#include "lex/char_input.h"
#include "lex/identifier.h"
#include "lex/token.h"
#include "macro/expansion.h"
#include "macro/macro_table.h"
#include "macro/replacement_table.h"
#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "platform/platform.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

static const TableReading kUntried{TableReading::UNTRIED, nullptr, 0, false, false};

static TableSnapshot empty_snapshot() {
  TableSnapshot snapshot;
  snapshot.for_first_file = kUntried;
  snapshot.for_later_files = kUntried;
  snapshot.message_arena = nullptr;
  snapshot.complete = false;
  snapshot.arena = nullptr;
  return snapshot;
}

TableCache make_table_cache() {
  TableCache cache;
  for (TableSnapshot& snapshot : cache.by_language) snapshot = empty_snapshot();
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

static void release_records(TableSnapshot& snapshot) {
  if (snapshot.arena) arena_release(snapshot.arena);
  snapshot.arena = nullptr;
  snapshot.complete = false;
}

static void release_snapshot(TableSnapshot& snapshot) {
  release_records(snapshot);
  if (snapshot.message_arena) arena_release(snapshot.message_arena);
  snapshot.message_arena = nullptr;
}

void release_table_cache(TableCache* cache) {
  for (TableSnapshot& snapshot : cache->by_language) release_snapshot(snapshot);
  if (cache->text_arena) arena_release(cache->text_arena);
  cache->text_arena = nullptr;
  cache->text = LoadedText{nullptr, 0};
}

namespace {

// The table's pairs as they are read: what the records cannot hold refuses
// the snapshot. Once the records are complete, another way of reading the table only
// records its messages: it finds the names in the records, and since it
// takes the same definitions in the same order, the n-th it takes is the
// n-th of the records. `current` then holds each name's definition so far.
struct SnapshotBuild {
  TableSnapshot* snapshot;
  bool refused;
  uint32_t* current;  // null while the records are being made
  uint32_t taken;
};

bool is_protected_spelling(const char* begin, const char* end) {
  for (const char* name : {"__STDC_IEC_559__", "__STDC_IEC_559_COMPLEX__", "__STDC_ISO_10646__"}) {
    if (same_identifier(begin, end, name, name + strlen(name))) return true;
  }
  return false;
}

// A name of a pair as the records keep it. Written plainly, it is the text
// itself: the lexer read it as one identifier there. Any other is spelled
// without its splices and trigraphs, in a copy from the loader's pool.
struct PairName {
  const char* begin;
  const char* end;
  uint32_t name_hash;
  bool plain;
  char* copy;
};

PairName spell_pair_name(Preprocessor* loader, const Token* token, uint32_t name_hash) {
  if (name_hash != kNoNameHash) return PairName{token->text_begin, token->text_end, name_hash, true, nullptr};
  PairName name{token->text_begin, token->text_end, 0, false, nullptr};
  name.name_hash = identifier_name_hash(name.begin, name.end, &name.plain);
  if (name.plain) return name;
  name.copy = token_spelling(loader->store, name.begin, name.end);
  name.begin = name.copy;
  name.end = name.copy + strlen(name.copy);
  name.name_hash = identifier_name_hash(name.begin, name.end, &name.plain);
  return name;
}

uint32_t enter_pair_name(SharedSpellings* names, const PairName& name) {
  SpellingPlace place = name.copy ? SpellingPlace::ELSEWHERE : SpellingPlace::IN_TEXT;
  return enter_shared_name(names, name.begin, name.end, name.name_hash, name.plain, place);
}

// A spelled target, read as the replacement list it becomes (with what a
// load reports about it): one identifier, or more than the records hold.
bool reads_as_one_name(Preprocessor* loader, const char* spelling) {
  Token* list = tokenize_string(loader, spelling);
  bool one_name = list->kind == TK_IDENTIFIER && list->next->kind == TK_NEWLINE;
  free_token_list(list);
  return one_name;
}

// Enters the pair's names and its definition, by the rules for defining a
// name again. The messages of those rules name the name as first written:
// a name with a universal character name may have been written otherwise
// before, so the records leave such a table to each file.
void enter_checked_pair(Preprocessor* loader, SnapshotBuild* build, const PairName& source, const PairName& target) {
  TableSnapshot* snapshot = build->snapshot;
  SharedSpellings* names = &snapshot->names;
  uint32_t name, target_name;
  if (build->current) {
    name = find_shared_name(names, source.begin, source.end, source.name_hash, source.plain);
    target_name = find_shared_name(names, target.begin, target.end, target.name_hash, target.plain);
  } else {
    name = enter_pair_name(names, source);
    target_name = enter_pair_name(names, target);
  }
  if (name == kNoSharedName || target_name == kNoSharedName) {
    build->refused = true;
    return;
  }
  if (!build->current) append_record(&snapshot->line_names, name);
  SharedName& entry = record_at(names->names, name);
  uint32_t& definition = build->current ? build->current[name] : entry.definition;
  uint32_t length = static_cast<uint32_t>(target.end - target.begin);
  if (definition != kNoDefinition) {
    const TableDefinition& old = record_at(snapshot->definitions, definition);
    const char* first_written = spelling_at(names, entry.spelling);
    if (memchr(first_written, '\\', entry.length)) {
      build->refused = true;
      return;
    }
    bool same = old.length == length && memcmp(spelling_at(names, old.spelling), target.begin, length) == 0;
    char* message_name = pool_strndup(loader->store, first_written, entry.length);
    bool predefined = is_protected_spelling(source.begin, source.end);
    bool taken = redefinition_taken(loader, message_name, predefined, same, nullptr);
    pool_free(message_name);
    if (!taken || same) return;
  }
  if (build->current) {
    definition = build->taken++;
    return;
  }
  // The target as written: the target name's own spelling when it is the same.
  const SharedName& named = record_at(names->names, target_name);
  uint32_t spelling = named.spelling;
  if (length != named.length || memcmp(spelling_at(names, spelling), target.begin, length) != 0) {
    spelling = keep_spelling(names, target.begin, target.end);
  }
  definition = append_record(&snapshot->definitions, TableDefinition{target_name, spelling, length, 0});
}

void enter_pair(Preprocessor* loader, const Token* source, const Token* target, const uint32_t name_hashes[2],
                void* data) {
  SnapshotBuild* build = static_cast<SnapshotBuild*>(data);
  PairName source_name = spell_pair_name(loader, source, name_hashes[0]);
  PairName target_name = spell_pair_name(loader, target, name_hashes[1]);
  if (!source_name.copy || accepts_macro_name(loader, source_name.begin, source_name.end)) {
    if (!target_name.copy || reads_as_one_name(loader, target_name.copy)) {
      enter_checked_pair(loader, build, source_name, target_name);
    } else {
      build->refused = true;
    }
  }
  pool_free(source_name.copy);
  pool_free(target_name.copy);
}

// The definitions as settle_chain walks them: an end is the number of the
// definition whose own target it is.
struct DefinitionChain {
  static constexpr uint32_t none = kNoDefinition;
  TableSnapshot* snapshot;
  uint8_t* states;
  int32_t state(uint32_t definition) const { return states[definition]; }
  void set_state(uint32_t definition, int32_t state) const { states[definition] = static_cast<uint8_t>(state); }
  uint32_t next(uint32_t definition) const {
    uint32_t target = record_at(snapshot->definitions, definition).target_name;
    return record_at(snapshot->names.names, target).definition;
  }
  uint32_t own_end(uint32_t definition) const { return definition; }
  uint32_t settled(uint32_t definition) const { return record_at(snapshot->definitions, definition).settled; }
  void settle(uint32_t definition, uint32_t end) const { record_at(snapshot->definitions, definition).settled = end; }
};

// Every chain of renamings is followed now, while the snapshot is made:
// afterwards nothing writes to it, and every file (and every job) can
// read it at once.
void settle_every_chain(TableSnapshot* snapshot, Pool* scratch) {
  uint32_t count = snapshot->definitions.count;
  uint8_t* states = static_cast<uint8_t*>(pool_alloc(scratch, count + 1));
  memset(states, SETTLE_UNKNOWN, count);
  const DefinitionChain chain{snapshot, states};
  for (uint32_t definition = 0; definition < count; ++definition) {
    if (states[definition] == SETTLE_UNKNOWN) settle_chain(chain, definition);
  }
  pool_free(states);
}

uint32_t hash_of(const char* name) { return identifier_name_hash(name, name + strlen(name)); }

void build_filter(TableSnapshot* snapshot) {
  const RecordArray<SharedName>& names = snapshot->names.names;
  uint32_t defined = 2;
  for (uint32_t i = 0; i < names.count; ++i) defined += record_at(names, i).definition != kNoDefinition;
  snapshot->filter = make_name_filter(snapshot->arena, defined);
  for (uint32_t i = 0; i < names.count; ++i) {
    const SharedName& name = record_at(names, i);
    if (name.definition == kNoDefinition) continue;
    add_to_name_filter(snapshot->filter, name.name_hash & ~kPlainSpelling, spelling_at(&snapshot->names, name.spelling),
                       name.length, (name.name_hash & kPlainSpelling) != 0);
  }
  for (const char* name : {"_Pragma", "__VA_ARGS__"}) add_to_name_filter(snapshot->filter, hash_of(name), name, strlen(name), true);
}

// What a file's entry for a name of the table takes: a definition already
// settled, whose target is the end of the name's chain.
void define_from_snapshot(Preprocessor* p, IdentEntry* entry, uint32_t definition, const void* data) {
  const TableSnapshot* snapshot = static_cast<const TableSnapshot*>(data);
  const TableDefinition& own = record_at(snapshot->definitions, definition);
  const TableDefinition& end = record_at(snapshot->definitions, own.settled);
  const char* text = spelling_at(&snapshot->names, end.spelling);
  Token* target = static_cast<Token*>(pool_alloc(p->store, sizeof(Token)));
  *target = Token{TK_IDENTIFIER, 0, nullptr, nullptr, nullptr, nullptr, text, text + end.length, nullptr, false};
  MacroDef* def = static_cast<MacroDef*>(pool_alloc(p->store, sizeof(MacroDef)));
  *def = MacroDef{entry, SETTLE_KNOWN, target, nullptr, p, target};
  entry->macro = def;
  // A name that renames to itself (it closes a cycle) finds its own entry.
  // The target written as its name's record spells it has the record's hash.
  const SharedName& named = record_at(snapshot->names.names, end.target_name);
  if (named.spelling == end.spelling) {
    target->ident = intern_hashed_spelling(p, text, text + end.length, named.name_hash & ~kPlainSpelling,
                                           (named.name_hash & kPlainSpelling) != 0);
  } else {
    target->ident = intern_spelling(p, text, text + end.length);
  }
}

// The memory and the message stream of the table's reading, given back
// however the reading ends.
struct Loader {
  Arena* arena;
  MemoryStream messages;
  ~Loader() {
    if (messages.stream) close_memory_stream(&messages);
    arena_release(arena);
  }
};

// Reads the table as a file would (`report` telling which), recording what
// the reading reports into `reading`: into the snapshot's records, which
// are complete when the reading goes through to the end, or, when they
// are complete already, against them.
void read_into(TableCache* cache, TableSnapshot* snapshot, TableReading* reading, const RunSettings* like,
               Report report) {
  reading->state = TableReading::UNUSABLE;
  LoadedText text;
  read_table_text(cache, like->reptable_name, &text);
  if (!text.text || text.length >= kSpelledAnew) return;
  Loader loader{arena_create(), MemoryStream{nullptr, nullptr, 0}};
  if (!open_memory_stream(&loader.messages)) out_of_memory();
  Pool* pool = pool_create(loader.arena);
  RunSettings* settings = static_cast<RunSettings*>(pool_alloc(pool, sizeof(RunSettings)));
  init_run_settings_like(settings, like, pool);
  settings->diag = loader.messages.stream;
  settings->tables = cache;
  Preprocessor* p = create_preprocessor(settings);

  const bool against_records = snapshot->complete;
  SnapshotBuild build{snapshot, false, nullptr, 0};
  if (against_records) {
    size_t bytes = sizeof(uint32_t) * (size_t{snapshot->names.names.count} + 1);
    build.current = static_cast<uint32_t*>(arena_alloc(loader.arena, bytes));
    memset(build.current, 0xFF, bytes);  // kNoDefinition
  } else {
    snapshot->arena = arena_create();
    size_t lines = 1;
    const char* end = text.text + text.length;
    for (const char* c = text.text; (c = static_cast<const char*>(memchr(c, '\n', end - c))); ++c) ++lines;
    init_shared_spellings(&snapshot->names, text.text, snapshot->arena, 2 * lines);
    snapshot->definitions = make_record_array<TableDefinition>(snapshot->arena);
    snapshot->line_names = make_record_array<uint32_t>(snapshot->arena);
  }
  // The names are entered in the records, not in the loader's spelling table.
  const NameFilter none{nullptr, 0, NameStarts{{}, {}, 0}, nullptr, nullptr};
  bool fatal = false;
  try {
    read_table_pairs(p, text, report, TablePairs{enter_pair, &build, &none});
  } catch (const FatalError&) {
    fatal = true;
  }
  if (!settle_memory_stream(&loader.messages)) out_of_memory();
  if (!against_records && (build.refused || fatal)) release_records(*snapshot);
  if (build.refused) return;
  if (!against_records && !fatal) {
    settle_every_chain(snapshot, pool);
    build_filter(snapshot);
    snapshot->names.on_definition = define_from_snapshot;
    snapshot->names.hook_data = snapshot;
    snapshot->complete = true;
  }
  char* messages = nullptr;
  if (loader.messages.size) {
    if (!snapshot->message_arena) snapshot->message_arena = arena_create();
    messages = static_cast<char*>(arena_alloc(snapshot->message_arena, loader.messages.size));
    memcpy(messages, loader.messages.data, loader.messages.size);
  }
  *reading = TableReading{TableReading::USABLE, messages, loader.messages.size, p->report.failed, fatal};
}

// Takes one way of reading the table, once.
void take_reading(TableCache* cache, TableSnapshot& snapshot, TableReading& reading, const RunSettings* like,
                  Report report) {
  if (!snapshot.complete) release_records(snapshot);  // what a reading that ended in a fatal error left
  read_into(cache, &snapshot, &reading, like, report);
  // What the first file reads without a word, a later file does too.
  const bool silent = reading.length == 0 && !reading.failed && !reading.fatal;
  if (report == Report::ON && reading.state == TableReading::USABLE && silent &&
      snapshot.for_later_files.state == TableReading::UNTRIED) {
    snapshot.for_later_files = reading;
  }
}

// Snapshots are made under this lock; once made, they are only read.
std::mutex& snapshot_lock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

bool adopt_table_snapshot(Preprocessor* p, TableCache* cache, Report report) {
  TableSnapshot& snapshot = cache->by_language[p->settings->cplusplus ? 1 : 0];
  TableReading* reading = report == Report::ON ? &snapshot.for_first_file : &snapshot.for_later_files;
  {
    std::lock_guard<std::mutex> lock(snapshot_lock());
    if (reading->state == TableReading::UNTRIED) take_reading(cache, snapshot, *reading, p->settings, report);
    if (reading->state != TableReading::USABLE) return false;
  }
  p->settings->io_error = FILE_ERROR_NONE;
  diag_replay(&p->report, reading->messages, reading->length, reading->failed);
  if (reading->fatal) throw FatalError();
  // The file's own table starts anew, taking the table's names as it meets
  // them; the names it was made with are entered again, from the table
  // where it defines them.
  clear_spelling_table(&p->spellings, kInitialSpellingBucketBits);
  p->spellings.shared = &snapshot.names;
  intern_predefined_names(p);
  p->table_filter = &snapshot.filter;
  return true;
}

void prepare_table_snapshot(TableCache* cache, const RunSettings* like) {
  TableSnapshot& snapshot = cache->by_language[like->cplusplus ? 1 : 0];
  std::lock_guard<std::mutex> lock(snapshot_lock());
  if (snapshot.for_first_file.state == TableReading::UNTRIED) {
    take_reading(cache, snapshot, snapshot.for_first_file, like, Report::ON);
  }
}

void note_table_order(Preprocessor* p, const TableCache* cache) {
  if (!p->tally || !p->tally->table_order) return;
  const TableSnapshot& snapshot = cache->by_language[p->settings->cplusplus ? 1 : 0];
  for (uint32_t line = 0; line < snapshot.line_names.count; ++line) {
    const SharedName& name = record_at(snapshot.names.names, record_at(snapshot.line_names, line));
    const char* spelling = spelling_at(&snapshot.names, name.spelling);
    note_table_name(p, intern_spelling(p, spelling, spelling + name.length));
  }
}
