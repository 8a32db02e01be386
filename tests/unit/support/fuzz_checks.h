// The checks that the fuzz targets run on every input. The fuzz targets abort
// on a failure; the regression test replays every committed input that once
// found a fault through the same checks, under the test build's sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Tokenises the bytes in both language modes, with and without the modern
// mode, loud and quiet: each call
// consumes something until TK_EOF, TK_EOF stands on the NUL and repeats
// there, no token reaches past the NUL, quiet mode finds the same extents.
// Returns what failed, or an empty string.
std::string check_tokeniser_input(const uint8_t* data, size_t size);

// The option bits of a pipeline input's first byte.
enum OptionBits : uint8_t {
  BIT_WALL = 1,
  BIT_WERRORS = 2,
  BIT_LUCHAR = 4,
  BIT_TDISABLE = 8,
  BIT_WNOSAFE = 16,
  BIT_WDISABLE = 32,
  BIT_LATER_FILE = 64,  // the table is read as for a source after the first
  BIT_MODERN = 128,     // -lx: sources lexed as C23 and C++23
};

// Runs the whole file runner on the input, read as
//   byte 0            option bits (OptionBits)
//   up to a 0xFF byte the replacement table (none: the table is empty)
//   the rest          the source
// in C and in C++ mode, then checks the properties that hold for every
// source: with an empty table the output is the source as loaded, renaming
// an identifier to a fresh name and back gives the source again, lines read
// in parts of a few tokens come out as when read whole, and with no line
// renamed in place (every line through tokens) the output, the outcome and
// the diagnostics are the same as with the plain lines renamed in place, as
// the first file and as a later one.
// Returns what failed, or an empty string.
std::string check_pipeline_input(const uint8_t* data, size_t size);
