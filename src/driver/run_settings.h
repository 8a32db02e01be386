// The settings of one source file's run.
#pragma once

#include <cstdint>
#include <cstdio>

#include "lex/lex_state.h"
#include "platform/platform.h"

struct Options;
struct Pool;
struct LoadedFile;
struct OpenName;
struct TableCache;

struct RunSettings {
  const Options* options;
  int cplusplus;
  LoadedFile* loaded_files;  // newest first
  OpenName* open_names;      // one entry per source being read
  FILE* out;
  LiteralLimits limits;
  TableCache* tables;     // the table's text and snapshots kept for the run; may be null
  const char* full_path;  // absolute path of the source being loaded
  FileError io_error;     // of the last failed file read
  Pool* store;
};

void init_run_settings(RunSettings* settings, const Options* options, int cplusplus, FILE* out, Pool* store);
