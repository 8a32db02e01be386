#include "macro/replacement_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lex/token.h"
#include "macro/macro_table.h"
#include "source/logical_line.h"
#include "source/spelling_table.h"
#include "support/run_fixture.h"

namespace {

MacroDef* macro_named(RunFixture& run, const char* name) {
  return find_macro(intern_spelling(run.p, name, name + strlen(name)));
}

// A name that does not read as exactly one identifier is refused; only that
// pair is skipped and the run goes on, failed.
TEST(DefineTableMacro, NameThatIsNotOneIdentifierIsRefused) {
  RunFixture run;
  define_table_macro(run.p, "1abc", "x");
  define_table_macro(run.p, "a b", "x");
  define_table_macro(run.p, "a+", "x");
  define_table_macro(run.p, "", "x");
  define_table_macro(run.p, "ok", "x");
  EXPECT_EQ(run.diagnostics(),
            "command line error: illegal macro name \"1abc\" in \"#define\"\n"
            "command line error: illegal macro name \"a b\" in \"#define\"\n"
            "command line error: illegal macro name \"a+\" in \"#define\"\n"
            "command line error: illegal macro name \"\" in \"#define\"\n");
  EXPECT_EQ(run.p->report.failed, 1);
  EXPECT_EQ(macro_named(run, "a"), nullptr);
  EXPECT_NE(macro_named(run, "ok"), nullptr);
}

TEST(DefineTableMacro, OperatorWordIsANameInCOnly) {
  RunFixture c_run(0);
  define_table_macro(c_run.p, "and", "x");
  EXPECT_EQ(c_run.diagnostics(), "");
  EXPECT_NE(macro_named(c_run, "and"), nullptr);

  RunFixture cpp_run(1);
  define_table_macro(cpp_run.p, "and", "x");
  define_table_macro(cpp_run.p, "new", "x");
  EXPECT_EQ(cpp_run.diagnostics(),
            "command line error: illegal macro name \"and\" in \"#define\"\n"
            "command line error: illegal macro name \"new\" in \"#define\"\n");
}

// The name is entered under the identifier that reading the table found, so
// the source's spellings of it (splices, either UCN length) all meet it.
TEST(DefineTableMacro, EntryIsTheInternedIdentifier) {
  RunFixture run;
  run.push_text("a\\\nb \\u00C0\n", "table");
  Token* line = read_logical_line(run.p, Report::ON);
  process_table_line(run.p, line, Report::ON);
  MacroDef* def = macro_named(run, "ab");
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->name, line->ident);
  ASSERT_NE(def->replacement, nullptr);
  EXPECT_EQ(def->replacement->kind, TK_IDENTIFIER);
  EXPECT_EQ(def->replacement->ws_begin, nullptr);
  EXPECT_EQ(def->replacement->next, nullptr);
  EXPECT_EQ(std::string(def->replacement->text_begin, def->replacement->text_end), "\\u00C0");
  EXPECT_EQ(def->location, nullptr);
  EXPECT_EQ(def->owner, run.p);
}

}  // namespace
