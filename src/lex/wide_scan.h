// The check of plain lines, 16 bytes at a time: most lines of code hold
// nothing that the tokeniser must look at closely, and such lines are
// copied as they stand, many in one piece.
#pragma once

#include "lex/name_filter.h"

// The end (after its line break) of the last of the whole lines from `text`
// on (`text` at a token boundary, the start of a line) in which nothing
// needs the tokeniser: no quote, no backslash, no "??", no NUL, no CR but in
// a CR LF line end, no byte above 127, and no identifier that begins as one
// of `starts` (with `anywhere`, no such bytes at all: a literal's suffix is
// a name that follows a digit). A comment is copied as it stands, its
// quotes and names with it, when it holds none of the bytes and pairs that
// stop the lines but names; it may span lines, and the lines end only
// outside it. `text` itself when the first line needs a closer look, or
// when `starts` holds too many starts to look for.
const char* plain_lines_end(const char* text, const NameStarts& starts, bool anywhere);

// The wide forms read whole aligned blocks: past the end of the text, but
// never past the page that holds its last byte. The sanitizers would take
// those reads for faults, so they do not look at these functions.
#define READS_WHOLE_BLOCKS __attribute__((no_sanitize("address", "thread")))

// NOTE: plain_lines_end_plainly is the same check a byte at a time, the
// reference that the tests and the fuzz targets compare plain_lines_end
// with; plain_lines_end falls back on it where SSE2 is missing. Where the
// processor has AVX2, plain_lines_end is plain_lines_end_avx2, 32 bytes at
// a time; elsewhere plain_lines_end_sse2, 16 at a time. The tests compare
// each form that the machine can run with the reference.
const char* plain_lines_end_plainly(const char* text, const NameStarts& starts, bool anywhere);
#if defined(__SSE2__)
const char* plain_lines_end_sse2(const char* text, const NameStarts& starts, bool anywhere);
#endif
#if defined(__x86_64__)
const char* plain_lines_end_avx2(const char* text, const NameStarts& starts, bool anywhere);
// Whether this processor runs plain_lines_end_avx2.
bool has_avx2();
#endif

// The line feeds from `begin` to `end`, 16 bytes at a time: every line of a
// source is counted when a diagnostic needs its number.
long count_newlines(const char* begin, const char* end);
