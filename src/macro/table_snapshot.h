// The replacement table read, checked and entered once for the whole run,
// into compact records that every file (and every job) then only reads: the
// names in one index over the table's text, each pair a small record of
// numbers. A file takes from it only the names it meets, into its own
// spelling table, so its cost does not grow with the table.
//
// What the table's load reports is recorded with it, once as the first file
// reads the table (reporting) and once as a later file does (silently), and
// given to every such file as its own load would give it. A table that the
// records cannot hold is loaded by every file itself, as it always was.
#pragma once

#include <cstddef>
#include <cstdint>

#include "macro/name_filter.h"
#include "memory/record_array.h"
#include "source/logical_line.h"
#include "source/shared_spellings.h"
#include "source/source_stack.h"

struct Arena;
struct Preprocessor;

// A pair of the table: its target, and where the chain of renamings that
// starts with it ends.
struct TableDefinition {
  uint32_t target_name;  // the number of the target among the names
  uint32_t spelling;     // the target as written: a place of the names' spellings
  uint32_t length;
  uint32_t settled;  // the definition whose target the name finally becomes
};

// What one way of reading the table reports: its messages, whole lines,
// and how the reading ended.
struct TableReading {
  enum State { UNTRIED, USABLE, UNUSABLE };
  State state;
  const char* messages;
  size_t length;
  bool failed;  // an error was reported
  bool fatal;   // the reading ended with a fatal error
};

struct TableSnapshot {
  TableReading for_first_file;   // as the first file reads it, reporting
  TableReading for_later_files;  // as a later file reads it, silently
  Arena* message_arena;          // holds the readings' messages
  // The records, complete once a reading has gone through to the end.
  bool complete;
  Arena* arena;  // holds the names, the definitions and the filter
  SharedSpellings names;
  RecordArray<TableDefinition> definitions;
  // The number of each line's name, in the order of the lines: the order a
  // summary of the run lists the table's names in.
  RecordArray<uint32_t> line_names;
  NameFilter filter;  // of the table's names, the same for every file that adopts it
};

// One snapshot per language: the table reads differently in C and in C++.
// The table's text is read once and kept for the run: a table that can be
// read only once (a pipe) serves every source file all the same.
struct TableCache {
  TableSnapshot by_language[2];
  Arena* text_arena;
  LoadedText text;  // null until the table has been read
};

// The table's text, read on first use; a failed read is tried again by the
// next file. Returns the error code of a failed read.
int read_table_text(TableCache* cache, const char* name, LoadedText* text);

TableCache make_table_cache();
void release_table_cache(TableCache* cache);

// Gives `p` the table's names and macros from the snapshot, making it on
// first use, and what the table's load reports; `report` tells how the file
// reads the table (Report::ON for the first file). A fatal error ends the
// file's run as the load's would. Returns false when the records cannot
// hold the table: the file must load it itself. Several jobs may adopt from
// one cache at once.
bool adopt_table_snapshot(Preprocessor* p, TableCache* cache, Report report = Report::OFF);

// Makes the records and the first file's reading for files read like
// `like`, before any file needs them; a file of another language makes its
// own when it comes.
void prepare_table_snapshot(TableCache* cache, const RunSettings* like);

// Puts the table's names on the run's tally (when it keeps one), in the
// order of the table's lines, as the table's own load does; for a file that
// adopted the snapshot.
void note_table_order(Preprocessor* p, const TableCache* cache);
