// The renaming in place against reading every line as tokens: the file
// runner over the given sources, both ways in turn, five rounds, output
// discarded. Prints the median CPU time of a round each way and their ratio.
//
//   morfe_paths_bench TABLE SOURCE...
//
// A list of sources too long for the command line can be given as @FILE,
// one name a line.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/file_runner.h"
#include "driver/options.h"
#include "macro/table_snapshot.h"

namespace {

constexpr int kRounds = 5;

double cpu_seconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<std::string> sources_of(int argc, char** argv) {
  std::vector<std::string> sources;
  for (int i = 2; i < argc; ++i) {
    if (argv[i][0] != '@') {
      sources.push_back(argv[i]);
      continue;
    }
    std::ifstream list(argv[i] + 1);
    for (std::string name; std::getline(list, name);) {
      if (!name.empty()) sources.push_back(name);
    }
  }
  return sources;
}

// One round: every source, as one command line would run them.
double round_seconds(const Options& options, const std::vector<std::string>& sources) {
  TableCache tables = make_table_cache();
  double start = cpu_seconds();
  for (size_t i = 0; i < sources.size(); ++i) {
    OutputLog log;  // every output is /dev/null: no refusal of an earlier one
    run_file(sources[i].c_str(), i == 0, &options, &log, &tables);
  }
  double seconds = cpu_seconds() - start;
  release_table_cache(&tables);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: morfe_paths_bench TABLE SOURCE...\n");
    return 2;
  }
  std::vector<std::string> sources = sources_of(argc, argv);
  FILE* sink = fopen("/dev/null", "w");
  Options options = default_options();
  options.info = nullptr;
  options.diag = sink;
  options.reptable_name = argv[1];
  options.output_name = "/dev/null";
  std::vector<double> in_place, tokens;
  for (int round = 0; round < kRounds; ++round) {
    options.in_place_renaming = true;
    in_place.push_back(round_seconds(options, sources));
    options.in_place_renaming = false;
    tokens.push_back(round_seconds(options, sources));
  }
  std::sort(in_place.begin(), in_place.end());
  std::sort(tokens.begin(), tokens.end());
  double a = in_place[kRounds / 2], b = tokens[kRounds / 2];
  printf("%zu sources, median CPU seconds of %d rounds\n", sources.size(), kRounds);
  printf("  renamed in place: %.4f s\n  through tokens:   %.4f s\n  tokens / in place: %.2f\n", a, b, b / a);
  fclose(sink);
  return 0;
}
