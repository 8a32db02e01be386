// The preprocessing-token lexer: one token from a cursor into NUL-terminated
// text, with the C++ additions when the run is in C++ mode.
#pragma once

#include "lex/token.h"

struct Preprocessor;

// Returns the kind of the token at the cursor and leaves the cursor after it.
// With quiet set nothing is reported and the same extents are found.
TokenKind next_token(Preprocessor* p, const char*& cursor, int quiet);
