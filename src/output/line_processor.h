// The source loop: each logical line is expanded, its _Pragma operators
// carried out, and written back with the source's line breaks kept in step.
#pragma once

struct Token;
struct Preprocessor;

void run_source(const char* name, Preprocessor* p);

// Writes a list (possibly empty). With nested set (part of a line before a
// _Pragma, or a pragma line) the source's line breaks are not counted.
void process_line(Token* list, int nested, Preprocessor* p);

// Writes text to the output stream. A failed write to the standard output
// ends the process like any failed formatted write.
void write_output(Preprocessor* p, const char* text, unsigned long length);

// Writes a stretch of the loaded source text. Stretches that follow each
// other in the source are gathered and written in one piece, before any
// other output. What is written reaches the stream by flush_source_text:
// before a diagnostic, and when the run ends (also when it ends early).
void write_source_text(Preprocessor* p, const char* begin, const char* end);
void flush_source_text(Preprocessor* p);
