#include "output/pragma.h"

#include <gtest/gtest.h>

#include <string>

#include "lex/token.h"
#include "macro/replacement_table.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/source_stack.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

std::string destringized(const std::string& literal) {
  std::string buffer = literal;
  destringize(&buffer[0]);
  return buffer.c_str();
}

TEST(Destringize, UndoesEscapedQuotesAndBackslashesOnly) {
  EXPECT_EQ(destringized("\"pack(1)\""), "pack(1)");
  EXPECT_EQ(destringized("\"\""), "");
  EXPECT_EQ(destringized("L\"x \\\"y\\\"\""), "x \"y\"");
  EXPECT_EQ(destringized("\"a\\\\b\""), "a\\b");
  EXPECT_EQ(destringized("\"a\\nb\\t\\'\""), "a\\nb\\t\\'");
  EXPECT_EQ(destringized("\"\\\\\\\"\""), "\\\"");
  EXPECT_EQ(destringized("\"\\\\\""), "\\");
  EXPECT_EQ(destringized("\"L\""), "L");
}

Token* pragma_line(RunFixture& run, const char* text) {
  return tokenize_string(run.p, pool_strdup(run.pool, text));
}

struct PragmaLine : ::testing::Test {
  RunFixture run;
  LoadedFile older = {"/older.h", "", 0, nullptr};
  LoadedFile newest = {"/newest.c", "", 0, &older};
  void SetUp() override { run.settings.loaded_files = &newest; }
};

TEST_F(PragmaLine, OnceMarksTheNewestFileAndWritesNothing) {
  write_pragma_line(run.p, pragma_line(run, "#pragma once"));
  EXPECT_EQ(run.output(), "");
  EXPECT_EQ(newest.once, 1);
  EXPECT_EQ(older.once, 0);
}

TEST_F(PragmaLine, OnceIsTheThirdTokenWhateverFollows) {
  write_pragma_line(run.p, pragma_line(run, "#pragma   once extra"));
  EXPECT_EQ(run.output(), "");
  EXPECT_EQ(newest.once, 1);
}

TEST_F(PragmaLine, OtherPragmasAreWrittenAsTheyStand) {
  write_pragma_line(run.p, pragma_line(run, "#pragma onces"));
  write_pragma_line(run.p, pragma_line(run, "#pragma \"once\""));
  write_pragma_line(run.p, pragma_line(run, "#pragma  pack ( 1 ) "));
  write_pragma_line(run.p, pragma_line(run, "#pragma "));
  EXPECT_EQ(run.output(), "#pragma onces#pragma \"once\"#pragma  pack ( 1 ) #pragma ");
  EXPECT_EQ(newest.once, 0);
}

struct AppendNextLine : ::testing::Test {
  RunFixture run;
  Token* first_line(const char* text) {
    run.push_text(text);
    return read_logical_line(run.p, Report::ON);
  }
  static int length(const Token* list) {
    int count = 0;
    for (; list; list = list->next) ++count;
    return count;
  }
};

TEST_F(AppendNextLine, JoinsAnOrdinaryLine) {
  Token* list = first_line("a _Pragma\n  (\"x\")\n");
  EXPECT_TRUE(append_next_line(run.p, &list));
  EXPECT_EQ(length(list), 7);  // a _Pragma NL ( "x" ) NL
  EXPECT_FALSE(append_next_line(run.p, &list));  // end of the source
}

TEST_F(AppendNextLine, NeverJoinsADirective) {
  Token* list = first_line("_Pragma\n /* c */ #define x\n");
  EXPECT_FALSE(append_next_line(run.p, &list));
  EXPECT_EQ(length(list), 2);
  EXPECT_EQ(run.p->source_top->pos[0], ' ');  // the source has not moved
}

TEST_F(AppendNextLine, DigraphAndTrigraphHashesAreDirectivesToo) {
  Token* list = first_line("_Pragma\n%:x\n");
  EXPECT_FALSE(append_next_line(run.p, &list));
  RunFixture other;
  other.push_text("_Pragma\n??=x\n");
  Token* line = read_logical_line(other.p, Report::ON);
  EXPECT_FALSE(append_next_line(other.p, &line));
}

TEST_F(AppendNextLine, JoinedLineIsExpanded) {
  define_table_macro(run.p, "A", "B");
  Token* list = first_line("_Pragma\nA\n");
  EXPECT_TRUE(append_next_line(run.p, &list));
  const Token* joined = list->next->next;
  ASSERT_EQ(joined->kind, TK_IDENTIFIER);
  EXPECT_EQ(std::string(joined->text_begin, joined->text_end), "B");
}

// The flag of a line not yet reported is kept; the joined line may add to it.
TEST_F(AppendNextLine, KeepsTheVaArgsFlagOfTheLine) {
  Token* list = first_line("_Pragma __VA_ARGS__\n(\"x\")\n");
  ASSERT_EQ(run.p->va_args_seen, 1);
  EXPECT_TRUE(append_next_line(run.p, &list));
  EXPECT_EQ(run.p->va_args_seen, 1);
  EXPECT_FALSE(append_next_line(run.p, &list));
  EXPECT_EQ(run.p->va_args_seen, 1);
}

TEST_F(AppendNextLine, JoinedLineRaisesTheVaArgsFlag) {
  Token* list = first_line("_Pragma\nx __VA_ARGS__\n");
  ASSERT_EQ(run.p->va_args_seen, 0);
  EXPECT_TRUE(append_next_line(run.p, &list));
  EXPECT_EQ(run.p->va_args_seen, 1);
}

}  // namespace
