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

OutputLog make_output_log(const std::vector<SourceItem>& items) {
  OutputLog log;
  for (const SourceItem& item : items) {
    log.sources.push_back(item.unreadable_directory ? FileIdentity{false, 0, 0} : file_identity(item.name.c_str()));
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

// Files done but not yet written, per job: enough that a job seldom waits
// for the writing of earlier files (one long file holds back the rest),
// few enough that what they keep in memory stays bounded.
constexpr size_t kFilesWaitingPerJob = 16;

// What one file's run wrote, kept until the files before it are written.
struct FileResult {
  MemoryStream out{nullptr, nullptr, 0};  // name line, and the output text with ostdout
  MemoryStream err{nullptr, nullptr, 0};  // its diagnostics
  bool ok = false;
  FileOutcome outcome;
  FileTally tally;
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
  size_t first_file;      // index of the first source (not a directory)
  std::vector<std::unique_ptr<FileResult>> results;

  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0;     // the next file for a job to take
  size_t written = 0;  // files whose lines are written
  size_t window;       // files taken but not yet written, at most
  bool stopping = false;

  Schedule(const Options& o, const std::vector<SourceItem>& i, unsigned jobs)
      : options(o), items(i), log(make_output_log(i)), turns(i.size()), table_text{nullptr, 0},
        first_file(i.size()), results(i.size()), window(kFilesWaitingPerJob * static_cast<size_t>(jobs)) {
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

void job(Schedule& schedule) {
  // Each job has its own table cache (adopting a snapshot relinks its
  // chains); the table's text is read once and shared.
  TableCacheOwner tables;
  tables.cache.text = schedule.table_text;
  for (;;) {
    size_t index;
    {
      std::unique_lock<std::mutex> lock(schedule.mutex);
      schedule.changed.wait(lock, [&] {
        return schedule.stopping || schedule.next >= schedule.items.size() ||
               schedule.next < schedule.written + schedule.window;
      });
      if (schedule.stopping || schedule.next >= schedule.items.size()) break;
      index = schedule.next++;
    }
    FileResult& result = *schedule.results[index];
    bool out_of_memory = false;
    try {
      run_one(schedule, index, result, &tables.cache);
    } catch (const OutOfMemory&) {
      out_of_memory = true;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;
    }
    std::lock_guard<std::mutex> lock(schedule.mutex);
    result.done = true;
    if (out_of_memory) {
      result.out_of_memory = true;
      schedule.stopping = true;
    }
    schedule.changed.notify_all();
  }
  // The cache does not own the shared text.
  tables.cache.text = LoadedText{nullptr, 0};
}

void write_kept(const MemoryStream& memory, FILE* stream) {
  if (!memory.size || !stream) return;
  if (fwrite(memory.data, 1, memory.size, stream) != memory.size) output_error_exit(stream);
}

}  // namespace

int process_sources_in_jobs(const Options& options, const std::vector<SourceItem>& items, unsigned jobs,
                            RunSummary* summary) {
  Schedule schedule(options, items, jobs);
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
  TableCacheOwner shared;
  if (options.reptable_name) read_table_text(&shared.cache, options.reptable_name, &schedule.table_text);

  std::vector<std::thread> threads;
  // Joined however this ends, so that no job outlives the run's state.
  struct Joiner {
    Schedule& schedule;
    std::vector<std::thread>& threads;
    ~Joiner() {
      {
        std::lock_guard<std::mutex> lock(schedule.mutex);
        schedule.stopping = true;
        schedule.changed.notify_all();
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
  for (unsigned k = 0; k < jobs; ++k) threads.emplace_back(job, std::ref(schedule));

  int status = 0;
  for (size_t index = 0; index < items.size(); ++index) {
    FileResult* result;
    {
      std::unique_lock<std::mutex> lock(schedule.mutex);
      schedule.changed.wait(lock, [&] { return schedule.results[index]->done; });
      result = schedule.results[index].get();
    }
    if (items[index].unreadable_directory) {
      report_unreadable_directory(options.diag, items[index]);
      status = 1;
    } else {
      write_kept(result->out, stdout);
      write_kept(result->err, options.diag);
      if (result->out_of_memory) throw OutOfMemory();
      if (!result->ok) status = 1;
      add_to_summary(summary, result->tally, items[index].name, !result->ok, result->outcome.changed);
    }
    if (options.ostdout && fflush(stdout) != 0) output_error_exit(stdout);
    std::lock_guard<std::mutex> lock(schedule.mutex);
    schedule.results[index].reset();
    ++schedule.written;
    schedule.changed.notify_all();
  }
  return status;
}
