// Loading a source whole, and the stack of sources being read.
#pragma once

#include <cstddef>

#include "diag/diagnostics.h"
#include "lex/wide_scan.h"

struct Preprocessor;
struct RunSettings;
struct Pool;

struct SourceFrame {
  const char* text;
  const char* pos;      // read position of the logical-line reader
  const char* counted;  // line breaks before this point are counted into where->line
  SourceLocation* where;
  SourceFrame* below;
  const char* text_end;  // end of what the file delivered; a NUL before it cut the text short
  int null_reported;
  // Lines copied as they stand are counted only when a line number is
  // needed: their breaks lie between `counted` and here.
  const char* uncounted_end;
};

struct LoadedFile {
  const char* path;
  const char* text;
  int once;  // set by the pragma "once"
  LoadedFile* next;
};

struct OpenName {
  const char* name;
  OpenName* below;
};

// A text read whole; `length` counts every byte the file delivered, so a NUL
// inside it shows as a text shorter than `length`.
struct LoadedText {
  char* text;
  size_t length;
};

// Returns false when the file does not exist, true otherwise; `text` is null when the
// file could not be read, and `error` then says why.
// A mapped file shows what another process writes to it while it is read:
// a text kept longer than one file's run is read with `copy` set instead.
bool read_whole_file(const char* path, LoadedText* text, int* error, Pool* pool, bool copy = false);

// Resolves `name` against `base_dir`, records the absolute path as the
// settings' full_path and loads the file. Returns as read_whole_file does.
bool locate_and_load(RunSettings* settings, const char* name, const char* base_dir, LoadedText* text);

// Pushes a loaded text; a null text ends the file's run with a fatal error
// naming `error_name`.
void push_source(Preprocessor* p, const LoadedText& text, const char* error_name, const char* display_name);

void pop_source(Preprocessor* p);
void pop_open_name(RunSettings* settings);

inline int count_line_breaks(const char* begin, const char* end) {
  return static_cast<int>(count_newlines(begin, end));
}

// Counts the breaks of the lines copied as they stand into the line number.
inline void catch_up_line_number(SourceFrame* frame) {
  if (frame->counted >= frame->uncounted_end) return;
  frame->where->line += static_cast<unsigned long>(count_line_breaks(frame->counted, frame->uncounted_end));
  frame->counted = frame->uncounted_end;
}

// Counts the line breaks between the top frame's `counted` and `pos` into its
// line number and returns how many there were.
int count_frame_lines(SourceFrame* frame);

// Reports, once, a NUL that cut the top frame's text short.
void check_null_character(Preprocessor* p);
