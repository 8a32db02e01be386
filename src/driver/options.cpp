#include "driver/options.h"

#include <cstring>

#include "diag/output.h"

Options default_options() {
  Options options = {};
  options.info = stdout;
  options.diag = stderr;
  options.standard_output = stdout;
  options.jobs = 1;
  options.line_part_tokens = 16384;
  options.in_place_renaming = true;
  return options;
}

namespace {

struct OptionRow {
  int id;
  const char* name;
  size_t length;
  bool takes_argument;
};

#define ROW(id, name, argument) {id, name, sizeof(name) - 1, argument}
const OptionRow kOptionTable[] = {
    ROW(OPT_HELP, "?", false),       ROW(OPT_HELP, "h", false),         ROW(OPT_HELP, "help", false),
    ROW(OPT_QUIET, "q", false),      ROW(OPT_QUIET, "quiet", false),    ROW(OPT_SOURCE, "-", false),
    ROW(OPT_SOURCE, "source", false), ROW(OPT_REPTABLE, "r", true),     ROW(OPT_REPTABLE, "reptable", true),
    ROW(OPT_OUTPUT, "o", true),      ROW(OPT_OUTPUT, "output", true),   ROW(OPT_OSTDOUT, "os", false),
    ROW(OPT_OSTDOUT, "ostdout", false), ROW(OPT_WALL, "wa", false),     ROW(OPT_WALL, "wall", false),
    ROW(OPT_WPORT, "wp", false),     ROW(OPT_WPORT, "wport", false),    ROW(OPT_WDISABLE, "w", false),
    ROW(OPT_WDISABLE, "wdisable", false), ROW(OPT_WNOSAFE, "wxs", false), ROW(OPT_WNOSAFE, "wnosafe", false),
    ROW(OPT_WERRORS, "we", false),   ROW(OPT_WERRORS, "werrors", false), ROW(OPT_TDISABLE, "t", false),
    ROW(OPT_TDISABLE, "tdisable", false), ROW(OPT_LUCHAR, "lu", false), ROW(OPT_LUCHAR, "luchar", false),
    ROW(OPT_LC, "lc", false),        ROW(OPT_LC, "lc", false),          ROW(OPT_LPLUS, "lp", false),
    ROW(OPT_LPLUS, "lplus", false),  ROW(OPT_LMODERN, "lx", false),    ROW(OPT_LMODERN, "lmodern", false),
    ROW(OPT_INPLACE, "i", false),    ROW(OPT_INPLACE, "inplace", false),
    ROW(OPT_JOBS, "j", true),        ROW(OPT_JOBS, "jobs", true),
    ROW(OPT_CHECK, "c", false),      ROW(OPT_CHECK, "check", false),
    ROW(OPT_DIFF, "d", false),       ROW(OPT_DIFF, "diff", false),
    ROW(OPT_SUMMARY, "s", false),    ROW(OPT_SUMMARY, "summary", false),
    ROW(OPT_HELP, "-help", false),
    ROW(OPT_VERSION, "v", false),    ROW(OPT_VERSION, "version", false), ROW(OPT_VERSION, "-version", false),
};
#undef ROW
static_assert(sizeof(kOptionTable) / sizeof(kOptionTable[0]) == 47, "the option table has 47 rows");

struct UsageRow {
  const char* short_form;
  const char* long_form;
  const char* description;
};

const UsageRow kUsageTable[] = {
    {"h", "help", "shows this help message"},
    {"q", "quiet", "makes output quiet"},
    {"-", "source", "terminates sequence of options\n"},
    {"r<name>", "reptable <name>", "specifies replacement table file name\n"},
    {"o<name>", "output <name>", "specifies output file name"},
    {"os", "ostdout", "redirects output to stdout\n"},
    {"wa", "wall", "enables all warnings"},
    {"wp", "wport", "enables portability warnings"},
    {"w", "wdisable", "disables all warnings"},
    {"wxs", "wnosafe", "disables safety warnings"},
    {"we", "werrors", "treats warnings as errors"},
    {"t", "tdisable", "disables tips\n"},
    {"lu", "luchar", "treats type \"char\" as \"unsigned char\""},
    {"lc", "lc", "processes input files as C sources"},
    {"lp", "lplus", "processes input files as C++ sources"},
    {"lx", "lmodern", "lexes C23 and C++23 sources (raw strings, digit separators, literal prefixes)"},
    {"i", "inplace", "renames source files in place"},
    {"j<n>", "jobs <n>", "processes up to n sources at once"},
    {"c", "check", "writes nothing; reports the sources that would change"},
    {"d", "diff", "writes a unified diff of the changes to stdout"},
    {"s", "summary", "writes a summary of the renaming to stderr"},
    {"v", "version", "shows the version"},
};

}  // namespace

bool parse_jobs(const char* text, unsigned* jobs) {
  if (!*text) return false;
  unsigned value = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + static_cast<unsigned>(*c - '0');
    if (value > kMaxJobs) return false;
  }
  *jobs = value;
  return true;
}

bool is_option_word(const char* word) { return word[0] == '-' || word[0] == '/'; }

int match_option(char**& cursor, const char** argument) {
  const char* rest = *cursor + 1;
  const OptionRow* winner = nullptr;
  for (const OptionRow& row : kOptionTable) {
    if (strncmp(rest, row.name, row.length) != 0) continue;
    if (!row.takes_argument && rest[row.length] != '\0') continue;
    if (!winner || row.length > winner->length) winner = &row;
  }
  if (!winner) return OPT_NONE;
  *argument = winner->takes_argument ? rest + winner->length : nullptr;
  if (winner->takes_argument && **argument == '\0' && cursor[1]) {
    ++cursor;
    *argument = *cursor;
  }
  return winner->id;
}

void print_usage(FILE* stream) {
  out_printf(stream, "\nusage: morfe.exe [<options>] [<source files>]\n\n");
  for (const UsageRow& row : kUsageTable) {
    out_printf(stream, "    -%-8s  -%-15s  - %s\n", row.short_form, row.long_form, row.description);
  }
}

void print_version(FILE* stream) { out_printf(stream, "morfe %s\n", MORFE_VERSION); }

void print_banner(FILE* stream) {
  out_printf(stream, "%s\n%s\n", "Quillex (R) C/C++ Identifiers Renaming Tool Version 1.0 build #1000",
             "Copyright (C) 2026 the morfe developers. Free software under the MIT licence.");
}
