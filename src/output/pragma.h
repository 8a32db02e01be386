// The _Pragma operator: carried out while a line is written, it becomes a
// line of its own that begins with "#pragma ".
#pragma once

struct Token;
struct Preprocessor;

// Scans the list for a complete operator. When one is carried out, writes
// everything up to and including its pragma line and returns the tokens after
// the operator's closing parenthesis through *rest (result true); the tokens
// of the operator itself stay linked in the list for their owner to free.
// Result false: no operator in the list (which may have grown by joined lines).
bool carry_out_next_pragma(Preprocessor* p, Token** list, Token** rest);

bool append_next_line(Preprocessor* p, Token** list);
void destringize(char* spelling);
void write_pragma_line(Preprocessor* p, Token* list);
