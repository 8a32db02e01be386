// The settings of one source file's run.
#pragma once

#include <cstdio>

#include "diag/diagnostics.h"
#include "lex/lex_state.h"
#include "platform/platform.h"

struct Pool;
struct LoadedFile;
struct OpenName;
struct TableCache;

struct RunSettings {
  // Taken from the command line: the same for every file of the program's run.
  const char* reptable_name;
  // Tokens of a logical line that exist at once: a longer line is read and
  // spelled in parts of this many.
  unsigned long line_part_tokens;
  // Lines whose only changes are plainly written names are renamed in place.
  bool in_place_renaming;
  FILE* diag;  // null: messages are counted but written nowhere
  ReportSwitches switches;
  LiteralLimits limits;
  bool modern;  // sources are lexed as C23 or C++23; the table never is

  // The file's own.
  bool cplusplus;
  LoadedFile* loaded_files;  // newest first
  OpenName* open_names;      // one entry per source being read
  TableCache* tables;     // the table's text and snapshots kept for the run; may be null
  const char* full_path;  // absolute path of the source being loaded
  FileError io_error;     // of the last failed file read
  Pool* store;
};

// Settings for a run on `store` with the command-line part of `like` and
// nothing of its file: no source loaded yet, no table cache.
void init_run_settings_like(RunSettings* settings, const RunSettings* like, Pool* store);
