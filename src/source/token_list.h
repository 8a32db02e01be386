// Operations on token lists that do not depend on what a list means.
#pragma once

#include <cstddef>

struct Token;
struct Pool;
struct Preprocessor;

// The list as one pool string: each token preceded by its white space (or by
// one blank when single_blank is set), and, when separate is set, one blank
// between two tokens that would otherwise read back as something else.
char* spell_token_list(const Token* list, int single_blank, int separate, Preprocessor* p);

// The two halves of spell_token_list, for a caller with a buffer of its own:
// the bytes the text needs (its NUL included), and the writing, which returns
// the end of the text (where its NUL stands).
size_t spelled_size(const Token* list, int single_blank);

// Where a spelling goes on from one written before: the last token spelled
// there, and whether it was the second of two dots written together.
// Updated to where this spelling ends.
struct SpellJoin {
  const Token* previous;
  bool dot_pair_touches;
};
char* spell_tokens_to(char* out, const Token* list, int single_blank, int separate, Preprocessor* p,
                      SpellJoin* join = nullptr);

int tokens_would_merge(const Token* previous, const Token* token, int dot_before, Preprocessor* p);

void free_token_list(Token* list);

// The link that ends the list: where a list appended to it goes.
Token** list_end(Token** head);

