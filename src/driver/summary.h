// The summary of a run (-s): how many sources it read, changed and failed,
// what each name of the table renamed, and where the table's names still
// stand in comments and literals, which the renaming leaves alone.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "source/source_stack.h"

struct Preprocessor;
struct RenameTally;

// What one source's run adds to the summary, spelled, so that it outlives
// the run's memory and adds up the same in every job.
struct FileTally {
  std::vector<std::string> table_order;  // the table's names, from the run that reports the table
  std::vector<std::pair<std::string, unsigned long>> renamed;
  struct Mention {
    std::string name;
    unsigned long count;
    unsigned long first_line;
  };
  std::vector<Mention> mentions;
};

// Spells what the run counted. The table's names met as whole words in the
// comments and literals of `text` are counted too: a scan of its own, made
// only for a summary, after the run (which must not have failed).
void tally_run(Preprocessor* p, const RenameTally& renames, const LoadedText* text, FileTally* tally);

struct RunSummary {
  size_t read = 0;
  size_t changed = 0;
  size_t failed = 0;
  unsigned long renamed = 0;
  std::vector<std::string> table_order;
  struct Totals {
    unsigned long renamed = 0;
    unsigned long mentions = 0;
    std::string first_source;
    unsigned long first_line = 0;
  };
  std::unordered_map<std::string, Totals> names;
};

// Adds a source's run, in the order of the sources: the first place of a
// mention is the first in that order. A failed source adds its count only.
void add_to_summary(RunSummary* summary, const FileTally& tally, const std::string& source_name, bool failed,
                    bool changed);

void print_summary(FILE* stream, const RunSummary& summary);
