#include "lex/char_input.h"

#include "memory/pool.h"

static int trigraph_replacement(char c) {
  switch (c) {
    case '=': return '#';
    case '(': return '[';
    case ')': return ']';
    case '\'': return '^';
    case '!': return '|';
    case '<': return '{';
    case '>': return '}';
    case '-': return '~';
    case '/': return '\\';
    default: return 0;
  }
}

__thread bool g_trigraphs = true;

int read_char_slow(const char*& cursor) {
  for (;;) {
    char c = *cursor;
    if (c == '\0') return 0;
    if (c == '?') {
      ++cursor;
      int replaced = g_trigraphs && cursor[0] == '?' ? trigraph_replacement(cursor[1]) : 0;
      if (!replaced) return '?';  // the second '?' may begin a trigraph of its own
      cursor += 2;
      if (replaced != '\\') return replaced;
    } else if (c == '\\') {
      ++cursor;
    } else if (c == '\r' && cursor[1] == '\n') {
      // A CR LF pair is one line end, read as a new-line.
      cursor += 2;
      return '\n';
    } else {
      ++cursor;
      return static_cast<signed char>(c);
    }
    // A backslash, read as such or made by ??/: only a line end (LF or CR
    // LF) right after it splices.
    if (*cursor == '\n') {
      ++cursor;
    } else if (cursor[0] == '\r' && cursor[1] == '\n') {
      cursor += 2;
    } else {
      return '\\';
    }
  }
}

char* token_spelling(Pool* pool, const char* begin, const char* end) {
  char* spelling = static_cast<char*>(pool_alloc(pool, static_cast<size_t>(end - begin) + 1));
  char* out = spelling;
  const char* cursor = begin;
  while (cursor < end) {
    int c = read_char(cursor);
    if (c == 0) break;
    *out++ = static_cast<char>(c);
  }
  *out = '\0';
  return spelling;
}

bool same_spelling(const char* a_begin, const char* a_end, const char* b_begin, const char* b_end) {
  const char* a = a_begin;
  const char* b = b_begin;
  for (;;) {
    if (a >= a_end) return b >= b_end;
    if (b >= b_end) return false;
    if (read_char(a) != read_char(b)) return false;
  }
}

int hex_digit_value(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int simple_escape_value(int c) {
  switch (c) {
    case '"': return 34;
    case '\'': return 39;
    case '?': return 63;
    case '\\': return 92;
    case 'a': return 7;
    case 'b': return 8;
    case 'f': return 12;
    case 'n': return 10;
    case 'r': return 13;
    case 't': return 9;
    case 'v': return 11;
    default: return -1;
  }
}
