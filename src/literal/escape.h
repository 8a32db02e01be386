// Escape sequences inside character constants and string literals.
#pragma once

#include <cstdint>

struct LexState;

// A literal of plain characters, a wide one (L'x', L"x"), or one with a
// u8, u or U prefix (modern mode), whose values are not checked.
enum class CharWidth { NARROW, WIDE, UNCHECKED };

// The cursor stands just after the backslash. On success stores the value and
// leaves the cursor after the sequence; on failure the cursor stays put.
bool read_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
bool read_octal_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
bool read_hex_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
