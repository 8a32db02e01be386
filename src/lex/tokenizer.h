// The preprocessing-token lexer: one token from a cursor into NUL-terminated
// text, with the C++ additions when the run is in C++ mode.
#pragma once

#include <cstdint>

#include "lex/token.h"

struct LexState;
struct NameFilter;

// Returns the kind of the token at the cursor and leaves the cursor after it.
// A quiet state reports nothing and finds the same extents.
TokenKind next_token(const LexState* ls, const char*& cursor);

// How a name is used: on its own, or as the user-defined suffix of a
// literal (modern C++), which is renamed as the name is. A number's suffix
// keeps the underscore it must begin with: only a target that has one
// takes its place.
enum class NameUse : uint8_t { ORDINARY, LITERAL_SUFFIX, NUMBER_SUFFIX };

// Where the user-defined suffix of a literal token [begin, end) begins in
// modern C++: after the closing quote of a string literal or character
// constant, at the first '_' of a number whose rest is an identifier.
// `end` when it has none (or the mode has none).
const char* literal_suffix(const LexState* ls, TokenKind kind, const char* begin, const char* end);

// The tokeniser's first pass over a logical line, for the renaming in place:
// token after token, checked and reported as next_token does, but with no
// token made, stopping only at what the renaming must look at.
struct LineScan {
  const char* cursor;  // where the scan goes on
  // The token it stopped at, and the white space before it (from ws_begin
  // to begin; none when they are equal).
  TokenKind kind;
  const char* ws_begin;
  const char* begin;
  const char* end;
  uint32_t name_hash;  // of a name it stopped at
  // The token it stopped at, whole: a literal when the name is its suffix.
  TokenKind token_kind;
  const char* token_begin;
  NameUse use;
  // The token before that one (none when previous_begin is null).
  TokenKind previous_kind;
  const char* previous_begin;
  const char* previous_end;
  bool directive;  // the line's first token is '#' (or "%:" or "??=")
  bool started;
};

enum class ScanStop {
  NAME,           // a plainly written identifier that the filter may hold
  LINE_END,       // the line ended; the cursor stands after its line breaks
  TOKENS_NEEDED,  // the line can be read on only as tokens, from the token it stopped at
};

inline void begin_line_scan(LineScan* scan, const char* start) {
  *scan = LineScan{start, TK_EOF, start, start, start, 0, TK_EOF, start, NameUse::ORDINARY, TK_EOF, nullptr, nullptr,
                   false, false};
}
ScanStop scan_to_name(const LexState* ls, LineScan* scan, const NameFilter& filter);
