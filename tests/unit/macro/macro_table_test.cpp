#include "macro/macro_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/options.h"
#include "lex/token.h"
#include "macro/replacement_table.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

Token* make_line(RunFixture& run, const char* text) {
  return tokenize_string(run.p, pool_strdup(run.pool, text));
}

// The tokens of text before its end, as a stored replacement would hold them
// (white space before the first token kept, unlike take_replacement_list).
Token* make_list(RunFixture& run, const char* text) {
  Token* line = make_line(run, text);
  Token** cut = &line;
  while ((*cut)->kind != TK_NEWLINE) cut = &(*cut)->next;
  free_token_list(*cut);
  *cut = nullptr;
  return line;
}

IdentEntry* entry_of(RunFixture& run, const char* name) {
  return intern_spelling(run.p, name, name + strlen(name));
}

std::string target_of(RunFixture& run, const char* name) {
  MacroDef* def = find_macro(entry_of(run, name));
  if (!def) return "(none)";
  if (!def->replacement) return "(empty)";
  return std::string(def->replacement->text_begin, def->replacement->text_end);
}

int same(RunFixture& run, const char* a, const char* b) {
  return same_replacement(make_list(run, a), make_list(run, b));
}

TEST(SameReplacement, ComparesLogicalSpellingsAndPresenceOfWhiteSpace) {
  RunFixture run;
  EXPECT_EQ(same(run, "a", "a"), 1);
  EXPECT_EQ(same(run, "a", "b"), 0);
  EXPECT_EQ(same(run, "ab", "a\\\nb"), 1);
  EXPECT_EQ(same(run, "a??=", "a#"), 1);
  EXPECT_EQ(same(run, "a b", "a\t/* x */  b"), 1);  // how much white space does not matter
  EXPECT_EQ(same(run, "a b", "a+b"), 0);
  EXPECT_EQ(same(run, " a", "a"), 0);  // whether there is any does
  EXPECT_EQ(same(run, "a", "a b"), 0);
  EXPECT_EQ(same(run, "a b", "a"), 0);
  EXPECT_EQ(same(run, "", ""), 1);
  EXPECT_EQ(same(run, "", "a"), 0);
}

TEST(SameReplacement, UniversalCharacterNamesCompareAsWritten) {
  RunFixture run;
  EXPECT_EQ(same(run, "\\u00C0", "\\u00C0"), 1);
  EXPECT_EQ(same(run, "\\u00C0", "\\U000000C0"), 0);
  EXPECT_EQ(same(run, "\\u00C0", "\\u00c0"), 0);
}

TEST(SameReplacement, KindsAreNotCompared) {
  RunFixture run;
  Token* a = make_list(run, "x");
  Token* b = make_list(run, "x");
  b->kind = TK_OTHER;
  EXPECT_EQ(same_replacement(a, b), 1);
}

TEST(TakeReplacementList, CutsBeforeTheNewLineAndNormalizesWhiteSpace) {
  RunFixture run;
  MacroDef def = {};
  Token* list = make_line(run, "  a \t/* c */ b");
  take_replacement_list(&list, &def);
  ASSERT_NE(def.replacement, nullptr);
  EXPECT_EQ(def.replacement->ws_begin, nullptr);
  const Token* second = def.replacement->next;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::string(second->ws_begin, second->ws_end), " ");
  EXPECT_EQ(second->next, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->kind, TK_NEWLINE);
}

TEST(TakeReplacementList, NothingBeforeTheNewLineGivesEmptyReplacement) {
  RunFixture run;
  MacroDef def = {};
  Token* list = make_line(run, "  ");
  Token* newline = list;
  take_replacement_list(&list, &def);
  EXPECT_EQ(def.replacement, nullptr);
  EXPECT_EQ(list, newline);
}

TEST(RedefineMacro, LastDefinitionOfANameHolds) {
  Options options = default_options();
  options.wdisable = 1;
  RunFixture run(0, options);
  define_table_macro(run.p, "aw", "one");
  define_table_macro(run.p, "bl", "two");
  define_table_macro(run.p, "ca", "three");
  define_table_macro(run.p, "bl", "four");
  define_table_macro(run.p, "bl", "five");
  EXPECT_EQ(target_of(run, "aw"), "one");
  EXPECT_EQ(target_of(run, "bl"), "five");
  EXPECT_EQ(target_of(run, "ca"), "three");
  EXPECT_EQ(run.diagnostics(), "");
  EXPECT_EQ(run.p->report.failed, 0);
}

TEST(RedefineMacro, NonidenticalRedefinitionWarnsAndReplaces) {
  RunFixture run;
  define_table_macro(run.p, "aw", "one");
  define_table_macro(run.p, "bl", "two");
  define_table_macro(run.p, "aw", "three");
  EXPECT_EQ(find_macro(entry_of(run, "aw"))->name, entry_of(run, "aw"));
  EXPECT_EQ(target_of(run, "bl"), "two");
  EXPECT_EQ(target_of(run, "aw"), "three");
  EXPECT_EQ(run.diagnostics(),
            "command line warning: macro \"aw\" - redefinition with nonidentical replacement list\n"
            "command line tip: macro \"aw\" is defined in command line\n");
}

TEST(RedefineMacro, ProtectedNameKeepsItsFirstDefinition) {
  RunFixture run;
  define_table_macro(run.p, "__STDC_IEC_559_COMPLEX__", "a");
  define_table_macro(run.p, "__STDC_IEC_559_COMPLEX__", "a");
  EXPECT_EQ(target_of(run, "__STDC_IEC_559_COMPLEX__"), "a");
  EXPECT_EQ(run.diagnostics(),
            "command line error: predefined macro \"__STDC_IEC_559_COMPLEX__\" redefinition\n"
            "command line tip: macro redefinition ignored\n");
  EXPECT_EQ(run.p->report.failed, 1);
}

TEST(RedefineMacro, PortabilityFormReplacesThePlainWarning) {
  Options options = default_options();
  options.wport = 1;
  RunFixture run(0, options);
  define_table_macro(run.p, "x", "y");
  define_table_macro(run.p, "x", "z");
  EXPECT_EQ(run.diagnostics(),
            "command line warning: macro \"x\" - redefinition with nonidentical replacement list\n"
            "command line tip: portability requirements violated\n"
            "command line tip: macro \"x\" is defined in command line\n");
  EXPECT_EQ(target_of(run, "x"), "z");
}

TEST(NoteMacroLocation, NamesTheFileAndLineOfADefinitionWithALocation) {
  RunFixture run;
  define_table_macro(run.p, "x", "y");
  MacroDef* def = find_macro(entry_of(run, "x"));
  SourceLocation where = {"defs.h", 12};
  def->location = &where;
  note_macro_location(def);
  def->location = nullptr;
  note_macro_location(def);
  EXPECT_EQ(run.diagnostics(),
            "command line tip: macro \"x\" is defined in \"defs.h\" (12)\n"
            "command line tip: macro \"x\" is defined in command line\n");
}

}  // namespace
