#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "diag/diagnostics.h"
#include "diag/output.h"
#include "support/run_fixture.h"

namespace {

enum Function { WARNING, UNSAFE, PORTABILITY, TIP, ERROR };

int call(Function function, Reporter* r) {
  switch (function) {
    case WARNING: return diag_warning(r, "%s %d", "msg", 7);
    case UNSAFE: return diag_unsafe(r, "%s %d", "msg", 7);
    case PORTABILITY: return diag_portability(r, "%s %d", "msg", 7);
    case TIP: return diag_tip(r, "%s %d", "msg", 7);
    case ERROR: diag_error(r, "%s %d", "msg", 7); return -1;
  }
  return -2;
}

struct Switches {
  int wall, wport, wdisable, wnosafe, werrors, tdisable;
};

struct GateCase {
  const char* name;
  Switches switches;
  Function function;
  const char* lines;  // after the location prefix of each line
  int result;         // -1 for diag_error, which has none
  int failed;
};

#define SAFE_TIP "tip: potentially unsafe code\n"
#define PORT_TIP "tip: portability requirements violated\n"

const GateCase kGateCases[] = {
    {"default warning", {}, WARNING, "warning: msg 7\n", 1, 0},
    {"default unsafe", {}, UNSAFE, "warning: msg 7\n" SAFE_TIP, 1, 0},
    {"default portability", {}, PORTABILITY, "", 0, 0},
    {"default tip", {}, TIP, "tip: msg 7\n", 1, 0},
    {"default error", {}, ERROR, "error: msg 7\n", -1, 1},

    {"wall warning", {1, 0, 0, 0, 0, 0}, WARNING, "warning: msg 7\n", 1, 0},
    {"wall unsafe", {1, 0, 0, 0, 0, 0}, UNSAFE, "warning: msg 7\n" SAFE_TIP, 1, 0},
    {"wall portability", {1, 0, 0, 0, 0, 0}, PORTABILITY, "warning: msg 7\n" PORT_TIP, 1, 0},
    {"wport portability", {0, 1, 0, 0, 0, 0}, PORTABILITY, "warning: msg 7\n" PORT_TIP, 1, 0},
    {"wport warning", {0, 1, 0, 0, 0, 0}, WARNING, "warning: msg 7\n", 1, 0},

    {"wdisable warning", {0, 0, 1, 0, 0, 0}, WARNING, "", 0, 0},
    {"wdisable unsafe", {0, 0, 1, 0, 0, 0}, UNSAFE, "", 0, 0},
    {"wdisable portability", {0, 0, 1, 0, 0, 0}, PORTABILITY, "", 0, 0},
    {"wdisable tip", {0, 0, 1, 0, 0, 0}, TIP, "tip: msg 7\n", 1, 0},
    {"wdisable error", {0, 0, 1, 0, 0, 0}, ERROR, "error: msg 7\n", -1, 1},

    {"wnosafe warning", {0, 0, 0, 1, 0, 0}, WARNING, "warning: msg 7\n", 1, 0},
    {"wnosafe unsafe", {0, 0, 0, 1, 0, 0}, UNSAFE, "", 0, 0},
    {"wnosafe tip", {0, 0, 0, 1, 0, 0}, TIP, "tip: msg 7\n", 1, 0},

    {"werrors warning", {0, 0, 0, 0, 1, 0}, WARNING, "error: msg 7\n", 1, 1},
    {"werrors unsafe", {0, 0, 0, 0, 1, 0}, UNSAFE, "error: msg 7\n", 1, 1},
    {"werrors portability off", {0, 0, 0, 0, 1, 0}, PORTABILITY, "", 0, 0},
    {"werrors wall portability", {1, 0, 0, 0, 1, 0}, PORTABILITY, "error: msg 7\n", 1, 1},
    {"werrors wport portability", {0, 1, 0, 0, 1, 0}, PORTABILITY, "error: msg 7\n", 1, 1},
    {"werrors tip", {0, 0, 0, 0, 1, 0}, TIP, "tip: msg 7\n", 1, 0},
    {"werrors wdisable warning", {0, 0, 1, 0, 1, 0}, WARNING, "", 0, 0},
    {"werrors wdisable unsafe", {0, 0, 1, 0, 1, 0}, UNSAFE, "", 0, 0},
    {"werrors wnosafe unsafe", {0, 0, 0, 1, 1, 0}, UNSAFE, "", 0, 0},
    {"werrors wnosafe warning", {0, 0, 0, 1, 1, 0}, WARNING, "error: msg 7\n", 1, 1},

    {"tdisable tip", {0, 0, 0, 0, 0, 1}, TIP, "", 0, 0},
    {"tdisable warning", {0, 0, 0, 0, 0, 1}, WARNING, "warning: msg 7\n", 1, 0},
    {"tdisable unsafe", {0, 0, 0, 0, 0, 1}, UNSAFE, "warning: msg 7\n", 1, 0},
    {"tdisable wall portability", {1, 0, 0, 0, 0, 1}, PORTABILITY, "warning: msg 7\n", 1, 0},
    {"tdisable werrors unsafe", {0, 0, 0, 0, 1, 1}, UNSAFE, "error: msg 7\n", 1, 1},
};

// Puts `prefix` before every line of `lines`.
std::string with_prefix(const std::string& prefix, const std::string& lines) {
  std::string text;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start) + 1;
    text += prefix + lines.substr(start, end - start);
    start = end;
  }
  return text;
}

TEST(Diagnostics, GatesLevelsAndFollowUpTips) {
  for (const GateCase& c : kGateCases) {
    SCOPED_TRACE(c.name);
    Options options = default_options();
    options.wall = c.switches.wall;
    options.wport = c.switches.wport;
    options.wdisable = c.switches.wdisable;
    options.wnosafe = c.switches.wnosafe;
    options.werrors = c.switches.werrors;
    options.tdisable = c.switches.tdisable;
    RunFixture run(0, options);

    // Without a source on the stack, then inside one.
    EXPECT_EQ(call(c.function, &run.p->report), c.result);
    EXPECT_EQ(run.diagnostics(), with_prefix("command line ", c.lines));
    EXPECT_EQ(run.p->report.failed, c.failed);

    run.p->report.failed = 0;
    run.push_text("int x;\n", "/src/a.c");
    run.p->source_top->where->line = 12;
    EXPECT_EQ(call(c.function, &run.p->report), c.result);
    EXPECT_EQ(run.diagnostics(), with_prefix("\"/src/a.c\" (12) ", c.lines));
    EXPECT_EQ(run.p->report.failed, c.failed);
  }
}

TEST(Diagnostics, FatalErrorLeavesTheRunWhateverTheSwitches) {
  for (int quiet_switches = 0; quiet_switches < 2; ++quiet_switches) {
    Options options = default_options();
    options.wdisable = options.werrors = options.tdisable = quiet_switches;
    RunFixture run(0, options);
    EXPECT_THROW(diag_fatal(&run.p->report, "cannot %s", "go on"), FatalError);
    EXPECT_EQ(run.p->report.failed, 1);
    EXPECT_EQ(run.diagnostics(), "command line fatal error: cannot go on\n");
  }
}

TEST(Diagnostics, LocationFollowsTheTopFrame) {
  RunFixture run;
  run.push_text("x\n", "table");
  diag_report(&run.p->report, "warning", "in the table");
  run.push_text("y\n", "/abs/dir/file name.c");
  run.p->source_top->where->line = 4000000000UL;
  diag_report(&run.p->report, "error", "in %s", "the source");
  pop_source(run.p);
  diag_report(&run.p->report, "tip", "back");
  pop_source(run.p);
  diag_report(&run.p->report, "fatal error", "none");
  EXPECT_EQ(run.diagnostics(),
            "\"table\" (1) warning: in the table\n"
            "\"/abs/dir/file name.c\" (4000000000) error: in the source\n"
            "\"table\" (1) tip: back\n"
            "command line fatal error: none\n");
  EXPECT_EQ(run.p->report.failed, 0);  // reporting alone fails nothing
}

// The layer above flushes its output and counts its lines in the hook: it
// must run before the prefix of every line, a follow-up tip's included.
TEST(Diagnostics, HookRunsBeforeEveryLine) {
  FILE* stream = tmpfile();
  ReportSwitches switches{};
  Reporter r = make_reporter(stream, switches);
  SourceLocation where{"t.c", 1};
  r.hook_data = &where;
  r.before_message = [](void* data) { static_cast<SourceLocation*>(data)->line += 1; };
  r.where = &where;
  EXPECT_TRUE(diag_unsafe(&r, "%s", "x"));
  EXPECT_EQ(r.reports, 2);
  EXPECT_FALSE(r.failed);
  rewind(stream);
  char text[128] = {};
  EXPECT_GT(fread(text, 1, sizeof text - 1, stream), 0u);
  EXPECT_STREQ(text, "\"t.c\" (2) warning: x\n\"t.c\" (3) tip: potentially unsafe code\n");
  fclose(stream);
}

TEST(Diagnostics, ErrorTexts) {
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {0, "file not found"},     {2, "file not found"},   {12, "no enough memory"}, {13, "permission denied"},
      {17, "file already exist"}, {22, "invalid file name"}, {28, "disk full"},       {24, "unknown error"},
      {1, "unknown error"},      {-1, "unknown error"},   {-2, "unknown error"},     {1000, "unknown error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_STREQ(error_text(c.code), c.text);
  }
}

TEST(CheckedOutput, NullStreamWritesNothing) {
  out_printf(nullptr, "%s", "nothing");
  RunFixture run;
  run.p->report.stream = nullptr;
  diag_error(&run.p->report, "silent");
  EXPECT_EQ(run.p->report.failed, 1);
  run.p->report.stream = run.diag;
  EXPECT_EQ(run.diagnostics(), "");
}

TEST(CheckedOutputDeathTest, FailedWriteEndsTheProcess) {
  auto write_to_full_device = [] {
    FILE* full = fopen("/dev/full", "w");
    if (!full) _Exit(3);
    setvbuf(full, nullptr, _IONBF, 0);
    out_printf(full, "%s", "text");
    _Exit(0);
  };
  EXPECT_EXIT(write_to_full_device(), ::testing::ExitedWithCode(1), "^\nfatal error: output error\n$");

  // A failing error stream cannot carry the message about itself.
  auto write_to_failing_stderr = [] {
    if (!freopen("/dev/full", "w", stderr)) _Exit(3);
    setvbuf(stderr, nullptr, _IONBF, 0);
    out_printf(stderr, "%s", "text");
    _Exit(0);
  };
  EXPECT_EXIT(write_to_failing_stderr(), ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
