// The text of a long logical line spelled part by part, held back until the
// whole line has been read: what a line writes must not depend on whether it
// was read whole, and a line that ends in a fatal error writes nothing.
#pragma once

#include <cstddef>

#include "lex/token.h"
#include "source/token_list.h"

struct Preprocessor;

struct HeldLine {
  char* text;  // from the heap: given back once written, when it grew large
  size_t length;
  size_t capacity;
  Token last;  // a copy of the last token spelled into the text
  bool has_last;
  bool dot_pair_touches;
};

// Spells an expanded part of the line behind what is held already.
void hold_line_part(Preprocessor* p, const Token* part);

// Writes the held text, if any, and gives the join that the rest of the
// line's spelling goes on from (null when nothing is held). Clears the hold.
void write_held_line(Preprocessor* p, SpellJoin* join);
