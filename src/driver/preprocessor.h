// The state of one source file's run; every stage reaches the run through it.
#pragma once

#include <cstddef>

#include "diag/diagnostics.h"
#include "driver/run_settings.h"
#include "source/spelling_table.h"

struct HeldLine;
struct IdentEntry;
struct MacroDef;
struct SourceFrame;
struct NameFilter;
struct Pool;

struct Preprocessor {
  SpellingTable spellings;
  IdentEntry* id_va_args;
  IdentEntry* id_stdc_iec_559;
  IdentEntry* id_stdc_iec_559_complex;
  IdentEntry* id_stdc_iso_10646;
  IdentEntry* id_defined;
  IdentEntry* id_pragma;
  SourceFrame* source_top;
  int va_args_seen;
  int pending_newlines;
  Reporter report;
  LexState lex;  // reporting; a quiet copy reads what is not to be reported
  Pool* store;
  RunSettings* settings;
  // The output line is spelled here; the buffer only ever grows, so long
  // lines do not each take fresh memory that no later line could reuse.
  char* line_buffer;
  size_t line_capacity;
  HeldLine* held;  // made on the first line long enough to need it
  // The filter of the table's names when the table came from a snapshot.
  const NameFilter* table_filter;
  // Source text written but not yet handed to the output stream.
  const char* unwritten_begin;
  const char* unwritten_end;
  // Small pieces of output gathered for one call of the stream.
  char* gathered;
  size_t gathered_length;
};

Preprocessor* create_preprocessor(RunSettings* settings);

inline int is_cplusplus(const Preprocessor* p) { return p->settings->cplusplus; }
