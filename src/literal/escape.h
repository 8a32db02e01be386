// Escape sequences inside character constants and string literals.
#pragma once

#include <cstdint>

struct LexState;

// A literal of plain characters, or a wide one (L'x', L"x").
enum class CharWidth { NARROW, WIDE };

// The cursor stands just after the backslash. On success stores the value and
// leaves the cursor after the sequence; on failure the cursor stays put.
bool read_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
bool read_octal_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
bool read_hex_escape(const LexState* ls, const char*& cursor, uint64_t* value, CharWidth width);
