// The state of one source file's run; every stage reaches the run through it.
#pragma once

#include "diag/diagnostics.h"
#include "lex/lex_state.h"
#include "source/run_settings.h"
#include "source/spelling_table.h"

struct IdentEntry;
struct NameFilter;
struct OutputSink;
struct Pool;
struct RenameTally;
struct SourceFrame;

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
  // The line end of the logical line read last is a CR LF pair: the line
  // breaks the run writes itself take that form.
  bool crlf_line_end;
  Reporter report;
  LexState lex;  // reporting; a quiet copy reads what is not to be reported
  Pool* store;
  RunSettings* settings;
  OutputSink* sink;  // where the run writes; null until the output attaches it
  // The filter of the table's names when the table came from a snapshot.
  const NameFilter* table_filter;
  RenameTally* tally;  // null unless the run's renames are counted
};

// A run with its spelling table and predefined names, reporting to the
// settings' stream. Its messages catch up the line count of the top source
// first; what writes output adds its flush to that.
Preprocessor* create_preprocessor(RunSettings* settings);

// Interns the names the run knows by heart (_Pragma, __VA_ARGS__, ...) and
// keeps their entries; done again when the spelling table starts anew.
void intern_predefined_names(Preprocessor* p);

// The hook that create_preprocessor gives the reporter (data: the run):
// the lines copied as they stand are counted, so that a message names its line.
void count_lines_before_report(void* data);

inline bool is_cplusplus(const Preprocessor* p) { return p->settings->cplusplus; }
