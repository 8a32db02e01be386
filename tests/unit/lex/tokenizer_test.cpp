#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "lex/tokenizer.h"
#include "support/run_fixture.h"
#include "support/text.h"

namespace {

const char* const kKindNames[] = {
    "EOF",          "NEWLINE",       "WHITESPACE",     "UNTERMINATED_COMMENT",
    "OTHER",        "IDENTIFIER",    "STRING",         "WIDE_STRING",
    "CHAR",         "WIDE_CHAR",     "PP_NUMBER",      "LBRACKET",
    "RBRACKET",     "LPAREN",        "RPAREN",         "LBRACE",
    "RBRACE",       "DOT",           "AMP",            "STAR",
    "PLUS",         "MINUS",         "TILDE",          "EXCL",
    "SLASH",        "PERCENT",       "LT",             "GT",
    "CARET",        "BAR",           "QUESTION",       "COLON",
    "SEMICOLON",    "ASSIGN",        "COMMA",          "HASH",
    "ARROW",        "INC",           "DEC",            "SHL",
    "SHR",          "LE",            "GE",             "EQ",
    "NE",           "ANDAND",        "OROR",           "STAR_ASSIGN",
    "SLASH_ASSIGN", "PERCENT_ASSIGN", "PLUS_ASSIGN",   "MINUS_ASSIGN",
    "AMP_ASSIGN",   "CARET_ASSIGN",  "BAR_ASSIGN",     "HASHHASH",
    "ELLIPSIS",     "SHL_ASSIGN",    "SHR_ASSIGN",     "PLACEMARKER",
    "CONCAT",       "NEW",           "DELETE",         "SCOPE",
    "DOT_STAR",     "ARROW_STAR",    "RAW_STRING",     "SPACESHIP",
    "UNTERMINATED_RAW_STRING",
};
static_assert(sizeof(kKindNames) / sizeof(kKindNames[0]) == kLastTokenKind + 1, "one name per kind");

struct Tok {
  TokenKind kind;
  std::string text;
  bool operator==(const Tok& other) const { return kind == other.kind && text == other.text; }
};

std::ostream& operator<<(std::ostream& out, const Tok& token) {
  return out << kKindNames[token.kind] << "(" << printable(token.text) << ")";
}

// Every token up to TK_EOF. Checks on the way that each call advances, that
// TK_EOF leaves the cursor on the terminating NUL and is returned again there.
std::vector<Tok> lex(Preprocessor* p, const char* text, int quiet) {
  std::vector<Tok> tokens;
  const char* cursor = text;
  const LexState ls = lex_state(p, quiet);
  for (int guard = 0; guard < 100000; ++guard) {
    const char* start = cursor;
    TokenKind kind = next_token(&ls, cursor);
    if (kind == TK_EOF) {
      EXPECT_EQ(*cursor, '\0') << "TK_EOF away from the NUL";
      EXPECT_EQ(cursor - text, static_cast<long>(strlen(text)));
      const char* again = cursor;
      EXPECT_EQ(next_token(&ls, again), TK_EOF);
      EXPECT_EQ(again, cursor);
      return tokens;
    }
    EXPECT_GT(cursor, start) << "no progress after " << testing::PrintToString(tokens);
    if (cursor <= start) return tokens;
    tokens.push_back({kind, std::string(start, cursor)});
  }
  ADD_FAILURE() << "no TK_EOF";
  return tokens;
}

enum Mode { BOTH, C_ONLY, CPP_ONLY };

struct LexCase {
  Mode mode;
  std::string text;
  std::vector<Tok> tokens;
};

const std::vector<LexCase>& lex_cases() {
  static const std::vector<LexCase> cases = {
      // End, new-lines and white space.
      {BOTH, "", {}},
      {BOTH, "\n", {{TK_NEWLINE, "\n"}}},
      {BOTH, "\n\n\n", {{TK_NEWLINE, "\n\n\n"}}},
      {BOTH, "\n \n", {{TK_NEWLINE, "\n"}, {TK_WHITESPACE, " "}, {TK_NEWLINE, "\n"}}},
      {BOTH, "\n\\\n\n", {{TK_NEWLINE, "\n\\\n\n"}}},
      {BOTH, "\n\n??/\n\nx", {{TK_NEWLINE, "\n\n??/\n\n"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "\n\\x", {{TK_NEWLINE, "\n"}, {TK_OTHER, "\\"}, {TK_IDENTIFIER, "x"}}},
      // A CR LF pair is one line end wherever a LF is; a lone CR is not.
      {BOTH, "\n\r\n", {{TK_NEWLINE, "\n\r\n"}}},
      {BOTH, "\r\n\r\r\n", {{TK_NEWLINE, "\r\n"}, {TK_OTHER, "\r"}, {TK_NEWLINE, "\r\n"}}},
      {BOTH, "a\\\r\nb\r\n", {{TK_IDENTIFIER, "a\\\r\nb"}, {TK_NEWLINE, "\r\n"}}},
      {BOTH, "x// c\\\r\nd\r\ny", {{TK_IDENTIFIER, "x"}, {TK_WHITESPACE, "// c\\\r\nd"}, {TK_NEWLINE, "\r\n"}, {TK_IDENTIFIER, "y"}}},
      {BOTH, "// c\r\r\n", {{TK_WHITESPACE, "// c\r"}, {TK_NEWLINE, "\r\n"}}},
      {BOTH, "/* *\\\r\n/x", {{TK_WHITESPACE, "/* *\\\r\n/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* *\r\n/ */x", {{TK_WHITESPACE, "/* *\r\n/ */"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* *??/\r\n/x", {{TK_WHITESPACE, "/* *??/\r\n/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "\"a\r\n", {{TK_OTHER, "\""}, {TK_IDENTIFIER, "a"}, {TK_NEWLINE, "\r\n"}}},
      {BOTH, " \t\v\fx", {{TK_WHITESPACE, " \t\v\f"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "a \\\n b", {{TK_IDENTIFIER, "a"}, {TK_WHITESPACE, " \\\n "}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "a\\\n", {{TK_IDENTIFIER, "a"}}},
      {BOTH, "a\\\n\\\n", {{TK_IDENTIFIER, "a"}}},
      {BOTH, "\\\n", {}},
      // Comments.
      {BOTH, "a  /* x */  b", {{TK_IDENTIFIER, "a"}, {TK_WHITESPACE, "  /* x */  "}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "/* x */b", {{TK_WHITESPACE, "/* x */"}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "/* a */ /* b */ // c\nx",
       {{TK_WHITESPACE, "/* a */ /* b */ // c"}, {TK_NEWLINE, "\n"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/**/", {{TK_WHITESPACE, "/**/"}}},
      {BOTH, "/***/", {{TK_WHITESPACE, "/***/"}}},
      {BOTH, "/* **/x", {{TK_WHITESPACE, "/* **/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/*/ x */", {{TK_WHITESPACE, "/*/ x */"}}},
      {BOTH, "/* *\\\n/ x", {{TK_WHITESPACE, "/* *\\\n/ "}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/??/\n* x */", {{TK_WHITESPACE, "/??/\n* x */"}}},
      {BOTH, "/* *\\\n*/x", {{TK_WHITESPACE, "/* *\\\n*/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* *??/\n/x", {{TK_WHITESPACE, "/* *??/\n/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* ? ?? \\ */x", {{TK_WHITESPACE, "/* ? ?? \\ */"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* x", {{TK_UNTERMINATED_COMMENT, "/* x"}}},
      {BOTH, "/* x *\\\n", {{TK_UNTERMINATED_COMMENT, "/* x *\\\n"}}},
      {BOTH, "/*", {{TK_UNTERMINATED_COMMENT, "/*"}}},
      {BOTH, "/* x *", {{TK_UNTERMINATED_COMMENT, "/* x *"}}},
      {BOTH, "  /* x", {{TK_WHITESPACE, "  "}, {TK_UNTERMINATED_COMMENT, "/* x"}}},
      {BOTH, "/* a */ /* b", {{TK_WHITESPACE, "/* a */ "}, {TK_UNTERMINATED_COMMENT, "/* b"}}},
      // Whether a slash ends a comment depends on the logical character
      // before it, which may stand several splices back.
      {BOTH, "/* *\\\n??/\n\\\n/x", {{TK_WHITESPACE, "/* *\\\n??/\n\\\n/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/*\\\n/ */", {{TK_WHITESPACE, "/*\\\n/ */"}}},
      {BOTH, "/*??/\n/", {{TK_UNTERMINATED_COMMENT, "/*??/\n/"}}},
      {BOTH, "/* *\\\\\n/ */x", {{TK_WHITESPACE, "/* *\\\\\n/ */"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* *\n/ */x", {{TK_WHITESPACE, "/* *\n/ */"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* ??/*/x", {{TK_WHITESPACE, "/* ??/*/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "/* ??/\n/ */x", {{TK_WHITESPACE, "/* ??/\n/ */"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "// a", {{TK_WHITESPACE, "// a"}}},
      {BOTH, "// a\n", {{TK_WHITESPACE, "// a"}, {TK_NEWLINE, "\n"}}},
      {BOTH, "// a \\\n b\nc", {{TK_WHITESPACE, "// a \\\n b"}, {TK_NEWLINE, "\n"}, {TK_IDENTIFIER, "c"}}},
      {BOTH, "// a ??/\n b\nc", {{TK_WHITESPACE, "// a ??/\n b"}, {TK_NEWLINE, "\n"}, {TK_IDENTIFIER, "c"}}},
      {BOTH, "// a ?? \\ ??= b\n", {{TK_WHITESPACE, "// a ?? \\ ??= b"}, {TK_NEWLINE, "\n"}}},
      {BOTH, "// a \\\n\n", {{TK_WHITESPACE, "// a "}, {TK_NEWLINE, "\\\n\n"}}},
      {BOTH, "x // a /* b\n", {{TK_IDENTIFIER, "x"}, {TK_WHITESPACE, " // a /* b"}, {TK_NEWLINE, "\n"}}},
      {BOTH, " /x", {{TK_WHITESPACE, " "}, {TK_SLASH, "/"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "a/b", {{TK_IDENTIFIER, "a"}, {TK_SLASH, "/"}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "/=", {{TK_SLASH_ASSIGN, "/="}}},
      // Dots and numbers.
      {BOTH, "...", {{TK_ELLIPSIS, "..."}}},
      {BOTH, "..", {{TK_DOT, "."}, {TK_DOT, "."}}},
      {BOTH, "....", {{TK_ELLIPSIS, "..."}, {TK_DOT, "."}}},
      {BOTH, ".x", {{TK_DOT, "."}, {TK_IDENTIFIER, "x"}}},
      {BOTH, ".5e+3", {{TK_PP_NUMBER, ".5e+3"}}},
      {BOTH, "1.2.3", {{TK_PP_NUMBER, "1.2.3"}}},
      {BOTH, "1..2", {{TK_PP_NUMBER, "1..2"}}},
      {BOTH, "1e+5", {{TK_PP_NUMBER, "1e+5"}}},
      {BOTH, "1E-5-", {{TK_PP_NUMBER, "1E-5"}, {TK_MINUS, "-"}}},
      {BOTH, "0x1e+1", {{TK_PP_NUMBER, "0x1e+1"}}},
      {BOTH, "1e*5", {{TK_PP_NUMBER, "1e"}, {TK_STAR, "*"}, {TK_PP_NUMBER, "5"}}},
      {BOTH, "1ee+2", {{TK_PP_NUMBER, "1ee+2"}}},
      {BOTH, "1e\\\n+2", {{TK_PP_NUMBER, "1e\\\n+2"}}},
      {BOTH, "1\\\n2", {{TK_PP_NUMBER, "1\\\n2"}}},
      {BOTH, "1??/\n.5", {{TK_PP_NUMBER, "1??/\n.5"}}},
      {BOTH, "1?", {{TK_PP_NUMBER, "1"}, {TK_QUESTION, "?"}}},
      {BOTH, "1+2", {{TK_PP_NUMBER, "1"}, {TK_PLUS, "+"}, {TK_PP_NUMBER, "2"}}},
      {BOTH, "1_a.b", {{TK_PP_NUMBER, "1_a.b"}}},
      {BOTH, "1L", {{TK_PP_NUMBER, "1L"}}},
      {BOTH, "1\\u00C1", {{TK_PP_NUMBER, "1\\u00C1"}}},
      {BOTH, "1\\u0041x", {{TK_PP_NUMBER, "1\\u0041x"}}},
      {BOTH, "1\\x", {{TK_PP_NUMBER, "1"}, {TK_OTHER, "\\"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "1$", {{TK_PP_NUMBER, "1"}, {TK_OTHER, "$"}}},
      {BOTH, "x=-1;", {{TK_IDENTIFIER, "x"}, {TK_ASSIGN, "="}, {TK_MINUS, "-"}, {TK_PP_NUMBER, "1"}, {TK_SEMICOLON, ";"}}},
      // Operators, doubled and with '='.
      {BOTH, "<<=", {{TK_SHL_ASSIGN, "<<="}}},
      {BOTH, "<<x", {{TK_SHL, "<<"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, ">>=", {{TK_SHR_ASSIGN, ">>="}}},
      {BOTH, ">>>", {{TK_SHR, ">>"}, {TK_GT, ">"}}},
      {BOTH, "<=>", {{TK_LE, "<="}, {TK_GT, ">"}}},
      {BOTH, ">=", {{TK_GE, ">="}}},
      {BOTH, "< >", {{TK_LT, "<"}, {TK_WHITESPACE, " "}, {TK_GT, ">"}}},
      {BOTH, "##", {{TK_HASHHASH, "##"}}},
      {BOTH, "###", {{TK_HASHHASH, "##"}, {TK_HASH, "#"}}},
      {BOTH, "#=", {{TK_HASH, "#"}, {TK_ASSIGN, "="}}},
      {BOTH, "&&&=", {{TK_ANDAND, "&&"}, {TK_AMP_ASSIGN, "&="}}},
      {BOTH, "&", {{TK_AMP, "&"}}},
      {BOTH, "||=|", {{TK_OROR, "||"}, {TK_ASSIGN, "="}, {TK_BAR, "|"}}},
      {BOTH, "|=", {{TK_BAR_ASSIGN, "|="}}},
      {BOTH, "+++=+", {{TK_INC, "++"}, {TK_PLUS_ASSIGN, "+="}, {TK_PLUS, "+"}}},
      {BOTH, "---=-", {{TK_DEC, "--"}, {TK_MINUS_ASSIGN, "-="}, {TK_MINUS, "-"}}},
      {BOTH, "a->b", {{TK_IDENTIFIER, "a"}, {TK_ARROW, "->"}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "===", {{TK_EQ, "=="}, {TK_ASSIGN, "="}}},
      {BOTH, "!=!!", {{TK_NE, "!="}, {TK_EXCL, "!"}, {TK_EXCL, "!"}}},
      {BOTH, "***=", {{TK_STAR, "*"}, {TK_STAR, "*"}, {TK_STAR_ASSIGN, "*="}}},
      {BOTH, "^^^=", {{TK_CARET, "^"}, {TK_CARET, "^"}, {TK_CARET_ASSIGN, "^="}}},
      {BOTH, "%%=", {{TK_PERCENT, "%"}, {TK_PERCENT_ASSIGN, "%="}}},
      {BOTH, "()[]{},;?~",
       {{TK_LPAREN, "("}, {TK_RPAREN, ")"}, {TK_LBRACKET, "["}, {TK_RBRACKET, "]"}, {TK_LBRACE, "{"},
        {TK_RBRACE, "}"}, {TK_COMMA, ","}, {TK_SEMICOLON, ";"}, {TK_QUESTION, "?"}, {TK_TILDE, "~"}}},
      {BOTH, "?:", {{TK_QUESTION, "?"}, {TK_COLON, ":"}}},
      // Digraphs, in both modes.
      {BOTH, "<: :> <% %> %: %:%:",
       {{TK_LBRACKET, "<:"}, {TK_WHITESPACE, " "}, {TK_RBRACKET, ":>"}, {TK_WHITESPACE, " "},
        {TK_LBRACE, "<%"}, {TK_WHITESPACE, " "}, {TK_RBRACE, "%>"}, {TK_WHITESPACE, " "},
        {TK_HASH, "%:"}, {TK_WHITESPACE, " "}, {TK_HASHHASH, "%:%:"}}},
      {BOTH, "%:%", {{TK_HASH, "%:"}, {TK_PERCENT, "%"}}},
      {BOTH, "%:%x", {{TK_HASH, "%:"}, {TK_PERCENT, "%"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "%:#", {{TK_HASH, "%:"}, {TK_HASH, "#"}}},
      {BOTH, "<::", {{TK_LBRACKET, "<:"}, {TK_COLON, ":"}}},
      {BOTH, "<%%>", {{TK_LBRACE, "<%"}, {TK_RBRACE, "%>"}}},
      // A splice or trigraph right after a token's first byte.
      {BOTH, "=\\\n=", {{TK_EQ, "=\\\n="}}},
      {BOTH, "-??/\n>x", {{TK_ARROW, "-??/\n>"}, {TK_IDENTIFIER, "x"}}},
      {CPP_ONLY, "->\\\n*", {{TK_ARROW_STAR, "->\\\n*"}}},
      {BOTH, ".\\\n5", {{TK_PP_NUMBER, ".\\\n5"}}},
      {BOTH, "0x1??/\ne+2", {{TK_PP_NUMBER, "0x1??/\ne+2"}}},
      {BOTH, "  \\\n\t/* c */x", {{TK_WHITESPACE, "  \\\n\t/* c */"}, {TK_IDENTIFIER, "x"}}},
      // Trigraphs at token starts and inside tokens.
      {BOTH, "??=", {{TK_HASH, "??="}}},
      {BOTH, "??=??=", {{TK_HASHHASH, "??=??="}}},
      {BOTH, "??( ??) ??< ??> ??! ??' ??-",
       {{TK_LBRACKET, "??("}, {TK_WHITESPACE, " "}, {TK_RBRACKET, "??)"}, {TK_WHITESPACE, " "},
        {TK_LBRACE, "??<"}, {TK_WHITESPACE, " "}, {TK_RBRACE, "??>"}, {TK_WHITESPACE, " "},
        {TK_BAR, "??!"}, {TK_WHITESPACE, " "}, {TK_CARET, "??'"}, {TK_WHITESPACE, " "}, {TK_TILDE, "??-"}}},
      {BOTH, "??!??!", {{TK_OROR, "??!??!"}}},
      {BOTH, "a??b", {{TK_IDENTIFIER, "a"}, {TK_QUESTION, "?"}, {TK_QUESTION, "?"}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "ab??/\ncd", {{TK_IDENTIFIER, "ab??/\ncd"}}},
      {BOTH, "<\\\n<=", {{TK_SHL_ASSIGN, "<\\\n<="}}},
      // Characters that begin no token: one byte each.
      {BOTH, "\r", {{TK_OTHER, "\r"}}},
      {BOTH, "$@`", {{TK_OTHER, "$"}, {TK_OTHER, "@"}, {TK_OTHER, "`"}}},
      {BOTH, "$$", {{TK_OTHER, "$"}, {TK_OTHER, "$"}}},
      {BOTH, "\x7f\x01\x1f", {{TK_OTHER, "\x7f"}, {TK_OTHER, "\x01"}, {TK_OTHER, "\x1f"}}},
      {BOTH, "\xC3\xA1", {{TK_OTHER, "\xC3"}, {TK_OTHER, "\xA1"}}},
      {BOTH, "a$b", {{TK_IDENTIFIER, "a"}, {TK_OTHER, "$"}, {TK_IDENTIFIER, "b"}}},
      {BOTH, "\xFF=", {{TK_OTHER, "\xFF"}, {TK_ASSIGN, "="}}},
      // Backslashes and universal character names.
      {BOTH, "\\", {{TK_OTHER, "\\"}}},
      {BOTH, "\\ x", {{TK_OTHER, "\\"}, {TK_WHITESPACE, " "}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "\\x", {{TK_OTHER, "\\"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "\\u00C", {{TK_OTHER, "\\"}, {TK_IDENTIFIER, "u00C"}}},
      {BOTH, "\\u00C1x+", {{TK_IDENTIFIER, "\\u00C1x"}, {TK_PLUS, "+"}}},
      {BOTH, "\\U000000C1", {{TK_IDENTIFIER, "\\U000000C1"}}},
      {BOTH, "??/u00C1", {{TK_IDENTIFIER, "??/u00C1"}}},
      {BOTH, "\\u0661", {{TK_IDENTIFIER, "\\u0661"}}},
      {BOTH, "x\\u00C1\\u00C2", {{TK_IDENTIFIER, "x\\u00C1\\u00C2"}}},
      // Character constants and string literals.
      {BOTH, "'a'", {{TK_CHAR, "'a'"}}},
      {BOTH, "'\\''", {{TK_CHAR, "'\\''"}}},
      {BOTH, "'a\"b'", {{TK_CHAR, "'a\"b'"}}},
      {BOTH, "\"ab\"", {{TK_STRING, "\"ab\""}}},
      {BOTH, "\"\"", {{TK_STRING, "\"\""}}},
      {BOTH, "\"a'b\"", {{TK_STRING, "\"a'b\""}}},
      {BOTH, "\"a\\\"b\"c", {{TK_STRING, "\"a\\\"b\""}, {TK_IDENTIFIER, "c"}}},
      {BOTH, "\"\\\\\"", {{TK_STRING, "\"\\\\\""}}},
      {BOTH, "\"??/\"\"", {{TK_STRING, "\"??/\"\""}}},
      {BOTH, "\"ab\\\ncd\"", {{TK_STRING, "\"ab\\\ncd\""}}},
      {BOTH, "\"\\q\"", {{TK_STRING, "\"\\q\""}}},
      {BOTH, "L\"ab\"", {{TK_WIDE_STRING, "L\"ab\""}}},
      {BOTH, "L'a'", {{TK_WIDE_CHAR, "L'a'"}}},
      {BOTH, "L\\\n'a'", {{TK_WIDE_CHAR, "L\\\n'a'"}}},
      {BOTH, "L", {{TK_IDENTIFIER, "L"}}},
      {BOTH, "Lx", {{TK_IDENTIFIER, "Lx"}}},
      {BOTH, "LL\"a\"", {{TK_IDENTIFIER, "LL"}, {TK_STRING, "\"a\""}}},
      {BOTH, "u8\"a\"", {{TK_IDENTIFIER, "u8"}, {TK_STRING, "\"a\""}}},
      {BOTH, "\"ab\nx", {{TK_OTHER, "\""}, {TK_IDENTIFIER, "ab"}, {TK_NEWLINE, "\n"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "\"ab", {{TK_OTHER, "\""}, {TK_IDENTIFIER, "ab"}}},
      {BOTH, "L\"ab\n",
       {{TK_OTHER, "L"}, {TK_OTHER, "\""}, {TK_IDENTIFIER, "ab"}, {TK_NEWLINE, "\n"}}},
      {BOTH, "L'", {{TK_OTHER, "L"}, {TK_OTHER, "'"}}},
      {BOTH, "L''", {{TK_OTHER, "L"}, {TK_OTHER, "'"}, {TK_OTHER, "'"}}},
      {BOTH, "''", {{TK_OTHER, "'"}, {TK_OTHER, "'"}}},
      {BOTH, "'''", {{TK_OTHER, "'"}, {TK_OTHER, "'"}, {TK_OTHER, "'"}}},
      {BOTH, "'' 'a'", {{TK_OTHER, "'"}, {TK_CHAR, "' '"}, {TK_IDENTIFIER, "a"}, {TK_OTHER, "'"}}},
      {BOTH, "'ab\n", {{TK_OTHER, "'"}, {TK_IDENTIFIER, "ab"}, {TK_NEWLINE, "\n"}}},

      // The C++ additions, and what their characters are in C.
      {C_ONLY, "::", {{TK_COLON, ":"}, {TK_COLON, ":"}}},
      {CPP_ONLY, "::", {{TK_SCOPE, "::"}}},
      {CPP_ONLY, ":::", {{TK_SCOPE, "::"}, {TK_COLON, ":"}}},
      {BOTH, ":>", {{TK_RBRACKET, ":>"}}},
      {C_ONLY, ".*", {{TK_DOT, "."}, {TK_STAR, "*"}}},
      {CPP_ONLY, ".*", {{TK_DOT_STAR, ".*"}}},
      {CPP_ONLY, "..*", {{TK_DOT, "."}, {TK_DOT_STAR, ".*"}}},
      {C_ONLY, "->*", {{TK_ARROW, "->"}, {TK_STAR, "*"}}},
      {CPP_ONLY, "->*", {{TK_ARROW_STAR, "->*"}}},
      {CPP_ONLY, "->x", {{TK_ARROW, "->"}, {TK_IDENTIFIER, "x"}}},
      {CPP_ONLY, "->", {{TK_ARROW, "->"}}},
      {CPP_ONLY, "-\\\n>\\\n*", {{TK_ARROW_STAR, "-\\\n>\\\n*"}}},
      {C_ONLY, "0x1p-3", {{TK_PP_NUMBER, "0x1p-3"}}},
      {C_ONLY, "1P+2", {{TK_PP_NUMBER, "1P+2"}}},
      {CPP_ONLY, "0x1p-3", {{TK_PP_NUMBER, "0x1p"}, {TK_MINUS, "-"}, {TK_PP_NUMBER, "3"}}},
      {CPP_ONLY, "1P+2", {{TK_PP_NUMBER, "1P"}, {TK_PLUS, "+"}, {TK_PP_NUMBER, "2"}}},
      {CPP_ONLY, "1e-3", {{TK_PP_NUMBER, "1e-3"}}},
      // Alternative spellings and new/delete.
      {CPP_ONLY, "and", {{TK_ANDAND, "and"}}},
      {CPP_ONLY, "and_eq", {{TK_AMP_ASSIGN, "and_eq"}}},
      {CPP_ONLY, "bitand", {{TK_AMP, "bitand"}}},
      {CPP_ONLY, "bitor", {{TK_BAR, "bitor"}}},
      {CPP_ONLY, "compl", {{TK_TILDE, "compl"}}},
      {CPP_ONLY, "delete", {{TK_DELETE, "delete"}}},
      {CPP_ONLY, "new", {{TK_NEW, "new"}}},
      {CPP_ONLY, "not", {{TK_EXCL, "not"}}},
      {CPP_ONLY, "not_eq", {{TK_NE, "not_eq"}}},
      {CPP_ONLY, "or", {{TK_OROR, "or"}}},
      {CPP_ONLY, "or_eq", {{TK_BAR_ASSIGN, "or_eq"}}},
      {CPP_ONLY, "xor", {{TK_CARET, "xor"}}},
      {CPP_ONLY, "xor_eq", {{TK_CARET_ASSIGN, "xor_eq"}}},
      {CPP_ONLY, "x and y", {{TK_IDENTIFIER, "x"}, {TK_WHITESPACE, " "}, {TK_ANDAND, "and"}, {TK_WHITESPACE, " "}, {TK_IDENTIFIER, "y"}}},
      {CPP_ONLY, "new(x)", {{TK_NEW, "new"}, {TK_LPAREN, "("}, {TK_IDENTIFIER, "x"}, {TK_RPAREN, ")"}}},
      {CPP_ONLY, "and$", {{TK_ANDAND, "and"}, {TK_OTHER, "$"}}},
      {CPP_ONLY, "or.x", {{TK_OROR, "or"}, {TK_DOT, "."}, {TK_IDENTIFIER, "x"}}},
      {CPP_ONLY, "an\\\nd", {{TK_ANDAND, "an\\\nd"}}},
      {CPP_ONLY, "bitand\\\n", {{TK_AMP, "bitand"}}},
      {CPP_ONLY, "and\\u00C", {{TK_ANDAND, "and"}, {TK_OTHER, "\\"}, {TK_IDENTIFIER, "u00C"}}},
      {CPP_ONLY, "and\\u00C1", {{TK_IDENTIFIER, "and\\u00C1"}}},
      {CPP_ONLY, "delete[]", {{TK_DELETE, "delete"}, {TK_LBRACKET, "["}, {TK_RBRACKET, "]"}}},
      // Identifiers that are no alternative spelling, in both modes.
      {BOTH, "and_", {{TK_IDENTIFIER, "and_"}}},
      {BOTH, "andx", {{TK_IDENTIFIER, "andx"}}},
      {BOTH, "and1", {{TK_IDENTIFIER, "and1"}}},
      {BOTH, "An", {{TK_IDENTIFIER, "An"}}},
      {BOTH, "AND", {{TK_IDENTIFIER, "AND"}}},
      {BOTH, "an", {{TK_IDENTIFIER, "an"}}},
      {BOTH, "a", {{TK_IDENTIFIER, "a"}}},
      {BOTH, "ne", {{TK_IDENTIFIER, "ne"}}},
      {BOTH, "news", {{TK_IDENTIFIER, "news"}}},
      {BOTH, "deleted", {{TK_IDENTIFIER, "deleted"}}},
      {BOTH, "and_eqx", {{TK_IDENTIFIER, "and_eqx"}}},
      {BOTH, "xor_eq_", {{TK_IDENTIFIER, "xor_eq_"}}},
      {BOTH, "bitan", {{TK_IDENTIFIER, "bitan"}}},
      {BOTH, "Lnew", {{TK_IDENTIFIER, "Lnew"}}},
      {BOTH, "_and", {{TK_IDENTIFIER, "_and"}}},
      {C_ONLY, "and", {{TK_IDENTIFIER, "and"}}},
      {C_ONLY, "and_eq", {{TK_IDENTIFIER, "and_eq"}}},
      {C_ONLY, "new", {{TK_IDENTIFIER, "new"}}},
      {C_ONLY, "delete", {{TK_IDENTIFIER, "delete"}}},
      {C_ONLY, "not_eq xor", {{TK_IDENTIFIER, "not_eq"}, {TK_WHITESPACE, " "}, {TK_IDENTIFIER, "xor"}}},
  };
  return cases;
}

TEST(NextToken, KindsAndExtents) {
  for (int cplusplus = 0; cplusplus <= 1; ++cplusplus) {
    for (const LexCase& test : lex_cases()) {
      if (test.mode == (cplusplus ? C_ONLY : CPP_ONLY)) continue;
      SCOPED_TRACE(std::string(cplusplus ? "C++: " : "C: ") + printable(test.text));
      RunFixture run(cplusplus);
      const char* text = run.push_text(test.text);
      EXPECT_EQ(lex(run.p, text, 1), test.tokens);
    }
  }
}

// Quiet mode must find the same extents and report nothing; with every
// warning switched on, the loud run reports what it likes.
TEST(NextToken, QuietFindsTheSameExtentsAndReportsNothing) {
  for (int cplusplus = 0; cplusplus <= 1; ++cplusplus) {
    for (const LexCase& test : lex_cases()) {
      SCOPED_TRACE(std::string(cplusplus ? "C++: " : "C: ") + printable(test.text));
      RunFixture run(cplusplus, wall_options());
      const char* text = run.push_text(test.text);
      std::vector<Tok> loud = lex(run.p, text, 0);
      run.diagnostics();
      std::vector<Tok> quiet = lex(run.p, text, 1);
      EXPECT_EQ(run.diagnostics(), "");
      EXPECT_EQ(quiet, loud);
    }
  }
}

TEST(NextToken, EmbeddedNulEndsTheText) {
  RunFixture run;
  const char* text = run.push_text(std::string("ab\0cd", 5));
  const char* cursor = text;
  EXPECT_EQ(next_token(&run.p->lex, cursor), TK_IDENTIFIER);
  EXPECT_EQ(cursor, text + 2);
  EXPECT_EQ(next_token(&run.p->lex, cursor), TK_EOF);
  EXPECT_EQ(cursor, text + 2);
}

TEST(NextToken, EofAfterTrailingSplicesRestsOnTheNul) {
  RunFixture run;
  const char* text = run.push_text("x\\\n??/\n");
  const char* cursor = text + 1;
  EXPECT_EQ(next_token(&run.p->lex, cursor), TK_EOF);
  EXPECT_EQ(cursor, text + 7);
}

struct DiagCase {
  std::string text;
  int cplusplus;
  std::string expected;  // the messages, without the location prefix
};

// Everything reported while tokenising a whole text with wall set, in order.
TEST(NextToken, Diagnostics) {
  const std::string ucn = "warning: illegal universal character name encountered\n"
                          "tip: portability requirements violated\n";
  const std::string unterminated_string = "warning: unterminated string literal encountered\n"
                                          "tip: portability requirements violated\n";
  const std::vector<DiagCase> cases = {
      {"\\u0661x", 0, ucn},
      {"x\\u0661", 0, ""},
      {"\\u0041", 0, ucn},
      {"\\u0024", 0, ""},
      {"\\u00C1", 1, ""},
      {"and\\u0041", 1, ucn},
      {"1\\u0041", 0, ucn},
      {"1\\u00C1", 0, ""},
      {"1\\u0E50", 0, ""},
      {"1\\u0661", 0, ""},
      {"1\\uD800", 0, ucn},
      {"1\\U00010000", 0, ucn},
      {"\"ab\n", 0, unterminated_string},
      {"L\"ab\n", 0, unterminated_string + unterminated_string},
      {"''", 0,
       "warning: unterminated character constant encountered\n"
       "tip: portability requirements violated\n"},
      {"'ab\n", 0,
       "warning: character constant value \"ab\" contain more than one character\n"
       "tip: portability requirements violated\n"
       "warning: unterminated character constant encountered\n"
       "tip: portability requirements violated\n"},
      {"L'ab\n", 0,
       "warning: wide character constant value \"ab\" contain more than one character\n"
       "tip: portability requirements violated\n"
       "warning: unterminated character constant encountered\n"
       "tip: portability requirements violated\n"
       "warning: character constant value \"ab\" contain more than one character\n"
       "tip: portability requirements violated\n"
       "warning: unterminated character constant encountered\n"
       "tip: portability requirements violated\n"},
      // Nothing else is diagnosed: trigraphs, splices, digraphs, stray characters, comments.
      {"??= a\\\nb <: $ @ ` \r \v \f // x\n/* y */ /* z", 0, ""},
  };
  for (const DiagCase& test : cases) {
    SCOPED_TRACE(printable(test.text));
    RunFixture run(test.cplusplus, wall_options());
    const char* text = run.push_text(test.text);
    lex(run.p, text, 0);
    std::string expected;
    size_t begin = 0;
    while (begin < test.expected.size()) {
      size_t end = test.expected.find('\n', begin) + 1;
      expected += "\"src.c\" (1) " + test.expected.substr(begin, end - begin);
      begin = end;
    }
    EXPECT_EQ(run.diagnostics(), expected);
    lex(run.p, text, 1);
    EXPECT_EQ(run.diagnostics(), "");
  }
}

// Modern mode (C23, C++23). What the same text gives without it is in the
// cases above: prefixes, separators and raw strings are theirs there.
TEST(NextToken, ModernKindsAndExtents) {
  const std::vector<LexCase> cases = {
      // No trigraphs.
      {BOTH, "??/\nx", {{TK_QUESTION, "?"}, {TK_QUESTION, "?"}, {TK_SLASH, "/"}, {TK_NEWLINE, "\n"}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "??=", {{TK_QUESTION, "?"}, {TK_QUESTION, "?"}, {TK_ASSIGN, "="}}},
      {BOTH, "/* *??/\n/x", {{TK_UNTERMINATED_COMMENT, "/* *??/\n/x"}}},
      // Encoding prefixes, spliced too; other words before a quote stay words.
      {BOTH, "u8\"a\"", {{TK_WIDE_STRING, "u8\"a\""}}},
      {BOTH, "u'a' U\"b\" L'c'", {{TK_WIDE_CHAR, "u'a'"}, {TK_WHITESPACE, " "}, {TK_WIDE_STRING, "U\"b\""},
                                   {TK_WHITESPACE, " "}, {TK_WIDE_CHAR, "L'c'"}}},
      {BOTH, "u8'a'", {{TK_WIDE_CHAR, "u8'a'"}}},
      {BOTH, "u\\\n8\"a\"", {{TK_WIDE_STRING, "u\\\n8\"a\""}}},
      {BOTH, "u9\"a\"", {{TK_IDENTIFIER, "u9"}, {TK_STRING, "\"a\""}}},
      {BOTH, "u8\"a", {{TK_IDENTIFIER, "u8"}, {TK_OTHER, "\""}, {TK_IDENTIFIER, "a"}}},
      // Digit separators.
      {BOTH, "1'000'000", {{TK_PP_NUMBER, "1'000'000"}}},
      {BOTH, "0x3'fffd x", {{TK_PP_NUMBER, "0x3'fffd"}, {TK_WHITESPACE, " "}, {TK_IDENTIFIER, "x"}}},
      {BOTH, "1'_a", {{TK_PP_NUMBER, "1'_a"}}},
      {BOTH, "1'+'", {{TK_PP_NUMBER, "1"}, {TK_CHAR, "'+'"}}},
      {BOTH, "1''", {{TK_PP_NUMBER, "1"}, {TK_OTHER, "'"}, {TK_OTHER, "'"}}},
      {BOTH, "0x1p+3", {{TK_PP_NUMBER, "0x1p+3"}}},
      // Raw strings: nothing inside is translated, lines and all.
      {CPP_ONLY, "R\"(a\\\n\"b??/)\"", {{TK_RAW_STRING, "R\"(a\\\n\"b??/)\""}}},
      {CPP_ONLY, "R\"xy()\")xy\"z", {{TK_RAW_STRING, "R\"xy()\")xy\"z"}}},
      {CPP_ONLY, "LR\"(a)\" u8R\"(b)\" uR\"(c)\" UR\"(d)\"",
       {{TK_RAW_STRING, "LR\"(a)\""}, {TK_WHITESPACE, " "}, {TK_RAW_STRING, "u8R\"(b)\""}, {TK_WHITESPACE, " "},
        {TK_RAW_STRING, "uR\"(c)\""}, {TK_WHITESPACE, " "}, {TK_RAW_STRING, "UR\"(d)\""}}},
      {CPP_ONLY, "R\"0123456789abcdef()0123456789abcdef\"", {{TK_RAW_STRING, "R\"0123456789abcdef()0123456789abcdef\""}}},
      {CPP_ONLY, "R\"0123456789abcdefg()0123456789abcdefg\"",
       {{TK_IDENTIFIER, "R"}, {TK_STRING, "\"0123456789abcdefg()0123456789abcdefg\""}}},
      {CPP_ONLY, "R\"a b(x)a b\"", {{TK_IDENTIFIER, "R"}, {TK_STRING, "\"a b(x)a b\""}}},
      {CPP_ONLY, "R\"(a)\r\nb", {{TK_UNTERMINATED_RAW_STRING, "R\"(a)\r\nb"}}},
      {C_ONLY, "R\"(a)\"", {{TK_IDENTIFIER, "R"}, {TK_STRING, "\"(a)\""}}},
      // User-defined literals.
      {CPP_ONLY, "\"a\"_s 'b'_c \"\"_km u8\"x\"_v R\"(y)\"_w",
       {{TK_STRING, "\"a\"_s"}, {TK_WHITESPACE, " "}, {TK_CHAR, "'b'_c"}, {TK_WHITESPACE, " "},
        {TK_STRING, "\"\"_km"}, {TK_WHITESPACE, " "}, {TK_WIDE_STRING, "u8\"x\"_v"}, {TK_WHITESPACE, " "},
        {TK_RAW_STRING, "R\"(y)\"_w"}}},
      {CPP_ONLY, "\"a\"1", {{TK_STRING, "\"a\""}, {TK_PP_NUMBER, "1"}}},
      {C_ONLY, "\"a\"_s", {{TK_STRING, "\"a\""}, {TK_IDENTIFIER, "_s"}}},
      {BOTH, "42_km 1.5e3_km", {{TK_PP_NUMBER, "42_km"}, {TK_WHITESPACE, " "}, {TK_PP_NUMBER, "1.5e3_km"}}},
      // New tokens.
      {BOTH, "a::b", {{TK_IDENTIFIER, "a"}, {TK_SCOPE, "::"}, {TK_IDENTIFIER, "b"}}},
      {CPP_ONLY, "a<=>b <=", {{TK_IDENTIFIER, "a"}, {TK_SPACESHIP, "<=>"}, {TK_IDENTIFIER, "b"}, {TK_WHITESPACE, " "}, {TK_LE, "<="}}},
      {C_ONLY, "a<=>b", {{TK_IDENTIFIER, "a"}, {TK_LE, "<="}, {TK_GT, ">"}, {TK_IDENTIFIER, "b"}}},
      {CPP_ONLY, "A<::B> <::> <:::", {{TK_IDENTIFIER, "A"}, {TK_LT, "<"}, {TK_SCOPE, "::"}, {TK_IDENTIFIER, "B"},
                                     {TK_GT, ">"}, {TK_WHITESPACE, " "}, {TK_LBRACKET, "<:"}, {TK_RBRACKET, ":>"},
                                     {TK_WHITESPACE, " "}, {TK_LBRACKET, "<:"}, {TK_SCOPE, "::"}}},
      {C_ONLY, "A<::B>", {{TK_IDENTIFIER, "A"}, {TK_LBRACKET, "<:"}, {TK_COLON, ":"}, {TK_IDENTIFIER, "B"}, {TK_GT, ">"}}},
      // Delimited and named escapes.
      {BOTH, "\"\\x{41}\\o{7}\\u{1F600}\\N{LATIN SMALL LETTER A}\"", {{TK_STRING, "\"\\x{41}\\o{7}\\u{1F600}\\N{LATIN SMALL LETTER A}\""}}},
  };
  for (int cplusplus = 0; cplusplus <= 1; ++cplusplus) {
    for (const LexCase& test : cases) {
      if (test.mode == (cplusplus ? C_ONLY : CPP_ONLY)) continue;
      SCOPED_TRACE(std::string(cplusplus ? "C++: " : "C: ") + printable(test.text));
      RunFixture run(cplusplus, wall_options());
      run.p->lex.modern = true;
      const char* text = run.push_text(test.text);
      std::vector<Tok> loud = lex(run.p, text, 0);
      EXPECT_EQ(loud, test.tokens);
      run.diagnostics();
      EXPECT_EQ(lex(run.p, text, 1), loud);
      EXPECT_EQ(run.diagnostics(), "");
    }
  }
}

TEST(NextToken, ModernDiagnostics) {
  const std::vector<DiagCase> cases = {
      // No value of a u8, u or U literal is checked; L's and plain ones are.
      {"u8'ab' u'\\777' U\"\\xfffffffff\" u8\"\\400\"", 0, ""},
      {"'\\400'", 0,
       "warning: octal escape sequence value \"\\400\" is out of representable range\n"
       "tip: portability requirements violated\n"
       "tip: the value shall be representable in type \"unsigned char\"\n"},
      {"u'\\q'", 0, "warning: illegal escape sequence \"\\q\" encountered\ntip: portability requirements violated\n"},
      {"\"\\x{}\"", 0,
       "warning: illegal hexadecimal escape sequence \"\\x{\" encountered\ntip: portability requirements violated\n"},
      {"0x3'0000", 0, ""},
      {"R\"(a\n", 1, "error: unterminated raw string literal\n"},
      {"R\"(a\n", 0, "warning: unterminated string literal encountered\ntip: portability requirements violated\n"},
  };
  for (const DiagCase& test : cases) {
    SCOPED_TRACE(printable(test.text));
    RunFixture run(test.cplusplus, wall_options());
    run.p->lex.modern = true;
    const char* text = run.push_text(test.text);
    lex(run.p, text, 0);
    std::string expected;
    size_t begin = 0;
    while (begin < test.expected.size()) {
      size_t end = test.expected.find('\n', begin) + 1;
      expected += "\"src.c\" (1) " + test.expected.substr(begin, end - begin);
      begin = end;
    }
    EXPECT_EQ(run.diagnostics(), expected);
  }
}

}  // namespace
