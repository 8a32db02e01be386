// Operations on token lists that do not depend on what a list means.
#pragma once

#include <cstddef>

#include "lex/token.h"

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

// The bytes a spelling of the list needs (its NUL included).
size_t spelled_size(const Token* list, WhiteSpace white_space);

// Where a spelling goes on from one written before: the last token spelled
// there, and whether it was the second of two dots written together.
// Updated to where this spelling ends.
struct SpellJoin {
  const Token* previous;
  bool dot_pair_touches;
};

bool tokens_would_merge(Preprocessor* p, const Token* previous, const Token* token, bool dot_before);

// The rule for writing tokens back as text, for every writer of them: each
// token after its own white space (or one blank), and, when they are kept
// apart, one blank between two tokens that would otherwise read back as
// something else. The text goes to `sink` in pieces: sink.piece(begin,
// end) for the text of a token or of its white space, as it lies where it was
// read, and sink.blank() for a blank put in.
template <typename Sink>
void spell_tokens(Preprocessor* p, const Token* list, WhiteSpace white_space, Separation separation, Sink& sink,
                  SpellJoin* join = nullptr) {
  const Token* previous = join ? join->previous : nullptr;
  // Two dots written together may become an ellipsis with a third; two dots
  // apart never can, so the rule looks only at a pair that touches.
  bool dot_pair_touches = join && join->dot_pair_touches;
  for (const Token* token = list; token; token = token->next) {
    bool touches_previous = false;
    if (token->suffix) {
      touches_previous = true;  // a renamed suffix: part of the literal before it
    } else if (token->ws_begin) {
      if (white_space == WhiteSpace::ONE_BLANK) {
        sink.blank();
      } else {
        sink.piece(token->ws_begin, token->ws_end);
      }
    } else if (separation == Separation::KEEP_APART && previous) {
      if (tokens_would_merge(p, previous, token, dot_pair_touches)) {
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
char* spell_tokens_to(Preprocessor* p, char* out, const Token* list, WhiteSpace white_space, Separation separation,
                      SpellJoin* join = nullptr);

void free_token_list(Token* list);

// The link that ends the list: where a list appended to it goes.
Token** list_end(Token** head);

