// Cutting a source into logical lines of tokens; white space and comments are
// folded into the token that follows them.
#pragma once

struct Token;
struct Preprocessor;

// The next logical line of the top source, ending in a TK_NEWLINE token, or
// null at the end. With report set the lexical checks and the two
// end-of-source diagnostics are given; without it nothing is reported.
Token* read_logical_line(int report, Preprocessor* p);

// The same, for a line whose tokens before `checked_end` have been read and
// checked already: those are not reported a second time.
Token* read_logical_line_checked_before(int report, const char* checked_end, Preprocessor* p);

// The first line of a string as a token list (a null text reads as empty).
Token* tokenize_string(const char* text, Preprocessor* p);
