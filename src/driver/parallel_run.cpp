#include "driver/parallel_run.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "diag/output.h"
#include "driver/options.h"
#include "driver/summary.h"
#include "memory/heap.h"
#include "platform/platform.h"

OutputLog make_output_log(const std::vector<SourceItem>& items, const Options& options) {
  OutputLog log;
  if (options.reptable_name) log.table = file_identity(options.reptable_name);
  const bool refusals = options.inplace || options.check || options.diff || !options.ostdout;
  if (!refusals) return log;
  for (const SourceItem& item : items) {
    if (item.unreadable_directory) {
      log.sources.push_back(FileIdentity{false, 0, 0});
    } else {
      log.sources.push_back(item.identity.exists ? item.identity : file_identity(item.name.c_str()));
    }
    log.source_names.push_back(item.name);
  }
  std::map<std::pair<unsigned long long, unsigned long long>, size_t> first;
  for (size_t index = 0; index < log.sources.size(); ++index) {
    const FileIdentity& file = log.sources[index];
    size_t same = index;
    if (file.exists) same = first.emplace(std::make_pair(file.device, file.inode), index).first->second;
    log.first_of_file.push_back(same);
  }
  return log;
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

// What one file's run wrote, kept until the files before it are written.
struct FileResult {
  MemoryStream out{nullptr, nullptr, 0};  // name line, and the output text with ostdout
  MemoryStream err{nullptr, nullptr, 0};  // its diagnostics
  bool ok = false;
  FileOutcome outcome;
  FileTally tally;
  size_t held = 0;  // bytes of its streams, counted in the schedule's held_bytes
  bool done = false;
  bool out_of_memory = false;
  ~FileResult() {
    close_memory_stream(&out);
    close_memory_stream(&err);
  }
};

// The state the jobs share, under one lock.
struct Schedule {
  const Options& options;
  const std::vector<SourceItem>& items;
  OutputLog log;
  OpenTurns turns;
  LoadedText table_text;  // read once for every job: a table may be a pipe
  // The table as every job takes it, read-only, when its text could be
  // read; otherwise each job has a cache of its own (a failed read of the
  // table is tried again by each file).
  TableCache* shared_tables = nullptr;
  size_t first_file;      // index of the first source (not a directory)
  std::vector<std::unique_ptr<FileResult>> results;

  std::mutex mutex;
  // Signalled when a job waiting for room may go on: files were written.
  std::condition_variable room;
  size_t next = 0;        // the next file for a job to take
  size_t written = 0;     // files whose lines are written
  size_t jobs;            // of the run
  size_t window;          // files taken but not yet written, at least
  size_t held_bytes = 0;  // kept by the files done but not yet written
  size_t waiting = 0;     // jobs waiting for room
  bool writing = false;   // a job is writing finished files
  bool stopping = false;
  bool out_of_memory = false;  // a file ran out of memory: its lines were the last written
  int status = 0;
  // Added to by the writing job alone, file after file.
  RunSummary* summary;

  Schedule(const Options& o, const std::vector<SourceItem>& i, unsigned jobs, RunSummary* s)
      : options(o), items(i), log(make_output_log(i, o)), turns(i.size()), table_text{nullptr, 0},
        first_file(i.size()), results(i.size()), jobs(jobs), window(kFilesWaitingPerJob * this->jobs),
        summary(s) {
    log.turns = &turns;
  }
};

// Runs one file with its streams kept in memory.
void run_one(Schedule& schedule, size_t index, FileResult& result, TableCache* tables) {
  if (!open_memory_stream(&result.out) || !open_memory_stream(&result.err)) out_of_memory();
  Options options = schedule.options;
  // Name lines go where the banner went: with -d, among the diagnostics.
  if (options.info) options.info = options.info == options.diag ? result.err.stream : result.out.stream;
  options.diag = result.err.stream;
  options.standard_output = result.out.stream;
  const char* name = schedule.items[index].name.c_str();
  out_printf(options.info, "\"%s\"\n", name);
  if (options.summary) result.outcome.tally = &result.tally;
  result.ok = run_file(name, index == schedule.first_file, &options, &schedule.log, tables, index, &result.outcome);
  if (!settle_memory_stream(&result.out) || !settle_memory_stream(&result.err)) out_of_memory();
}

void settle_kept_streams(FileResult& result) {
  for (MemoryStream* memory : {&result.out, &result.err}) {
    if (memory->stream) settle_memory_stream(memory);
  }
}

void write_kept(const MemoryStream& memory, FILE* stream) {
  if (!memory.size || !stream) return;
  if (fwrite(memory.data, 1, memory.size, stream) != memory.size) output_error_exit(stream);
}

// Writes one finished file's lines (or the report of a directory that could
// not be read) and gives back its memory. Called without the lock: only the
// one writing job touches the file's result.
void write_result(Schedule& schedule, size_t index) {
  const Options& options = schedule.options;
  const SourceItem& item = schedule.items[index];
  FileResult& result = *schedule.results[index];
  bool failed;
  if (item.unreadable_directory) {
    report_unreadable_directory(options.diag, item);
    failed = true;
  } else {
    // Name lines, the output of -os and the diff of -d.
    write_kept(result.out, stdout);
    write_kept(result.err, options.diag);
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
  schedule.results[index].reset();
}

// Whether a job must wait for the writing before it takes another file.
bool too_far_ahead(const Schedule& schedule) {
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
  while (!schedule.out_of_memory && schedule.written < schedule.items.size() &&
         schedule.results[schedule.written]->done) {
    size_t index = schedule.written;
    lock.unlock();
    bool out_of_memory = false;
    try {
      write_result(schedule, index);
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
  TableCacheOwner own;
  own.cache.text = schedule.table_text;
  TableCache* tables = schedule.shared_tables ? schedule.shared_tables : &own.cache;
  std::unique_lock<std::mutex> lock(schedule.mutex);
  for (;;) {
    while (!schedule.stopping && schedule.next < schedule.items.size() && too_far_ahead(schedule)) {
      ++schedule.waiting;
      schedule.room.wait(lock);
      --schedule.waiting;
    }
    if (schedule.stopping || schedule.next >= schedule.items.size()) break;
    size_t index = schedule.next++;
    if (schedule.items[index].unreadable_directory) continue;  // done already: only its report is written
    FileResult& result = *schedule.results[index];
    lock.unlock();
    bool out_of_memory = false;
    try {
      run_one(schedule, index, result, tables);
    } catch (const OutOfMemory&) {
      out_of_memory = true;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    // What the file wrote before it ran out is written with it: the
    // streams show it only once flushed.
    if (out_of_memory) settle_kept_streams(result);
    lock.lock();
    result.held = result.out.size + result.err.size;
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

}  // namespace

int process_sources_in_jobs(const Options& options, const std::vector<SourceItem>& items, unsigned jobs,
                            TableCache* tables, RunSummary* summary) {
  Schedule schedule(options, items, jobs, summary);
  size_t files = 0;
  for (size_t index = 0; index < items.size(); ++index) {
    schedule.results[index].reset(new FileResult);
    if (items[index].unreadable_directory) {
      schedule.results[index]->done = true;
      schedule.turns.pass(index);
    } else {
      if (schedule.first_file == items.size()) schedule.first_file = index;
      ++files;
    }
  }
  if (jobs > files) jobs = static_cast<unsigned>(files ? files : 1);
  if (options.reptable_name) read_table_text(tables, options.reptable_name, &schedule.table_text);
  if (schedule.table_text.text) schedule.shared_tables = tables;

  std::vector<std::thread> threads;
  // Joined however this ends, so that no job outlives the run's state.
  struct Joiner {
    Schedule& schedule;
    std::vector<std::thread>& threads;
    ~Joiner() {
      {
        std::lock_guard<std::mutex> lock(schedule.mutex);
        schedule.stopping = true;
        schedule.room.notify_all();
      }
      // A job waiting for its turn to open an output must not wait for files
      // that will never run.
      for (size_t index = 0; index < schedule.items.size(); ++index) {
        bool taken;
        {
          std::lock_guard<std::mutex> lock(schedule.mutex);
          taken = index < schedule.next;
        }
        if (!taken) schedule.turns.pass(index);
      }
      for (std::thread& thread : threads) thread.join();
    }
  } joiner{schedule, threads};
  // This thread is one of the jobs.
  for (unsigned k = 1; k < jobs; ++k) threads.emplace_back(job, std::ref(schedule));
  job(schedule);
  for (std::thread& thread : threads) thread.join();
  threads.clear();
  if (schedule.out_of_memory) throw OutOfMemory();
  // With no file at all, the reports of the directories are still to be written.
  std::unique_lock<std::mutex> lock(schedule.mutex);
  write_finished(schedule, lock);
  return schedule.status;
}
