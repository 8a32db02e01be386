#include "output/line_processor.h"
#include "output/line_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/options.h"
#include "lex/token.h"
#include "macro/expansion.h"
#include "macro/replacement_table.h"
#include "source/logical_line.h"
#include "source/source_stack.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

// What the source loop does with every line of the top source.
void process_all_lines(RunFixture& run) {
  for (;;) {
    start_line(run.p, run.p->source_top->pos);
    Token* line = read_logical_line(run.p, Report::ON);
    if (!line) break;
    expand_line(run.p, &line);
    process_line(run.p, line, LineRole::SOURCE_LINE);
    free_token_list(line);
  }
}

TEST(LostLineBreaks, UpToThreeAreWrittenBack) {
  for (int pending = 1; pending <= 3; ++pending) {
    RunFixture run;
    run.p->pending_newlines = pending;
    process_line(run.p, nullptr, LineRole::SOURCE_LINE);
    EXPECT_EQ(run.output(), std::string(static_cast<size_t>(pending), '\n'));
    EXPECT_EQ(run.p->pending_newlines, 0);
  }
}

TEST(LostLineBreaks, MoreThanThreeAreKeptInTheCounter) {
  RunFixture run;
  run.p->pending_newlines = 4;
  process_line(run.p, nullptr, LineRole::SOURCE_LINE);
  process_line(run.p, nullptr, LineRole::SOURCE_LINE);
  EXPECT_EQ(run.output(), "");
  EXPECT_EQ(run.p->pending_newlines, 4);
}

TEST(LostLineBreaks, NegativeCounterWritesNothing) {
  RunFixture run;
  run.p->pending_newlines = -2;
  process_line(run.p, nullptr, LineRole::SOURCE_LINE);
  EXPECT_EQ(run.output(), "");
  EXPECT_EQ(run.p->pending_newlines, -2);
}

TEST(LostLineBreaks, SpliceInReplacedNameIsWrittenAfterItsLine) {
  RunFixture run;
  define_table_macro(run.p, "ab", "x");
  run.push_text("a\\\nb a\\\nb;\nnext\n");
  process_all_lines(run);
  EXPECT_EQ(run.output(), "x x;\n\n\nnext\n");
  EXPECT_EQ(run.p->pending_newlines, 0);
  EXPECT_EQ(run.p->source_top->where->line, 5u);
}

// A nested write (part of a line, or a pragma line) leaves the counting of
// the source's line breaks to the call for the whole line; what it writes
// as it stands loses none.
TEST(ProcessLine, NestedWriteDoesNotCountSourceLines) {
  RunFixture run;
  run.push_text("a /* x\ny */ b\nc\n");
  start_line(run.p, run.p->source_top->pos);
  Token* line = read_logical_line(run.p, Report::ON);
  process_line(run.p, line, LineRole::NESTED);
  EXPECT_EQ(run.output(), "a /* x\ny */ b\n");
  EXPECT_EQ(run.p->pending_newlines, 0);
  EXPECT_EQ(run.p->source_top->where->line, 1u);
  process_line(run.p, nullptr, LineRole::SOURCE_LINE);
  EXPECT_EQ(run.p->pending_newlines, 0);
  // Written lines are counted when a line number is next needed.
  catch_up_line_number(run.p->source_top);
  EXPECT_EQ(run.p->source_top->where->line, 3u);
}

TEST(ProcessLine, VaArgsReportedOnceWithBothTips) {
  Options options = default_options();
  options.wport = 1;
  RunFixture run(0, options);
  run.push_text("x\n__VA_ARGS__ __VA_ARGS__\n", "/src/a.c");
  process_all_lines(run);
  EXPECT_EQ(run.diagnostics(),
            "\"/src/a.c\" (2) warning: \"__VA_ARGS__\" identifier encountered in illegal context\n"
            "\"/src/a.c\" (2) tip: portability requirements violated\n"
            "\"/src/a.c\" (2) tip: the identifier shall occur only in the replacement-list of a variadic macro\n");
  EXPECT_EQ(run.p->va_args_seen, 0);
}

TEST(ProcessLine, VaArgsFlagClearedSilentlyWithoutPortabilityWarnings) {
  RunFixture run;
  run.p->va_args_seen = 1;
  process_line(run.p, nullptr, LineRole::SOURCE_LINE);
  EXPECT_EQ(run.diagnostics(), "");
  EXPECT_EQ(run.p->va_args_seen, 0);
}

// The pragma line and the line breaks around it are written directly and
// are not counted against the source's.
TEST(ProcessLine, PragmaLineAddsTwoLines) {
  RunFixture run;
  run.push_text("a _Pragma(\"p\") b\nc\n");
  process_all_lines(run);
  EXPECT_EQ(run.output(), "a\n#pragma p\n b\nc\n");
  EXPECT_EQ(run.p->pending_newlines, 0);
}

}  // namespace
