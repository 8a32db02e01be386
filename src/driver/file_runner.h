// One source file's run, from opening its output to releasing its memory.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"

struct Options;
struct Pool;
struct RunSettings;

// The outputs written so far in this run of the program, so that a later
// source never overwrites an earlier one's output.
struct WrittenOutput {
  FileIdentity identity;
  std::string source_name;
};
struct OutputLog {
  std::vector<WrittenOutput> outputs;
  // Every source of the command line: an output may overwrite none of them,
  // neither one still to be read nor one read already.
  std::vector<FileIdentity> sources;
};

struct TableCache;

// Returns true when the file was processed without error. With a table
// cache, a file after the first may take the table from there.
bool run_file(const char* name, bool first_file, const Options* options, OutputLog* log, TableCache* tables = nullptr);
bool process_source(const char* name, bool first_file, RunSettings* settings, FILE* out, TableCache* tables = nullptr);

// The settings of a file's run, from the command line and the file's language.
void init_run_settings(RunSettings* settings, const Options* options, bool cplusplus, Pool* store);

// The default output name: the source's extension replaced by ".ren".
std::string default_output_name(const char* source_name);
bool is_cplusplus_source(const char* source_name, const Options* options);
