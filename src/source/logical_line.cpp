#include "source/logical_line.h"

#include "diag/diagnostics.h"
#include "lex/char_input.h"
#include "lex/identifier.h"
#include "lex/lex_state.h"
#include "lex/name_filter.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"

namespace {

Token* make_token(Preprocessor* p, TokenKind kind, const char* ws_begin, const char* ws_end, const char* begin,
                  const char* end, const NameFilter* filter) {
  Token* token = static_cast<Token*>(pool_alloc(p->store, sizeof(Token)));
  token->kind = kind;
  token->no_expand = 0;
  token->ident = nullptr;
  token->macro = nullptr;
  token->ws_begin = ws_begin;
  token->ws_end = ws_end;
  token->text_begin = begin;
  token->text_end = end;
  token->next = nullptr;
  token->suffix = false;
  if (kind == TK_IDENTIFIER) {
    if (!filter) {
      token->ident = intern_spelling(p, begin, end);
    } else if (filter->words) {
      // A name the filter rejects can mean nothing here: it stays unnamed.
      bool plain;
      uint32_t name_hash = identifier_name_hash(begin, end, &plain);
      if (filter_may_hold(*filter, name_hash)) token->ident = intern_hashed_spelling(p, begin, end, name_hash, plain);
    }
  }
  return token;
}

// What to do when the text ends inside a line: called with the kind that
// next_token returned; gives the kind to store.
enum class LineMode { SOURCE_REPORTING, SOURCE_QUIET, STRING };

TokenKind settle_end_kind(Preprocessor* p, TokenKind kind, LineMode mode) {
  if (kind == TK_EOF) {
    if (mode == LineMode::SOURCE_REPORTING) diag_portability(&p->report, "nonempty last line");
    return TK_NEWLINE;
  }
  if (kind == TK_UNTERMINATED_COMMENT) {
    if (mode != LineMode::SOURCE_QUIET) diag_fatal(&p->report, "unterminated comment found");
    return TK_NEWLINE;
  }
  // It runs to the end of the text, and the lexer has reported it: it ends
  // the line and is written as it stands.
  if (kind == TK_UNTERMINATED_RAW_STRING) return TK_NEWLINE;
  return kind;
}

// Reads tokens from the cursor up to and including the one that ends the
// line, or `limit` tokens when that comes first (0: no limit); *ended tells
// which. A `first` token was read already, and the cursor stands after it.
Token* read_line_tokens(Preprocessor* p, const char*& cursor, LineMode mode, const NameFilter* filter = nullptr,
                        size_t limit = 0, bool* ended = nullptr, const Token* first = nullptr) {
  const bool quiet = mode == LineMode::SOURCE_QUIET;
  const LexState quiet_lex = quiet_lex_state(p->lex);
  const LexState* lex = quiet ? &quiet_lex : &p->lex;
  Token* head = nullptr;
  Token** tail = &head;
  for (size_t count = 1;; ++count) {
    const char* start = cursor;
    const char* ws_begin = nullptr;
    const char* ws_end = nullptr;
    TokenKind kind;
    if (first) {
      kind = first->kind;
      ws_begin = first->ws_begin;
      ws_end = first->ws_end;
      start = first->text_begin;
      first = nullptr;
    } else {
      kind = next_token(lex, cursor);
      if (kind == TK_WHITESPACE) {
        ws_begin = start;
        ws_end = cursor;
        start = cursor;
        kind = next_token(lex, cursor);
      }
    }
    kind = settle_end_kind(p, kind, mode);
    Token* token = make_token(p, kind, ws_begin, ws_end, start, cursor, filter);
    *tail = token;
    tail = &token->next;
    if (kind == TK_IDENTIFIER && token->ident == p->id_va_args && mode != LineMode::STRING && !is_cplusplus(p)) {
      p->va_args_seen = 1;
    }
    if (kind == TK_NEWLINE && mode != LineMode::STRING) note_line_end(p, start, cursor);
    if (kind == TK_NEWLINE || count == limit) {
      if (ended) *ended = kind == TK_NEWLINE;
      return head;
    }
  }
}

LineMode source_mode(Report report) { return report == Report::ON ? LineMode::SOURCE_REPORTING : LineMode::SOURCE_QUIET; }

}  // namespace

void note_line_end(Preprocessor* p, const char* begin, const char* end) {
  const char* cursor = begin;
  p->crlf_line_end = begin < end && read_char(cursor) == '\n' && cursor - begin >= 2 && cursor[-2] == '\r';
}

Token* read_logical_line(Preprocessor* p, Report report) {
  bool ended;
  return read_first_line_part(p, LinePart{report, nullptr, 0, nullptr}, &ended);
}

Token* read_first_line_part(Preprocessor* p, const LinePart& part, bool* ended) {
  p->va_args_seen = 0;
  SourceFrame* frame = p->source_top;
  catch_up_line_number(frame);
  if (!part.first && *frame->pos == '\0') {
    check_null_character(p);
    return nullptr;
  }
  return read_line_tokens(p, frame->pos, source_mode(part.report), part.filter, part.limit, ended, part.first);
}

Token* read_next_line_part(Preprocessor* p, const LinePart& part, bool* ended) {
  return read_line_tokens(p, p->source_top->pos, source_mode(part.report), part.filter, part.limit, ended);
}

Token* tokenize_string(Preprocessor* p, const char* text) {
  const char* cursor = text ? text : "";
  return read_line_tokens(p, cursor, LineMode::STRING);
}
