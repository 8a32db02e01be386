// The logical-character reader: trigraphs and line splices are resolved on
// the fly, a CR LF pair is read as one new-line, the text itself is never
// rewritten. A NUL is the end of input and
// is never passed.
#pragma once

#include "lex/char_class.h"

struct Pool;

// Whether "??" and a third character make a trigraph: C99 and C++98 have
// them, C23 and C++23 do not. Every scanner reads logical characters with a
// cursor alone, so this is the reader's one setting; the tokeniser's entry
// points set it from their LexState, and what reads text afterwards (the
// spellings of its tokens) reads it as it was tokenised. Each thread has its
// own: jobs that run side by side read the table without the modern mode
// while their sources are read with it.
extern __thread bool g_trigraphs;  // __thread: constant-initialised, read without a wrapper call
inline void set_trigraphs(bool on) { g_trigraphs = on; }

int read_char_slow(const char*& cursor);

inline int read_char(const char*& cursor) {
  unsigned char c = static_cast<unsigned char>(*cursor);
  if (!(kChars.flags[c] & CHAR_SLOW)) {
    ++cursor;
    return static_cast<signed char>(c);
  }
  return read_char_slow(cursor);
}

// A pool string with the logical characters of an extent: trigraphs replaced,
// splices removed, everything else (universal character names too) as written.
char* token_spelling(Pool* pool, const char* begin, const char* end);

bool same_spelling(const char* a_begin, const char* a_end, const char* b_begin, const char* b_end);
int hex_digit_value(int c);
int simple_escape_value(int c);
