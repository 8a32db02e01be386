// Operations on token lists that do not depend on what a list means.
#pragma once

#include <cstddef>

#include "lex/token.h"

struct Pool;
struct Preprocessor;

// A pool string with the logical characters of an extent: trigraphs replaced,
// splices removed, everything else (universal character names too) as written.
char* token_spelling(Pool* pool, const char* begin, const char* end);

// The list as one pool string: each token preceded by its white space (or by
// one blank when single_blank is set), and, when separate is set, one blank
// between two tokens that would otherwise read back as something else.
char* spell_token_list(const Token* list, int single_blank, int separate, Preprocessor* p);

// The bytes a spelling of the list needs (its NUL included).
size_t spelled_size(const Token* list, int single_blank);

// Where a spelling goes on from one written before: the last token spelled
// there, and whether it was the second of two dots written together.
// Updated to where this spelling ends.
struct SpellJoin {
  const Token* previous;
  bool dot_pair_touches;
};

int tokens_would_merge(const Token* previous, const Token* token, int dot_before, Preprocessor* p);

// The rule for writing tokens back as text, for every writer of them: each
// token after its own white space (or one blank, with single_blank), and,
// with separate, one blank between two tokens that would otherwise read back
// as something else. The text goes to `sink` in pieces: sink.piece(begin,
// end) for the text of a token or of its white space, as it lies where it was
// read, and sink.blank() for a blank put in.
template <typename Sink>
void spell_tokens(Preprocessor* p, const Token* list, int single_blank, int separate, Sink& sink,
                  SpellJoin* join = nullptr) {
  const Token* previous = join ? join->previous : nullptr;
  // Two dots written together may become an ellipsis with a third; two dots
  // apart never can, so the rule looks only at a pair that touches.
  bool dot_pair_touches = join && join->dot_pair_touches;
  for (const Token* token = list; token; token = token->next) {
    bool touches_previous = false;
    if (token->ws_begin) {
      if (single_blank) {
        sink.blank();
      } else {
        sink.piece(token->ws_begin, token->ws_end);
      }
    } else if (separate && previous) {
      if (tokens_would_merge(previous, token, dot_pair_touches, p)) {
        sink.blank();
      } else {
        touches_previous = true;
      }
    } else {
      touches_previous = previous != nullptr;
    }
    sink.piece(token->text_begin, token->text_end);
    dot_pair_touches = touches_previous && previous->kind == TK_DOT && token->kind == TK_DOT;
    previous = token;
  }
  if (join) *join = SpellJoin{previous, dot_pair_touches};
}

// Spells the list into `out`, which has room for spelled_size bytes, and
// returns the end of the text (where its NUL stands).
char* spell_tokens_to(char* out, const Token* list, int single_blank, int separate, Preprocessor* p,
                      SpellJoin* join = nullptr);

void free_token_list(Token* list);

// The link that ends the list: where a list appended to it goes.
Token** list_end(Token** head);

