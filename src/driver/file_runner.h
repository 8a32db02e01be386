// One source file's run, from opening its output to releasing its memory.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "source/source_stack.h"

struct Options;

constexpr size_t kNoIndex = static_cast<size_t>(-1);
struct Pool;
struct RunSettings;

// The outputs written so far in this run of the program, so that a later
// source never overwrites an earlier one's output.
struct WrittenOutput {
  FileIdentity identity;
  std::string source_name;
};
// The order in which files of several jobs check and open their outputs:
// the file at `index` waits until every earlier file has opened its output
// or passed its turn.
class OpenTurns {
 public:
  explicit OpenTurns(size_t files) : passed_(files, false) {}
  void take(size_t index);
  void pass(size_t index);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<bool> passed_;
  size_t next_ = 0;  // every file before it has passed
};

struct OutputLog {
  std::vector<WrittenOutput> outputs;
  // With output files, every source of the run: an output may overwrite
  // none of them, neither one still to be read nor one read already.
  std::vector<FileIdentity> sources;
  // The table's file, looked up once for the run (a source replaced in
  // place may not be the table).
  FileIdentity table{false, 0, 0};
  // With several jobs, the outputs are checked and opened in the order of
  // the sources, as one job would: null with one job.
  OpenTurns* turns = nullptr;
  // While the walk of the sources goes on, told of each source replaced in
  // place: a later name of the same file, found after the replacement, is
  // known by the new file's identity.
  const ReplacementWatch* replacements = nullptr;
};

// Where a source stands among the sources of the run.
struct SourcePlace {
  size_t index;  // its place in their order
  FileIdentity identity;
  // The name of the first source before it that is the same file; null
  // when none is. With in-place renaming it is not written twice.
  const char* same_file_before;
};

struct TableCache;
struct FileTally;

// What a file's run did besides succeeding or failing.
struct FileOutcome {
  // The run succeeded and the source's text changes: its new text differs
  // from it (with -c and -d, would differ).
  bool changed = false;
  FileTally* tally = nullptr;  // with a summary of the run: what the run adds to it
};

// A source loaded before its output is chosen: the text (null when the file
// could not be loaded) and what the load recorded in the settings.
struct PreloadedSource {
  LoadedText text;
  FileError error;
  const char* full_path;
};

// Returns true when the file was processed without error. With a table
// cache, a file after the first may take the table from there. `place` is
// the file's place among the run's sources (needed with in-place renaming
// and with several jobs); without it the file is looked up by its name.
bool run_file(const char* name, bool first_file, const Options* options, OutputLog* log, TableCache* tables = nullptr,
              const SourcePlace* place = nullptr, FileOutcome* outcome = nullptr);
// With `source`, the source's text as loaded already (null: it could not be).
// With `tally`, the run's renames are counted into it (and the first file's
// table names, in the table's order).
bool process_source(const char* name, bool first_file, RunSettings* settings, FILE* out, TableCache* tables = nullptr,
                    const PreloadedSource* source = nullptr, FileTally* tally = nullptr);

// The settings of a file's run, from the command line and the file's language.
void init_run_settings(RunSettings* settings, const Options* options, bool cplusplus, Pool* store);

// Reads the table and makes it ready for the run's first file, taken to be
// C unless the options make every source C++.
void prepare_table(const Options* options, TableCache* tables);

// The default output name: the source's extension replaced by ".ren".
std::string default_output_name(const char* source_name);
bool is_cplusplus_source(const char* source_name, const Options* options);
