// Tokeniser throughput: next_token over a whole text, C mode, checks on
// (quiet = 0) with diagnostics discarded. Prints the best and the median of
// five passes in MB/s (10^6 bytes per second), by the wall clock and by the
// CPU time of the thread (the steadier figure on a shared machine).
//
//   morfe_tokenize_bench [file]
//
// Without a file, every .h file under /usr/include is concatenated, in path
// order, up to about 8 MB.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <time.h>
#include <vector>

#include "driver/file_runner.h"
#include "driver/options.h"
#include "lex/tokenizer.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/run_settings.h"

namespace {

constexpr size_t kDefaultBytes = 8u << 20;
constexpr int kPasses = 5;

double thread_seconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool read_file(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::string system_headers() {
  namespace fs = std::filesystem;
  std::vector<fs::path> paths;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/include", fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && it->path().extension() == ".h") paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::string text;
  for (const fs::path& path : paths) {
    if (text.size() >= kDefaultBytes) break;
    std::string file;
    if (read_file(path.string(), file)) text += file;
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string text;
  if (argc > 1) {
    if (!read_file(argv[1], text)) {
      fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
  } else {
    text = system_headers();
  }
  if (text.empty()) {
    fprintf(stderr, "nothing to tokenise\n");
    return 1;
  }
  // A NUL would end the text early; measure every byte.
  std::replace(text.begin(), text.end(), '\0', ' ');

  FILE* sink = fopen("/dev/null", "w");
  Options options = default_options();
  options.info = nullptr;
  options.diag = sink;
  Arena* arena = arena_create();
  Pool* pool = pool_create(arena);
  RunSettings settings;
  init_run_settings(&settings, &options, false, pool);
  Preprocessor* p = create_preprocessor(&settings);

  std::vector<double> wall, cpu;
  size_t tokens = 0;
  for (int pass = 0; pass < kPasses; ++pass) {
    const char* cursor = text.c_str();
    size_t count = 0;
    auto start = std::chrono::steady_clock::now();
    double cpu_start = thread_seconds();
    while (next_token(&p->lex, cursor) != TK_EOF) ++count;
    cpu.push_back(thread_seconds() - cpu_start);
    wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    tokens = count;
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  double megabytes = static_cast<double>(text.size()) / 1e6;
  printf("%zu bytes, %zu tokens per pass, %d passes\n", text.size(), tokens, kPasses);
  printf("wall clock: best %.1f MB/s, median %.1f MB/s\n", megabytes / wall.front(), megabytes / wall[kPasses / 2]);
  printf("cpu time:   best %.1f MB/s, median %.1f MB/s\n", megabytes / cpu.front(), megabytes / cpu[kPasses / 2]);

  arena_release(arena);
  fclose(sink);
  return 0;
}
