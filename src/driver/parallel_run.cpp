#include "driver/parallel_run.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "diag/output.h"
#include "driver/options.h"
#include "driver/summary.h"
#include "memory/heap.h"
#include "platform/platform.h"

namespace {

// Output files are refused for being a source; -i, -c and -d refuse a
// source for being the table or an earlier source.
bool writes_output_files(const Options& options) {
  return !(options.inplace || options.check || options.diff || options.ostdout);
}

std::tuple<unsigned long long, unsigned long long, unsigned long long> key_of(const FileIdentity& identity) {
  return std::make_tuple(identity.device, identity.inode, identity.birth);
}

FileIdentity identity_of(const SourceItem& item) {
  if (item.unreadable_directory) return FileIdentity{false, 0, 0};
  return item.identity.exists ? item.identity : file_identity(item.name.c_str());
}

}  // namespace

OutputLog make_output_log(const std::vector<SourceItem>& items, const Options& options) {
  OutputLog log;
  if (options.reptable_name) log.table = file_identity(options.reptable_name);
  if (!writes_output_files(options)) return log;
  for (const SourceItem& item : items) log.sources.push_back(identity_of(item));
  return log;
}

SourcePlaces make_source_places(const Options& options) {
  return SourcePlaces{options.inplace || options.check || options.diff, {}};
}

SourcePlace place_source(SourcePlaces* places, const SourceItem& item, size_t index) {
  SourcePlace place{index, FileIdentity{false, 0, 0}, nullptr};
  if (!places->identities) return place;
  place.identity = identity_of(item);
  if (!place.identity.exists) return place;
  auto first = places->first_name.emplace(key_of(place.identity), item.name.c_str());
  if (!first.second) place.same_file_before = first.first->second;
  return place;
}

namespace {

// Files taken but not yet written, per job. A job may always run this far
// ahead of the writing, and on to kFilesAheadPerJob while the files done
// but not yet written keep less than kHeldBytesPerJob: one long file that
// holds back the writing (a long header among short ones) then holds back
// no job, and what the files keep in memory stays bounded.
constexpr size_t kFilesWaitingPerJob = 16;
constexpr size_t kFilesAheadPerJob = 1024;
constexpr size_t kHeldBytesPerJob = size_t{8} << 20;

// A file's name lines, output and diagnostics, kept in memory. Never moved:
// each stream writes its text and size back into its own record.
struct KeptStreams {
  MemoryStream out{nullptr, nullptr, 0};  // name line, and the output text with ostdout
  MemoryStream err{nullptr, nullptr, 0};  // its diagnostics
  ~KeptStreams() {
    close_memory_stream(&out);
    close_memory_stream(&err);
  }
};

// What one file's run wrote, kept until the files before it are written.
struct FileResult {
  std::unique_ptr<KeptStreams> streams;  // none when the file wrote nothing there
  bool ok = false;
  FileOutcome outcome;
  FileTally tally;
  size_t held = 0;  // bytes of its streams, counted in the schedule's held_bytes
  bool done = false;
  bool out_of_memory = false;
};

// A source of the run as the walk gave it, and its run's result until the
// result is written.
struct Entry {
  SourceItem item;
  SourcePlace place;
  std::unique_ptr<FileResult> result;
};

// The state the jobs and the walk share, under one lock.
struct Schedule {
  const Options& options;
  OutputLog log;
  // With output files, the order in which they are opened: made when the
  // walk has ended, since no output may overwrite a source found later.
  std::unique_ptr<OpenTurns> turns;
  // With output files no job starts before the walk has ended.
  const bool whole_walk_first;
  // Under the lock: the walk places each source it finds, and a source
  // replaced in place adds its new file.
  SourcePlaces places;
  LoadedText table_text{nullptr, 0};  // read once for every job: a table may be a pipe
  // The table as every job takes it, read-only, when its text could be
  // read; otherwise each job has a cache of its own (a failed read of the
  // table is tried again by each file).
  TableCache* shared_tables = nullptr;

  std::mutex mutex;
  // Signalled when a waiting job may go on: files were written, sources
  // found, the walk ended or the table became ready.
  std::condition_variable room;
  std::deque<Entry> entries;  // grows as the walk goes on; an entry never moves
  size_t first_file = kNoIndex;  // the first source (not a directory)
  bool table_ready = false;
  bool walk_ended = false;
  size_t next = 0;        // the next file for a job to take
  size_t written = 0;     // files whose lines are written
  size_t jobs;            // of the run
  size_t window;          // files taken but not yet written, at least
  size_t held_bytes = 0;  // kept by the files done but not yet written
  size_t waiting = 0;     // jobs waiting for room
  bool writing = false;   // a job is writing finished files
  bool stopping = false;
  bool out_of_memory = false;  // a file or the walk ran out of memory
  int status = 0;
  // Added to by the writing job alone, file after file.
  RunSummary* summary;

  ReplacementWatch replacements;  // with -i: note_replacement

  Schedule(const Options& o, unsigned jobs, RunSummary* s);
};

// A source replaced in place while the walk goes on: should the walk meet
// the file again, by another name or in a directory listed a second time,
// it knows the new file for the same file as the source.
void note_replacement(void* context, const char* source_name, const FileIdentity& identity) {
  Schedule& schedule = *static_cast<Schedule*>(context);
  std::lock_guard<std::mutex> lock(schedule.mutex);
  if (schedule.walk_ended) return;
  // The name is the entry's own, which stays while the run lasts.
  schedule.places.first_name.emplace(key_of(identity), source_name);
}

Schedule::Schedule(const Options& o, unsigned jobs, RunSummary* s)
    : options(o), log(make_output_log({}, o)), whole_walk_first(writes_output_files(o)),
      places(make_source_places(o)), jobs(jobs), window(kFilesWaitingPerJob * jobs), summary(s),
      replacements{note_replacement, this} {
  if (o.inplace) log.replacements = &replacements;
}

// Gives the file's result the job's streams when the file wrote to them;
// a file that wrote nothing leaves them to the job's next file, so that
// with -q most files open none.
void keep_written(std::unique_ptr<KeptStreams>& streams, FileResult& result) {
  if (!streams) return;
  // A run that ran out of memory left them unflushed.
  for (MemoryStream* memory : {&streams->out, &streams->err}) {
    if (memory->stream) settle_memory_stream(memory);
  }
  if (streams->out.size || streams->err.size) result.streams = std::move(streams);
}

// Runs one file with its streams kept in memory.
void run_one(Schedule& schedule, Entry& entry, bool first_file, TableCache* tables,
             std::unique_ptr<KeptStreams>& streams) {
  FileResult& result = *entry.result;
  if (!streams) {
    streams.reset(new KeptStreams);
    if (!open_memory_stream(&streams->out) || !open_memory_stream(&streams->err)) out_of_memory();
  }
  Options options = schedule.options;
  // Name lines go where the banner went: with -d, among the diagnostics.
  if (options.info) options.info = options.info == options.diag ? streams->err.stream : streams->out.stream;
  options.diag = streams->err.stream;
  options.standard_output = streams->out.stream;
  const char* name = entry.item.name.c_str();
  out_printf(options.info, "\"%s\"\n", name);
  if (options.summary) result.outcome.tally = &result.tally;
  result.ok = run_file(name, first_file, &options, &schedule.log, tables, &entry.place, &result.outcome);
  if (!settle_memory_stream(&streams->out) || !settle_memory_stream(&streams->err)) out_of_memory();
}

void write_kept(const MemoryStream& memory, FILE* stream) {
  if (!memory.size || !stream) return;
  if (fwrite(memory.data, 1, memory.size, stream) != memory.size) output_error_exit(stream);
}

// Writes one finished file's lines (or the report of a directory that could
// not be read) and gives back its memory. Called without the lock: only the
// one writing job touches the file's result.
void write_result(Schedule& schedule, Entry& entry) {
  const Options& options = schedule.options;
  const SourceItem& item = entry.item;
  FileResult& result = *entry.result;
  bool failed;
  if (item.unreadable_directory) {
    report_unreadable_directory(options.diag, item);
    failed = true;
  } else {
    // Name lines, the output of -os and the diff of -d.
    if (result.streams) {
      write_kept(result.streams->out, stdout);
      write_kept(result.streams->err, options.diag);
    }
    failed = !result.ok;
    if (!result.out_of_memory) add_to_summary(schedule.summary, result.tally, item.name, failed, result.outcome.changed);
  }
  if (options.ostdout && fflush(stdout) != 0) output_error_exit(stdout);
  std::lock_guard<std::mutex> lock(schedule.mutex);
  if (failed) schedule.status = 1;
  if (result.out_of_memory) {
    schedule.out_of_memory = true;
    schedule.stopping = true;
  }
  schedule.held_bytes -= result.held;
  entry.result.reset();
}

// Whether a job must wait before it takes another file: for the walk, or
// for the writing.
bool must_wait(const Schedule& schedule) {
  if (schedule.next >= schedule.entries.size() || (schedule.whole_walk_first && !schedule.walk_ended)) {
    return !schedule.walk_ended;
  }
  const size_t ahead = schedule.next - schedule.written;
  if (ahead < schedule.window) return false;
  return ahead >= kFilesAheadPerJob * schedule.jobs || schedule.held_bytes >= kHeldBytesPerJob * schedule.jobs;
}

// Called with the lock held by a job that finished a file. The files are
// written in their order by whichever job finishes the next one due: no
// thread does nothing but wait to write, and no job is woken for a file
// that is not the next. Returns with the lock held.
void write_finished(Schedule& schedule, std::unique_lock<std::mutex>& lock) {
  if (schedule.writing) return;  // the writing job takes this file up too
  schedule.writing = true;
  while (!schedule.out_of_memory && schedule.written < schedule.entries.size() &&
         schedule.entries[schedule.written].result->done) {
    Entry& entry = schedule.entries[schedule.written];
    lock.unlock();
    bool out_of_memory = false;
    try {
      write_result(schedule, entry);
    } catch (const OutOfMemory&) {
      out_of_memory = true;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    lock.lock();
    if (out_of_memory) {
      // Any job may be writing: the run ends as when a file runs out.
      schedule.out_of_memory = true;
      schedule.stopping = true;
    }
    ++schedule.written;
  }
  schedule.writing = false;
  if (schedule.waiting) schedule.room.notify_all();
}

void job(Schedule& schedule) {
  std::unique_lock<std::mutex> lock(schedule.mutex);
  schedule.room.wait(lock, [&schedule] { return schedule.table_ready || schedule.stopping; });
  TableCacheOwner own;
  own.cache.text = schedule.table_text;
  TableCache* tables = schedule.shared_tables ? schedule.shared_tables : &own.cache;
  std::unique_ptr<KeptStreams> streams;  // open, and empty
  for (;;) {
    while (!schedule.stopping && must_wait(schedule)) {
      ++schedule.waiting;
      schedule.room.wait(lock);
      --schedule.waiting;
    }
    if (schedule.stopping || schedule.next >= schedule.entries.size()) break;
    const size_t index = schedule.next++;
    Entry& entry = schedule.entries[index];
    if (entry.item.unreadable_directory) continue;  // done already: only its report is written
    const bool first_file = index == schedule.first_file;
    lock.unlock();
    bool out_of_memory = false;
    try {
      run_one(schedule, entry, first_file, tables, streams);
    } catch (const OutOfMemory&) {
      out_of_memory = true;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    FileResult& result = *entry.result;
    // What the file wrote before it ran out is written with it too.
    keep_written(streams, result);
    lock.lock();
    result.held = result.streams ? result.streams->out.size + result.streams->err.size : 0;
    schedule.held_bytes += result.held;
    result.done = true;
    result.out_of_memory = out_of_memory;
    // No file is taken after it, as one job would take none.
    if (out_of_memory) schedule.stopping = true;
    write_finished(schedule, lock);
  }
  lock.unlock();
  // The cache does not own the shared text.
  own.cache.text = LoadedText{nullptr, 0};
}

// Takes what the walk found: each source gets its place and a result to
// fill, and a waiting job is woken for it. False when the run is stopping;
// otherwise `sources` is how many the walk has found so far.
bool add_sources(Schedule& schedule, std::vector<SourceItem>& found, size_t* sources) {
  std::vector<Entry> added;
  added.reserve(found.size());
  for (SourceItem& item : found) {
    std::unique_ptr<FileResult> result(new FileResult);
    result->done = item.unreadable_directory;
    added.push_back(Entry{std::move(item), SourcePlace{0, FileIdentity{false, 0, 0}, nullptr}, std::move(result)});
  }
  std::lock_guard<std::mutex> lock(schedule.mutex);
  if (schedule.stopping) return false;
  for (Entry& entry : added) {
    const size_t index = schedule.entries.size();
    schedule.entries.push_back(std::move(entry));
    Entry& placed = schedule.entries.back();
    // The place keeps the name, which stays where the entry is.
    placed.place = place_source(&schedule.places, placed.item, index);
    if (schedule.whole_walk_first) schedule.log.sources.push_back(identity_of(placed.item));
    if (!placed.item.unreadable_directory && schedule.first_file == kNoIndex) schedule.first_file = index;
  }
  if (schedule.waiting) schedule.room.notify_all();
  *sources = schedule.entries.size();
  return true;
}

// The jobs that the walk starts beyond the first two, as it finds sources
// for them: a run over a few files starts no more than it can use.
struct Helpers {
  std::vector<std::thread> threads;
  bool no_more = false;  // the system gives no more threads
};

void start_helpers(Schedule& schedule, size_t sources, Helpers* helpers) {
  // The main thread and the walking one are jobs already.
  while (!helpers->no_more && helpers->threads.size() + 2 < std::min(schedule.jobs, sources)) {
    try {
      helpers->threads.emplace_back(job, std::ref(schedule));
    } catch (const std::system_error&) {
      helpers->no_more = true;  // those there are do the work
    }
  }
}

void end_walk(Schedule& schedule, bool out_of_memory) {
  std::lock_guard<std::mutex> lock(schedule.mutex);
  schedule.walk_ended = true;
  if (out_of_memory) {
    schedule.out_of_memory = true;
    schedule.stopping = true;
  } else if (schedule.whole_walk_first && !schedule.stopping) {
    schedule.turns.reset(new OpenTurns(schedule.entries.size()));
    for (size_t index = 0; index < schedule.entries.size(); ++index) {
      if (schedule.entries[index].item.unreadable_directory) schedule.turns->pass(index);
    }
    schedule.log.turns = schedule.turns.get();
  }
  schedule.room.notify_all();
}

// The walk of the run's names, feeding the jobs.
void walk(Schedule& schedule, char** names, Helpers* helpers) {
  bool out_of_memory = false;
  try {
    walk_sources(names, [&schedule, helpers](std::vector<SourceItem>& found) {
      size_t sources = 0;
      if (!add_sources(schedule, found, &sources)) return false;
      start_helpers(schedule, sources, helpers);
      return true;
    });
  } catch (const OutOfMemory&) {
    out_of_memory = true;
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  end_walk(schedule, out_of_memory);
}

// Reads the table and makes it ready for the jobs.
void prepare_for_jobs(Schedule& schedule, TableCache* tables) {
  const Options& options = schedule.options;
  bool out_of_memory = false;
  LoadedText text{nullptr, 0};
  try {
    if (options.reptable_name) {
      prepare_table(&options, tables);
      read_table_text(tables, options.reptable_name, &text);
    }
  } catch (const OutOfMemory&) {
    out_of_memory = true;
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  std::lock_guard<std::mutex> lock(schedule.mutex);
  schedule.table_text = text;
  if (text.text) schedule.shared_tables = tables;
  schedule.table_ready = true;
  if (out_of_memory) {
    schedule.out_of_memory = true;
    schedule.stopping = true;
  }
  schedule.room.notify_all();
}

}  // namespace

int process_tree_in_jobs(const Options& options, char** names, unsigned jobs, TableCache* tables,
                         RunSummary* summary) {
  Schedule schedule(options, jobs, summary);
  std::thread walker;
  Helpers helpers;
  // Joined however this ends, so that no job outlives the run's state.
  struct Joiner {
    Schedule& schedule;
    std::thread& walker;
    Helpers& helpers;
    ~Joiner() {
      size_t taken, sources;
      OpenTurns* turns;
      {
        std::lock_guard<std::mutex> lock(schedule.mutex);
        schedule.stopping = true;
        schedule.room.notify_all();
        taken = schedule.next;
        sources = schedule.entries.size();
        turns = schedule.turns.get();  // none made once the run stops
      }
      // A job waiting for its turn to open an output must not wait for files
      // that will never run.
      if (turns) {
        for (size_t index = taken; index < sources; ++index) turns->pass(index);
      }
      // The walker first: it alone starts helpers.
      if (walker.joinable()) walker.join();
      for (std::thread& thread : helpers.threads) thread.join();
    }
  } joiner{schedule, walker, helpers};
  // One thread walks and then joins the jobs, while this one reads the
  // table; both are jobs as well.
  try {
    walker = std::thread([&schedule, names, &helpers] {
      walk(schedule, names, &helpers);
      job(schedule);
    });
  } catch (const std::system_error&) {
    walk(schedule, names, &helpers);  // no thread to be had: this one walks first
  }
  prepare_for_jobs(schedule, tables);
  job(schedule);
  if (walker.joinable()) walker.join();
  for (std::thread& thread : helpers.threads) thread.join();
  helpers.threads.clear();
  if (schedule.out_of_memory) throw OutOfMemory();
  // With no file at all, the reports of the directories are still to be written.
  std::unique_lock<std::mutex> lock(schedule.mutex);
  write_finished(schedule, lock);
  return schedule.status;
}
