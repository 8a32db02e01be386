// Cutting a source into logical lines of tokens; white space and comments are
// folded into the token that follows them.
#pragma once

#include <cstddef>

struct Token;
struct Preprocessor;
struct NameFilter;

// Whether the lexical checks of what is read are reported.
enum class Report { OFF, ON };

// The next logical line of the top source, ending in a TK_NEWLINE token, or
// null at the end. With Report::ON the lexical checks and the two
// end-of-source diagnostics are given; with Report::OFF nothing is reported.
Token* read_logical_line(Preprocessor* p, Report report);

// A logical line read in parts of at most `limit` tokens (0: the whole
// line), so that a line of any length can be handled in bounded memory. The
// first part starts the line as read_logical_line does (null at the end of
// the source); *ended tells whether the part ends the line (its last token
// the TK_NEWLINE). For the renaming loop, identifiers that the filter
// rejects (which no table entry, _Pragma or __VA_ARGS__ can be) are not
// interned: their `ident` stays null. A filter without words holds no name. A line that the tokeniser's first pass
// has read up to a token that only tokens can deal with goes on from there:
// `first` is that token (its kind and extents, read and reported already),
// and the source's position stands after it.
struct LinePart {
  Report report;
  const NameFilter* filter;
  size_t limit;
  const Token* first;
};
Token* read_first_line_part(Preprocessor* p, const LinePart& part, bool* ended);
Token* read_next_line_part(Preprocessor* p, const LinePart& part, bool* ended);

// Records the form of the line end that ends a logical line, from its
// TK_NEWLINE token (empty at the end of a text without a final line break):
// the first logical new-line of the token is a CR LF pair or a LF.
void note_line_end(Preprocessor* p, const char* begin, const char* end);

// The first line of a string as a token list (a null text reads as empty).
Token* tokenize_string(Preprocessor* p, const char* text);
