// Cutting sources and strings into logical lines of tokens.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "lex/token.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"
#include "support/run_fixture.h"

namespace {

Report reporting(int report) { return report ? Report::ON : Report::OFF; }

// One token as the tests look at it: kind, white space before it, text.
struct Seen {
  TokenKind kind;
  std::string ws;
  std::string text;
  bool operator==(const Seen& other) const { return kind == other.kind && ws == other.ws && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Seen& token) {
  return out << "{" << token.kind << " ws=\"" << token.ws << "\" text=\"" << token.text << "\"}";
}

using Line = std::vector<Seen>;

Line seen(const Token* list) {
  Line line;
  for (; list; list = list->next) {
    EXPECT_EQ(list->ws_begin == nullptr, list->ws_end == nullptr);
    EXPECT_EQ(list->no_expand, 0);
    line.push_back({list->kind, list->ws_begin ? std::string(list->ws_begin, list->ws_end) : std::string(),
                    std::string(list->text_begin, list->text_end)});
  }
  return line;
}

// Reads the top source to its end the way the source loop does: each line is
// counted and freed before the next is read. Records each line's number.
std::vector<std::pair<unsigned long, Line>> read_all(RunFixture& run, int report) {
  std::vector<std::pair<unsigned long, Line>> lines;
  while (Token* list = read_logical_line(run.p, reporting(report))) {
    lines.push_back({run.p->source_top->where->line, seen(list)});
    free_token_list(list);
    count_frame_lines(run.p->source_top);
    if (lines.size() > 100) break;
  }
  return lines;
}

Options portability_options() {
  Options options = default_options();
  options.wport = 1;
  return options;
}

const char kNonemptyLastLine[] =
    "\"src.c\" (1) warning: nonempty last line\n"
    "\"src.c\" (1) tip: portability requirements violated\n";

TEST(ReadLogicalLine, CutsASourceIntoLines) {
  struct Case {
    const char* text;
    std::vector<std::pair<unsigned long, Line>> lines;
    bool nonempty_last_line;
  };
  const Case cases[] = {
      {"", {}, false},
      {"a\n", {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n"}}}}, false},
      {"a", {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", ""}}}}, true},
      {"a\n\n\nb\n",
       {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n\n\n"}}},
        {4, {{TK_IDENTIFIER, "", "b"}, {TK_NEWLINE, "", "\n"}}}},
       false},
      {"a\n  \nb\n",
       {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n"}}},
        {2, {{TK_NEWLINE, "  ", "\n"}}},
        {3, {{TK_IDENTIFIER, "", "b"}, {TK_NEWLINE, "", "\n"}}}},
       false},
      {"a\n  ", {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n"}}}, {2, {{TK_NEWLINE, "  ", ""}}}}, true},
      {"a\n// note", {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n"}}}, {2, {{TK_NEWLINE, "// note", ""}}}},
       true},
      // A comment running over two physical lines folds into the next token.
      {"x\n/* one\n two */ a\nb\n",
       {{1, {{TK_IDENTIFIER, "", "x"}, {TK_NEWLINE, "", "\n"}}},
        {2, {{TK_IDENTIFIER, "/* one\n two */ ", "a"}, {TK_NEWLINE, "", "\n"}}},
        {4, {{TK_IDENTIFIER, "", "b"}, {TK_NEWLINE, "", "\n"}}}},
       false},
      // So does a splice; the line after it is numbered past both physical lines.
      {"a\\\nb = 1;\\\n\nc\n",
       {{1, {{TK_IDENTIFIER, "", "a\\\nb"}, {TK_ASSIGN, " ", "="}, {TK_PP_NUMBER, " ", "1"},
             {TK_SEMICOLON, "", ";"}, {TK_NEWLINE, "", "\\\n\n"}}},
        {4, {{TK_IDENTIFIER, "", "c"}, {TK_NEWLINE, "", "\n"}}}},
       false},
      // A splice that ends the text stays in the text of the line's end, so
      // that the line is written back as it stood.
      {"a\\\n", {{1, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\\\n"}}}}, true},
      // The unterminated literal reads as a stray quote; the line goes on.
      {"s = \"ab\n", {{1, {{TK_IDENTIFIER, "", "s"}, {TK_ASSIGN, " ", "="}, {TK_OTHER, " ", "\""},
                           {TK_IDENTIFIER, "", "ab"}, {TK_NEWLINE, "", "\n"}}}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (int report = 0; report <= 1; ++report) {
      SCOPED_TRACE(report ? "reporting" : "quiet");
      RunFixture run(0, portability_options());
      run.push_text(c.text);
      EXPECT_EQ(read_all(run, report), c.lines);
      // At the end it stays at the end.
      EXPECT_EQ(read_logical_line(run.p, reporting(report)), nullptr);
      EXPECT_EQ(read_logical_line(run.p, reporting(report)), nullptr);
      const std::string diagnostics = run.diagnostics();
      const bool warned = diagnostics.find("nonempty last line") != std::string::npos;
      EXPECT_EQ(warned, report && c.nonempty_last_line) << diagnostics;
    }
  }
}

TEST(ReadLogicalLine, NonemptyLastLineIsAPortabilityWarning) {
  struct Case {
    int wall;
    int wport;
    int werrors;
    const char* expected;
    int failed;
  };
  const Case cases[] = {
      {0, 0, 0, "", 0},
      {1, 0, 0, kNonemptyLastLine, 0},
      {0, 1, 0, kNonemptyLastLine, 0},
      {0, 1, 1, "\"src.c\" (1) error: nonempty last line\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.wall << c.wport << c.werrors);
    Options options = default_options();
    options.wall = c.wall;
    options.wport = c.wport;
    options.werrors = c.werrors;
    RunFixture run(0, options);
    run.push_text("a");
    Token* line = read_logical_line(run.p, Report::ON);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(seen(line), (Line{{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", ""}}));
    free_token_list(line);
    EXPECT_EQ(run.diagnostics(), c.expected);
    EXPECT_EQ(run.p->report.failed, c.failed);
    EXPECT_EQ(read_logical_line(run.p, Report::ON), nullptr);
    EXPECT_EQ(run.diagnostics(), "");
  }
}

TEST(ReadLogicalLine, AnUnterminatedCommentIsFatalOnlyWhenReporting) {
  {
    RunFixture run(0, portability_options());
    run.push_text("x\na /* open\n");
    free_token_list(read_logical_line(run.p, Report::ON));
    count_frame_lines(run.p->source_top);
    EXPECT_THROW(read_logical_line(run.p, Report::ON), FatalError);
    EXPECT_EQ(run.diagnostics(), "\"src.c\" (2) fatal error: unterminated comment found\n");
    EXPECT_EQ(run.p->report.failed, 1);
  }
  {
    RunFixture run(0, portability_options());
    run.push_text("x\na /* open\n");
    const std::vector<std::pair<unsigned long, Line>> expected = {
        {1, {{TK_IDENTIFIER, "", "x"}, {TK_NEWLINE, "", "\n"}}},
        {2, {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, " ", "/* open\n"}}},
    };
    EXPECT_EQ(read_all(run, 0), expected);
    EXPECT_EQ(run.diagnostics(), "");
    EXPECT_EQ(run.p->report.failed, 0);
  }
  {
    // A comment that opens the line is the line's last token by itself.
    RunFixture run;
    run.push_text("/* open");
    EXPECT_EQ(read_all(run, 0), (std::vector<std::pair<unsigned long, Line>>{{1, {{TK_NEWLINE, "", "/* open"}}}}));
  }
}

TEST(ReadLogicalLine, InternsIdentifiersAsItReadsThem) {
  RunFixture run;
  run.push_text("alpha beta\nbe\\\nta alpha 1 + _Pragma\n");
  Token* first = read_logical_line(run.p, Report::ON);
  Token* second = read_logical_line(run.p, Report::ON);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  const Token* alpha = first;
  const Token* beta = first->next;
  ASSERT_NE(alpha->ident, nullptr);
  ASSERT_NE(beta->ident, nullptr);
  EXPECT_NE(alpha->ident, beta->ident);
  EXPECT_EQ(alpha->ident->text_begin, alpha->text_begin);
  EXPECT_EQ(second->ident, beta->ident);  // spliced spelling, same identifier
  EXPECT_EQ(second->next->ident, alpha->ident);
  const Token* number = second->next->next;
  EXPECT_EQ(number->kind, TK_PP_NUMBER);
  EXPECT_EQ(number->ident, nullptr);
  EXPECT_EQ(number->macro, nullptr);
  EXPECT_EQ(number->next->next->ident, run.p->id_pragma);
  free_token_list(first);
  free_token_list(second);
}

TEST(ReadLogicalLine, NotesVaArgsOnlyInC) {
  struct Case {
    int cplusplus;
    const char* text;
    std::vector<int> flags;  // after each line
  };
  const Case cases[] = {
      {0, "f(__VA_ARGS__)\nx\n", {1, 0}},
      {1, "f(__VA_ARGS__)\nx\n", {0, 0}},
      {0, "__VA_\\\nARGS__\n__VA_ARGS_\n", {1, 0}},
      {0, "x\n#define f(...) __VA_ARGS__\n", {0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.cplusplus ? "C++ " : "C ") << c.text);
    for (int report = 0; report <= 1; ++report) {
      RunFixture run(c.cplusplus);
      run.push_text(c.text);
      std::vector<int> flags;
      while (Token* line = read_logical_line(run.p, reporting(report))) {
        flags.push_back(run.p->va_args_seen);
        free_token_list(line);
      }
      EXPECT_EQ(flags, c.flags);
      EXPECT_EQ(run.p->va_args_seen, 0);  // cleared by the call that found the end
    }
  }
}

TEST(TokenizeString, ReadsTheFirstLineOfAString) {
  struct Case {
    const char* text;
    Line line;
  };
  const Case cases[] = {
      {nullptr, {{TK_NEWLINE, "", ""}}},
      {"", {{TK_NEWLINE, "", ""}}},
      {"   ", {{TK_NEWLINE, "   ", ""}}},
      {"new_name", {{TK_IDENTIFIER, "", "new_name"}, {TK_NEWLINE, "", ""}}},
      {"a /* c */ b", {{TK_IDENTIFIER, "", "a"}, {TK_IDENTIFIER, " /* c */ ", "b"}, {TK_NEWLINE, "", ""}}},
      {"a\n\nb", {{TK_IDENTIFIER, "", "a"}, {TK_NEWLINE, "", "\n\n"}}},
      {"a\\\nb", {{TK_IDENTIFIER, "", "a\\\nb"}, {TK_NEWLINE, "", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    RunFixture run(0, portability_options());
    run.p->va_args_seen = 0;
    Token* list = tokenize_string(run.p, c.text);
    EXPECT_EQ(seen(list), c.line);
    free_token_list(list);
    EXPECT_EQ(run.diagnostics(), "");  // the end of a string is no missing new-line
  }
}

TEST(TokenizeString, LeavesTheVaArgsFlagAlone) {
  RunFixture run;
  run.p->va_args_seen = 0;
  free_token_list(tokenize_string(run.p, "__VA_ARGS__"));
  EXPECT_EQ(run.p->va_args_seen, 0);
  run.p->va_args_seen = 1;
  free_token_list(tokenize_string(run.p, "x"));
  EXPECT_EQ(run.p->va_args_seen, 1);
}

TEST(TokenizeString, AnOpenCommentIsAlwaysFatal) {
  RunFixture run;
  EXPECT_THROW(tokenize_string(run.p, "x /* open"), FatalError);
  EXPECT_EQ(run.diagnostics(), "command line fatal error: unterminated comment found\n");
  run.push_text("line\n", "/abs/table.tbl");
  EXPECT_THROW(tokenize_string(run.p, "/* open"), FatalError);
  EXPECT_EQ(run.diagnostics(), "\"/abs/table.tbl\" (1) fatal error: unterminated comment found\n");
}

TEST(TokenizeString, ChecksWhatItReads) {
  Options options = default_options();
  options.wall = 1;
  RunFixture run(0, options);
  run.push_text("", "t.tbl");
  free_token_list(tokenize_string(run.p, "\\u0041x"));
  const std::string diagnostics = run.diagnostics();
  EXPECT_NE(diagnostics.find("\"t.tbl\" (1) warning: illegal universal character name encountered\n"),
            std::string::npos)
      << diagnostics;
}

TEST(ReadLogicalLine, ChecksOnlyWhenReporting) {
  Options options = default_options();
  options.wall = 1;
  for (int report = 0; report <= 1; ++report) {
    RunFixture run(0, options);
    run.push_text("a\n/* x\n */ \\u0041x\n");
    read_all(run, report);
    const std::string diagnostics = run.diagnostics();
    if (report) {
      // The line that a comment opens is numbered by the comment's first line.
      EXPECT_EQ(diagnostics.find("\"src.c\" (2) warning: illegal universal character name encountered\n"), 0u)
          << diagnostics;
    } else {
      EXPECT_EQ(diagnostics, "");
    }
  }
}

// A NUL byte inside a loaded file ends its text there.
struct NullCase {
  std::string bytes;
  std::vector<std::string> lines;  // each line as spelled
  unsigned long null_line;         // the line the NUL stands on
};

const NullCase kNullCases[] = {
    {std::string("a\nb\n\0junk\n", 10), {"a\n", "b\n"}, 3},
    {std::string("a\nb\0c\n", 6), {"a\n", "b"}, 2},
    {std::string("a\n\n\n\0", 5), {"a\n\n\n"}, 4},
    {std::string("\0a\n", 3), {}, 1},
    {std::string("x /* c\n */\0", 11), {"x /* c\n */"}, 2},
};

TEST(ReadLogicalLine, ReportsANullCharacterOnceAtItsLine) {
  for (const NullCase& c : kNullCases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    for (int report = 0; report <= 1; ++report) {
      SCOPED_TRACE(report ? "reporting" : "quiet");
      RunFixture run;
      run.push_text(c.bytes);
      std::vector<std::string> lines;
      while (Token* line = read_logical_line(run.p, reporting(report))) {
        char* spelled = spell_token_list(run.p, line, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART);
        lines.push_back(spelled);
        pool_free(spelled);
        free_token_list(line);
        count_frame_lines(run.p->source_top);
      }
      EXPECT_EQ(lines, c.lines);
      EXPECT_EQ(read_logical_line(run.p, reporting(report)), nullptr);
      EXPECT_EQ(run.diagnostics(), "\"src.c\" (" + std::to_string(c.null_line) +
                                       ") error: null character in file; the rest of the file is ignored\n");
      EXPECT_EQ(run.p->report.failed, 1);
    }
  }
}

TEST(ReadLogicalLine, ReportsANullCharacterAtItsLineBeforeTheLinesAreCounted) {
  // Reading on into the next line (as the pragma operator does) comes before
  // the line in hand is counted.
  for (const NullCase& c : kNullCases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    RunFixture run;
    run.push_text(c.bytes);
    while (Token* line = read_logical_line(run.p, Report::ON)) free_token_list(line);
    EXPECT_EQ(run.diagnostics(), "\"src.c\" (" + std::to_string(c.null_line) +
                                     ") error: null character in file; the rest of the file is ignored\n");
    EXPECT_EQ(run.p->source_top->where->line, 1u);  // counting is left to the owner of the loop
    EXPECT_EQ(count_frame_lines(run.p->source_top), static_cast<int>(c.null_line - 1));
  }
}

TEST(ReadLogicalLine, ANulInALoadedFileCutsItThere) {
  char pattern[] = "/tmp/morfe_nul_XXXXXX";
  int fd = mkstemp(pattern);
  ASSERT_GE(fd, 0);
  const std::string bytes("a\r\nb\r\n\0c\r\n", 10);
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
  RunFixture run;
  LoadedText text{nullptr, 0};
  int error = 0;
  ASSERT_EQ(read_whole_file(pattern, &text, &error, run.pool), 1);
  unlink(pattern);
  ASSERT_NE(text.text, nullptr);
  EXPECT_EQ(text.length, 10u);
  push_source(run.p, text, pattern, "nul.c");
  int lines = 0;
  while (Token* line = read_logical_line(run.p, Report::ON)) {
    ++lines;
    free_token_list(line);
    count_frame_lines(run.p->source_top);
  }
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(run.diagnostics(), "\"nul.c\" (3) error: null character in file; the rest of the file is ignored\n");
}

// Words of the arena that have been carved so far; the loaded text is a
// piece of its own and does not count.
struct ArenaUse {
  size_t chunks;
  uint32_t words_left;
};

ArenaUse arena_use(const Arena* arena) {
  size_t elements = 0;
  for (const ArenaLink* element = arena->current_chunk; element; element = element->link) ++elements;
  return {elements, arena->words_left};
}

size_t carved_between(const ArenaUse& before, const ArenaUse& after) {
  return (after.chunks - before.chunks) * kArenaChunkWords + before.words_left - after.words_left;
}

// Reads the source line by line as the source loop does, spelling each line
// and giving back everything it took.
void read_lines(RunFixture& run, int count) {
  for (int i = 0; i < count; ++i) {
    Token* line = read_logical_line(run.p, Report::ON);
    ASSERT_NE(line, nullptr) << "line " << i;
    char* spelled = spell_token_list(run.p, line, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART);
    pool_free(spelled);
    free_token_list(line);
    count_frame_lines(run.p->source_top);
  }
}

TEST(ReadLogicalLine, MemoryDoesNotGrowFromLineToLine) {
  const int kLines = 100000;
  std::string text;
  for (int i = 0; i < kLines; ++i) {
    text += i % 2 ? "  alpha = beta(gamma, 12) + 'c' - \"str\"; /* note */\n"
                  : "\tgamma(alpha)->beta[3] |= 0x1F; // comment\n";
  }
  RunFixture run;
  run.push_text(text);
  read_lines(run, 1000);
  const ArenaUse after_first = arena_use(run.arena);
  read_lines(run, kLines - 1000);
  EXPECT_EQ(read_logical_line(run.p, Report::ON), nullptr);
  EXPECT_EQ(run.p->source_top->where->line, static_cast<unsigned long>(kLines) + 1);
  const ArenaUse after_all = arena_use(run.arena);
  EXPECT_EQ(after_all.chunks, after_first.chunks);
  EXPECT_EQ(after_all.words_left, after_first.words_left);
  EXPECT_EQ(run.diagnostics(), "");
}

TEST(ReadLogicalLine, MemoryGrowsOnlyByTheNewSpellings) {
  const int kLines = 100000;
  std::string text;
  for (int i = 0; i < kLines; ++i) text += "value_" + std::to_string(i) + " = base + value_" + std::to_string(i) + ";\n";
  RunFixture run;
  run.push_text(text);
  read_lines(run, 1000);
  const ArenaUse after_first = arena_use(run.arena);
  read_lines(run, kLines - 1000);
  const ArenaUse after_all = arena_use(run.arena);
  // One entry per new identifier; an abandoned chunk end wastes less than one.
  const size_t entry_words = pool_carve_size(sizeof(IdentEntry)) / kArenaWordSize;
  const size_t new_entries = kLines - 1000;
  const size_t carved = carved_between(after_first, after_all);
  EXPECT_GE(carved, new_entries * entry_words);
  EXPECT_LT(carved, new_entries * entry_words + (after_all.chunks - after_first.chunks) * entry_words + 1);
}

}  // namespace
