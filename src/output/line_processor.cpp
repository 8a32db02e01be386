#include "output/line_processor.h"

#include <cstdio>
#include <cstring>

#include "diag/diagnostics.h"
#include "driver/options.h"
#include "driver/preprocessor.h"
#include "lex/identifier.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "macro/expansion.h"
#include "macro/macro_table.h"
#include "macro/name_filter.h"
#include "memory/pool.h"
#include "output/line_writer.h"
#include "output/pragma.h"
#include "source/logical_line.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

static void report_va_args(Preprocessor* p) {
  if (!p->va_args_seen) return;
  if (diag_portability(p, "\"__VA_ARGS__\" identifier encountered in illegal context")) {
    diag_tip(p, "the identifier shall occur only in the replacement-list of a variadic macro");
  }
  p->va_args_seen = 0;
}

// The line read up to the frame's position has been written: its line
// breaks are counted when a line number is next needed, and those it lost
// are written back.
static void end_source_line(Preprocessor* p) {
  if (SourceFrame* frame = p->source_top) frame->uncounted_end = frame->pos;
  end_line(p);
}

void process_line(Preprocessor* p, Token* list, LineRole role) {
  report_va_args(p);
  if (role == LineRole::SOURCE_LINE) {
    Token* rest;
    while (carry_out_next_pragma(&list, &rest, p)) {
      list = rest;
      report_va_args(p);
    }
    // Lines joined for an operator that was never completed are reported
    // with the line they were joined to.
    report_va_args(p);
  }
  SpellJoin join;
  release_held_line(p, &join);
  write_tokens(p, list, &join);
  if (role != LineRole::NESTED) end_source_line(p);
}

namespace {

// Raw bytes that make up a token or white space by themselves, whatever
// follows: none of them can begin a trigraph, a splice or a longer token.
struct SimpleByteTable {
  bool blank[256];
  bool punctuator[256];
  bool identifier_start[256];
  constexpr SimpleByteTable() : blank(), punctuator(), identifier_start() {
    for (unsigned char c : {' ', '\t', '\v', '\f'}) blank[c] = true;
    for (unsigned char c : {'(', ')', ',', ';', '[', ']', '{', '}', '~'}) punctuator[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) identifier_start[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) identifier_start[c] = true;
    identifier_start[static_cast<unsigned char>('_')] = true;
  }
};
constexpr SimpleByteTable kSimpleBytes;

// An identifier of plain bytes that the filter may hold.
struct NamedIdentifier {
  const char* begin;
  const char* end;
  uint32_t name_hash;
};

// Steps over what needs no call of the lexer: blanks, one-character
// punctuators and identifiers of plain bytes (hashed on the way). Stops
// before anything else, or just after an identifier that the filter may
// hold, which it returns in *named. In C++ mode an operator word is stepped
// over as an identifier: it is copied as it stands either way, and no table
// names it.
const char* skip_simple_tokens(const char* cursor, const NameFilter& filter, NamedIdentifier* named) {
  for (;;) {
    unsigned char c = static_cast<unsigned char>(*cursor);
    if (kSimpleBytes.blank[c] || kSimpleBytes.punctuator[c]) {
      ++cursor;
      continue;
    }
    if (!kSimpleBytes.identifier_start[c]) return cursor;
    if (c == 'L' && (cursor[1] == '"' || cursor[1] == '\'')) return cursor;  // a wide literal
    const char* end = cursor;
    uint32_t name_hash = 0;
    while (kIdentifierBytes.is[static_cast<unsigned char>(*end)]) {
      name_hash = name_hash * 11 + static_cast<unsigned char>(*end++);
    }
    // A splice, a trigraph or a universal character name may go on with it.
    if (*end == '\\' || *end == '?') return cursor;
    name_hash &= 0xFFFFF;
    if (filter_may_hold(filter, name_hash)) {
      *named = NamedIdentifier{cursor, end, name_hash};
      return end;
    }
    cursor = end;
  }
}

// The names of a line replaced in place, each by the one token it becomes.
constexpr int kInPlaceRenames = 32;

// Whether the logical line that starts at `start` is a directive: its first
// token is '#' (or "%:" or "??=").
bool line_is_directive(Preprocessor* p, const char* start) {
  const char* cursor = start;
  TokenKind kind = next_token(p, cursor, 1);
  if (kind == TK_WHITESPACE) kind = next_token(p, cursor, 1);
  return kind == TK_HASH;
}

}  // namespace

// A line that comes out as it stands, or with only plainly written names
// replaced, each by the one token it becomes, and that holds no _Pragma and
// no __VA_ARGS__: it is checked as it is read and written without becoming
// tokens. Returns false when the line needs the whole treatment; nothing is
// consumed then, and `checked_end` tells how far its tokens were checked
// already.
static bool copy_plain_line(Preprocessor* p, const NameFilter& filter, const char** checked_end) {
  SourceFrame* frame = p->source_top;
  const char* start = frame->pos;
  *checked_end = start;
  if (*start == '\0') return false;
  const char* cursor = start;
  Edit renames[kInPlaceRenames];
  int rename_count = 0;
  int va_args_seen = 0;
  int directive = -1;  // not known yet
  for (;;) {
    NamedIdentifier named{nullptr, nullptr, 0};
    cursor = skip_simple_tokens(cursor, filter, &named);
    if (named.begin) {
      IdentEntry* name = intern_hashed_spelling(named.begin, named.end, named.name_hash, true, p);
      if (name == p->id_va_args && !is_cplusplus(p)) va_args_seen = 1;
      // Only a _Pragma makes the rule ask whether the line is a directive.
      if (name == p->id_pragma || (name->macro && settled_target(name->macro)->ident == p->id_pragma)) {
        if (directive < 0) directive = line_is_directive(p, start) ? 1 : 0;
      }
      const NameSite site{frame->text, named.begin, named.end, directive == 1};
      const Token* target = nullptr;
      NameFate fate = fate_of_name(p, name, &site, &target);
      if (fate == NameFate::KEPT) continue;
      if (fate == NameFate::WHOLE_LINE || rename_count == kInPlaceRenames) {
        *checked_end = cursor;
        return false;
      }
      size_t length = static_cast<size_t>(target->text_end - target->text_begin);
      renames[rename_count++] = Edit{named.begin, named.end, target->text_begin, length};
      continue;
    }
    const char* token = cursor;
    TokenKind kind = next_token(p, cursor, 0);
    if (kind == TK_NEWLINE) break;
    if (kind == TK_IDENTIFIER && filter_may_hold(filter, identifier_name_hash(token, cursor))) {
      *checked_end = cursor;
      return false;
    }
    if (kind == TK_EOF || kind == TK_UNTERMINATED_COMMENT) {
      *checked_end = token;
      return false;
    }
  }
  // A __VA_ARGS__ of the line is reported before the line is written, with
  // the number of the line on which it begins, as for a line of tokens.
  p->va_args_seen = va_args_seen;
  report_va_args(p);
  write_stretch(p, start, cursor, renames, static_cast<size_t>(rename_count));
  frame->pos = cursor;
  end_source_line(p);
  return true;
}

static bool holds_pragma_name(const Token* list, const Preprocessor* p) {
  for (; list; list = list->next) {
    if (list->kind == TK_IDENTIFIER && list->ident == p->id_pragma) return true;
  }
  return false;
}

// Reads and expands a logical line. The parts of a long line are spelled
// and held as text as they come, so that its tokens never all exist at
// once; a part with a _Pragma ends that, since the operator is carried out
// on the tokens of the rest of the line.
static Token* read_expanded_line(Preprocessor* p, LinePart part, bool* directive) {
  bool ended;
  Token* line = read_first_line_part(part, &ended, p);
  if (!line) return nullptr;
  *directive = line->kind == TK_HASH;
  expand_line(p, &line);
  while (!ended) {
    if (!*directive && holds_pragma_name(line, p)) {
      part.limit = 0;
      Token** rest = list_end(&line);
      *rest = read_next_line_part(part, &ended, p);
      expand_line(p, rest);
      break;
    }
    hold_line_part(p, line);
    free_token_list(line);
    line = read_next_line_part(part, &ended, p);
    expand_line(p, &line);
  }
  return line;
}

void run_source(const char* name, Preprocessor* p) {
  RunSettings* settings = p->settings;
  LoadedText text;
  locate_and_load(name, ".", &text, settings);
  push_source(text, name, settings->full_path, p);
  // A table taken from a snapshot brings its filter; build it otherwise.
  const NameFilter filter = p->table_filter ? *p->table_filter : build_name_filter(p);
  while (p->source_top) {
    for (;;) {
      const char* checked_end = p->source_top->pos;
      start_line(p, checked_end);
      if (settings->options->in_place_renaming && copy_plain_line(p, filter, &checked_end)) continue;
      bool directive = false;
      Token* line = read_expanded_line(p, LinePart{1, checked_end, &filter, settings->options->line_part_tokens}, &directive);
      if (!line) break;
      process_line(p, line, directive ? LineRole::DIRECTIVE : LineRole::SOURCE_LINE);
      free_token_list(line);
    }
    pop_open_name(settings);
    pop_source(p);
    process_line(p, nullptr, LineRole::SOURCE_LINE);
  }
  flush_source_text(p);
}
