#include "driver/driver.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "diag/output.h"
#include "driver/file_runner.h"
#include "diag/diagnostics.h"
#include "driver/options.h"
#include "driver/parallel_run.h"
#include "driver/source_list.h"
#include "driver/summary.h"
#include "macro/table_snapshot.h"
#include "memory/heap.h"
#include "platform/platform.h"

namespace {

enum class Mode { NONE, HELP, PROCESS };

struct CommandLine {
  Options options;
  Mode mode;
  bool failed;
  bool jobs_given;
  bool version;    // shows the version instead of anything else
  bool tips_off;   // -t among the options, wherever it stands
};

void message(const CommandLine& line, const char* level, const char* text, const char* quoted) {
  if (quoted) {
    out_printf(line.options.diag, "%s %s: %s \"%s\"\n", "command line", level, text, quoted);
  } else {
    out_printf(line.options.diag, "%s %s: %s\n", "command line", level, text);
  }
}

void duplicate(CommandLine& line, const char* word) { message(line, "warning", "duplicate option", word); }

void overriding(CommandLine& line, const char* word) {
  message(line, "error", "overriding option", word);
  line.failed = true;
}

void missing_argument(CommandLine& line, const char* word) {
  message(line, "error", "no argument for option", word);
  line.failed = true;
}

// Sets a plain flag, or warns that it was set already.
void set_flag(CommandLine& line, int& flag, const char* word) {
  if (flag) {
    duplicate(line, word);
  } else {
    flag = 1;
  }
}

// The four warning switches exclude each other.
void set_warning_switch(CommandLine& line, int& flag, const char* word) {
  Options& o = line.options;
  if (flag) {
    duplicate(line, word);
  } else if (o.wall || o.wport || o.wdisable || o.wnosafe) {
    overriding(line, word);
  } else {
    flag = 1;
  }
}

// -o, -os, -i, -c and -d each choose what becomes of the renamed text: how
// many of them are set.
int destinations(const Options& o) { return (o.output_name != nullptr) + o.ostdout + o.inplace + o.check + o.diff; }

// Sets one of the destinations; duplicate before overriding.
void set_destination(CommandLine& line, int& flag, const char* word) {
  if (flag) {
    duplicate(line, word);
  } else if (destinations(line.options)) {
    overriding(line, word);
  } else {
    flag = 1;
  }
}

// An absolute source path typed before "--" reads as an option word.
void tip_for_unknown(CommandLine& line, const char* word) {
  if (line.tips_off || word[0] != '/' || word[1] == '\0' || !file_identity(word).exists) return;
  message(line, "tip", "a file name that begins with \"/\" goes after \"--\"", nullptr);
}

void set_language(CommandLine& line, int& flag, int other, const char* word) {
  if (flag) {
    duplicate(line, word);
  } else if (other) {
    overriding(line, word);
  } else {
    flag = 1;
  }
}

void apply_option(CommandLine& line, int id, const char* argument, const char* word) {
  Options& o = line.options;
  switch (id) {
    case OPT_HELP:
      if (line.mode == Mode::HELP) {
        duplicate(line, word);
      } else {
        line.mode = Mode::HELP;
      }
      break;
    case OPT_QUIET:
      if (!o.info) {
        duplicate(line, word);
      } else {
        o.info = nullptr;
      }
      break;
    case OPT_SOURCE:
      break;
    case OPT_REPTABLE:
      if (!*argument) {
        missing_argument(line, word);
      } else if (o.reptable_name) {
        duplicate(line, word);
      } else {
        o.reptable_name = argument;
      }
      break;
    case OPT_OUTPUT:
      if (!*argument) {
        missing_argument(line, word);
      } else if (o.output_name) {
        duplicate(line, word);
      } else if (destinations(o)) {
        overriding(line, word);
      } else {
        o.output_name = argument;
      }
      break;
    case OPT_OSTDOUT:
      if (destinations(o) - o.ostdout) {
        overriding(line, word);
      } else {
        set_flag(line, o.ostdout, word);
      }
      break;
    case OPT_WALL: set_warning_switch(line, o.wall, word); break;
    case OPT_WPORT: set_warning_switch(line, o.wport, word); break;
    case OPT_WDISABLE: set_warning_switch(line, o.wdisable, word); break;
    case OPT_WNOSAFE: set_warning_switch(line, o.wnosafe, word); break;
    case OPT_WERRORS: set_flag(line, o.werrors, word); break;
    case OPT_TDISABLE: set_flag(line, o.tdisable, word); break;
    case OPT_LUCHAR: set_flag(line, o.luchar, word); break;
    case OPT_LMODERN: set_flag(line, o.lmodern, word); break;
    case OPT_LC: set_language(line, o.lc, o.lplus, word); break;
    case OPT_LPLUS: set_language(line, o.lplus, o.lc, word); break;
    case OPT_INPLACE: set_destination(line, o.inplace, word); break;
    case OPT_CHECK: set_destination(line, o.check, word); break;
    case OPT_DIFF:
      set_destination(line, o.diff, word);
      // The standard output carries the diff alone.
      if (o.diff && o.info) o.info = o.diag;
      break;
    case OPT_SUMMARY: set_flag(line, o.summary, word); break;
    case OPT_VERSION:
      if (line.version) {
        duplicate(line, word);
      } else {
        line.version = true;
      }
      break;
    case OPT_JOBS:
      if (!*argument) {
        missing_argument(line, word);
      } else if (line.jobs_given) {
        duplicate(line, word);
      } else if (!parse_jobs(argument, &o.jobs)) {
        // The word that holds the number: the option word when it is attached.
        message(line, "error", "invalid number of jobs", argument == word + strlen(word) - strlen(argument) ? word : argument);
        line.failed = true;
      } else {
        line.jobs_given = true;
      }
      break;
    default:
      message(line, "error", "unknown option", word);
      tip_for_unknown(line, word);
      line.failed = true;
      break;
  }
}

// The banner is written unless a quiet option comes among the leading
// option words.
bool banner_wanted(char** argv) {
  for (char** word = argv + 1; *word && is_option_word(*word); ++word) {
    const char* argument;
    if (match_option(word, &argument) == OPT_QUIET) return false;
  }
  return true;
}

// True when an option of this id comes among the option words before the
// first source name.
bool leading_option(char** argv, int wanted) {
  for (char** word = argv + 1; *word && is_option_word(*word); ++word) {
    const char* argument;
    int id = match_option(word, &argument);
    if (id == wanted) return true;
    if (id == OPT_SOURCE) break;
  }
  return false;
}

// Returns the first source file name word.
char** parse_options(CommandLine& line, char** argv) {
  char** word = argv + 1;
  while (*word && is_option_word(*word)) {
    const char* typed = *word;
    const char* argument = nullptr;
    int id = match_option(word, &argument);
    apply_option(line, id, argument, typed);
    ++word;
    if (id == OPT_SOURCE) break;
  }
  if (line.mode == Mode::NONE) line.mode = Mode::PROCESS;
  return word;
}

// The sources one after the other, in one job.
int process_sources(const CommandLine& line, const std::vector<SourceItem>& items, TableCacheOwner& tables,
                    RunSummary* summary) {
  OutputLog log = make_output_log(items, line.options);
  SourcePlaces places = make_source_places(line.options);
  int status = 0;
  bool first_file = true;
  for (size_t index = 0; index < items.size(); ++index) {
    const SourceItem& item = items[index];
    if (item.unreadable_directory) {
      report_unreadable_directory(line.options.diag, item);
      status = 1;
      continue;
    }
    out_printf(line.options.info, "\"%s\"\n", item.name.c_str());
    FileTally tally;
    FileOutcome outcome;
    if (line.options.summary) outcome.tally = &tally;
    const SourcePlace place = place_source(&places, item, index);
    bool ok = run_file(item.name.c_str(), first_file, &line.options, &log, &tables.cache, &place, &outcome);
    if (!ok) status = 1;
    add_to_summary(summary, tally, item.name, !ok, outcome.changed);
    first_file = false;
  }
  return status;
}

}  // namespace

int run_driver(char** argv) {
  static char* const kNoArguments[] = {nullptr, nullptr};
  if (!argv[0]) argv = const_cast<char**>(kNoArguments);
  CommandLine line = {default_options(), Mode::NONE, false, false, false, leading_option(argv, OPT_TDISABLE)};
  if (banner_wanted(argv) && !leading_option(argv, OPT_VERSION)) {
    print_banner(leading_option(argv, OPT_DIFF) ? line.options.diag : line.options.info);
  }
  char** sources = parse_options(line, argv);
  if (line.version) {
    if (line.failed) return 1;
    print_version(stdout);
    return 0;
  }

  if (line.mode == Mode::PROCESS) {
    if (!line.options.reptable_name) {
      message(line, "fatal error", "no replacement table specified", nullptr);
      line.failed = true;
    }
    if (!*sources) {
      message(line, "fatal error", "source file name missed (try option \"-h\" to get usage info)", nullptr);
      line.failed = true;
    }
  }
  if (line.options.output_name && sources[0] && sources[1]) {
    message(line, "fatal error", "cannot preprocess multiple sources into single file", line.options.output_name);
    return 1;
  }
  if (line.failed) return 1;
  if (line.mode == Mode::HELP) {
    print_usage(stdout);
    return 0;
  }
  const unsigned jobs = line.options.jobs == 0 ? processor_count() : line.options.jobs;
  TableCacheOwner tables;
  RunSummary summary;
  int status;
  // One output file takes one source: jobs would have nothing to share.
  if (jobs > 1 && !line.options.output_name) {
    status = process_tree_in_jobs(line.options, sources, jobs, &tables.cache, &summary);
  } else {
    std::vector<SourceItem> items = expand_sources(sources);
    size_t files = 0;
    for (const SourceItem& item : items) files += item.unreadable_directory ? 0 : 1;
    // A directory may hold several sources where one name was given.
    if (line.options.output_name && files > 1) {
      message(line, "fatal error", "cannot preprocess multiple sources into single file", line.options.output_name);
      return 1;
    }
    status = process_sources(line, items, tables, &summary);
  }
  if (line.options.summary) print_summary(line.options.diag, summary);
  // A check tells a tree that would change from one that would not.
  if (line.options.check && status == 0 && summary.changed) status = 2;
  return status;
}

static int out_of_memory_exit() {
  fflush(stdout);
  fputs("\nfatal error: not enough memory\n", stderr);
  return 1;
}

int run_program(char** argv) {
  try {
    int status = run_driver(argv);
    if (fflush(stdout) != 0) output_error_exit(stdout);
    return status;
  } catch (const OutOfMemory&) {
    return out_of_memory_exit();
  } catch (const std::bad_alloc&) {
    return out_of_memory_exit();
  }
}
