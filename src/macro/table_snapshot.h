// The replacement table as loaded for a source file after the first, kept
// for the rest of the program's run. A table whose load reports nothing
// gives every later file the same macros and names; such a file takes them
// from here, read-only, instead of reading and entering the whole table
// again.
#pragma once

#include <cstddef>
#include <mutex>

#include "macro/name_filter.h"
#include "source/source_stack.h"

struct Arena;
struct IdentEntry;
struct Preprocessor;

struct TableSnapshot {
  enum State { UNTRIED, USABLE, UNUSABLE };
  State state;
  Arena* arena;     // holds the table's text, names and macros
  Preprocessor* loaded;
  NameFilter filter;  // of the table's names, the same for every file that adopts it
};

// One snapshot per language: the table reads differently in C and in C++.
// The table's text is read once and kept for the run: a table that can be
// read only once (a pipe) serves every source file all the same.
struct TableCache {
  TableSnapshot by_language[2];
  Arena* text_arena;
  LoadedText text;  // null until the table has been read
  // Held while a snapshot is looked at or made, when jobs share the cache:
  // the first file that needs a snapshot makes it, the others wait for it
  // and then only read it. Null for a cache of one job.
  std::mutex* making;
};

// The table's text, read on first use; a failed read is tried again by the
// next file. Returns the error code of a failed read.
int read_table_text(TableCache* cache, const char* name, LoadedText* text);

TableCache make_table_cache();
void release_table_cache(TableCache* cache);

// For a source file after the first: gives `p` the table's names and macros
// from the snapshot, making it on first use. Returns false when the table's
// load reports anything or fails: the file must load the table itself.
bool adopt_table_snapshot(Preprocessor* p, TableCache* cache);
