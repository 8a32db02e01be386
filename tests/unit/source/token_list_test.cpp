// Token spellings, and writing token lists back as text without letting two
// tokens run together.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lex/char_input.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

std::string spelling_of(RunFixture& run, const char* begin, const char* end) {
  char* spelled = token_spelling(run.pool, begin, end);
  std::string result = spelled;
  pool_free(spelled);
  return result;
}

TEST(TokenSpelling, ResolvesTrigraphsAndSplicesOnly) {
  struct Case {
    const char* text;
    const char* spelled;
  };
  const Case cases[] = {
      {"identifier", "identifier"},
      {"iden\\\ntifier", "identifier"},
      {"iden\\\n\\\ntifier", "identifier"},    // two splices in a row
      {"iden??/\ntifier", "identifier"},       // a splice whose backslash is a trigraph
      {"??=", "#"},
      {"??(??)??<??>??'??!??-", "[]{}^|~"},
      {"???=", "?#"},                          // the second question mark begins the trigraph
      {"a??b", "a??b"},
      {"\\\n??=", "#"},                        // a trigraph after a splice
      {"\"a\\n??/\"\"", "\"a\\n\\\"\""},     // in a string literal too
      {"\\u00C1x", "\\u00C1x"},                // universal character names as written
      {"??/u00C1", "\\u00C1"},
      {"\\x", "\\x"},                          // a backslash before anything but a new-line
      {"a\\ \nb", "a\\ \nb"},                  // a blank between backslash and new-line: no splice
      {"", ""},
  };
  RunFixture run;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(spelling_of(run, c.text, c.text + strlen(c.text)), c.spelled);
  }
}

TEST(TokenSpelling, StopsAtTheEndOfTheExtent) {
  RunFixture run;
  const char* text = "first??=second";
  EXPECT_EQ(spelling_of(run, text, text + 5), "first");
  EXPECT_EQ(spelling_of(run, text + 5, text + 8), "#");
  EXPECT_EQ(spelling_of(run, text + 8, text + 14), "second");
}

// A list of tokens made by hand, each text in a pool block of its own, so
// that no two of them lie side by side; the kinds are those the tokeniser
// gives each text alone.
Token* separate_tokens(RunFixture& run, const std::vector<std::string>& texts) {
  Token* head = nullptr;
  Token** tail = &head;
  for (const std::string& text : texts) {
    char* copy = pool_strdup(run.pool, text.c_str());
    const char* cursor = copy;
    const LexState quiet = lex_state(run.p, true);
    TokenKind kind = next_token(&quiet, cursor);
    EXPECT_EQ(cursor, copy + text.size()) << "\"" << text << "\" is more than one token";
    Token* token = static_cast<Token*>(pool_alloc(run.pool, sizeof(Token)));
    memset(token, 0, sizeof *token);
    token->kind = kind;
    token->text_begin = copy;
    token->text_end = copy + text.size();
    *tail = token;
    tail = &token->next;
  }
  return head;
}

std::string spell(RunFixture& run, const Token* list, int single_blank, int separate) {
  char* spelled = spell_token_list(run.p, list, single_blank ? WhiteSpace::ONE_BLANK : WhiteSpace::AS_WRITTEN,
                                   separate ? Separation::KEEP_APART : Separation::NONE);
  std::string result = spelled;
  pool_free(spelled);
  return result;
}

struct KindAndText {
  TokenKind kind;
  std::string text;
  bool operator==(const KindAndText& other) const { return kind == other.kind && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const KindAndText& token) {
  return out << token.kind << ":" << token.text;
}

std::vector<KindAndText> kinds_and_texts(const Token* list) {
  std::vector<KindAndText> result;
  for (; list; list = list->next) result.push_back({list->kind, std::string(list->text_begin, list->text_end)});
  return result;
}

struct MergeCase {
  int cplusplus;
  std::vector<std::string> texts;
  const char* spelled;  // with separate set
};

const MergeCase kMergeCases[] = {
    {0, {"+", "+"}, "+ +"},
    {0, {"+", "="}, "+ ="},
    {0, {"+", "-"}, "+-"},
    {0, {"-", "-"}, "- -"},
    {0, {"-", ">"}, "- >"},
    {0, {"&", "&"}, "& &"},
    {0, {"|", "|="}, "| |="},
    {0, {"<", "<="}, "< <="},
    {0, {"<<", "="}, "<< ="},
    {0, {">", ">"}, "> >"},
    {0, {"#", "#"}, "# #"},
    {0, {"%:", "%:"}, "%: %:"},
    {0, {"%:", "%"}, "%:%"},
    {0, {"<", ":"}, "< :"},  // digraphs
    {0, {"<", "%"}, "< %"},
    {0, {"%", ">"}, "% >"},
    {0, {"%", ":"}, "% :"},
    {0, {":", ">"}, ": >"},
    {0, {"/", "*"}, "/ *"},  // a comment would begin
    {0, {"/", "/"}, "/ /"},
    {0, {"/", "="}, "/ ="},
    {0, {".", "."}, ".."},
    {0, {".", ".", "."}, ".. ."},  // the third dot would make an ellipsis
    {0, {"a", ".", ".", "."}, "a.. ."},
    {0, {".", ".", "x", "."}, "..x."},
    {0, {".", "5"}, ". 5"},
    {0, {"1", "."}, "1 ."},
    {0, {"1", "x"}, "1 x"},
    {0, {"1e", "+"}, "1e +"},
    {0, {"1p", "-"}, "1p -"},
    {1, {"1p", "-"}, "1p-"},  // in C++ a sign after p is not part of the number
    {0, {"1", "+"}, "1+"},
    {0, {"a", "b"}, "a b"},
    {0, {"a", "1"}, "a 1"},
    {0, {"a", "\\u00C1"}, "a \\u00C1"},
    {0, {"\\", "u00C1"}, "\\ u00C1"},  // together they would be one identifier
    {0, {"\\", "x"}, "\\x"},
    {0, {"L", "\"s\""}, "L \"s\""},
    {0, {"L", "'c'"}, "L 'c'"},
    {0, {"M", "\"s\""}, "M\"s\""},
    {0, {"\"s\"", "x"}, "\"s\"x"},
    {0, {"f", "("}, "f("},  // an identifier before a parenthesis needs no blank
    {0, {"f", "(", "x", ")", ";"}, "f(x);"},
    {0, {"?", "?"}, "??"},
    {0, {":", ":"}, "::"},
    {1, {":", ":"}, ": :"},
    {0, {".", "*"}, ".*"},
    {1, {".", "*"}, ". *"},
    {0, {"->", "*"}, "->*"},
    {1, {"->", "*"}, "-> *"},
    {0, {"and", "_eq"}, "and _eq"},
    {1, {"a", "nd"}, "a nd"},
    {1, {"and", "="}, "and="},
};

TEST(SpellTokenList, SeparatesTokensThatWouldReadBackAsOthers) {
  for (const MergeCase& c : kMergeCases) {
    std::string joined;
    for (const std::string& text : c.texts) joined += "[" + text + "]";
    SCOPED_TRACE((c.cplusplus ? "C++ " : "C ") + joined);
    RunFixture run(c.cplusplus);
    Token* list = separate_tokens(run, c.texts);
    const std::string spelled = spell(run, list, 0, 1);
    EXPECT_EQ(spelled, c.spelled);
    // Whatever was written reads back as the same tokens.
    Token* reread = tokenize_string(run.p, spelled.c_str());
    std::vector<KindAndText> expected = kinds_and_texts(list);
    expected.push_back({TK_NEWLINE, ""});
    EXPECT_EQ(kinds_and_texts(reread), expected);
    free_token_list(reread);
    // Without separate the texts are simply put together.
    std::string plain;
    for (const std::string& text : c.texts) plain += text;
    EXPECT_EQ(spell(run, list, 0, 0), plain);
    free_token_list(list);
  }
}

TEST(SpellTokenList, WritesWhiteSpaceAsItStandsOrAsOneBlank) {
  struct Case {
    const char* source;
    const char* single_blank;
  };
  const Case cases[] = {
      {"a /* one\n two */ +\tb // tail\n", "a + b \n"},
      {"  x\v\f(/**/y)\n\n\n", " x ( y)\n\n\n"},
      {"f(a,b)\n", "f(a,b)\n"},
      {"   \n", " \n"},
      {"z /* open", "z /* open"},  // a comment that never closes ends the line as its text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    RunFixture run;
    run.push_text(c.source);
    Token* line = read_logical_line(run.p, Report::OFF);
    ASSERT_NE(line, nullptr);
    // Tokens read from one text are written exactly as they stood, separate or not.
    EXPECT_EQ(spell(run, line, 0, 1), c.source);
    EXPECT_EQ(spell(run, line, 0, 0), c.source);
    EXPECT_EQ(spell(run, line, 1, 1), c.single_blank);
    free_token_list(line);
  }
}

TEST(SpellTokenList, AnEmptyListIsAnEmptyString) {
  RunFixture run;
  EXPECT_EQ(spell(run, nullptr, 0, 1), "");
  EXPECT_EQ(spell(run, nullptr, 1, 1), "");
}

TEST(SpellTokenList, EveryTokenMayNeedItsBlank) {
  // The worst case for the size of the result: a blank before every token.
  RunFixture run;
  std::vector<std::string> texts(300, "+");
  Token* list = separate_tokens(run, texts);
  std::string expected = "+";
  for (size_t i = 1; i < texts.size(); ++i) expected += " +";
  EXPECT_EQ(spell(run, list, 0, 1), expected);
  EXPECT_EQ(spell(run, list, 1, 1), expected);
  free_token_list(list);
}

TEST(TokensWouldMerge, DotBeforeOnlyMattersBetweenTwoDots) {
  RunFixture run;
  Token* list = separate_tokens(run, {".", ".", "x"});
  Token* dot = list;
  Token* second_dot = list->next;
  Token* x = second_dot->next;
  EXPECT_EQ(tokens_would_merge(run.p, dot, second_dot, false), 0);
  EXPECT_EQ(tokens_would_merge(run.p, dot, second_dot, true), 1);
  EXPECT_EQ(tokens_would_merge(run.p, second_dot, x, true), 0);
  EXPECT_EQ(tokens_would_merge(run.p, x, dot, true), 0);
  free_token_list(list);
}

TEST(TokensWouldMerge, LongTextsGiveTheSameAnswers) {
  // Two texts of up to 1023 bytes together are joined in a local buffer,
  // longer ones in a pool block; the answer must not depend on which.
  struct Case {
    std::string previous;
    std::string token;
    int merged;
  };
  std::vector<Case> cases;
  for (size_t total : {size_t(20), size_t(1022), size_t(1023), size_t(1024), size_t(1025), size_t(5000)}) {
    const size_t half = total / 2;
    cases.push_back({std::string(half, 'a'), std::string(total - half, 'b'), 1});
    cases.push_back({std::string(total - 1, 'a'), "(", 0});
    cases.push_back({std::string(total - 1, '7'), "x", 1});
    cases.push_back({"\"" + std::string(total - 3, 's') + "\"", "x", 0});
    cases.push_back({"x", "\"" + std::string(total - 3, 's') + "\"", 0});
    cases.push_back({"L", "\"" + std::string(total - 3, 's') + "\"", 1});
  }
  RunFixture run;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.previous.size()) + "+" + std::to_string(c.token.size()) + " " +
                 c.previous.substr(0, 3) + "|" + c.token.substr(0, 3));
    Token* list = separate_tokens(run, {c.previous, c.token});
    EXPECT_EQ(tokens_would_merge(run.p, list, list->next, false), c.merged);
    const std::string spelled = spell(run, list, 0, 1);
    EXPECT_EQ(spelled, c.previous + (c.merged ? " " : "") + c.token);
    free_token_list(list);
  }
  EXPECT_EQ(run.diagnostics(), "");
}

// Texts whose tokens lie side by side; the answer for them must be what the
// tokeniser gives for the two texts joined anew.
std::vector<std::string> side_by_side_texts() {
  std::vector<std::string> texts = {
      "a+++++b", "x...y", "..x.", "a..b", ".5..e+1", "1.e+5+e", "0x1p-3", "1e+-1", "%:%:%:%", "%:%%:",
      "<::><%%>", "<<=>>=<<>>", "->*->.*::", "a::b", "and and_eq not_eq bitand", "L\"x\"L'y'LL\"z",
      "\"unterminated", "L\"unterminated", "''x'", "\\u00C1\\u00c1x\\x\\u12g", "??=??(??/x??)??'", "???=",
      "a??/\nb", "a\\\n+\\\n+", "x/**/y", "$@`\x7f\x80\xff", "1\\u00C1.", "L\\u00C1", "?\?-?\?!",
  };
  // Every string of up to three characters over characters that begin or end tokens.
  const std::string alphabet = "+-<>=%:.#&|*/?!^~(1eEpxL\"'\\u 0";
  for (char a : alphabet) {
    texts.push_back(std::string(1, a));
    for (char b : alphabet) {
      texts.push_back(std::string{a, b});
      for (char c : alphabet) texts.push_back(std::string{a, b, c});
    }
  }
  return texts;
}

TEST(TokensWouldMerge, TokensReadSideBySideAgreeWithRetokenising) {
  for (int cplusplus = 0; cplusplus <= 1; ++cplusplus) {
    SCOPED_TRACE(cplusplus ? "C++" : "C");
    RunFixture run(cplusplus);
    int pairs = 0;
    for (const std::string& text : side_by_side_texts()) {
      Token* line;
      try {
        line = tokenize_string(run.p, text.c_str());
      } catch (const FatalError&) {
        continue;  // an open comment
      }
      const Token* two_back = nullptr;
      for (const Token* previous = line; previous && previous->next; two_back = previous, previous = previous->next) {
        const Token* token = previous->next;
        if (token->ws_begin) continue;
        const int dot_before = two_back && two_back->kind == TK_DOT;
        // The same two tokens with their texts copied apart.
        Token copies[2] = {*previous, *token};
        std::string previous_text(previous->text_begin, previous->text_end);
        std::string token_text(token->text_begin, token->text_end);
        copies[0].text_begin = previous_text.c_str();
        copies[0].text_end = previous_text.c_str() + previous_text.size();
        copies[1].text_begin = token_text.c_str();
        copies[1].text_end = token_text.c_str() + token_text.size();
        const int side_by_side = tokens_would_merge(run.p, previous, token, dot_before);
        const int apart = tokens_would_merge(run.p, &copies[0], &copies[1], dot_before);
        EXPECT_EQ(side_by_side, apart) << "in \"" << text << "\": [" << previous_text << "][" << token_text << "]";
        EXPECT_EQ(side_by_side, 0) << "in \"" << text << "\": [" << previous_text << "][" << token_text << "]";
        ++pairs;
      }
      // So a line read from a text is written back exactly as it stood.
      const Token* last = line;
      while (last->next) last = last->next;
      EXPECT_EQ(spell(run, line, 0, 1), std::string(text.c_str(), last->text_end));
      free_token_list(line);
    }
    EXPECT_GT(pairs, 10000);
    run.diagnostics();
  }
}

}  // namespace
