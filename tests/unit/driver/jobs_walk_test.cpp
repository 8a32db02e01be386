// Jobs start on the sources while the walk still goes on. Whatever the
// timing, a run with several jobs must say and do what one job does, also
// when the walk meets a source again after a job has replaced it in place:
// by a later name, or in a directory named twice.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

struct Tree {
  std::string root;
  Tree() {
    char pattern[] = "/tmp/morfe_jobs_walk_XXXXXX";
    root = mkdtemp(pattern);
    support::write_file(root + "/t", "a b\n");
  }
  ~Tree() {
    std::string command = "rm -rf '" + root + "'";
    EXPECT_EQ(system(command.c_str()), 0);
  }
  // The sources as they were first: d holds 60 and d/sub 60 more.
  void make_sources() {
    mkdir((root + "/d").c_str(), 0755);
    mkdir((root + "/d/sub").c_str(), 0755);
    for (int i = 0; i < 60; ++i) {
      support::write_file(root + "/d/f" + std::to_string(i) + ".c", "int a" + std::to_string(i) + " = a;\n");
      support::write_file(root + "/d/sub/s" + std::to_string(i) + ".h", "extern int a;\n");
    }
  }
  // What a run said and left behind.
  std::string run(const std::string& mode, const std::string& jobs, const std::vector<std::string>& names) {
    make_sources();
    std::vector<std::string> words = {"-q", mode, jobs, "-r", root + "/t", "--"};
    for (const std::string& name : names) words.push_back(root + "/" + name);
    support::Outcome outcome = support::run_captured(root, words);
    std::string seen = std::to_string(outcome.status) + "\n" + outcome.out + "\n" + outcome.err + "\n";
    for (int i = 0; i < 60; ++i) {
      seen += support::read_file(root + "/d/f" + std::to_string(i) + ".c");
      seen += support::read_file(root + "/d/sub/s" + std::to_string(i) + ".h");
    }
    return seen;
  }
};

TEST(JobsWalk, SeveralJobsSayAndDoWhatOneJobDoes) {
  Tree tree;
  const std::vector<std::vector<std::string>> name_lists = {
      {"d"}, {"d", "d/sub/s5.h", "d/sub"}, {"d/f7.c", "d", "d"}, {"d/sub", "d"}, {"missing.c", "d/sub"}};
  for (const char* mode : {"-i", "-c", "-d", "-os"}) {
    for (const std::vector<std::string>& names : name_lists) {
      SCOPED_TRACE(std::string(mode) + " " + names[0] + " and " + std::to_string(names.size() - 1) + " more");
      const std::string one_job = tree.run(mode, "-j1", names);
      // The walk races the jobs: several rounds give it several chances.
      for (int round = 0; round < 4; ++round) {
        for (const char* jobs : {"-j2", "-j3"}) {
          SCOPED_TRACE(std::string(jobs) + " round " + std::to_string(round));
          ASSERT_EQ(tree.run(mode, jobs, names), one_job);
        }
      }
    }
  }
}

}  // namespace
