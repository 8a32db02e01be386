// Macro expansion of a token list: identifiers named by the table are
// replaced by copies of their targets, rescanned, with recursion stopped.
#pragma once

struct MacroDef;
struct Token;
struct Pool;
struct Preprocessor;

void expand_line(Preprocessor* p, Token** list);
Token* copy_token_list(Pool* pool, const Token* list);

// The one token that the macro's name becomes when it is expanded where no
// macro is being expanded (the end of its chain of renamings, or the name
// met again that closes a cycle), or null when the expansion must be
// carried out in full.
const Token* settled_target(MacroDef* def);
