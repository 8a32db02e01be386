// Universal character names: reading them, and the rules on their values.
#pragma once

#include <cstdint>

struct LexState;

enum UcnContext {
  UCN_IDENTIFIER_START,
  UCN_IDENTIFIER_CONTINUATION,
  UCN_PP_NUMBER,
};

// Reads u or U and four or eight hexadecimal digits after a backslash. On
// failure the cursor goes back to just after the backslash.
bool read_ucn(const char*& cursor, uint32_t* value);

// The rules that apply to every universal character name, wherever it stands.
bool ucn_value_allowed(uint32_t value);

// Reports a value that breaks the rules of its context (unless quiet).
void check_ucn(const LexState* ls, uint32_t value, UcnContext context);
