// Identifiers as names: scanning, hashing and comparing by logical characters,
// where a universal character name counts as the one character it denotes.
#pragma once

#include <cstdint>

#include "lex/char_class.h"
#include "lex/token.h"

struct LexState;

// Continues an identifier whose first character (or UCN) has been read.
TokenKind scan_identifier(const LexState* ls, const char*& cursor);

// The name's hash: 20 bits, the same for every spelling of one identifier.
// With `plain`, also tells whether the spelling is made of plain identifier
// bytes only (no splice, trigraph or universal character name).
uint32_t identifier_name_hash(const char* begin, const char* end, bool* plain = nullptr);
bool same_identifier(const char* a_begin, const char* a_end, const char* b_begin, const char* b_end);
