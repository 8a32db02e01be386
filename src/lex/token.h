// Preprocessing tokens: their kinds and the record of a token list.
#pragma once

#include <cstdint>

struct IdentEntry;
struct MacroDef;

enum TokenKind : int32_t {
  TK_EOF = 0,
  TK_NEWLINE = 1,
  TK_WHITESPACE = 2,
  TK_UNTERMINATED_COMMENT = 3,
  TK_OTHER = 4,
  TK_IDENTIFIER = 5,
  TK_STRING = 6,
  TK_WIDE_STRING = 7,
  TK_CHAR = 8,
  TK_WIDE_CHAR = 9,
  TK_PP_NUMBER = 10,
  TK_LBRACKET = 11,
  TK_RBRACKET = 12,
  TK_LPAREN = 13,
  TK_RPAREN = 14,
  TK_LBRACE = 15,
  TK_RBRACE = 16,
  TK_DOT = 17,
  TK_AMP = 18,
  TK_STAR = 19,
  TK_PLUS = 20,
  TK_MINUS = 21,
  TK_TILDE = 22,
  TK_EXCL = 23,
  TK_SLASH = 24,
  TK_PERCENT = 25,
  TK_LT = 26,
  TK_GT = 27,
  TK_CARET = 28,
  TK_BAR = 29,
  TK_QUESTION = 30,
  TK_COLON = 31,
  TK_SEMICOLON = 32,
  TK_ASSIGN = 33,
  TK_COMMA = 34,
  TK_HASH = 35,
  TK_ARROW = 36,
  TK_INC = 37,
  TK_DEC = 38,
  TK_SHL = 39,
  TK_SHR = 40,
  TK_LE = 41,
  TK_GE = 42,
  TK_EQ = 43,
  TK_NE = 44,
  TK_ANDAND = 45,
  TK_OROR = 46,
  TK_STAR_ASSIGN = 47,
  TK_SLASH_ASSIGN = 48,
  TK_PERCENT_ASSIGN = 49,
  TK_PLUS_ASSIGN = 50,
  TK_MINUS_ASSIGN = 51,
  TK_AMP_ASSIGN = 52,
  TK_CARET_ASSIGN = 53,
  TK_BAR_ASSIGN = 54,
  TK_HASHHASH = 55,
  TK_ELLIPSIS = 56,
  TK_SHL_ASSIGN = 57,
  TK_SHR_ASSIGN = 58,
  TK_PLACEMARKER = 59,  // reserved: no function-like expansion here
  TK_CONCAT = 60,       // reserved: no ## in stored replacement lists here
  TK_NEW = 61,
  TK_DELETE = 62,
  TK_SCOPE = 63,
  TK_DOT_STAR = 64,
  TK_ARROW_STAR = 65,
  // Modern mode: a C++ raw string literal, "<=>" (C++), and a raw string
  // that the file ends in: it runs to the end of the text, which ends its line.
  TK_RAW_STRING = 66,
  TK_SPACESHIP = 67,
  TK_UNTERMINATED_RAW_STRING = 68,
};

constexpr TokenKind kLastTokenKind = TK_UNTERMINATED_RAW_STRING;

// One token of a singly linked list. Its spelling and the white space before
// it are extents of a text it does not own, trigraphs and splices kept.
struct Token {
  TokenKind kind;
  int32_t no_expand;
  IdentEntry* ident;  // identifiers only
  MacroDef* macro;    // identifiers only, set by the expansion engine
  const char* ws_begin;
  const char* ws_end;
  const char* text_begin;
  const char* text_end;
  Token* next;
  // A renamed user-defined-literal suffix: the rest of a literal token,
  // written right after it with nothing between.
  bool suffix;
};
