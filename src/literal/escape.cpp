#include "literal/escape.h"

#include "diag/diagnostics.h"
#include "driver/preprocessor.h"
#include "lex/char_input.h"
#include "lex/ucn.h"
#include "memory/pool.h"
#include "source/token_list.h"

static uint64_t escape_limit(const Preprocessor* p, int wide) {
  return static_cast<uint64_t>(wide ? p->settings->wchar_max : p->settings->uchar_max);
}

static const char* escape_type_name(int wide) { return wide ? "wchar_t" : "unsigned char"; }

static bool is_octal_digit(int c) { return c >= '0' && c <= '7'; }

// An out-of-range sequence: the portability text when those warnings are on,
// else the unsafe-code text; then the tip naming the type.
static void report_out_of_range(Preprocessor* p, const char* digits_begin, const char* digits_end, int wide,
                                const char* portability_format, const char* unsafe_format) {
  char* digits = token_spelling(p->store, digits_begin, digits_end);
  int shown = diag_portability(&p->report, portability_format, digits);
  if (!shown) shown = diag_unsafe(&p->report, unsafe_format, digits);
  if (shown) diag_tip(&p->report, "the value shall be representable in type \"%s\"", escape_type_name(wide));
  pool_free(digits);
}

int read_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p) {
  const char* after_backslash = cursor;
  uint32_t code_point;
  if (read_ucn(cursor, &code_point)) {
    if (!quiet && !ucn_value_allowed(code_point)) diag_portability(&p->report, "illegal universal character name encountered");
    *value = code_point;
    return 1;
  }
  int c = read_char(cursor);
  int simple = simple_escape_value(c);
  if (simple >= 0) {
    *value = static_cast<uint64_t>(simple);
    return 1;
  }
  if (c == 'x') {
    if (read_hex_escape(cursor, value, wide, quiet, p)) return 1;
    cursor = after_backslash;
    return 0;
  }
  if (is_octal_digit(c)) {
    cursor = after_backslash;
    return read_octal_escape(cursor, value, wide, quiet, p);
  }
  if (!quiet) diag_portability(&p->report, "illegal escape sequence \"\\%c\" encountered", static_cast<unsigned char>(c));
  cursor = after_backslash;
  return 0;
}

int read_octal_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p) {
  const uint64_t limit = escape_limit(p, wide);
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
    if (!quiet) {
      report_out_of_range(p, digits_begin, cursor, wide,
                          "octal escape sequence value \"\\%s\" is out of representable range",
                          "octal escape sequence \"\\%s\" is out of representable range");
    }
    result &= limit;
  }
  *value = result;
  return 1;
}

int read_hex_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p) {
  const uint64_t limit = escape_limit(p, wide);
  const char* digits_begin = cursor;
  int c = read_char(cursor);
  if (hex_digit_value(c) < 0) {
    if (!quiet) {
      const char* format = "illegal hexadecimal escape sequence \"\\x%c\" encountered";
      if (!diag_portability(&p->report, format, static_cast<unsigned char>(c))) diag_warning(&p->report, format, static_cast<unsigned char>(c));
    }
    return 0;
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
    if (!quiet) {
      report_out_of_range(p, digits_begin, cursor, wide,
                          "hexadecimal escape sequence value \"\\x%s\" is out of representable range",
                          "hexadecimal escape sequence \"\\x%s\" is out of representable range");
    }
    result &= limit;
  }
  *value = result;
  return 1;
}
