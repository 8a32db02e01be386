#include "output/pragma.h"

#include "lex/char_input.h"
#include "lex/identifier.h"
#include "lex/lex_state.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "macro/expansion.h"
#include "memory/pool.h"
#include "output/line_processor.h"
#include "output/line_writer.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"
#include "source/token_list.h"

namespace {

bool is_pragma_operator_name(const Token* token, const Preprocessor* p) {
  return token->kind == TK_IDENTIFIER && token->ident == p->id_pragma && !token->suffix;
}

// A raw string is none here: its text would be destringized as escapes.
bool is_string_literal(const Token* token) { return token->kind == TK_STRING || token->kind == TK_WIDE_STRING; }

const Token* skip_newlines(const Token* token) {
  while (token && token->kind == TK_NEWLINE) token = token->next;
  return token;
}

enum class Match { COMPLETE, NOT_AN_OPERATOR, LIST_ENDS };

// Matches "( string-literal )" after _Pragma, over the line breaks of joined
// lines. On success gives the literal and the closing parenthesis.
Match match_operator(const Token* name, const Token** literal, const Token** closing) {
  const Token* token = skip_newlines(name->next);
  if (!token) return Match::LIST_ENDS;
  if (token->kind != TK_LPAREN) return Match::NOT_AN_OPERATOR;
  token = skip_newlines(token->next);
  if (!token) return Match::LIST_ENDS;
  if (!is_string_literal(token)) return Match::NOT_AN_OPERATOR;
  *literal = token;
  token = skip_newlines(token->next);
  if (!token) return Match::LIST_ENDS;
  if (token->kind != TK_RPAREN) return Match::NOT_AN_OPERATOR;
  *closing = token;
  return Match::COMPLETE;
}

void write_newline(Preprocessor* p) { write_line_breaks(p, 1); }

// Writes the part of the line before the operator, then the pragma line.
void carry_out(Preprocessor* p, Token** list, Token** link, const Token* literal) {
  Pool* pool = p->store;
  char* spelling = token_spelling(pool, literal->text_begin, literal->text_end);
  Token* name = *link;
  *link = nullptr;
  process_line(p, *list, LineRole::NESTED);
  *link = name;
  destringize(spelling);
  char* text = pool_concat2(pool, "#pragma ", spelling);
  Token* pragma_line = tokenize_string(p, text);
  write_newline(p);
  write_pragma_line(p, pragma_line);
  free_token_list(pragma_line);
  pool_free(text);
  pool_free(spelling);
  write_newline(p);
}

}  // namespace

bool carry_out_next_pragma(Preprocessor* p, Token** list, Token** rest) {
  Token** link = list;
  while (*link) {
    Token* token = *link;
    if (!is_pragma_operator_name(token, p)) {
      link = &token->next;
      continue;
    }
    const Token* literal = nullptr;
    const Token* closing = nullptr;
    switch (match_operator(token, &literal, &closing)) {
      case Match::COMPLETE:
        carry_out(p, list, link, literal);
        *rest = closing->next;
        return true;
      case Match::LIST_ENDS:
        if (append_next_line(p, list)) {
          link = list;  // the tokens before the operator are scanned again and pass
          continue;
        }
        link = &token->next;
        continue;
      case Match::NOT_AN_OPERATOR:
        link = &token->next;
        continue;
    }
  }
  return false;
}

bool append_next_line(Preprocessor* p, Token** list) {
  SourceFrame* frame = p->source_top;
  if (!frame) return false;
  const char* peek = frame->pos;
  TokenKind kind;
  const LexState quiet = quiet_lex_state(p->lex);
  do {
    kind = next_token(&quiet, peek);
  } while (kind == TK_WHITESPACE);
  if (kind == TK_HASH) return false;  // a directive is never joined
  // The reader clears the __VA_ARGS__ flag for the line it starts, but a
  // joined line belongs to the current one, which may not be reported yet.
  int va_args_seen = p->va_args_seen;
  Token* line = read_logical_line(p, Report::ON);
  p->va_args_seen |= va_args_seen;
  if (!line) return false;
  expand_line(p, &line);
  *list_end(list) = line;
  return true;
}

void destringize(char* spelling) {
  const char* in = spelling;
  // The encoding prefix goes (L, or u8, u, U in modern mode).
  while (*in && *in != '"') ++in;
  if (*in == '"') ++in;
  char* out = spelling;
  while (*in && *in != '"') {
    if (in[0] == '\\' && (in[1] == '"' || in[1] == '\\')) ++in;
    *out++ = *in++;
  }
  *out = '\0';
}

void write_pragma_line(Preprocessor* p, Token* list) {
  const Token* third = list && list->next ? list->next->next : nullptr;
  static const char kOnce[] = "once";
  if (third && third->kind == TK_IDENTIFIER &&
      same_identifier(third->text_begin, third->text_end, kOnce, kOnce + 4)) {
    if (p->settings->loaded_files) p->settings->loaded_files->once = 1;
    return;
  }
  process_line(p, list, LineRole::NESTED);
}
