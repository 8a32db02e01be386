// Replays every committed input that once made a fuzz target fail, through
// the same checks the target runs (support/fuzz_checks.h). An input goes into
// tests/fuzz-regressions/<target>/ when the fuzzer finds it; the file name
// says what it found.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

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

// The regular files under `dir`, in path order, with their paths.
void files_under(const std::string& dir, std::vector<std::string>& paths) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(dir.c_str())) {
    while (dirent* entry = readdir(listing)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(listing);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) files_under(path, paths);
    if (S_ISREG(info.st_mode)) paths.push_back(path);
  }
}

bool is_table_name(const std::string& path, const std::string& files) {
  for (const char* name : {"table", "t", "u"}) {
    if (path == files + "/" + name) return true;
  }
  return false;
}

// The pipeline inputs made of the end-to-end cases: option byte 0, the
// case's table, 0xFF, one of its sources. They are the fuzzers' seeds, and
// every check of the pipeline target must hold for them too, whatever the
// option byte.
std::vector<std::string> end_to_end_inputs() {
  std::vector<std::string> inputs;
  std::vector<std::string> all_files;
  files_under(MORFE_CASES, all_files);
  std::vector<std::string> case_dirs;
  for (const std::string& path : all_files) {
    size_t at = path.find("/files/");
    if (at == std::string::npos) continue;
    std::string case_dir = path.substr(0, at);
    if (case_dir.size() >= 9 && case_dir.compare(case_dir.size() - 9, 9, "/expected") == 0) continue;
    if (case_dirs.empty() || case_dirs.back() != case_dir) case_dirs.push_back(case_dir);
  }
  for (const std::string& case_dir : case_dirs) {
    std::string files = case_dir + "/files";
    std::vector<std::string> paths;
    files_under(files, paths);
    std::string table;
    std::vector<std::string> sources;
    for (const std::string& path : paths) {
      if (table.empty() && is_table_name(path, files)) {
        table = support::read_file(path);
      } else if (path.size() < 4 || path.compare(path.size() - 4, 4, ".ren") != 0) {
        sources.push_back(support::read_file(path));
      }
    }
    if (table.find('\xff') != std::string::npos) continue;
    for (const std::string& source : sources) inputs.push_back(std::string(1, '\0') + table + '\xff' + source);
  }
  return inputs;
}

TEST(FuzzRegressions, EndToEndSourcesPassEveryPipelineCheck) {
  std::vector<std::string> inputs = end_to_end_inputs();
  ASSERT_GT(inputs.size(), 150u);
  // Also with every warning on: some diagnostics show only then, and the
  // checks compare them too.
  // And lexed as modern C and C++: the same sources (which the mode keeps as
  // they are but for their literals) hold every property there too.
  for (uint8_t bits : {uint8_t{0}, uint8_t{BIT_WALL}, uint8_t{BIT_MODERN}, uint8_t{BIT_MODERN | BIT_WALL}}) {
    for (std::string input : inputs) {
      input[0] = static_cast<char>(bits);
      EXPECT_EQ(check_pipeline_input(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "")
          << "option bits " << int{bits} << ": " << input.substr(0, 200);
    }
  }
}

TEST(FuzzRegressions, TokeniserInputs) { replay("fuzz_next_token", check_tokeniser_input); }

TEST(FuzzRegressions, PipelineInputs) { replay("fuzz_pipeline", check_pipeline_input); }

}  // namespace
