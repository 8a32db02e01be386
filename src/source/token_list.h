// Operations on token lists that do not depend on what a list means.
#pragma once

#include <cstddef>

struct Token;
struct Pool;
struct Preprocessor;

// What a spelling writes before a token that has white space: that white
// space as written, or one blank.
enum class WhiteSpace { AS_WRITTEN, ONE_BLANK };
// Whether a blank goes between two tokens that would otherwise read back
// as something else.
enum class Separation { NONE, KEEP_APART };

// The list as one pool string.
char* spell_token_list(Preprocessor* p, const Token* list, WhiteSpace white_space, Separation separation);

// The two halves of spell_token_list, for a caller with a buffer of its own:
// the bytes the text needs (its NUL included), and the writing, which returns
// the end of the text (where its NUL stands).
size_t spelled_size(const Token* list, WhiteSpace white_space);

// Where a spelling goes on from one written before: the last token spelled
// there, and whether it was the second of two dots written together.
// Updated to where this spelling ends.
struct SpellJoin {
  const Token* previous;
  bool dot_pair_touches;
};
char* spell_tokens_to(Preprocessor* p, char* out, const Token* list, WhiteSpace white_space, Separation separation, SpellJoin* join = nullptr);

bool tokens_would_merge(Preprocessor* p, const Token* previous, const Token* token, bool dot_before);

void free_token_list(Token* list);

// The link that ends the list: where a list appended to it goes.
Token** list_end(Token** head);

