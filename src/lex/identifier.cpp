#include "lex/identifier.h"

#include "lex/char_input.h"
#include "lex/ucn.h"

TokenKind scan_identifier(const LexState* ls, const char*& cursor) {
  const char* scan = cursor;
  for (;;) {
    // Plain letters, digits and underscores are the bulk of every identifier.
    while (byte_is(*scan, CHAR_IDENTIFIER)) ++scan;
    const char* before = scan;
    int c = read_char(scan);
    if (is_identifier_char(c)) continue;  // after a splice
    if (c == '\\') {
      uint32_t value;
      if (read_ucn(scan, &value)) {
        check_ucn(ls, value, UCN_IDENTIFIER_CONTINUATION);
        continue;
      }
    }
    cursor = before;
    return TK_IDENTIFIER;
  }
}

// The value a spelling contributes at the cursor: a UCN's code point, else
// the character's byte value.
static uint32_t next_name_value(const char*& cursor) {
  int c = read_char(cursor);
  if (c == '\\') {
    uint32_t value;
    if (read_ucn(cursor, &value)) return value;
  }
  return static_cast<unsigned char>(c);
}

uint32_t identifier_name_hash(const char* begin, const char* end, bool* plain) {
  uint32_t h = 0;
  const char* cursor = begin;
  // Plain identifier bytes are their own values; only a backslash or a
  // question mark needs the logical reader.
  while (cursor < end && byte_is(*cursor, CHAR_IDENTIFIER)) {
    h = name_hash_step(h, static_cast<unsigned char>(*cursor++));
  }
  if (plain) *plain = cursor == end;
  while (cursor < end) h = name_hash_step(h, next_name_value(cursor));
  return h & kNameHashMask;
}

bool same_identifier(const char* a_begin, const char* a_end, const char* b_begin, const char* b_end) {
  // The common case: both spelled alike, byte for byte.
  if (a_end - a_begin == b_end - b_begin) {
    const char* a = a_begin;
    const char* b = b_begin;
    while (a < a_end && *a == *b) ++a, ++b;
    if (a == a_end) return true;
  }
  const char* a = a_begin;
  const char* b = b_begin;
  for (;;) {
    if (a >= a_end) return b >= b_end;
    if (b >= b_end) return false;
    int ca = read_char(a);
    int cb = read_char(b);
    if (ca != cb) return false;
    if (ca != '\\') continue;
    uint32_t va, vb;
    bool ucn_a = read_ucn(a, &va);
    bool ucn_b = read_ucn(b, &vb);
    if (ucn_a != ucn_b) return false;
    if (ucn_a && va != vb) return false;
  }
}
