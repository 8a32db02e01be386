#include "macro/expansion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lex/token.h"
#include "macro/macro_table.h"
#include "macro/replacement_table.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/spelling_table.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

// A line made from text that lives as long as the run.
Token* make_line(RunFixture& run, const char* text) {
  return tokenize_string(run.p, pool_strdup(run.pool, text));
}

std::string spell(RunFixture& run, const Token* list) {
  char* text = spell_token_list(run.p, list, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART);
  std::string result = text;
  pool_free(text);
  return result;
}

IdentEntry* entry_of(RunFixture& run, const char* name) {
  return intern_spelling(run.p, name, name + strlen(name));
}

std::vector<const Token*> tokens_of(const Token* list) {
  std::vector<const Token*> tokens;
  for (; list; list = list->next) tokens.push_back(list);
  return tokens;
}

const Token* nth(const Token* list, int index) {
  while (index-- > 0) list = list->next;
  return list;
}

TEST(ExpandLine, EmptyListStaysEmpty) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = nullptr;
  expand_line(run.p, &list);
  EXPECT_EQ(list, nullptr);
}

TEST(ExpandLine, LineWithoutMacroNamesKeepsItsOwnTokens) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = make_line(run, "x = \"A\" + 1A /* A */ + y;");
  std::vector<const Token*> before = tokens_of(list);
  expand_line(run.p, &list);
  EXPECT_EQ(tokens_of(list), before);  // moved, never copied
  EXPECT_EQ(spell(run, list), "x = \"A\" + 1A /* A */ + y;");
}

TEST(ExpandLine, OnlyIdentifierTokensAreLookedAt) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = make_line(run, "A 1");
  // A number that claims the macro's name is still a number.
  Token* number = list->next;
  number->ident = entry_of(run, "A");
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "B 1");
  EXPECT_EQ(list->next, number);
}

TEST(ExpandLine, TargetTakesTheNamesWhiteSpace) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = make_line(run, "f( /* c */\tA)");
  const Token* name = nth(list, 2);
  const char* ws_begin = name->ws_begin;
  const char* ws_end = name->ws_end;
  expand_line(run.p, &list);
  const Token* target = nth(list, 2);
  EXPECT_EQ(target->ws_begin, ws_begin);
  EXPECT_EQ(target->ws_end, ws_end);
  EXPECT_EQ(spell(run, list), "f( /* c */\tB)");
}

TEST(ExpandLine, NameWithoutWhiteSpaceGivesTargetWithout) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = make_line(run, "A(A)");
  expand_line(run.p, &list);
  EXPECT_EQ(list->ws_begin, nullptr);
  EXPECT_EQ(nth(list, 2)->ws_begin, nullptr);
  EXPECT_EQ(spell(run, list), "B(B)");
}

// The white space is handed down a chain: every step keeps what stood
// before the name in the source.
TEST(ExpandLine, ChainKeepsWhiteSpaceAndEndsAtLastTarget) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  define_table_macro(run.p, "B", "C");
  Token* list = make_line(run, "A  B /**/C A");
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "C  C /**/C C");
  for (const Token* token : tokens_of(list)) {
    if (token->kind != TK_IDENTIFIER) continue;
    EXPECT_EQ(token->ident, entry_of(run, "C"));
    EXPECT_EQ(token->no_expand, 0);
  }
}

TEST(ExpandLine, CycleOfTwoLeavesNameMarked) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  define_table_macro(run.p, "B", "A");
  Token* list = make_line(run, "x = A;");
  const Token* original = nth(list, 2);
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "x = A;");
  const Token* result = nth(list, 2);
  EXPECT_NE(result, original);  // a copy of B's replacement
  EXPECT_EQ(result->ident, entry_of(run, "A"));
  EXPECT_EQ(result->no_expand, 1);
  EXPECT_NE(result->ws_begin, nullptr);
}

TEST(ExpandLine, CycleOfThreeAndPairToItself) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  define_table_macro(run.p, "B", "C");
  define_table_macro(run.p, "C", "A");
  define_table_macro(run.p, "S", "S");
  Token* list = make_line(run, "A B C S");
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "A B C S");
  for (const Token* token : tokens_of(list)) {
    if (token->kind != TK_IDENTIFIER) continue;
    EXPECT_EQ(token->no_expand, 1);
  }
}

// D leads to A, A to B, and B back to A: the A made at B's level is marked
// there and handed up through the levels of A and D unchanged.
TEST(ExpandLine, NoExpandMarkSurvivesOuterLevels) {
  RunFixture run;
  define_table_macro(run.p, "D", "A");
  define_table_macro(run.p, "A", "B");
  define_table_macro(run.p, "B", "A");
  Token* list = make_line(run, "D");
  expand_line(run.p, &list);
  ASSERT_EQ(list->kind, TK_IDENTIFIER);
  EXPECT_EQ(list->ident, entry_of(run, "A"));
  EXPECT_EQ(list->no_expand, 1);
  EXPECT_EQ(list->next->kind, TK_NEWLINE);
}

// Names renamed at random into one another: chains, cycles and chains that
// run into cycles, used in every order. Each name must become the first name
// met twice along its chain, or the chain's last name.
TEST(ExpandLine, RandomChainsAndCyclesEndWhereTheRulesSay) {
  const int kNames = 60;
  const int kTargets = 80;  // names from kNames on are renamed to nothing
  auto name = [](int i) { return "n" + std::to_string(i); };
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    unsigned state = seed;
    auto random_below = [&state](int bound) {
      state = state * 1103515245u + 12345u;
      return static_cast<int>((state >> 8) % static_cast<unsigned>(bound));
    };
    RunFixture run;
    std::vector<int> target(kNames);
    for (int i = 0; i < kNames; ++i) {
      target[i] = random_below(kTargets);
      // The definition keeps pointing into the texts it is given.
      define_table_macro(run.p, pool_strdup(run.pool, name(i).c_str()), pool_strdup(run.pool, name(target[i]).c_str()));
    }
    std::string line;
    std::string expected;
    for (int k = 0; k < 2 * kNames; ++k) {
      int start = random_below(kTargets);
      std::vector<bool> seen(kTargets);
      int at = start;
      while (at < kNames && !seen[at]) {
        seen[at] = true;
        at = target[at];
      }
      line += name(start) + " ";
      expected += name(at) + " ";
    }
    Token* list = make_line(run, line.c_str());
    expand_line(run.p, &list);
    EXPECT_EQ(spell(run, list), expected);
  }
}

TEST(ExpandLine, MarkedTokenIsNotExpandedAtLineLevel) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  Token* list = make_line(run, "A A");
  list->no_expand = 1;
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "A B");
}

TEST(ExpandLine, EveryOccurrenceReplacedInOrder) {
  RunFixture run;
  define_table_macro(run.p, "A", "B");
  define_table_macro(run.p, "x", "y");
  Token* list = make_line(run, "A+x*A;(A)x");
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "B+y*B;(B)y");
}

TEST(ExpandLine, UniversalCharacterNamesOfOneValueMatch) {
  RunFixture run;
  define_table_macro(run.p, "\\u00C0x", "y");
  Token* list = make_line(run, "\\U000000C0x \\u00c0x x");
  expand_line(run.p, &list);
  EXPECT_EQ(spell(run, list), "y y x");
}

}  // namespace
