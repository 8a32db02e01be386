#include "literal/escape.h"

#include "diag/diagnostics.h"
#include "lex/char_input.h"
#include "lex/lex_state.h"
#include "lex/ucn.h"
#include "memory/pool.h"

static uint64_t escape_limit(const LexState* ls, CharWidth width) {
  if (width == CharWidth::UNCHECKED) return UINT64_MAX;
  return static_cast<uint64_t>(width == CharWidth::WIDE ? ls->limits->wchar_max : ls->limits->uchar_max);
}

static bool is_octal_digit(int c);

// Modern mode: a delimited escape sequence (\x{...}, \o{...}, \u{...}) or a
// named one (\N{...}), read without diagnostics. The cursor stands after
// the backslash; it moves only when the sequence is complete.
static bool read_braced_escape(const char*& cursor, uint64_t* value) {
  const char* scan = cursor;
  int kind = read_char(scan);
  if (kind != 'x' && kind != 'o' && kind != 'u' && kind != 'N') return false;
  if (read_char(scan) != '{') return false;
  uint64_t result = 0;
  int count = 0;
  for (;;) {
    int c = read_char(scan);
    if (c == '}') break;
    bool fits = kind == 'o'   ? is_octal_digit(c)
                : kind == 'N' ? (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                    c == ' ' || c == '-'
                              : hex_digit_value(c) >= 0;
    if (!fits) return false;
    if (kind != 'N') result = result * (kind == 'o' ? 8 : 16) + static_cast<uint64_t>(hex_digit_value(c));
    ++count;
  }
  if (count == 0) return false;
  *value = kind == 'N' ? '?' : result;
  cursor = scan;
  return true;
}

static const char* escape_type_name(CharWidth width) { return width == CharWidth::WIDE ? "wchar_t" : "unsigned char"; }

static bool is_octal_digit(int c) { return c >= '0' && c <= '7'; }

// An out-of-range sequence: the portability text when those warnings are on,
// else the unsafe-code text; then the tip naming the type.
static void report_out_of_range(const LexState* ls, const char* digits_begin, const char* digits_end, CharWidth width,
                                const char* portability_format, const char* unsafe_format) {
  char* digits = token_spelling(ls->pool, digits_begin, digits_end);
  bool shown = diag_portability(ls->report, portability_format, digits);
  if (!shown) shown = diag_unsafe(ls->report, unsafe_format, digits);
  if (shown) diag_tip(ls->report, "the value shall be representable in type \"%s\"", escape_type_name(width));
  pool_free(digits);
}

bool read_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width) {
  const char* after_backslash = cursor;
  if (ls->modern && read_braced_escape(cursor, value)) return true;
  uint32_t code_point;
  if (read_ucn(cursor, &code_point)) {
    if (!ls->quiet && !ucn_value_allowed(code_point)) diag_portability(ls->report, "illegal universal character name encountered");
    *value = code_point;
    return true;
  }
  int c = read_char(cursor);
  int simple = simple_escape_value(c);
  if (simple >= 0) {
    *value = static_cast<uint64_t>(simple);
    return true;
  }
  if (c == 'x') {
    if (read_hex_escape(ls, cursor, value, width)) return true;
    cursor = after_backslash;
    return false;
  }
  if (is_octal_digit(c)) {
    cursor = after_backslash;
    return read_octal_escape(ls, cursor, value, width);
  }
  if (!ls->quiet) diag_portability(ls->report, "illegal escape sequence \"\\%c\" encountered", static_cast<unsigned char>(c));
  cursor = after_backslash;
  return false;
}

bool read_octal_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width) {
  const uint64_t limit = escape_limit(ls, width);
  const char* digits_begin = cursor;
  uint64_t result = 0;
  bool out_of_range = false;
  for (int i = 0; i < 3; ++i) {
    const char* before = cursor;
    int c = read_char(cursor);
    if (!is_octal_digit(c)) {
      cursor = before;
      break;
    }
    result = result * 8 + static_cast<uint64_t>(c - '0');
    if (result > limit) out_of_range = true;
  }
  if (out_of_range) {
    if (!ls->quiet) {
      report_out_of_range(ls, digits_begin, cursor, width,
                          "octal escape sequence value \"\\%s\" is out of representable range",
                          "octal escape sequence \"\\%s\" is out of representable range");
    }
    result &= limit;
  }
  *value = result;
  return true;
}

bool read_hex_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width) {
  const uint64_t limit = escape_limit(ls, width);
  const char* digits_begin = cursor;
  int c = read_char(cursor);
  if (hex_digit_value(c) < 0) {
    if (!ls->quiet) {
      const char* format = "illegal hexadecimal escape sequence \"\\x%c\" encountered";
      if (!diag_portability(ls->report, format, static_cast<unsigned char>(c))) diag_warning(ls->report, format, static_cast<unsigned char>(c));
    }
    return false;
  }
  uint64_t result = 0;
  bool out_of_range = false;
  for (;;) {
    result = result * 16 + static_cast<uint64_t>(hex_digit_value(c));
    if (result > limit) out_of_range = true;
    const char* before = cursor;
    c = read_char(cursor);
    if (hex_digit_value(c) < 0) {
      cursor = before;
      break;
    }
  }
  if (out_of_range) {
    if (!ls->quiet) {
      report_out_of_range(ls, digits_begin, cursor, width,
                          "hexadecimal escape sequence value \"\\x%s\" is out of representable range",
                          "hexadecimal escape sequence \"\\x%s\" is out of representable range");
    }
    result &= limit;
  }
  *value = result;
  return true;
}
