// The command-line settings: built once before any file runs, read-only after.
#pragma once

#include <cstdio>

struct Options {
  const char* reptable_name;
  const char* output_name;
  int ostdout;
  int wall;
  int wport;
  int wdisable;
  int wnosafe;
  int werrors;
  int tdisable;
  int luchar;
  int lc;
  int lplus;
  int lmodern;  // lexes C23 and C++23
  int inplace;    // each source's output replaces the source
  unsigned jobs;  // sources processed at once; 0: one per processor
  int check;      // writes nothing; names the sources that would change
  int diff;       // writes a unified diff of the changes to the standard output
  int summary;    // writes a summary of the renaming to `diag` after all sources
  FILE* info;  // banner and name lines; null when quiet
  FILE* diag;  // every diagnostic and command-line message
  FILE* standard_output;  // where the output text goes with ostdout
  // Tokens of a logical line that exist at once: a longer line is read and
  // spelled in parts of this many. Tests make it small so that every line
  // is read in parts.
  unsigned long line_part_tokens;
  // Lines whose only changes are plainly written names are renamed in place,
  // without tokens. Tests turn it off to compare the two ways of writing a
  // line: they must give the same output and diagnostics.
  bool in_place_renaming;
};

Options default_options();

enum OptionId {
  OPT_NONE = 0,
  OPT_HELP = 1,
  OPT_QUIET = 2,
  OPT_SOURCE = 3,
  OPT_REPTABLE = 4,
  OPT_OUTPUT = 5,
  OPT_OSTDOUT = 6,
  OPT_WALL = 7,
  OPT_WPORT = 8,
  OPT_WDISABLE = 9,
  OPT_WNOSAFE = 10,
  OPT_WERRORS = 11,
  OPT_TDISABLE = 12,
  OPT_LUCHAR = 13,
  OPT_LC = 14,
  OPT_LPLUS = 15,
  OPT_LMODERN = 16,
  OPT_INPLACE = 17,
  OPT_JOBS = 18,
  OPT_CHECK = 19,
  OPT_DIFF = 20,
  OPT_SUMMARY = 21,
  OPT_VERSION = 22,
};

// The most sources processed at once that the command line accepts.
constexpr unsigned kMaxJobs = 1024;

// Reads a number of jobs: a whole number from 0 to kMaxJobs, digits only.
bool parse_jobs(const char* text, unsigned* jobs);

// Matches the option word at *cursor (which begins with '-' or '/'). On a
// match stores the argument (attached text, possibly empty, or the next
// word, in which case the cursor moves onto it) and returns the id.
int match_option(char**& cursor, const char** argument);

bool is_option_word(const char* word);

void print_usage(FILE* stream);
void print_banner(FILE* stream);
// "morfe VERSION" and a new-line.
void print_version(FILE* stream);
