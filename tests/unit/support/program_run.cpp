#include "support/program_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "driver/driver.h"

namespace support {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

Outcome run_captured(const std::string& dir, std::vector<std::string> words) {
  words.insert(words.begin(), "morfe");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  fflush(stdout);
  fflush(stderr);
  int out_fd = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err_fd = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int saved_out = dup(1);
  int saved_err = dup(2);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  int status = run_program(argv.data());
  fflush(stdout);
  fflush(stderr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  for (int fd : {out_fd, err_fd, saved_out, saved_err}) close(fd);
  return Outcome{status, read_file(dir + "/out"), read_file(dir + "/err")};
}

size_t CountingHeap::requests, CountingHeap::releases, CountingHeap::refuse;

void* CountingHeap::allocate(size_t size) {
  ++requests;
  if (requests == refuse) return nullptr;
  return std::malloc(size);
}

void CountingHeap::release(void* block) {
  ++releases;
  std::free(block);
}

HeapSwap::HeapSwap(size_t refuse) {
  CountingHeap::requests = CountingHeap::releases = 0;
  CountingHeap::refuse = refuse;
  heap_allocate = CountingHeap::allocate;
  heap_release = CountingHeap::release;
}

HeapSwap::~HeapSwap() {
  heap_allocate = saved_allocate;
  heap_release = saved_release;
}

}  // namespace support
