// Replays every committed input that once made a fuzz target fail, through
// the same checks the target runs (support/fuzz_checks.h). An input goes into
// tests/fuzz-regressions/<target>/ when the fuzzer finds it; the file name
// says what it found.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/fuzz_checks.h"
#include "support/program_run.h"

namespace {

std::vector<std::string> inputs_of(const std::string& target) {
  std::string dir = std::string(MORFE_FUZZ_REGRESSIONS) + "/" + target;
  std::vector<std::string> paths;
  if (DIR* listing = opendir(dir.c_str())) {
    while (dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") paths.push_back(dir + "/" + name);
    }
    closedir(listing);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

template <typename Check>
void replay(const std::string& target, Check check) {
  std::vector<std::string> paths = inputs_of(target);
  if (paths.empty()) GTEST_SKIP() << "no inputs in " << MORFE_FUZZ_REGRESSIONS << "/" << target;
  for (const std::string& path : paths) {
    std::string data = support::read_file(path);
    EXPECT_EQ(check(reinterpret_cast<const uint8_t*>(data.data()), data.size()), "") << path;
  }
}

TEST(FuzzRegressions, TokeniserInputs) { replay("fuzz_next_token", check_tokeniser_input); }

TEST(FuzzRegressions, PipelineInputs) { replay("fuzz_pipeline", check_pipeline_input); }

}  // namespace
