// The heap refusing a request while several jobs run: the program ends with
// the out-of-memory message and status 1, every job stopped and every heap
// block given back, whichever job met the refusal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "memory/heap.h"
#include "support/program_run.h"

namespace {

std::atomic<size_t> requests, releases, refused_at;

void* refusing_allocate(size_t size) {
  if (++requests == refused_at) return nullptr;
  return std::malloc(size);
}

void counting_release(void* block) {
  ++releases;
  std::free(block);
}

struct ThreadSafeHeap {
  HeapAllocate saved_allocate = heap_allocate;
  HeapRelease saved_release = heap_release;
  explicit ThreadSafeHeap(size_t refuse) {
    requests = 0;
    releases = 0;
    refused_at = refuse;
    heap_allocate = refusing_allocate;
    heap_release = counting_release;
  }
  ~ThreadSafeHeap() {
    heap_allocate = saved_allocate;
    heap_release = saved_release;
  }
};

TEST(JobsOutOfMemory, EveryJobStopsAndTheRunFails) {
  char pattern[] = "/tmp/morfe_jobs_oom_XXXXXX";
  std::string dir = mkdtemp(pattern);
  support::write_file(dir + "/t", "old new\nx y\n");
  std::vector<std::string> words = {"-q", "-j2", "-r", dir + "/t", "--"};
  for (int i = 0; i < 6; ++i) {
    std::string text;
    for (int line = 0; line < 300; ++line) text += "int old" + std::to_string(line) + " = old + x;\n";
    words.push_back(dir + "/s" + std::to_string(i) + ".c");
    support::write_file(words.back(), text);
  }
  size_t total;
  {
    ThreadSafeHeap heap(0);
    ASSERT_EQ(support::run_captured(dir, words).status, 0);
    total = requests;
    ASSERT_EQ(releases.load(), total);
  }
  // Requests come in no fixed order with two jobs: refusing a spread of
  // them reaches every stage of some file's run.
  for (size_t refuse = 1; refuse <= total; refuse += total / 25 + 1) {
    SCOPED_TRACE("heap request " + std::to_string(refuse) + " refused");
    ThreadSafeHeap heap(refuse);
    support::Outcome outcome = support::run_captured(dir, words);
    if (requests < refuse) {
      // Which job takes which file varies, and with it how often a job's
      // own table snapshot is made: this run needed fewer requests.
      EXPECT_EQ(outcome.status, 0);
      EXPECT_EQ(releases.load(), requests.load());
      continue;
    }
    EXPECT_EQ(outcome.status, 1);
    const std::string message = "\nfatal error: not enough memory\n";
    ASSERT_GE(outcome.err.size(), message.size());
    EXPECT_EQ(outcome.err.substr(outcome.err.size() - message.size()), message);
    EXPECT_EQ(releases.load() + 1, requests.load());  // the refused one is no block
  }
  std::string command = "rm -rf '" + dir + "'";
  ASSERT_EQ(system(command.c_str()), 0);
}

}  // namespace
