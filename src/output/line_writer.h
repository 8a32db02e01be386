// The one writer of output lines. A line goes out as the source text it was
// read from, copied as it stands, with edits: each takes a stretch of the
// source out (a replaced name, a _Pragma operator) and puts a text in its
// place (a target, a blank that keeps two tokens apart), or only puts a text
// in. The line breaks that a line takes out and does not put back are lost
// to the output; up to three are written back when the line ends, so that
// the lines after it stay in step with the source.
#pragma once

#include <cstddef>

#include "output/output_sink.h"
#include "source/preprocessor.h"
#include "source/token_list.h"


struct Edit {
  const char* begin;  // the source it takes out: empty when it only puts in
  const char* end;
  const char* text;   // what it puts in
  size_t length;
  // The line breaks of what it takes out less those of what it puts in.
  // The renaming in place knows it without a count: a plainly written name
  // and a target hold none.
  int lost_breaks;
};

// An edit that takes out `begin` to `end` and puts in `length` bytes of
// `text`, with the line breaks that this loses counted.
Edit counted_edit(const char* begin, const char* end, const char* text, size_t length);

// A line of the source begins at `begin`: what it writes is edited source
// from there on.
inline void start_line(Preprocessor* p, const char* begin) { p->sink->reached = begin; }

// Writes the source from `begin` to `end` with its edits, which lie inside
// it in order. Every way of writing a line comes here.
void write_stretch(Preprocessor* p, const char* begin, const char* end, const Edit* edits, size_t count);

// Writes a token list of the line being written as edited source: the text
// of its tokens and their white space where it lies in the source read so
// far, everything else (targets, blanks put in, the tokens of a pragma line)
// as a text put in. `join` tells what the list follows and is updated.
void write_tokens(Preprocessor* p, const Token* list, SpellJoin* join);

// The parts of a long line are written as they are read, but held, not
// written: the line must come out as when it is read whole, and a line that
// ends in a fatal error writes nothing. release_held_line writes what is
// held and gives the join that the rest of the line goes on from.
void hold_line_part(Preprocessor* p, const Token* part);
// Holds the start of a line that the renaming in place wrote before it found
// that the rest needs tokens: the stretch with its edits, and `previous`,
// the last token of it (a target where one was put in), for the join.
void hold_line_start(Preprocessor* p, const char* begin, const char* end, const Edit* edits, size_t count,
                     const Token& previous);
void release_held_line(Preprocessor* p, SpellJoin* join);

// Writes `count` line breaks (at most three) in the form of the line end of
// the logical line read last.
void write_line_breaks(Preprocessor* p, int count);

// The line ends: up to three lost line breaks are written back.
void write_lost_line_breaks(Preprocessor* p);
inline void end_line(Preprocessor* p) {
  if (p->pending_newlines >= 1 && p->pending_newlines <= 3) write_lost_line_breaks(p);
}

// Writes text to the output stream. A failed write to the standard output
// ends the process like any failed formatted write.
void write_output(Preprocessor* p, const char* text, size_t length);

// Writes a stretch of the loaded source text. Stretches that follow each
// other in the source are gathered and written in one piece, before any
// other output. What is written reaches the stream by flush_source_text:
// before a diagnostic, and when the run ends (also when it ends early).
void write_source_text(Preprocessor* p, const char* begin, const char* end);
void flush_source_text(Preprocessor* p);
