// The replacement table: lines of "source target" identifier pairs, each
// entered as an object-like macro.
#pragma once

#include <cstdint>

#include "source/logical_line.h"

struct LoadedText;
struct NameFilter;
struct Token;
struct Preprocessor;

// Reads the table anew for this source file. Its lexical diagnostics and
// warnings are given only with Report::ON (for the first source file); its
// fatal errors always.
void load_replacement_table(Preprocessor* p, Report report);
void process_table_line(Preprocessor* p, Token* line, Report report);
void define_table_macro(Preprocessor* p, const char* name, const char* target);

// Where read_table_pairs gives the pairs: to `enter` (with `data`), or,
// with no `enter`, to define_table_macro. Identifiers that `filter` rejects
// are not interned while the lines are read (null: all are). A pair of
// names written in plain bytes comes with their name hashes, made while
// the line was read; any other with kNoNameHash for both.
struct TablePairs {
  void (*enter)(Preprocessor* p, const Token* source, const Token* target, const uint32_t name_hashes[2],
                void* data);
  void* data;
  const NameFilter* filter;
};

// Reads the table's text line by line with the checks and diagnostics of a
// load; each line that holds a pair gives it to `pairs`.
void read_table_pairs(Preprocessor* p, const LoadedText& text, Report report, const TablePairs& pairs);

// The checks of one line: false for an empty line, true when it holds a
// pair (its first two tokens); fatal for a line that holds no pair.
bool holds_table_pair(Preprocessor* p, const Token* line, Report report);

// Whether [name, name_end), a NUL-terminated spelling, is one identifier,
// as a macro name must be; an error when it is not.
bool accepts_macro_name(Preprocessor* p, const char* name, const char* name_end);
