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
#include "macro/table_snapshot.h"
#include "memory/heap.h"

namespace {

enum class Mode { NONE, HELP, PROCESS };

struct CommandLine {
  Options options;
  Mode mode;
  bool failed;
  bool jobs_given;
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
      } else if (o.ostdout || o.inplace) {
        overriding(line, word);
      } else {
        o.output_name = argument;
      }
      break;
    case OPT_OSTDOUT:
      if (o.output_name || o.inplace) {
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
    case OPT_INPLACE:
      if (o.inplace) {
        duplicate(line, word);
      } else if (o.output_name || o.ostdout) {
        overriding(line, word);
      } else {
        o.inplace = 1;
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

int process_sources(const CommandLine& line, const std::vector<SourceItem>& items) {
  unsigned jobs = line.options.jobs == 0 ? processor_count() : line.options.jobs;
  if (jobs > 1) return process_sources_in_jobs(line.options, items, jobs);
  OutputLog log = make_output_log(items, line.options.reptable_name);
  TableCacheOwner tables;
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
    if (!run_file(item.name.c_str(), first_file, &line.options, &log, &tables.cache, index)) status = 1;
    first_file = false;
  }
  return status;
}

}  // namespace

int run_driver(char** argv) {
  static char* const kNoArguments[] = {nullptr, nullptr};
  if (!argv[0]) argv = const_cast<char**>(kNoArguments);
  CommandLine line = {default_options(), Mode::NONE, false, false};
  if (banner_wanted(argv)) print_banner(line.options.info);
  char** sources = parse_options(line, argv);

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
  std::vector<SourceItem> items = expand_sources(sources);
  size_t files = 0;
  for (const SourceItem& item : items) files += item.unreadable_directory ? 0 : 1;
  // A directory may hold several sources where one name was given.
  if (line.options.output_name && files > 1) {
    message(line, "fatal error", "cannot preprocess multiple sources into single file", line.options.output_name);
    return 1;
  }
  return process_sources(line, items);
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
