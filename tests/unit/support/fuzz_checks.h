// The checks that the fuzz targets run on every input. The fuzz targets abort
// on a failure; the regression test replays every committed input that once
// found a fault through the same checks, under the test build's sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Tokenises the bytes in both language modes, loud and quiet: each call
// consumes something until TK_EOF, TK_EOF stands on the NUL and repeats
// there, no token reaches past the NUL, quiet mode finds the same extents.
// Returns what failed, or an empty string.
std::string check_tokeniser_input(const uint8_t* data, size_t size);

// Runs the whole file runner on the input, read as
//   byte 0            option bits (see fuzz_checks.cpp)
//   up to a 0xFF byte the replacement table (none: the table is empty)
//   the rest          the source
// in C and in C++ mode, then checks the properties that hold for every
// source: with an empty table the output is the source as loaded, renaming
// an identifier to a fresh name and back gives the source again, and lines
// read in parts of a few tokens come out as when read whole.
// Returns what failed, or an empty string.
std::string check_pipeline_input(const uint8_t* data, size_t size);
