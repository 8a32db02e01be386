// The classes of raw bytes, in one table that every scanner of the lexer
// reads: what the tokeniser does with the first byte of a token, the runs of
// bytes that its loops step over without the logical reader, and the bytes
// that identifiers and their name hash are made of. A byte of a run class is
// a logical character by itself: it can begin neither a trigraph nor a
// splice, nor end the text, so a loop may step over it without read_char.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "lex/token.h"

enum CharFlag : uint16_t {
  CHAR_IDENTIFIER = 1 << 0,  // letter, digit or underscore
  CHAR_BLANK = 1 << 1,       // space, tab, vertical tab, form feed
  CHAR_SLOW = 1 << 2,        // NUL, '?', backslash, CR: for the logical reader alone
  // Continues a number with no second look (E, e, P and p may take a sign).
  CHAR_PP_NUMBER = 1 << 3,
  // After a plain run of a number: a sign may follow, or a trigraph or splice.
  CHAR_NUMBER_GOES_ON = 1 << 4,
  // After a run of blanks: a comment, or a splice or trigraph that the plain
  // run cannot see through, may carry the white space on.
  CHAR_WHITESPACE_GOES_ON = 1 << 5,
  // No operator or punctuator takes it as its next character: after one of
  // them, an operator character is a token by itself.
  CHAR_ENDS_OPERATOR = 1 << 6,
  // After a dot: no digit (which makes a number) and nothing a dot joins.
  CHAR_ENDS_DOT = 1 << 7,
};

// The class of a logical character for the tokeniser's full reading.
enum CharClass : uint8_t {
  CC_REST,
  CC_END,
  CC_BLANK,
  CC_NEWLINE,
  CC_DOUBLE_QUOTE,
  CC_SINGLE_QUOTE,
  CC_DIGIT,
  CC_DOT,
  CC_LETTER,
  CC_L,
  CC_BACKSLASH,
  CC_SINGLE_PUNCTUATOR,
  CC_COLON,
  CC_OPERATOR,
};

// What the tokeniser does with the raw first byte of a token. Only bytes
// that are logical characters by themselves get an action other than
// FB_IN_FULL: a token that starts with '?', a backslash or a NUL may be a
// trigraph, a splice or the end.
enum FirstByteAction : uint8_t {
  FB_IN_FULL,
  FB_LETTER,
  FB_OPERATOR_WORD_LETTER,  // may begin one of the C++ operator words too
  FB_L,                     // may begin a wide literal
  FB_DIGIT,
  FB_BLANK,
  FB_NEWLINE,
  FB_PUNCTUATOR,
  FB_OPERATOR,
  FB_DOT,
};

constexpr TokenKind single_punctuator_kind(int c) {
  switch (c) {
    case '(': return TK_LPAREN;
    case ')': return TK_RPAREN;
    case ',': return TK_COMMA;
    case ';': return TK_SEMICOLON;
    case '?': return TK_QUESTION;
    case '[': return TK_LBRACKET;
    case ']': return TK_RBRACKET;
    case '{': return TK_LBRACE;
    case '}': return TK_RBRACE;
    default: return TK_TILDE;
  }
}

// A doubled operator character (c1 c1), or TK_EOF when the pair is none.
constexpr TokenKind doubled_kind(int c) {
  switch (c) {
    case '#': return TK_HASHHASH;
    case '&': return TK_ANDAND;
    case '+': return TK_INC;
    case '-': return TK_DEC;
    case '=': return TK_EQ;
    case '|': return TK_OROR;
    default: return TK_EOF;
  }
}

// An operator character followed by '=', or TK_EOF when the pair is none.
constexpr TokenKind assign_kind(int c) {
  switch (c) {
    case '!': return TK_NE;
    case '%': return TK_PERCENT_ASSIGN;
    case '&': return TK_AMP_ASSIGN;
    case '*': return TK_STAR_ASSIGN;
    case '+': return TK_PLUS_ASSIGN;
    case '-': return TK_MINUS_ASSIGN;
    case '/': return TK_SLASH_ASSIGN;
    case '<': return TK_LE;
    case '>': return TK_GE;
    case '^': return TK_CARET_ASSIGN;
    case '|': return TK_BAR_ASSIGN;
    default: return TK_EOF;
  }
}

constexpr TokenKind lone_operator_kind(int c) {
  switch (c) {
    case '!': return TK_EXCL;
    case '#': return TK_HASH;
    case '%': return TK_PERCENT;
    case '&': return TK_AMP;
    case '*': return TK_STAR;
    case '+': return TK_PLUS;
    case '-': return TK_MINUS;
    case '/': return TK_SLASH;
    case ':': return TK_COLON;
    case '<': return TK_LT;
    case '=': return TK_ASSIGN;
    case '>': return TK_GT;
    case '^': return TK_CARET;
    case '|': return TK_BAR;
    default: return TK_OTHER;
  }
}

struct CharTable {
  uint16_t flags[256];
  CharClass cls[256];
  FirstByteAction first[256];
  uint8_t alone[256];     // the token when the byte stands alone
  uint8_t doubled[256];   // the token of the byte twice, when that always is one
  uint8_t assigned[256];  // the token of the byte and '='

  constexpr CharTable() : flags(), cls(), first(), alone(), doubled(), assigned() {
    const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    for (const char* c = letters; *c; ++c) mark(*c, CHAR_IDENTIFIER | CHAR_PP_NUMBER | CHAR_ENDS_OPERATOR | CHAR_ENDS_DOT);
    for (int c = '0'; c <= '9'; ++c) mark(c, CHAR_IDENTIFIER | CHAR_PP_NUMBER | CHAR_ENDS_OPERATOR);
    for (unsigned char c : {'E', 'e', 'P', 'p'}) {
      flags[c] = static_cast<uint16_t>(flags[c] & ~CHAR_PP_NUMBER);
      mark(c, CHAR_NUMBER_GOES_ON);
    }
    mark('.', CHAR_PP_NUMBER);
    for (unsigned char c : {' ', '\t', '\v', '\f'}) mark(c, CHAR_BLANK | CHAR_ENDS_OPERATOR);
    mark('\n', CHAR_ENDS_OPERATOR);
    for (unsigned char c : {'(', ')', '[', ']', '{', '}', ',', ';', '"', '\''}) mark(c, CHAR_ENDS_OPERATOR);
    // A CR is a character of its own unless a LF follows: the pair is a line end.
    for (unsigned char c : {'\0', '?', '\\', '\r'}) mark(c, CHAR_SLOW);
    // A quote may be a digit separator (modern mode).
    for (unsigned char c : {'?', '\\', '\''}) mark(c, CHAR_NUMBER_GOES_ON);
    for (unsigned char c : {'/', '?', '\\'}) mark(c, CHAR_WHITESPACE_GOES_ON);

    cls[0] = CC_END;
    for (unsigned char c : {' ', '\t', '\v', '\f'}) cls[c] = CC_BLANK;
    cls[static_cast<unsigned char>('\n')] = CC_NEWLINE;
    cls[static_cast<unsigned char>('"')] = CC_DOUBLE_QUOTE;
    cls[static_cast<unsigned char>('\'')] = CC_SINGLE_QUOTE;
    for (int c = '0'; c <= '9'; ++c) cls[c] = CC_DIGIT;
    cls[static_cast<unsigned char>('.')] = CC_DOT;
    for (const char* c = letters; *c; ++c) cls[static_cast<unsigned char>(*c)] = CC_LETTER;
    cls[static_cast<unsigned char>('L')] = CC_L;
    cls[static_cast<unsigned char>('\\')] = CC_BACKSLASH;
    for (unsigned char c : {'(', ')', ',', ';', '?', '[', ']', '{', '}', '~'}) cls[c] = CC_SINGLE_PUNCTUATOR;
    cls[static_cast<unsigned char>(':')] = CC_COLON;
    for (unsigned char c : {'!', '#', '%', '&', '*', '+', '-', '/', '<', '=', '>', '^', '|'}) cls[c] = CC_OPERATOR;

    for (const char* c = letters; *c; ++c) first[static_cast<unsigned char>(*c)] = FB_LETTER;
    for (unsigned char c : {'a', 'b', 'c', 'd', 'n', 'o', 'x'}) first[c] = FB_OPERATOR_WORD_LETTER;
    first[static_cast<unsigned char>('L')] = FB_L;
    for (int c = '0'; c <= '9'; ++c) first[c] = FB_DIGIT;
    for (unsigned char c : {' ', '\t', '\v', '\f'}) first[c] = FB_BLANK;
    first[static_cast<unsigned char>('\n')] = FB_NEWLINE;
    for (unsigned char c : {'(', ')', ',', ';', '[', ']', '{', '}', '~'}) {
      first[c] = FB_PUNCTUATOR;
      alone[c] = static_cast<uint8_t>(single_punctuator_kind(c));
    }
    for (unsigned char c : {'!', '#', '%', '&', '*', '+', '-', '/', '<', '=', '>', '^', '|', ':'}) {
      first[c] = FB_OPERATOR;
      alone[c] = static_cast<uint8_t>(lone_operator_kind(c));
      // "<<" and ">>" may take a '=' as well: left to the full reading.
      if (c != '<' && c != '>' && doubled_kind(c) != TK_EOF) doubled[c] = static_cast<uint8_t>(doubled_kind(c));
      if (assign_kind(c) != TK_EOF) assigned[c] = static_cast<uint8_t>(assign_kind(c));
    }
    first[static_cast<unsigned char>('.')] = FB_DOT;
    alone[static_cast<unsigned char>('.')] = TK_DOT;
  }

 private:
  constexpr void mark(int c, int flag) {
    unsigned char byte = static_cast<unsigned char>(c);
    flags[byte] = static_cast<uint16_t>(flags[byte] | flag);
  }
};

inline constexpr CharTable kChars;

inline bool byte_is(char c, uint16_t flag) { return (kChars.flags[static_cast<unsigned char>(c)] & flag) != 0; }

// Letters, digits and the underscore; a logical character of any value.
constexpr bool is_identifier_char(int c) {
  return c >= 0 && c < 256 && (kChars.flags[c] & CHAR_IDENTIFIER) != 0;
}

// The name hash: 20 bits, made one logical character value at a time (a
// plain identifier byte is its own value), so that every spelling of one
// identifier has the same. Reducing to 20 bits once at the end gives the
// same value as after every step, since 2^20 divides the 2^32 that unsigned
// arithmetic wraps at.
constexpr uint32_t kNameHashMask = 0xFFFFF;
constexpr uint32_t name_hash_step(uint32_t hash, uint32_t value) { return hash * 11 + value; }
// A value no name hash takes: a name whose hash is not made yet.
constexpr uint32_t kNoNameHash = 0xFFFFFFFF;
