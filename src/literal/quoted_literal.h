// Character constants and string literals: their bodies up to the closing
// quote, and the value of a character constant in the target's integer model.
#pragma once

struct Preprocessor;

// The cursor stands just after the opening quote. True: a complete literal,
// cursor after its closing quote. False: none (reported unless quiet), cursor
// unmoved.
bool scan_char_constant(Preprocessor* p, const char*& cursor, int wide, int quiet);
bool scan_string_literal(Preprocessor* p, const char*& cursor, int wide, int quiet);
bool scan_quoted_body(Preprocessor* p, const char*& cursor, int char_constant, int wide, int quiet);
