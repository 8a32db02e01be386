// The two ways the whole program ends early: the heap refuses, or the
// standard output cannot be written.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "support/program_run.h"

namespace {

using support::CountingHeap;
using support::exists;
using support::HeapSwap;
using support::Outcome;
using support::read_file;
using support::write_file;

// A scratch directory with a table and two sources. Their names are absolute,
// so they follow "--": a word that begins with '/' is an option.
struct ProgramTest : ::testing::Test {
  std::string dir;
  std::string table, a, b;

  ProgramTest() {
    char pattern[] = "/tmp/morfe_program_XXXXXX";
    dir = mkdtemp(pattern);
    table = dir + "/table";
    a = dir + "/a.c";
    b = dir + "/b.c";
    write_file(table, "old new\n");
    write_file(a, "int old;\n");
    write_file(b, "long old, other;\n");
  }
  ~ProgramTest() override {
    for (const char* name : {"/table", "/a.c", "/b.c", "/a.ren", "/b.ren", "/out", "/err"}) {
      unlink((dir + name).c_str());
    }
    rmdir(dir.c_str());
  }

  // Runs the whole program with its standard streams sent to files.
  Outcome run(std::vector<std::string> words) { return support::run_captured(dir, std::move(words)); }
};

TEST_F(ProgramTest, RefusedHeapEndsTheWholeProgram) {
  size_t first_file_requests;
  {
    HeapSwap heap(0);
    Outcome outcome = run({"-q", "-r", table, "--", a});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    first_file_requests = CountingHeap::requests;
  }
  size_t all_requests;
  {
    HeapSwap heap(0);
    Outcome outcome = run({"-q", "-r", table, "--", a, b});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    all_requests = CountingHeap::requests;
    EXPECT_EQ(CountingHeap::releases, all_requests);
  }
  ASSERT_GT(first_file_requests, 0u);
  ASSERT_GT(all_requests, first_file_requests);

  for (size_t refuse = 1; refuse <= all_requests + 1; ++refuse) {
    SCOPED_TRACE(refuse);
    unlink((dir + "/a.ren").c_str());
    unlink((dir + "/b.ren").c_str());
    HeapSwap heap(refuse);
    Outcome outcome = run({"-q", "-r", table, "--", a, b});
    EXPECT_EQ(CountingHeap::releases, CountingHeap::requests - (refuse <= all_requests ? 1 : 0));
    EXPECT_EQ(outcome.out, "");
    if (refuse > all_requests) {
      EXPECT_EQ(outcome.status, 0);
      EXPECT_EQ(outcome.err, "");
      continue;
    }
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "\nfatal error: not enough memory\n");
    if (refuse <= first_file_requests) {
      EXPECT_FALSE(exists(dir + "/b.ren"));  // no file after the refusal is processed
    } else {
      EXPECT_EQ(read_file(dir + "/a.ren"), "int new;\n");
    }
  }
}

TEST_F(ProgramTest, RefusedHeapAfterTheBannerKeepsWhatWasWritten) {
  HeapSwap heap(1);
  Outcome outcome = run({"-r", table, "--", a, b});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out,
            "Quillex (R) C/C++ Identifiers Renaming Tool Version 1.0 build #1000\n"
            "Copyright (C) 2026 the morfe developers. Free software under the MIT licence.\n"
            "\"" + a + "\"\n");
  EXPECT_EQ(outcome.err, "\nfatal error: not enough memory\n");
}

// Runs the program in a child whose standard stream `fd` is the full device
// and whose other standard stream goes to the file "other"; returns the status.
int run_in_child_with_full_stream(const std::string& dir, int fd, std::vector<std::string> words) {
  fflush(stdout);
  fflush(stderr);
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    int full = open("/dev/full", O_WRONLY);
    int other = open((dir + "/other").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (full < 0 || other < 0) _exit(3);
    dup2(full, fd);
    dup2(other, fd == 1 ? 2 : 1);
    words.insert(words.begin(), "morfe");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    _exit(run_program(argv.data()));
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST_F(ProgramTest, UnwritableStandardOutputEndsWithOutputError) {
  EXPECT_EQ(run_in_child_with_full_stream(dir, 1, {"-q", "-r", table, "-os", "--", a, b}), 1);
  EXPECT_EQ(read_file(dir + "/other"), "\nfatal error: output error\n");
  EXPECT_FALSE(exists(dir + "/a.ren"));
  EXPECT_FALSE(exists(dir + "/b.ren"));
  unlink((dir + "/other").c_str());
}

TEST_F(ProgramTest, UnwritableDiagnosticsLeaveTheOutputAsWritten) {
  // The error about the null character comes after two lines were written:
  // one renamed, one copied as it stands.
  write_file(a, std::string("int old;\nint y;\nx\0y\n", 20));
  EXPECT_EQ(run_in_child_with_full_stream(dir, 2, {"-r", table, "--", a, b}), 1);
  EXPECT_EQ(read_file(dir + "/a.ren").substr(0, 16), "int new;\nint y;\n");
  EXPECT_FALSE(exists(dir + "/b.ren"));
  // Nothing more can be said on a failing error stream; the standard output
  // still has what was written before.
  std::string out = read_file(dir + "/other");
  EXPECT_NE(out.find("\"" + a + "\"\n"), std::string::npos) << out;
  unlink((dir + "/other").c_str());
}

}  // namespace
