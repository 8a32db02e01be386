// What the lexer knows of the run it reads for: the language, whether and
// where to report, and the integer model that literals are checked against.
#pragma once

#include <cstdint>

struct Pool;
struct Reporter;

// The target's integer types, as character constants and escape sequences
// must fit them.
struct LiteralLimits {
  int char_bits;
  int64_t char_max;
  int64_t char_min;
  int64_t uchar_max;
  int64_t int_max;
  int64_t int_min;
  int64_t long_max;
  int64_t long_min;
  int64_t wchar_max;
  int64_t wchar_min;
};

struct LexState {
  bool cplusplus;
  bool quiet;  // nothing is reported; the same extents are found
  Reporter* report;
  const LiteralLimits* limits;
  Pool* pool;  // for the spellings that messages quote
  // C23 or C++23 rather than C99 or C++98: no trigraphs; literal prefixes,
  // digit separators, and in C++ raw strings and user-defined literals.
  bool modern;
};

// Whether a literal's suffix is a name that may be renamed: in modern C++,
// where literals take user-defined suffixes.
inline bool suffixes_are_names(const LexState& state) { return state.modern && state.cplusplus; }

// The same state reading without reports: for text that was checked
// already, or that is looked at only to find where a token ends.
inline LexState quiet_lex_state(const LexState& state) {
  LexState quiet = state;
  quiet.quiet = true;
  return quiet;
}
