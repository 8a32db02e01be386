// The source loop: each logical line is expanded, its _Pragma operators
// carried out, and written back with the source's line breaks kept in step.
#pragma once

struct Token;
struct Preprocessor;

struct LoadedText;

void run_source(Preprocessor* p, const char* name);
// The same for a source loaded already (by locate_and_load on the run's
// settings); a null text ends the run with the fatal error of a failed load.
void run_loaded_source(Preprocessor* p, const char* name, const LoadedText& text);

// What a list written by process_line is: a logical line of the source, whose
// _Pragma operators are carried out; a directive line, whose are not (the
// operator is carried out where a macro is used, never where it is defined);
// or part of a line before a _Pragma operator, or a pragma line, written by
// the operator with the line's end still to come.
enum class LineRole { SOURCE_LINE, DIRECTIVE, NESTED };

// Writes a list (possibly empty) as part of the line being written; a line
// that ends here gets its lost line breaks written back.
void process_line(Preprocessor* p, Token* list, LineRole role);
