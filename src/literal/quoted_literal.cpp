#include "literal/quoted_literal.h"

#include <cstdint>

#include "diag/diagnostics.h"
#include "driver/preprocessor.h"
#include "lex/char_input.h"
#include "literal/escape.h"
#include "memory/pool.h"
#include "source/token_list.h"

namespace {

// The value of a character constant as it is read, one character at a time.
struct ConstantValue {
  uint64_t accumulator;
  bool overflow;
  int count;
};

void add_character(ConstantValue& value, uint64_t v, const RunSettings* settings, int wide) {
  int64_t first_limit = wide ? settings->wchar_max : settings->char_max;
  bool is_signed = (wide ? settings->wchar_min : settings->char_min) != 0;
  value.count += 1;
  // A first character above the limit of a signed type makes the value
  // negative once it is shifted in: 0xFF under signed char becomes -1.
  if (value.count == 1 && is_signed && static_cast<int64_t>(v) > first_limit) value.accumulator = 0x7FFFFFFFFFFFFFFFull;
  if (!value.overflow && value.accumulator > 0xFF00000000000000ull) value.overflow = true;
  value.accumulator = value.accumulator << settings->char_bits | v;
}

void check_constant_value(Preprocessor* p, const ConstantValue& value, const char* body_begin, const char* body_end,
                          int wide) {
  const RunSettings* settings = p->settings;
  int64_t max = wide ? settings->wchar_max : settings->int_max;
  int64_t min = wide ? settings->wchar_min : settings->int_min;
  int64_t signed_value = static_cast<int64_t>(value.accumulator);
  const char* kind = wide ? "wide character" : "character";
  char* text = token_spelling(p->store, body_begin, body_end);
  if (value.overflow || compare_int64(signed_value, max) > 0 || compare_int64(signed_value, min) < 0) {
    if (diag_unsafe(&p->report, "%s constant value \"%s\" is out of representable range", kind, text)) {
      diag_tip(&p->report, "the constant value shall be representable in type \"%s\"", wide ? "wchar_t" : "int");
    }
  } else if (value.count >= 2) {
    diag_portability(&p->report, "%s constant value \"%s\" contain more than one character", kind, text);
  }
  pool_free(text);
}

// The value that a rejected escape sequence contributes: any fixed value does.
constexpr uint64_t kRejectedEscapeValue = '\\';

}  // namespace

bool scan_quoted_body(Preprocessor* p, const char*& cursor, int char_constant, int wide, int quiet) {
  const char quote = char_constant ? '\'' : '"';
  const char* start = cursor;
  const char* end = cursor;
  const char* scan = cursor;
  ConstantValue value = {0, false, 0};
  bool terminated = false;
  for (;;) {
    int c = read_char(scan);
    uint64_t v;
    if (c == '\\') {
      if (!read_escape(scan, &v, wide, quiet, p)) {
        // The backslash and the character after it count as one character.
        const char* before = scan;
        if (read_char(scan) == 0) scan = before;
        v = kRejectedEscapeValue;
      }
    } else if (c == quote) {
      terminated = true;
      break;
    } else if (c == '\n' || c == 0) {
      break;
    } else {
      v = static_cast<unsigned char>(c);
    }
    if (char_constant) add_character(value, v, p->settings, wide);
    end = scan;
  }
  if (!quiet && char_constant) check_constant_value(p, value, start, end, wide);
  if (terminated) {
    cursor = scan;
    return true;
  }
  if (!quiet) {
    diag_portability(&p->report, "unterminated %s encountered", char_constant ? "character constant" : "string literal");
  }
  return false;
}

bool scan_char_constant(Preprocessor* p, const char*& cursor, int wide, int quiet) {
  const char* peek = cursor;
  if (read_char(peek) == '\'') return false;
  return scan_quoted_body(p, cursor, 1, wide, quiet);
}

bool scan_string_literal(Preprocessor* p, const char*& cursor, int wide, int quiet) {
  return scan_quoted_body(p, cursor, 0, wide, quiet);
}
