#include "lex/tokenizer.h"

#include <cstdint>
#include <cstring>

#include "diag/diagnostics.h"
#include "lex/char_class.h"
#include "lex/char_input.h"
#include "lex/identifier.h"
#include "lex/lex_state.h"
#include "lex/name_filter.h"
#include "lex/ucn.h"
#include "literal/quoted_literal.h"

namespace {

// Logical characters are signed: bytes from 0x80 up are negative and belong
// to the rest class, like DEL.
inline CharClass class_of(int c) { return c < 0 ? CC_REST : kChars.cls[c]; }

inline bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// After the opening slash and star; false when the text ends first (the
// cursor then rests on the NUL).
//
// The search is for slashes, not stars: comments are often lined with stars
// while a slash inside one is rare, so a single strchr mostly reaches the
// end. A slash closes the comment when the logical character before it is a
// star, and that character can be found by stepping back over raw bytes:
// trigraphs and splices are recognised from the raw text alone, "??/" is
// always a trigraph (when there are trigraphs), a backslash (raw or "??/")
// before a line end (LF or CR LF) always splices, and a star or a slash is part of neither but for the slash that
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
    if (g_trigraphs && before[-1] == '?' && before[-2] == '?') continue;  // "??/": a backslash, no slash
    while (before[-1] == '\n') {
      // The line end is a LF or a CR LF pair.
      const char* line_end = before[-2] == '\r' ? before - 2 : before - 1;
      if (line_end[-1] == '\\') {
        before = line_end - 1;
      } else if (g_trigraphs && line_end[-1] == '/' && line_end[-2] == '?' && line_end[-3] == '?') {
        before = line_end - 3;
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
    // Only a new-line, a CR that may begin a CR LF line end, a NUL, or a
    // '?' or backslash that may splice the line on, needs a look; strcspn
    // stops at the NUL as well.
    scan += strcspn(scan, "\n\r?\\");
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
    while (byte_is(*scan, CHAR_BLANK)) ++scan;
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
  // C++ took the binary exponent's sign with C++17.
  const bool exponent_p = !ls->cplusplus || ls->modern;
  const char* scan = cursor;
  for (;;) {
    while (byte_is(*scan, CHAR_PP_NUMBER)) ++scan;
    const char* before = scan;
    int c = read_char(scan);
    if (c == 'E' || c == 'e' || (exponent_p && (c == 'P' || c == 'p'))) {
      const char* after_exponent = scan;
      int sign = read_char(scan);
      if (sign != '+' && sign != '-') scan = after_exponent;
      continue;
    }
    if (is_identifier_char(c) || c == '.') continue;
    // A digit separator: a quote followed by a digit, a letter or '_'.
    if (c == '\'' && ls->modern && is_identifier_char(read_char(scan))) continue;
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

// Modern C++: an identifier right after a literal is its user-defined
// suffix, part of the token. The cursor stands after the literal.
TokenKind with_suffix(const LexState* ls, const char*& cursor, TokenKind kind) {
  if (!ls->cplusplus) return kind;
  const char* scan = cursor;
  int c = read_char(scan);
  if (c == '\\') {
    uint32_t value;
    if (!read_ucn(scan, &value)) return kind;
    check_ucn(ls, value, UCN_IDENTIFIER_START);
  } else if (!is_identifier_char(c) || (c >= '0' && c <= '9')) {
    return kind;
  }
  scan_identifier(ls, scan);
  cursor = scan;
  return kind;
}

// What an identifier right before a quote means in modern mode.
struct EncodingPrefix {
  bool literal;  // u8, u, U or L: a string literal or character constant
  bool raw;      // R, LR, u8R, uR, UR (C++): a raw string literal
  CharWidth width;
};

EncodingPrefix encoding_prefix(const LexState* ls, const char* begin, const char* end) {
  char word[4];
  size_t length = 0;
  for (const char* cursor = begin; cursor < end;) {
    if (length == 3) return EncodingPrefix{false, false, CharWidth::NARROW};
    word[length++] = static_cast<char>(read_char(cursor));
  }
  word[length] = '\0';
  static const char* const kLiteral[] = {"u8", "u", "U"};
  for (const char* prefix : kLiteral) {
    if (strcmp(word, prefix) == 0) return EncodingPrefix{true, false, CharWidth::UNCHECKED};
  }
  if (strcmp(word, "L") == 0) return EncodingPrefix{true, false, CharWidth::WIDE};
  static const char* const kRaw[] = {"R", "LR", "u8R", "uR", "UR"};
  for (const char* prefix : kRaw) {
    if (ls->cplusplus && strcmp(word, prefix) == 0) return EncodingPrefix{false, true, CharWidth::NARROW};
  }
  return EncodingPrefix{false, false, CharWidth::NARROW};
}

bool is_delimiter_char(char c) {
  switch (c) {
    case '\0': case ' ': case '(': case ')': case '\\': case '\t': case '\v': case '\f': case '\n': case '\r':
      return false;
    default:
      return true;
  }
}

enum class RawScan { COMPLETE, NONE, UNTERMINATED };

// A raw string literal after its opening quote, read as raw bytes: nothing
// inside it is translated. NONE when no delimiter and '(' follow (the cursor
// stays); UNTERMINATED when the text ends first (the cursor at its end).
RawScan scan_raw_string(const LexState* ls, const char*& cursor) {
  const char* delimiter = cursor;
  const char* scan = cursor;
  while (scan - delimiter <= 16 && is_delimiter_char(*scan)) ++scan;
  if (*scan != '(' || scan - delimiter > 16) return RawScan::NONE;
  const size_t length = static_cast<size_t>(scan - delimiter);
  for (++scan;; ++scan) {
    scan = strchr(scan, ')');
    if (!scan) break;
    if (strncmp(scan + 1, delimiter, length) == 0 && scan[1 + length] == '"') {
      cursor = scan + length + 2;
      return RawScan::COMPLETE;
    }
  }
  cursor += strlen(cursor);
  if (!ls->quiet) diag_error(ls->report, "unterminated raw string literal");
  return RawScan::UNTERMINATED;
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

// Modern mode: an identifier may be the prefix of the literal after it.
// The first character has been read; cursor stands after it.
TokenKind word_or_literal(const LexState* ls, const char* start, const char*& cursor, int c1) {
  TokenKind kind = ls->cplusplus ? identifier_or_alternative(ls, start, cursor, c1) : scan_identifier(ls, cursor);
  if (kind != TK_IDENTIFIER) return kind;
  const char* scan = cursor;
  int quote = read_char(scan);
  if (quote != '"' && quote != '\'') return kind;
  EncodingPrefix prefix = encoding_prefix(ls, start, cursor);
  if (prefix.raw && quote == '"') {
    switch (scan_raw_string(ls, scan)) {
      case RawScan::COMPLETE:
        cursor = scan;
        return with_suffix(ls, cursor, TK_RAW_STRING);
      case RawScan::UNTERMINATED:
        cursor = scan;
        return TK_UNTERMINATED_RAW_STRING;
      case RawScan::NONE:
        return kind;
    }
  }
  if (!prefix.literal) return kind;
  // A literal that does not end leaves the prefix an identifier; its quote
  // is read, and reported, as a token of its own.
  const LexState quiet = quiet_lex_state(*ls);
  const char* probe = scan;
  bool string = quote == '"';
  if (!(string ? scan_string_literal(&quiet, probe, prefix.width) : scan_char_constant(&quiet, probe, prefix.width))) {
    return kind;
  }
  if (!ls->quiet) string ? scan_string_literal(ls, scan, prefix.width) : scan_char_constant(ls, scan, prefix.width);
  cursor = probe;
  return with_suffix(ls, cursor, string ? TK_WIDE_STRING : TK_WIDE_CHAR);
}

TokenKind operator_token(const LexState* ls, const char*& cursor, int c1, const char* after1) {
  int c2 = read_char(cursor);
  const char* after2 = cursor;
  if (c1 == '<' && ls->modern && ls->cplusplus) {
    if (c2 == '=') {
      if (read_char(cursor) == '>') return TK_SPACESHIP;
      cursor = after2;
      return TK_LE;
    }
    // "<::" is '<' and "::" unless a ':' or '>' follows: a template
    // argument list, not the digraph of '['.
    if (c2 == ':') {
      const char* scan = after2;
      if (read_char(scan) == ':') {
        int c4 = read_char(scan);
        if (c4 != ':' && c4 != '>') {
          cursor = after1;
          return TK_LT;
        }
      }
    }
  }
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
      if (scan_string_literal(ls, cursor, CharWidth::NARROW)) return ls->modern ? with_suffix(ls, cursor, TK_STRING) : TK_STRING;
      cursor = after1;
      return TK_OTHER;
    case CC_SINGLE_QUOTE:
      if (scan_char_constant(ls, cursor, CharWidth::NARROW)) return ls->modern ? with_suffix(ls, cursor, TK_CHAR) : TK_CHAR;
      cursor = after1;
      return TK_OTHER;
    case CC_L: {
      if (ls->modern) return word_or_literal(ls, start, cursor, c1);
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
      if (ls->modern) return word_or_literal(ls, start, cursor, c1);
      if (!ls->cplusplus) {
        // Most identifiers end at a plain byte; only a '?' or a backslash
        // (a trigraph, a splice or a UCN) needs the full scan.
        while (byte_is(*cursor, CHAR_IDENTIFIER)) ++cursor;
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
      if (c2 == ':' && (ls->cplusplus || ls->modern)) return TK_SCOPE;
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

// An identifier whose first byte is a letter, hashed on the way when asked.
inline __attribute__((always_inline)) TokenKind read_identifier(const LexState* ls, const char*& cursor,
                                                               uint32_t* name_hash) {
  const char* scan = cursor;
  uint32_t hash = name_hash_step(0, static_cast<unsigned char>(*scan));
  ++scan;
  while (byte_is(*scan, CHAR_IDENTIFIER)) hash = name_hash_step(hash, static_cast<unsigned char>(*scan++));
  // Only a '?' or a backslash (a trigraph, a splice or a UCN) can carry
  // the identifier past a byte that is not a plain identifier byte; in
  // modern mode a quote after it may make it a literal's prefix, which the
  // full reading finds.
  if (*scan == '?' || *scan == '\\' || (ls->modern && (*scan == '"' || *scan == '\''))) {
    if (name_hash) *name_hash = kNoNameHash;
    if (ls->modern) return next_token_in_full(ls, cursor);
    cursor = scan;
    return scan_identifier(ls, cursor);
  }
  cursor = scan;
  if (name_hash) *name_hash = hash & kNameHashMask;
  return TK_IDENTIFIER;
}

// The tokeniser's first look at a token: the common tokens are taken from
// their first byte with plain-byte loops, everything else is read in full.
// With `name_hash`, an identifier of plain bytes is hashed on the way; the
// hash is kNoNameHash when the identifier was read otherwise.
inline __attribute__((always_inline)) TokenKind read_token(const LexState* ls, const char*& cursor,
                                                          uint32_t* name_hash) {
  const char* scan = cursor;
  unsigned char c = static_cast<unsigned char>(*scan);
  FirstByteAction action = kChars.first[c];
  // The four most common kinds are tested one by one, most common first,
  // before the switch: these branches are predicted better than its
  // indirect jump.
  if (action == FB_LETTER || (action == FB_OPERATOR_WORD_LETTER && !ls->cplusplus)) {
    return read_identifier(ls, cursor, name_hash);
  }
  if (name_hash) *name_hash = kNoNameHash;
  if (action == FB_BLANK) {
    ++scan;
    while (byte_is(*scan, CHAR_BLANK)) ++scan;
    cursor = scan;
    if (byte_is(*scan, CHAR_WHITESPACE_GOES_ON)) return continue_whitespace_run(cursor);
    return TK_WHITESPACE;
  }
  if (action == FB_PUNCTUATOR) {
    cursor = scan + 1;
    return static_cast<TokenKind>(kChars.alone[c]);
  }
  if (action == FB_NEWLINE) {
    ++scan;
    while (*scan == '\n') ++scan;
    cursor = scan;
    if (*scan == '?' || *scan == '\\' || *scan == '\r') skip_newline_run(cursor);
    return TK_NEWLINE;
  }
  switch (action) {
    case FB_DIGIT:
      ++scan;
      while (byte_is(*scan, CHAR_PP_NUMBER)) ++scan;
      cursor = scan;
      if (byte_is(*scan, CHAR_NUMBER_GOES_ON)) return scan_pp_number(ls, cursor);
      return TK_PP_NUMBER;
    case FB_OPERATOR: {
      if (byte_is(scan[1], CHAR_ENDS_OPERATOR)) {
        cursor = scan + 1;
        return static_cast<TokenKind>(kChars.alone[c]);
      }
      // The second byte is plain here whenever it matches, so it is the
      // second character; no third one changes these pairs but "<=>" of
      // modern C++.
      unsigned char c2 = static_cast<unsigned char>(scan[1]);
      if (c2 == '=' && kChars.assigned[c] && !(c == '<' && ls->modern && ls->cplusplus)) {
        cursor = scan + 2;
        return static_cast<TokenKind>(kChars.assigned[c]);
      }
      if (c2 == c && kChars.doubled[c]) {
        cursor = scan + 2;
        return static_cast<TokenKind>(kChars.doubled[c]);
      }
      // C++ has "->*" too.
      if (c == '-' && c2 == '>' && (!ls->cplusplus || byte_is(scan[2], CHAR_ENDS_OPERATOR))) {
        cursor = scan + 2;
        return TK_ARROW;
      }
      break;
    }
    case FB_DOT:
      if (byte_is(scan[1], CHAR_ENDS_DOT)) {
        cursor = scan + 1;
        return TK_DOT;
      }
      break;
    case FB_L:
      // A letter unless a quote follows it (a wide literal), perhaps
      // after a splice or through a trigraph.
      if (scan[1] != '"' && scan[1] != '\'' && scan[1] != '?' && scan[1] != '\\') {
        return read_identifier(ls, cursor, name_hash);
      }
      break;
    default:  // FB_IN_FULL, and C++ letters that may begin an operator word
      break;
  }
  return next_token_in_full(ls, cursor);
}

}  // namespace

const char* literal_suffix(const LexState* ls, TokenKind kind, const char* begin, const char* end) {
  if (!suffixes_are_names(*ls)) return end;
  switch (kind) {
    case TK_STRING: case TK_WIDE_STRING: case TK_CHAR: case TK_WIDE_CHAR: case TK_RAW_STRING: {
      // A suffix holds no quote: it follows the last one.
      const char* scan = end;
      while (scan > begin && scan[-1] != '"' && scan[-1] != '\'') --scan;
      return scan;
    }
    case TK_PP_NUMBER: {
      const char* underscore = static_cast<const char*>(memchr(begin, '_', static_cast<size_t>(end - begin)));
      if (!underscore) return end;
      const LexState quiet = quiet_lex_state(*ls);
      const char* scan = underscore + 1;
      scan_identifier(&quiet, scan);
      return scan == end ? underscore : end;
    }
    default:
      return end;
  }
}

TokenKind next_token(const LexState* ls, const char*& cursor) {
  set_trigraphs(!ls->modern);
  return read_token(ls, cursor, nullptr);
}

ScanStop scan_to_name(const LexState* ls, LineScan* scan, const NameFilter& filter) {
  set_trigraphs(!ls->modern);
  // The scan's fields live in locals while it runs. `last` is the token
  // before the one being read.
  const char* cursor = scan->cursor;
  TokenKind last_kind = scan->previous_kind;
  const char* last_begin = scan->previous_begin;
  const char* last_end = scan->previous_end;
  if (scan->started) {
    last_kind = scan->token_kind;
    last_begin = scan->token_begin;
    last_end = scan->end;
  }
  const bool suffixes = suffixes_are_names(*ls);
  bool started = scan->started;
  for (;;) {
    const char* ws_begin = cursor;
    // Blanks and one-byte punctuators, the commonest bytes between names,
    // are stepped over here; a blank that a comment, a splice or a trigraph
    // may carry on is left to read_token.
    for (;;) {
      unsigned char c = static_cast<unsigned char>(*cursor);
      FirstByteAction action = kChars.first[c];
      if (action == FB_PUNCTUATOR) {
        last_kind = static_cast<TokenKind>(kChars.alone[c]);
        last_begin = cursor;
        last_end = ++cursor;
        ws_begin = cursor;
        started = true;
      } else if (action == FB_BLANK && !byte_is(cursor[1], CHAR_WHITESPACE_GOES_ON)) {
        ++cursor;
      } else {
        break;
      }
    }
    const char* begin = cursor;
    uint32_t hash;
    TokenKind kind = read_token(ls, cursor, &hash);
    if (kind == TK_WHITESPACE) {
      begin = cursor;
      kind = read_token(ls, cursor, &hash);
    }
    if (!started) {
      started = true;
      scan->directive = kind == TK_HASH;
    }
    ScanStop stop;
    TokenKind token_kind = kind;
    const char* token_begin = begin;
    NameUse use = NameUse::ORDINARY;
    const char* suffix = cursor;
    if (suffixes && kind != TK_IDENTIFIER) suffix = literal_suffix(ls, kind, begin, cursor);
    if (suffix != cursor) {
      // A literal with a suffix: the suffix is a name to look at.
      bool plain = true;
      uint32_t suffix_hash = identifier_name_hash(suffix, cursor, &plain);
      if (!filter_may_hold_name(filter, suffix, suffix_hash, plain, static_cast<uint32_t>(cursor - suffix))) {
        last_kind = kind;
        last_begin = begin;
        last_end = cursor;
        continue;
      }
      scan->name_hash = suffix_hash;
      use = kind == TK_PP_NUMBER ? NameUse::NUMBER_SUFFIX : NameUse::LITERAL_SUFFIX;
      if (plain) {
        stop = ScanStop::NAME;
        begin = suffix;
        kind = TK_IDENTIFIER;
      } else {
        stop = ScanStop::TOKENS_NEEDED;
      }
    } else if (kind == TK_IDENTIFIER) {
      bool plain = true;
      if (hash == kNoNameHash) hash = identifier_name_hash(begin, cursor, &plain);
      if (!filter_may_hold_name(filter, begin, hash, plain, static_cast<uint32_t>(cursor - begin))) {
        last_kind = kind;
        last_begin = begin;
        last_end = cursor;
        continue;
      }
      scan->name_hash = hash;
      // A name spelled across a splice or with a UCN is left to the
      // tokens, which read it by its logical characters.
      stop = plain ? ScanStop::NAME : ScanStop::TOKENS_NEEDED;
    } else if (kind == TK_NEWLINE) {
      stop = ScanStop::LINE_END;
    } else if (kind == TK_EOF || kind == TK_UNTERMINATED_COMMENT || kind == TK_UNTERMINATED_RAW_STRING) {
      stop = ScanStop::TOKENS_NEEDED;
    } else {
      last_kind = kind;
      last_begin = begin;
      last_end = cursor;
      continue;
    }
    scan->cursor = cursor;
    scan->kind = kind;
    scan->token_kind = token_kind;
    scan->token_begin = token_begin;
    scan->use = use;
    scan->ws_begin = ws_begin;
    scan->begin = begin;
    scan->end = cursor;
    scan->previous_kind = last_kind;
    scan->previous_begin = last_begin;
    scan->previous_end = last_end;
    scan->started = started;
    return stop;
  }
}
