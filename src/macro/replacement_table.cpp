#include "macro/replacement_table.h"

#include <cstring>

#include "diag/diagnostics.h"
#include "lex/char_input.h"
#include "lex/lex_state.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "macro/macro_table.h"
#include "macro/table_snapshot.h"
#include "memory/pool.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

// Enough for the two names and the sign of extra tokens after them.
static constexpr size_t kTableLineTokensKept = 4096;

// A table line means its first three tokens at most: the rest of a long
// line is read for its diagnostics only, part by part, and let go.
static Token* read_table_line(Preprocessor* p, Report report) {
  const LinePart part{report, nullptr, kTableLineTokensKept, nullptr};
  bool ended;
  Token* line = read_first_line_part(p, part, &ended);
  while (line && !ended) free_token_list(read_next_line_part(p, part, &ended));
  return line;
}

void load_replacement_table(Preprocessor* p, Report report) {
  const char* name = p->settings->reptable_name;
  LoadedText text;
  int error = 0;
  if (p->settings->tables) {
    error = read_table_text(p->settings->tables, name, &text);
  } else {
    read_whole_file(name, &text, &error, p->store);
  }
  p->settings->io_error = static_cast<FileError>(error);
  if (!text.text) diag_fatal(&p->report, "cannot load replacement table \"%s\"; %s", name, error_text(error));
  push_source(p, text, name, name);
  // The table is read as by the document's lexer in every mode: its names
  // are plain identifiers, whatever the sources are lexed as.
  const bool modern = p->lex.modern;
  p->lex.modern = false;
  // The table's texts stay in the pool: macro names point into them.
  while (Token* line = read_table_line(p, report)) {
    process_table_line(p, line, report);
    free_token_list(line);
    count_frame_lines(p->source_top);
  }
  pop_source(p);
  p->lex.modern = modern;
}

static char* spelling_of(Preprocessor* p, const Token* token) {
  return token_spelling(p->store, token->text_begin, token->text_end);
}

void process_table_line(Preprocessor* p, Token* line, Report report) {
  if (line->kind == TK_NEWLINE) return;
  char* source = spelling_of(p, line);
  if (line->kind != TK_IDENTIFIER) diag_fatal(&p->report, "non-identifier token \"%s\" specified", source);
  const Token* second = line->next;
  if (second->kind == TK_NEWLINE) diag_fatal(&p->report, "target identifier missed for source identifier \"%s\"", source);
  char* target = spelling_of(p, second);
  if (second->kind != TK_IDENTIFIER) diag_fatal(&p->report, "non-identifier token \"%s\" specified", target);
  if (second->next->kind != TK_NEWLINE && report == Report::ON) diag_warning(&p->report, "extra tokens specified");
  define_table_macro(p, source, target);
}

void define_table_macro(Preprocessor* p, const char* name, const char* target) {
  const char* cursor = name;
  const LexState quiet = quiet_lex_state(p->lex);
  TokenKind kind = next_token(&quiet, cursor);
  const char* name_end = name + strlen(name);
  if (kind != TK_IDENTIFIER || cursor != name_end) {
    diag_error(&p->report, "illegal macro name \"%s\" in \"#define\"", name);
    return;
  }
  MacroDef* def = static_cast<MacroDef*>(pool_alloc(p->store, sizeof(MacroDef)));
  def->name = intern_spelling(p, name, name_end);
  note_table_name(p, def->name);
  def->settle_state = SETTLE_UNKNOWN;
  def->settled = nullptr;
  def->replacement = nullptr;
  def->location = nullptr;
  def->owner = p;
  Token* list = tokenize_string(p, target);
  take_replacement_list(&list, def);
  free_token_list(list);
  enter_macro(def);
}
