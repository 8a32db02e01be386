// Where a run's output goes: the stream, and what is kept back from it so
// that it is written in few calls.
#pragma once

#include <cstddef>
#include <cstdio>

struct HeldLine;
struct Preprocessor;

struct OutputSink {
  FILE* out;
  // Small pieces of output gathered for one call of the stream.
  char* gathered;
  size_t gathered_length;
  // Source text written but not yet handed to the output stream.
  const char* unwritten_begin;
  const char* unwritten_end;
  HeldLine* held;  // made on the first line long enough to need it
  // The output line is spelled here; the buffer only ever grows, so long
  // lines do not each take fresh memory that no later line could reuse.
  char* line_buffer;
  size_t line_capacity;
};

// Gives the run its output on `out`. From then on every diagnostic first
// hands what the run has written to the stream.
OutputSink* attach_output_sink(Preprocessor* p, FILE* out);
