#include "lex/tokenizer.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "lex/char_input.h"
#include "lex/identifier.h"
#include "lex/lex_state.h"
#include "lex/ucn.h"
#include "literal/quoted_literal.h"

namespace {

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

struct ClassTable {
  CharClass of[256];
  constexpr ClassTable() : of() {
    of[0] = CC_END;
    for (unsigned char c : {' ', '\t', '\v', '\f'}) of[c] = CC_BLANK;
    of[static_cast<unsigned char>('\n')] = CC_NEWLINE;
    of[static_cast<unsigned char>('"')] = CC_DOUBLE_QUOTE;
    of[static_cast<unsigned char>('\'')] = CC_SINGLE_QUOTE;
    for (int c = '0'; c <= '9'; ++c) of[c] = CC_DIGIT;
    of[static_cast<unsigned char>('.')] = CC_DOT;
    for (int c = 'a'; c <= 'z'; ++c) of[c] = CC_LETTER;
    for (int c = 'A'; c <= 'Z'; ++c) of[c] = CC_LETTER;
    of[static_cast<unsigned char>('_')] = CC_LETTER;
    of[static_cast<unsigned char>('L')] = CC_L;
    of[static_cast<unsigned char>('\\')] = CC_BACKSLASH;
    for (unsigned char c : {'(', ')', ',', ';', '?', '[', ']', '{', '}', '~'}) of[c] = CC_SINGLE_PUNCTUATOR;
    of[static_cast<unsigned char>(':')] = CC_COLON;
    for (unsigned char c : {'!', '#', '%', '&', '*', '+', '-', '/', '<', '=', '>', '^', '|'}) of[c] = CC_OPERATOR;
  }
};
constexpr ClassTable kClasses;

// Logical characters are signed: bytes from 0x80 up are negative and belong
// to the rest class, like DEL.
inline CharClass class_of(int c) { return c < 0 ? CC_REST : kClasses.of[c]; }

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
    case '&': return TK_AMP;
    case '*': return TK_STAR;
    case '+': return TK_PLUS;
    case '=': return TK_ASSIGN;
    case '>': return TK_GT;
    case '^': return TK_CARET;
    case '|': return TK_BAR;
    default: return TK_OTHER;
  }
}

inline bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// A set of raw bytes. The sets that plain-byte loops step over without
// read_char hold only bytes that are logical characters by themselves: no
// NUL, '?' or '\\', so none can begin a trigraph or a splice or end the text.
struct ByteSet {
  bool has[256];
  constexpr ByteSet(const char* listed) : has() {
    for (const char* c = listed; *c; ++c) has[static_cast<unsigned char>(*c)] = true;
  }
};
constexpr ByteSet kBlankBytes(" \t\v\f");
// Inside a number, what needs no second look: E, e, P and p may take a sign.
constexpr ByteSet kPpNumberBytes("0123456789_.abcdfghijklmnoqrstuvwxyzABCDFGHIJKLMNOQRSTUVWXYZ");

inline bool in_set(const ByteSet& set, const char* at) { return set.has[static_cast<unsigned char>(*at)]; }

// After the opening slash and star; false when the text ends first (the
// cursor then rests on the NUL).
//
// The search is for slashes, not stars: comments are often lined with stars
// while a slash inside one is rare, so a single strchr mostly reaches the
// end. A slash closes the comment when the logical character before it is a
// star, and that character can be found by stepping back over raw bytes:
// trigraphs and splices are recognised from the raw text alone, "??/" is
// always a trigraph, a backslash (raw or "??/") before a new-line always
// splices, and a star or a slash is part of neither but for the slash that
// ends "??/". The byte before the body is the opening star, which bounds
// every look back.
bool skip_block_comment(const char*& cursor) {
  const char* const body = cursor;
  const char* scan = body;
  for (;;) {
    const char* slash = strchr(scan, '/');
    if (!slash) {
      cursor = scan + strlen(scan);
      return false;
    }
    scan = slash + 1;
    const char* before = slash;  // just past the logical character before the slash
    if (before[-1] == '?' && before[-2] == '?') continue;  // "??/": a backslash, no slash
    while (before[-1] == '\n') {
      if (before[-2] == '\\') {
        before -= 2;
      } else if (before[-2] == '/' && before[-3] == '?' && before[-4] == '?') {
        before -= 4;
      } else {
        break;
      }
    }
    if (before > body && before[-1] == '*') {
      cursor = scan;
      return true;
    }
  }
}

// After the two slashes; stops before the new-line that ends the comment.
void skip_line_comment(const char*& cursor) {
  const char* scan = cursor;
  for (;;) {
    // Only a new-line, a NUL, or a '?' or backslash that may splice the
    // line on, needs a look; strcspn stops at the NUL as well.
    scan += strcspn(scan, "\n?\\");
    const char* before = scan;
    int c = read_char(scan);
    if (c == '\n' || c == 0) {
      cursor = before;
      return;
    }
  }
}

// Blanks and complete comments after something the run already holds.
TokenKind continue_whitespace_run(const char*& cursor) {
  const char* scan = cursor;
  for (;;) {
    while (in_set(kBlankBytes, scan)) ++scan;
    const char* before = scan;
    int c = read_char(scan);
    if (is_blank(c)) continue;  // after a splice
    if (c == '/') {
      int c2 = read_char(scan);
      if (c2 == '*') {
        if (skip_block_comment(scan)) continue;
        cursor = before;  // the unterminated comment starts the next token
        return TK_WHITESPACE;
      }
      if (c2 == '/') {
        skip_line_comment(scan);
        continue;
      }
    }
    cursor = before;
    return TK_WHITESPACE;
  }
}

// A token that begins with a comment; c2 is the character after the slash.
TokenKind comment_token(const char*& cursor, int c2) {
  if (c2 == '*') {
    if (!skip_block_comment(cursor)) return TK_UNTERMINATED_COMMENT;
  } else {
    skip_line_comment(cursor);
  }
  return continue_whitespace_run(cursor);
}

// Kept out of line, like every helper that next_token calls: inlined, its
// loop would make next_token save registers on every call.
__attribute__((noinline)) void skip_newline_run(const char*& cursor) {
  const char* scan = cursor;
  for (;;) {
    while (*scan == '\n') ++scan;
    const char* before = scan;
    if (read_char(scan) != '\n') {
      cursor = before;
      return;
    }
  }
}

// The digit (or dot and digit) that starts the number has been read.
__attribute__((noinline)) TokenKind scan_pp_number(const LexState* ls, const char*& cursor) {
  const bool exponent_p = !ls->cplusplus;
  const char* scan = cursor;
  for (;;) {
    while (in_set(kPpNumberBytes, scan)) ++scan;
    const char* before = scan;
    int c = read_char(scan);
    if (c == 'E' || c == 'e' || (exponent_p && (c == 'P' || c == 'p'))) {
      const char* after_exponent = scan;
      int sign = read_char(scan);
      if (sign != '+' && sign != '-') scan = after_exponent;
      continue;
    }
    if (is_identifier_char(c) || c == '.') continue;
    if (c == '\\') {
      uint32_t value;
      if (read_ucn(scan, &value)) {
        check_ucn(ls, value, UCN_PP_NUMBER);
        continue;
      }
    }
    cursor = before;
    return TK_PP_NUMBER;
  }
}

struct AlternativeWord {
  const char* word;
  TokenKind kind;
};

constexpr AlternativeWord kAlternativeWords[] = {
    {"and", TK_ANDAND},      {"and_eq", TK_AMP_ASSIGN}, {"bitand", TK_AMP},   {"bitor", TK_BAR},
    {"compl", TK_TILDE},     {"delete", TK_DELETE},     {"new", TK_NEW},      {"not", TK_EXCL},
    {"not_eq", TK_NE},       {"or", TK_OROR},           {"or_eq", TK_BAR_ASSIGN}, {"xor", TK_CARET},
    {"xor_eq", TK_CARET_ASSIGN},
};

// C++ mode: an identifier that spells one of the operator words in full is
// that operator; the cursor stands after the scanned identifier.
TokenKind alternative_kind(const char* start, const char* end) {
  char word[8];
  size_t length = 0;
  const char* cursor = start;
  while (cursor < end) {
    if (length == 6) return TK_IDENTIFIER;  // longer than every word
    word[length++] = static_cast<char>(read_char(cursor));
  }
  word[length] = '\0';
  for (const AlternativeWord& alternative : kAlternativeWords) {
    if (strcmp(word, alternative.word) == 0) return alternative.kind;
  }
  return TK_IDENTIFIER;
}

TokenKind identifier_or_alternative(const LexState* ls, const char* start, const char*& cursor, int c1) {
  scan_identifier(ls, cursor);
  switch (c1) {
    case 'a': case 'b': case 'c': case 'd': case 'n': case 'o': case 'x':
      return alternative_kind(start, cursor);
    default:
      return TK_IDENTIFIER;
  }
}

TokenKind operator_token(const LexState* ls, const char*& cursor, int c1, const char* after1) {
  int c2 = read_char(cursor);
  const char* after2 = cursor;
  if (c2 == c1) {
    if (c1 == '<' || c1 == '>') {
      if (read_char(cursor) == '=') return c1 == '<' ? TK_SHL_ASSIGN : TK_SHR_ASSIGN;
      cursor = after2;
      return c1 == '<' ? TK_SHL : TK_SHR;
    }
    TokenKind kind = doubled_kind(c1);
    if (kind != TK_EOF) return kind;
  } else if (c2 == '=') {
    TokenKind kind = assign_kind(c1);
    if (kind != TK_EOF) return kind;
  }
  switch (c1) {
    case '-':
      if (c2 == '>') {
        if (ls->cplusplus) {
          if (read_char(cursor) == '*') return TK_ARROW_STAR;
          cursor = after2;
        }
        return TK_ARROW;
      }
      cursor = after1;
      return TK_MINUS;
    case '/':
      if (c2 == '*' || c2 == '/') return comment_token(cursor, c2);
      cursor = after1;
      return TK_SLASH;
    case '<':
      if (c2 == '%') return TK_LBRACE;
      if (c2 == ':') return TK_LBRACKET;
      cursor = after1;
      return TK_LT;
    case '%':
      if (c2 == ':') {
        if (read_char(cursor) == '%' && read_char(cursor) == ':') return TK_HASHHASH;
        cursor = after2;
        return TK_HASH;
      }
      if (c2 == '>') return TK_RBRACE;
      cursor = after1;
      return TK_PERCENT;
    default:
      cursor = after1;
      return lone_operator_kind(c1);
  }
}

// Every token by the book: the first character is read logically and
// classified. next_token below takes the common cases itself and leaves the
// rest, whatever begins with a '?' or a backslash included, to this.
__attribute__((noinline)) TokenKind next_token_in_full(const LexState* ls, const char*& cursor) {
  const char* start = cursor;
  int c1 = read_char(cursor);
  const char* after1 = cursor;
  switch (class_of(c1)) {
    case CC_END:
      return TK_EOF;
    case CC_BLANK:
      return continue_whitespace_run(cursor);
    case CC_NEWLINE:
      skip_newline_run(cursor);
      return TK_NEWLINE;
    case CC_DOUBLE_QUOTE:
      if (scan_string_literal(ls, cursor, CharWidth::NARROW)) return TK_STRING;
      cursor = after1;
      return TK_OTHER;
    case CC_SINGLE_QUOTE:
      if (scan_char_constant(ls, cursor, CharWidth::NARROW)) return TK_CHAR;
      cursor = after1;
      return TK_OTHER;
    case CC_L: {
      int c2 = read_char(cursor);
      if (c2 == '"') {
        if (scan_string_literal(ls, cursor, CharWidth::WIDE)) return TK_WIDE_STRING;
        cursor = after1;
        return TK_OTHER;
      }
      if (c2 == '\'') {
        if (scan_char_constant(ls, cursor, CharWidth::WIDE)) return TK_WIDE_CHAR;
        cursor = after1;
        return TK_OTHER;
      }
      cursor = after1;
      return scan_identifier(ls, cursor);
    }
    case CC_LETTER:
      if (!ls->cplusplus) {
        // Most identifiers end at a plain byte; only a '?' or a backslash
        // (a trigraph, a splice or a UCN) needs the full scan.
        while (kIdentifierBytes.is[static_cast<unsigned char>(*cursor)]) ++cursor;
        if (*cursor != '?' && *cursor != '\\') return TK_IDENTIFIER;
        return scan_identifier(ls, cursor);
      }
      return identifier_or_alternative(ls, start, cursor, c1);
    case CC_DIGIT:
      return scan_pp_number(ls, cursor);
    case CC_DOT: {
      int c2 = read_char(cursor);
      if (c2 >= '0' && c2 <= '9') return scan_pp_number(ls, cursor);
      if (c2 == '.') {
        if (read_char(cursor) == '.') return TK_ELLIPSIS;
      } else if (c2 == '*' && ls->cplusplus) {
        return TK_DOT_STAR;
      }
      cursor = after1;
      return TK_DOT;
    }
    case CC_BACKSLASH: {
      uint32_t value;
      if (read_ucn(cursor, &value)) {
        check_ucn(ls, value, UCN_IDENTIFIER_START);
        return scan_identifier(ls, cursor);
      }
      cursor = after1;
      return TK_OTHER;
    }
    case CC_SINGLE_PUNCTUATOR:
      return single_punctuator_kind(c1);
    case CC_COLON: {
      int c2 = read_char(cursor);
      if (c2 == ':' && ls->cplusplus) return TK_SCOPE;
      if (c2 == '>') return TK_RBRACKET;
      cursor = after1;
      return TK_COLON;
    }
    case CC_OPERATOR:
      return operator_token(ls, cursor, c1, after1);
    case CC_REST:
    default:
      return TK_OTHER;
  }
}

// What next_token does with the first byte of a token.
enum FirstByteAction : uint8_t {
  FB_IN_FULL,
  FB_LETTER,
  FB_OPERATOR_WORD_LETTER,  // may begin one of the C++ operator words too
  FB_DIGIT,
  FB_BLANK,
  FB_NEWLINE,
  FB_PUNCTUATOR,
  FB_OPERATOR,
  FB_DOT,
};

// Only bytes that are logical characters by themselves get an action other
// than FB_IN_FULL: a token that starts with '?', a backslash or a NUL may be
// a trigraph, a splice or the end, and is left to next_token_in_full. So is
// 'L', which may begin a wide literal.
struct FirstByteTable {
  FirstByteAction action[256];
  uint8_t alone[256];     // the token when the byte stands alone
  uint8_t doubled[256];   // the token of the byte twice, when that always is one
  uint8_t assigned[256];  // the token of the byte and '='
  constexpr FirstByteTable() : action(), alone(), doubled(), assigned() {
    for (int c = 'a'; c <= 'z'; ++c) action[c] = FB_LETTER;
    for (int c = 'A'; c <= 'Z'; ++c) action[c] = FB_LETTER;
    action[static_cast<unsigned char>('_')] = FB_LETTER;
    action[static_cast<unsigned char>('L')] = FB_IN_FULL;
    for (unsigned char c : {'a', 'b', 'c', 'd', 'n', 'o', 'x'}) action[c] = FB_OPERATOR_WORD_LETTER;
    for (int c = '0'; c <= '9'; ++c) action[c] = FB_DIGIT;
    for (unsigned char c : {' ', '\t', '\v', '\f'}) action[c] = FB_BLANK;
    action[static_cast<unsigned char>('\n')] = FB_NEWLINE;
    for (unsigned char c : {'(', ')', ',', ';', '[', ']', '{', '}', '~'}) {
      action[c] = FB_PUNCTUATOR;
      alone[c] = static_cast<uint8_t>(single_punctuator_kind(c));
    }
    for (unsigned char c : {'!', '#', '%', '&', '*', '+', '-', '/', '<', '=', '>', '^', '|', ':'}) {
      action[c] = FB_OPERATOR;
      // "<<" and ">>" may take a '=' as well: left to next_token_in_full.
      if (c != '<' && c != '>' && doubled_kind(c) != TK_EOF) doubled[c] = static_cast<uint8_t>(doubled_kind(c));
      if (assign_kind(c) != TK_EOF) assigned[c] = static_cast<uint8_t>(assign_kind(c));
    }
    alone[static_cast<unsigned char>('!')] = TK_EXCL;
    alone[static_cast<unsigned char>('#')] = TK_HASH;
    alone[static_cast<unsigned char>('%')] = TK_PERCENT;
    alone[static_cast<unsigned char>('&')] = TK_AMP;
    alone[static_cast<unsigned char>('*')] = TK_STAR;
    alone[static_cast<unsigned char>('+')] = TK_PLUS;
    alone[static_cast<unsigned char>('-')] = TK_MINUS;
    alone[static_cast<unsigned char>('/')] = TK_SLASH;
    alone[static_cast<unsigned char>('<')] = TK_LT;
    alone[static_cast<unsigned char>('=')] = TK_ASSIGN;
    alone[static_cast<unsigned char>('>')] = TK_GT;
    alone[static_cast<unsigned char>('^')] = TK_CARET;
    alone[static_cast<unsigned char>('|')] = TK_BAR;
    alone[static_cast<unsigned char>(':')] = TK_COLON;
    action[static_cast<unsigned char>('.')] = FB_DOT;
    alone[static_cast<unsigned char>('.')] = TK_DOT;
  }
};
constexpr FirstByteTable kFirstBytes;

// After a run of blanks, what may carry the white space on: a comment, or a
// splice or trigraph that the plain-byte loop cannot see through.
constexpr ByteSet kWhitespaceGoesOn("/?\\");

// Bytes that no operator or punctuator takes as its next character: after
// one of them, an operator character is a token by itself. Digits are not
// among them for a dot, which they make a number.
constexpr ByteSet kEndsOperator(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789 \t\v\f\n()[]{},;\"'");
constexpr ByteSet kEndsDot("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");

// A plain-byte run of a number ends the number unless it stopped at one of
// these: an exponent that may take a sign, or a '?' or a backslash.
constexpr ByteSet kNumberGoesOn("EePp?\\");

}  // namespace

TokenKind next_token(const LexState* ls, const char*& cursor) {
  const char* scan = cursor;
  unsigned char c = static_cast<unsigned char>(*scan);
  FirstByteAction action = kFirstBytes.action[c];
  // The four most common kinds are tested one by one, most common first,
  // before the switch: these branches are predicted better than its
  // indirect jump.
  if (action == FB_LETTER || (action == FB_OPERATOR_WORD_LETTER && !ls->cplusplus)) {
    ++scan;
    while (kIdentifierBytes.is[static_cast<unsigned char>(*scan)]) ++scan;
    cursor = scan;
    // Only a '?' or a backslash (a trigraph, a splice or a UCN) can carry
    // the identifier past a byte that is not a plain identifier byte.
    if (*scan == '?' || *scan == '\\') return scan_identifier(ls, cursor);
    return TK_IDENTIFIER;
  }
  if (action == FB_BLANK) {
    ++scan;
    while (in_set(kBlankBytes, scan)) ++scan;
    cursor = scan;
    if (in_set(kWhitespaceGoesOn, scan)) return continue_whitespace_run(cursor);
    return TK_WHITESPACE;
  }
  if (action == FB_PUNCTUATOR) {
    cursor = scan + 1;
    return static_cast<TokenKind>(kFirstBytes.alone[c]);
  }
  if (action == FB_NEWLINE) {
    ++scan;
    while (*scan == '\n') ++scan;
    cursor = scan;
    if (*scan == '?' || *scan == '\\') skip_newline_run(cursor);
    return TK_NEWLINE;
  }
  switch (action) {
    case FB_DIGIT:
      ++scan;
      while (in_set(kPpNumberBytes, scan)) ++scan;
      cursor = scan;
      if (in_set(kNumberGoesOn, scan)) return scan_pp_number(ls, cursor);
      return TK_PP_NUMBER;
    case FB_OPERATOR: {
      if (in_set(kEndsOperator, scan + 1)) {
        cursor = scan + 1;
        return static_cast<TokenKind>(kFirstBytes.alone[c]);
      }
      // The second byte is plain here whenever it matches, so it is the
      // second character; no third one changes these pairs.
      unsigned char c2 = static_cast<unsigned char>(scan[1]);
      if (c2 == '=' && kFirstBytes.assigned[c]) {
        cursor = scan + 2;
        return static_cast<TokenKind>(kFirstBytes.assigned[c]);
      }
      if (c2 == c && kFirstBytes.doubled[c]) {
        cursor = scan + 2;
        return static_cast<TokenKind>(kFirstBytes.doubled[c]);
      }
      // C++ has "->*" too.
      if (c == '-' && c2 == '>' && (!ls->cplusplus || in_set(kEndsOperator, scan + 2))) {
        cursor = scan + 2;
        return TK_ARROW;
      }
      break;
    }
    case FB_DOT:
      if (in_set(kEndsDot, scan + 1)) {
        cursor = scan + 1;
        return TK_DOT;
      }
      break;
    default:  // FB_IN_FULL, and C++ letters that may begin an operator word
      break;
  }
  return next_token_in_full(ls, cursor);
}
