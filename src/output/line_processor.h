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
