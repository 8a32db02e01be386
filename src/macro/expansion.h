// Macro expansion of a token list: identifiers named by the table are
// replaced by copies of their targets, rescanned, with recursion stopped.
#pragma once

struct Token;
struct Pool;
struct Preprocessor;

void expand_line(Preprocessor* p, Token** list);
Token* copy_token_list(Pool* pool, const Token* list);
