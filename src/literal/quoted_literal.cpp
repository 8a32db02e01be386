#include "literal/quoted_literal.h"

#include <cstdint>

#include "diag/diagnostics.h"
#include "lex/char_input.h"
#include "lex/lex_state.h"
#include "literal/escape.h"
#include "memory/pool.h"

namespace {

// The value of a character constant as it is read, one character at a time.
struct ConstantValue {
  uint64_t accumulator;
  bool overflow;
  int count;
};

void add_character(ConstantValue& value, uint64_t v, const LiteralLimits* limits, bool wide) {
  int64_t first_limit = wide ? limits->wchar_max : limits->char_max;
  bool is_signed = (wide ? limits->wchar_min : limits->char_min) != 0;
  value.count += 1;
  // A first character above the limit of a signed type makes the value
  // negative once it is shifted in: 0xFF under signed char becomes -1.
  if (value.count == 1 && is_signed && static_cast<int64_t>(v) > first_limit) value.accumulator = 0x7FFFFFFFFFFFFFFFull;
  if (!value.overflow && value.accumulator > 0xFF00000000000000ull) value.overflow = true;
  value.accumulator = value.accumulator << limits->char_bits | v;
}

void check_constant_value(const LexState* ls, const ConstantValue& value, const char* body_begin, const char* body_end,
                          bool wide) {
  const LiteralLimits* limits = ls->limits;
  int64_t max = wide ? limits->wchar_max : limits->int_max;
  int64_t min = wide ? limits->wchar_min : limits->int_min;
  int64_t signed_value = static_cast<int64_t>(value.accumulator);
  const char* kind = wide ? "wide character" : "character";
  char* text = token_spelling(ls->pool, body_begin, body_end);
  if (value.overflow || compare_int64(signed_value, max) > 0 || compare_int64(signed_value, min) < 0) {
    if (diag_unsafe(ls->report, "%s constant value \"%s\" is out of representable range", kind, text)) {
      diag_tip(ls->report, "the constant value shall be representable in type \"%s\"", wide ? "wchar_t" : "int");
    }
  } else if (value.count >= 2) {
    diag_portability(ls->report, "%s constant value \"%s\" contain more than one character", kind, text);
  }
  pool_free(text);
}

// The value that a rejected escape sequence contributes: any fixed value does.
constexpr uint64_t kRejectedEscapeValue = '\\';

}  // namespace

bool scan_quoted_body(const LexState* ls, const char*& cursor, QuotedKind kind, CharWidth width) {
  const bool char_constant = kind == QuotedKind::CHAR_CONSTANT;
  const bool wide = width == CharWidth::WIDE;
  const bool checked = width != CharWidth::UNCHECKED;
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
      if (!read_escape(ls, scan, &v, width)) {
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
    if (char_constant && checked) add_character(value, v, ls->limits, wide);
    end = scan;
  }
  if (!ls->quiet && char_constant && checked) check_constant_value(ls, value, start, end, wide);
  if (terminated) {
    cursor = scan;
    return true;
  }
  if (!ls->quiet) {
    diag_portability(ls->report, "unterminated %s encountered", char_constant ? "character constant" : "string literal");
  }
  return false;
}

bool scan_char_constant(const LexState* ls, const char*& cursor, CharWidth width) {
  const char* peek = cursor;
  if (read_char(peek) == '\'') return false;
  return scan_quoted_body(ls, cursor, QuotedKind::CHAR_CONSTANT, width);
}

bool scan_string_literal(const LexState* ls, const char*& cursor, CharWidth width) {
  return scan_quoted_body(ls, cursor, QuotedKind::STRING_LITERAL, width);
}
