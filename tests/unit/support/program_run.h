// The whole program run in-process for tests: its standard streams captured
// into files, and a heap that counts requests and can refuse a chosen one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "memory/heap.h"

namespace support {

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& text);
bool exists(const std::string& path);

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

// Runs run_program with the words after the program name; standard output and
// standard error go to the files "out" and "err" of `dir` and are read back.
Outcome run_captured(const std::string& dir, std::vector<std::string> words);

// Counts heap requests and releases, and refuses the request numbered
// `refuse` (1-based; 0 refuses none).
struct CountingHeap {
  static size_t requests, releases, refuse;
  static void* allocate(size_t size);
  static void release(void* block);
};

// Puts the counting heap in place, counters cleared, for its lifetime.
struct HeapSwap {
  HeapAllocate saved_allocate = heap_allocate;
  HeapRelease saved_release = heap_release;
  explicit HeapSwap(size_t refuse);
  ~HeapSwap();
};

}  // namespace support
