#include "macro/replacement_table.h"

#include <cstring>

#include "diag/diagnostics.h"
#include "lex/char_class.h"
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

static char* spelling_of(Preprocessor* p, const Token* token) {
  return token_spelling(p->store, token->text_begin, token->text_end);
}

[[noreturn]] static void refuse_token(Preprocessor* p, const Token* token) {
  diag_fatal(&p->report, "non-identifier token \"%s\" specified", spelling_of(p, token));
}

// A table line means its first three tokens at most: the rest of a long
// line is read for its diagnostics only, part by part, and let go.
static Token* read_table_line(Preprocessor* p, Report report, const NameFilter* filter) {
  const LinePart part{report, filter, kTableLineTokensKept, nullptr};
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
  // The table's texts stay in the pool: macro names point into them.
  read_table_pairs(p, text, report, TablePairs{nullptr, nullptr, nullptr});
}

// A byte that begins a name the tokeniser reads as a plain identifier: in
// C++ a word such as "and" may be an operator, which the tokeniser decides.
static bool begins_plain_name(const Preprocessor* p, char c) {
  if (!byte_is(c, CHAR_IDENTIFIER) || (c >= '0' && c <= '9')) return false;
  return !p->lex.cplusplus || kChars.first[static_cast<unsigned char>(c)] != FB_OPERATOR_WORD_LETTER;
}

// The common line of a table, two names of plain bytes between blanks, is
// given to `pairs` without the tokeniser: nothing in it could be reported,
// and it reads as just the two identifiers it is written as. False, with
// nothing read, for any other line.
static bool enter_plain_pair(Preprocessor* p, const TablePairs& pairs) {
  SourceFrame* frame = p->source_top;
  const char* line_begin = frame->pos;
  const char* c = line_begin;
  const char* names[2][2];
  uint32_t hashes[2];
  for (int i = 0; i < 2; ++i) {
    while (*c == ' ' || *c == '\t') ++c;
    if (!begins_plain_name(p, *c)) return false;
    names[i][0] = c;
    // The name hash of plain bytes, as identifier_name_hash makes it.
    uint32_t hash = 0;
    while (byte_is(*c, CHAR_IDENTIFIER)) hash = name_hash_step(hash, static_cast<unsigned char>(*c++));
    names[i][1] = c;
    hashes[i] = hash & kNameHashMask;
  }
  while (*c == ' ' || *c == '\t') ++c;
  if (*c == '\r' && c[1] == '\n') ++c;
  if (*c != '\n') return false;
  Token target{TK_IDENTIFIER, 0, nullptr, nullptr, nullptr, nullptr, names[1][0], names[1][1], nullptr, false};
  Token source{TK_IDENTIFIER, 0, nullptr, nullptr, nullptr, nullptr, names[0][0], names[0][1], &target, false};
  frame->pos = c + 1;
  pairs.enter(p, &source, &target, hashes, pairs.data);
  // The line's one line break; the lines before it are counted already.
  if (frame->counted == line_begin) {
    ++frame->where->line;
    frame->counted = frame->pos;
  } else {
    count_frame_lines(frame);
  }
  return true;
}

void read_table_pairs(Preprocessor* p, const LoadedText& text, Report report, const TablePairs& pairs) {
  push_source(p, text, p->settings->reptable_name, p->settings->reptable_name);
  // The table is read by the strict lexer in every mode: its names are
  // plain identifiers, whatever the sources are lexed as.
  const bool modern = p->lex.modern;
  p->lex.modern = false;
  for (;;) {
    if (pairs.enter && enter_plain_pair(p, pairs)) continue;
    Token* line = read_table_line(p, report, pairs.filter);
    if (!line) break;
    if (holds_table_pair(p, line, report)) {
      if (pairs.enter) {
        const uint32_t unhashed[2] = {kNoNameHash, kNoNameHash};
        pairs.enter(p, line, line->next, unhashed, pairs.data);
      } else {
        define_table_macro(p, spelling_of(p, line), spelling_of(p, line->next));
      }
    }
    free_token_list(line);
    count_frame_lines(p->source_top);
  }
  pop_source(p);
  p->lex.modern = modern;
}

bool holds_table_pair(Preprocessor* p, const Token* line, Report report) {
  if (line->kind == TK_NEWLINE) return false;
  if (line->kind != TK_IDENTIFIER) refuse_token(p, line);
  const Token* second = line->next;
  if (second->kind == TK_NEWLINE) {
    diag_fatal(&p->report, "target identifier missed for source identifier \"%s\"", spelling_of(p, line));
  }
  if (second->kind != TK_IDENTIFIER) refuse_token(p, second);
  if (second->next->kind != TK_NEWLINE && report == Report::ON) diag_warning(&p->report, "extra tokens specified");
  return true;
}

void process_table_line(Preprocessor* p, Token* line, Report report) {
  if (holds_table_pair(p, line, report)) define_table_macro(p, spelling_of(p, line), spelling_of(p, line->next));
}

bool accepts_macro_name(Preprocessor* p, const char* name, const char* name_end) {
  const char* cursor = name;
  const LexState quiet = quiet_lex_state(p->lex);
  TokenKind kind = next_token(&quiet, cursor);
  if (kind == TK_IDENTIFIER && cursor == name_end) return true;
  diag_error(&p->report, "illegal macro name \"%s\" in \"#define\"", name);
  return false;
}

void define_table_macro(Preprocessor* p, const char* name, const char* target) {
  const char* name_end = name + strlen(name);
  if (!accepts_macro_name(p, name, name_end)) return;
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
