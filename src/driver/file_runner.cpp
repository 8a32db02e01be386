#include "driver/file_runner.h"

#include <cstring>
#include <string>
#include <vector>

#include "diag/output.h"
#include "driver/options.h"
#include "driver/summary.h"
#include "lex/identifier.h"
#include "macro/replacement_table.h"
#include "macro/table_snapshot.h"
#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "output/line_processor.h"
#include "output/line_writer.h"
#include "output/output_sink.h"
#include "output/unified_diff.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"

namespace {

constexpr size_t kOutputBufferSize = 1048576;

// Releases the arena when the run ends, also when it is left by an exception.
struct ArenaGuard {
  Arena* arena;
  ~ArenaGuard() { arena_release(arena); }
};

// Closes an output file whose run was abandoned (out of memory) before the
// arena that holds its buffer goes.
struct OutputGuard {
  FILE* out;  // an output file this run opened
  ~OutputGuard() {
    if (out) fclose(out);
  }
};

const char* refusal_of_output(const char* path, const char* source_name, const Options* options,
                              const OutputLog* log, const char** earlier_source) {
  FileIdentity target = file_identity(path);
  if (!target.exists) return nullptr;
  bool is_input = same_file(target, file_identity(source_name));
  if (!is_input && options->reptable_name) is_input = same_file(target, file_identity(options->reptable_name));
  for (const FileIdentity& source : log->sources) is_input = is_input || same_file(target, source);
  if (is_input) return "fatal error: output file \"%s\" would overwrite an input file\n";
  for (const WrittenOutput& written : log->outputs) {
    if (same_file(target, written.identity)) {
      *earlier_source = written.source_name.c_str();
      return "fatal error: output file \"%s\" was already written for \"%s\"\n";
    }
  }
  return nullptr;
}

// Flushes and closes an output file; false when anything of it failed.
bool close_output_file(FILE* out) {
  bool good = !ferror(out);
  if (fflush(out) != 0) good = false;
  if (fclose(out) != 0) good = false;
  return good;
}

}  // namespace

std::string default_output_name(const char* source_name) {
  PathParts parts = split_path(source_name);
  parts.extension = ".ren";
  return join_path(parts);
}

bool is_cplusplus_source(const char* source_name, const Options* options) {
  if (options->lplus) return true;
  if (options->lc) return false;
  std::string extension = split_path(source_name).extension;
  if (!options->lmodern) return extension == ".cpp";
  // The names C++ sources go by today; ".h" stays C (-lp for a C++ tree).
  static const char* const kCplusplusExtensions[] = {".cpp", ".cc",  ".cxx", ".c++", ".C",   ".hpp", ".hh",  ".hxx",
                                                     ".h++", ".ipp", ".tpp", ".inl", ".tcc", ".ixx", ".cppm"};
  for (const char* known : kCplusplusExtensions) {
    if (extension == known) return true;
  }
  return false;
}

void init_run_settings(RunSettings* settings, const Options* options, bool cplusplus, Pool* store) {
  memset(settings, 0, sizeof *settings);
  settings->reptable_name = options->reptable_name;
  settings->line_part_tokens = options->line_part_tokens;
  settings->in_place_renaming = options->in_place_renaming;
  settings->diag = options->diag;
  settings->switches = ReportSwitches{options->wall != 0,    options->wport != 0,   options->wdisable != 0,
                                      options->wnosafe != 0, options->werrors != 0, options->tdisable != 0};
  settings->cplusplus = cplusplus;
  settings->modern = options->lmodern != 0;
  LiteralLimits& limits = settings->limits;
  limits.char_bits = 8;
  limits.char_max = options->luchar ? 255 : 127;
  limits.char_min = options->luchar ? 0 : -128;
  limits.uchar_max = 255;
  limits.int_max = 32767;
  limits.int_min = -32768;
  limits.long_max = 2147483647;
  limits.long_min = -2147483647LL - 1;
  limits.wchar_max = 32767;
  limits.wchar_min = -32768;
  settings->io_error = FILE_ERROR_NONE;
  settings->store = store;
}

void prepare_table(const Options* options, TableCache* tables) {
  Arena* arena = arena_create();
  ArenaGuard arena_guard{arena};
  Pool* pool = pool_create(arena);
  RunSettings settings;
  init_run_settings(&settings, options, options->lplus != 0, pool);
  settings.tables = tables;
  prepare_table_snapshot(tables, &settings);
}

// A table whose reading ends in a fatal error leaves no records to take its
// names' order from: for the summary of the run, its lines up to that error
// are read once more, silently, by a load of the table's own.
static void note_order_of_fatal_table(Preprocessor* p) {
  RunSettings* settings = static_cast<RunSettings*>(pool_alloc(p->store, sizeof(RunSettings)));
  init_run_settings_like(settings, p->settings, p->store);
  settings->diag = nullptr;  // reporting to no stream
  settings->tables = p->settings->tables;
  Preprocessor* quiet = create_preprocessor(settings);
  quiet->tally = p->tally;
  try {
    load_replacement_table(quiet, Report::OFF);
  } catch (const FatalError&) {
    // Where the table ends for the file too.
  }
}

// What the run wrote stays in the output however the run ends: a fatal
// error or the heap running out.
struct SourceTextFlush {
  Preprocessor* p;
  ~SourceTextFlush() { flush_source_text(p); }
};

bool process_source(const char* name, bool first_file, RunSettings* settings, FILE* out, TableCache* tables,
                    const PreloadedSource* source, FileTally* tally) {
  settings->tables = tables;
  Preprocessor* p = create_preprocessor(settings);
  attach_output_sink(p, out);
  SourceTextFlush flush{p};
  RenameTally renames;
  std::vector<const IdentEntry*> table_order;
  if (tally) {
    p->tally = &renames;
    // The file that reports the table's diagnostics loads it itself.
    if (first_file) renames.table_order = &table_order;
  }
  try {
    const Report report = first_file ? Report::ON : Report::OFF;
    bool adopted = false;
    try {
      adopted = tables && adopt_table_snapshot(p, tables, report);
    } catch (const FatalError&) {
      if (renames.table_order) note_order_of_fatal_table(p);
      throw;
    }
    if (!adopted) {
      load_replacement_table(p, report);
    } else {
      note_table_order(p, tables);
    }
    if (source) {
      // The table's load recorded its own path and errors meanwhile.
      settings->io_error = source->error;
      settings->full_path = source->full_path;
      run_loaded_source(p, name, source->text);
    } else {
      run_source(p, name);
    }
  } catch (const FatalError&) {
    // The file's run ends here; what was written stays in its output.
  }
  if (tally) tally_run(p, renames, source ? &source->text : nullptr, tally);
  return !p->report.failed;
}

void OpenTurns::take(size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return next_ >= index; });
}

void OpenTurns::pass(size_t index) {
  std::lock_guard<std::mutex> lock(mutex_);
  passed_[index] = true;
  while (next_ < passed_.size() && passed_[next_]) ++next_;
  changed_.notify_all();
}

namespace {

// A file's turn to open its output, passed however its run ends, so that the
// files after it do not wait for ever.
struct TurnGuard {
  OpenTurns* turns;
  size_t index;
  bool passed;
  void take() {
    if (turns) turns->take(index);
  }
  void pass() {
    if (turns && !passed) turns->pass(index);
    passed = true;
  }
  ~TurnGuard() { pass(); }
};

// The output of a run kept in memory: for -i until the run has succeeded,
// for -c and -d to be compared with the source.
struct ReplacementGuard {
  MemoryStream memory;
  ~ReplacementGuard() {
    if (memory.stream) close_memory_stream(&memory);
  }
};

// With in-place renaming a source is its own output: it may not be the
// table, nor a source that an earlier name of the run replaced already.
const char* refusal_in_place(const char* name, const OutputLog* log, const SourcePlace* place,
                             const char** earlier_source) {
  FileIdentity source = place ? place->identity : file_identity(name);
  if (same_file(source, log->table)) {
    return "fatal error: output file \"%s\" would overwrite an input file\n";
  }
  if (place && place->same_file_before) {
    *earlier_source = place->same_file_before;
    return "fatal error: output file \"%s\" was already written for \"%s\"\n";
  }
  return nullptr;
}

// True when the new text differs from the source, as the file holds it now.
bool text_changes_source(const char* name, const PreloadedSource& source, const MemoryStream& text) {
  // A text of another length has changed; one of the same length is
  // compared with the file (the loaded text may have been edited in place).
  return text.size != source.text.length || !file_holds_text(name, text.data, text.size);
}

void write_bytes(FILE* stream, const char* data, size_t size) {
  if (size && fwrite(data, 1, size, stream) != size) output_error_exit(stream);
}

// -i replaces the source, -c names it and -d shows the change; a source
// that fails or would not change is left alone by each. Returns false when
// the source could not be replaced.
bool settle_in_place(const char* name, const Options* options, const OutputLog* log,
                     const PreloadedSource& source, const MemoryStream& text) {
  if (options->check) {
    out_printf(options->standard_output, "would change: %s\n", name);
  } else if (options->diff) {
    std::string diff = unified_diff(name, source.text.text, source.text.length, text.data, text.size);
    write_bytes(options->standard_output, diff.data(), diff.size());
  } else {
    FileError error = FILE_ERROR_NONE;
    if (!replace_file(name, text.data, text.size, &error, log->replacements)) {
      out_printf(options->diag, "fatal error: cannot write output file \"%s\"; %s\n", name, error_text(error));
      return false;
    }
  }
  return true;
}

}  // namespace

bool run_file(const char* name, bool first_file, const Options* options, OutputLog* log, TableCache* tables,
              const SourcePlace* place, FileOutcome* outcome) {
  TurnGuard turn{place ? log->turns : nullptr, place ? place->index : kNoIndex, false};
  Arena* arena = arena_create();
  ArenaGuard arena_guard{arena};
  Pool* pool = pool_create(arena);
  bool cplusplus = is_cplusplus_source(name, options);
  RunSettings* settings = static_cast<RunSettings*>(pool_alloc(pool, sizeof(RunSettings)));
  init_run_settings(settings, options, cplusplus, pool);

  // The source is loaded first: one that cannot be loaded leaves no output
  // behind, and no file that already exists is emptied for it.
  PreloadedSource source;
  locate_and_load(settings, name, ".", &source.text);
  source.error = settings->io_error;
  source.full_path = settings->full_path;

  OutputGuard output{nullptr};
  ReplacementGuard replacement{MemoryStream{nullptr, nullptr, 0}};
  FILE* out = nullptr;
  const char* path = nullptr;
  if (!source.text.text) {
    // No output: the run reports the table's diagnostics and the failed load.
  } else if (options->inplace || options->check || options->diff) {
    // -c and -d show what -i would do, and refuse what it refuses.
    const char* earlier_source = nullptr;
    if (const char* refusal = refusal_in_place(name, log, place, &earlier_source)) {
      out_printf(options->diag, refusal, name, earlier_source);
      return false;
    }
    if (!open_memory_stream(&replacement.memory)) out_of_memory();
    out = replacement.memory.stream;
  } else if (options->ostdout) {
    out = options->standard_output;
    // The summary counts the sources whose text changes.
    if (options->summary) {
      if (!open_memory_stream(&replacement.memory)) out_of_memory();
      out = replacement.memory.stream;
    }
  } else {
    turn.take();
    path = options->output_name ? pool_strdup(pool, options->output_name)
                                : pool_strdup(pool, default_output_name(name).c_str());
    const char* earlier_source = nullptr;
    if (const char* refusal = refusal_of_output(path, name, options, log, &earlier_source)) {
      out_printf(options->diag, refusal, path, earlier_source);
      return false;
    }
    output.out = fopen(path, "w");
    if (!output.out) {
      out_printf(options->diag, "fatal error: cannot open output file \"%s\"\n", path);
      return false;
    }
    setvbuf(output.out, static_cast<char*>(arena_alloc(arena, kOutputBufferSize)), _IOFBF, kOutputBufferSize);
    log->outputs.push_back(WrittenOutput{file_identity(path), name});
    out = output.out;
  }
  turn.pass();

  bool result = process_source(name, first_file, settings, out, tables, &source, outcome ? outcome->tally : nullptr);

  bool changed = false;
  if (!out) return result;
  if (replacement.memory.stream) {
    if (!settle_memory_stream(&replacement.memory)) out_of_memory();
    const MemoryStream& text = replacement.memory;
    if (options->ostdout) {
      write_bytes(options->standard_output, text.data, text.size);
      if (fflush(options->standard_output) != 0) output_error_exit(options->standard_output);
      changed = text_changes_source(name, source, text);
    } else {
      changed = result && text_changes_source(name, source, text);
      if (changed && !settle_in_place(name, options, log, source, text)) result = false;
    }
  } else if (out == options->standard_output) {
    if (fflush(out) != 0) output_error_exit(out);
  } else {
    output.out = nullptr;
    if (!close_output_file(out)) {
      out_printf(options->diag, "fatal error: cannot write output file \"%s\"\n", path);
      result = false;
    }
    // Only a summary asks: the output is read back.
    if (outcome && outcome->tally && result) changed = !file_holds_text(path, source.text.text, source.text.length);
  }
  if (outcome) outcome->changed = result && changed;
  return result;
}
