// Where a run's output goes: the stream, what is kept back from it so that
// it is written in few calls, and the state of the line being written.
#pragma once

#include <cstddef>
#include <cstdio>

#include "lex/token.h"
#include "source/token_list.h"

struct Preprocessor;

struct OutputSink {
  FILE* out;
  // Small pieces of output gathered for one call of the stream.
  char* gathered;
  size_t gathered_length;
  // Source text written but not yet handed to the output stream.
  const char* unwritten_begin;
  const char* unwritten_end;
  // The line being written (output/line_writer.h): the source before
  // `reached` is written or taken out.
  const char* reached;
  // A long line's text, kept while the line is held. From the heap: given
  // back once written when it grew large, so that one huge line does not
  // keep its memory for the rest of the file.
  bool holding;
  char* held;
  size_t held_length;
  size_t held_capacity;
  Token held_last;  // a copy of the last token the held text ends with
  SpellJoin held_join;
};

// Gives the run its output on `out`. From then on every diagnostic first
// hands what the run has written to the stream.
OutputSink* attach_output_sink(Preprocessor* p, FILE* out);
