// Character constants and string literals: their bodies up to the closing
// quote, and the value of a character constant in the target's integer model.
#pragma once

#include "literal/escape.h"

struct LexState;

enum class QuotedKind { STRING_LITERAL, CHAR_CONSTANT };

// The cursor stands just after the opening quote. True: a complete literal,
// cursor after its closing quote. False: none (reported unless quiet), cursor
// unmoved.
bool scan_char_constant(const LexState* ls, const char*& cursor, CharWidth width);
bool scan_string_literal(const LexState* ls, const char*& cursor, CharWidth width);
bool scan_quoted_body(const LexState* ls, const char*& cursor, QuotedKind kind, CharWidth width);
