// Escape sequences inside character constants and string literals.
#pragma once

#include <cstdint>

struct Preprocessor;

// The cursor stands just after the backslash. On success stores the value and
// leaves the cursor after the sequence; on failure the cursor stays put.
int read_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p);
int read_octal_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p);
int read_hex_escape(const char*& cursor, uint64_t* value, int wide, int quiet, Preprocessor* p);
