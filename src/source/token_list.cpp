#include "source/token_list.h"

#include <cstring>

#include "lex/lex_state.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "memory/pool.h"
#include "source/preprocessor.h"

static size_t extent_length(const char* begin, const char* end) { return static_cast<size_t>(end - begin); }

bool tokens_would_merge(Preprocessor* p, const Token* previous, const Token* token, bool dot_before) {
  if (dot_before && previous->kind == TK_DOT && token->kind == TK_DOT) return true;
  // Two tokens that lay side by side in one text were read apart already.
  if (previous->text_end == token->text_begin) return false;
  // A renamed suffix ends the literal before it: it is read after one, so
  // that what follows it is read as after a literal (a quote then opens
  // another literal, as it does after a suffix, not a prefixed one).
  const char* before = previous->suffix ? "\"\"" : "";
  size_t before_length = strlen(before);
  size_t previous_length = before_length + extent_length(previous->text_begin, previous->text_end);
  size_t length = previous_length + extent_length(token->text_begin, token->text_end);
  char local[1024];
  char* joined = length <= 1023 ? local : static_cast<char*>(pool_alloc(p->store, length + 1));
  memcpy(joined, before, before_length);
  memcpy(joined + before_length, previous->text_begin, previous_length - before_length);
  memcpy(joined + previous_length, token->text_begin, length - previous_length);
  joined[length] = '\0';
  const char* cursor = joined;
  const LexState quiet = quiet_lex_state(p->lex);
  next_token(&quiet, cursor);
  bool merged = cursor != joined + previous_length;
  if (joined != local) pool_free(joined);
  return merged;
}

size_t spelled_size(const Token* list, WhiteSpace white_space) {
  size_t size = 1;
  for (const Token* token = list; token; token = token->next) {
    if (token->ws_begin) size += white_space == WhiteSpace::ONE_BLANK ? 1 : extent_length(token->ws_begin, token->ws_end);
    size += extent_length(token->text_begin, token->text_end) + 1;
  }
  return size;
}

namespace {

// Copies pieces of text, joining pieces that lie one after the other in
// their text into one copy: most of a line is one stretch of the source.
struct PieceWriter {
  char* out;
  const char* run_begin;
  const char* run_end;

  void piece(const char* begin, const char* end) {
    if (begin == run_end) {
      run_end = end;
      return;
    }
    flush();
    run_begin = begin;
    run_end = end;
  }
  void blank() {
    flush();
    *out++ = ' ';
  }
  void flush() {
    size_t length = extent_length(run_begin, run_end);
    if (length) memcpy(out, run_begin, length);
    out += length;
    run_begin = run_end = nullptr;
  }
};

}  // namespace

char* spell_tokens_to(Preprocessor* p, char* out, const Token* list, WhiteSpace white_space, Separation separation, SpellJoin* join) {
  PieceWriter writer = {out, nullptr, nullptr};
  spell_tokens(p, list, white_space, separation, writer, join);
  writer.flush();
  *writer.out = '\0';
  return writer.out;
}

char* spell_token_list(Preprocessor* p, const Token* list, WhiteSpace white_space, Separation separation) {
  char* text = static_cast<char*>(pool_alloc(p->store, spelled_size(list, white_space)));
  spell_tokens_to(p, text, list, white_space, separation);
  return text;
}

Token** list_end(Token** head) {
  while (*head) head = &(*head)->next;
  return head;
}

void free_token_list(Token* list) {
  while (list) {
    Token* next = list->next;
    pool_free(list);
    list = next;
  }
}
