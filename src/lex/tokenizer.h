// The preprocessing-token lexer: one token from a cursor into NUL-terminated
// text, with the C++ additions when the run is in C++ mode.
#pragma once

#include "lex/token.h"

struct LexState;

// Returns the kind of the token at the cursor and leaves the cursor after it.
// A quiet state reports nothing and finds the same extents.
TokenKind next_token(const LexState* ls, const char*& cursor);
