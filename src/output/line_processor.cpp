#include "output/line_processor.h"

#include <cstdio>
#include <cstring>

#include "diag/diagnostics.h"
#include "lex/identifier.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "macro/expansion.h"
#include "macro/macro_table.h"
#include "macro/name_filter.h"
#include "memory/pool.h"
#include "output/held_line.h"
#include "output/output_sink.h"
#include "output/pragma.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

// Small pieces gather here before they go to the stream: a renamed line is
// many pieces, and a stream call for each costs more than copying it.
constexpr size_t kGatherBytes = 16384;

static void send(Preprocessor* p, const char* text, size_t length) {
  if (!length) return;
  FILE* out = p->sink->out;
  size_t written = fwrite(text, 1, length, out);
  // A file's write errors are found when it is closed; the standard output
  // has no one to report to but the process status.
  if (written != length && out == stdout) output_error_exit(stdout);
}

static void send_gathered(Preprocessor* p) {
  size_t length = p->sink->gathered_length;
  p->sink->gathered_length = 0;
  send(p, p->sink->gathered, length);
}

static void write_now(Preprocessor* p, const char* text, size_t length) {
  if (!length) return;
  if (length >= kGatherBytes / 2) {
    send_gathered(p);
    send(p, text, length);
    return;
  }
  if (!p->sink->gathered) p->sink->gathered = static_cast<char*>(arena_alloc(p->store->arena, kGatherBytes));
  if (p->sink->gathered_length + length > kGatherBytes) send_gathered(p);
  memcpy(p->sink->gathered + p->sink->gathered_length, text, length);
  p->sink->gathered_length += length;
}

// The source text in hand goes behind what was written before it.
static void pass_on_source_text(Preprocessor* p) {
  write_now(p, p->sink->unwritten_begin, static_cast<size_t>(p->sink->unwritten_end - p->sink->unwritten_begin));
  p->sink->unwritten_begin = p->sink->unwritten_end = nullptr;
}

void flush_source_text(Preprocessor* p) {
  pass_on_source_text(p);
  send_gathered(p);
}

void write_source_text(Preprocessor* p, const char* begin, const char* end) {
  if (begin != p->sink->unwritten_end) {
    pass_on_source_text(p);
    p->sink->unwritten_begin = begin;
  }
  p->sink->unwritten_end = end;
}

void write_output(Preprocessor* p, const char* text, unsigned long length) {
  pass_on_source_text(p);
  write_now(p, text, length);
}

static char* line_buffer_for(Preprocessor* p, size_t size) {
  if (size > p->sink->line_capacity) {
    size_t capacity = p->sink->line_capacity ? p->sink->line_capacity : 4096;
    while (capacity < size) capacity *= 2;
    p->sink->line_buffer = static_cast<char*>(arena_alloc(p->store->arena, capacity));
    p->sink->line_capacity = capacity;
  }
  return p->sink->line_buffer;
}

// Writes a list through the line buffer, with a blank wherever two tokens
// would otherwise run together, the first of them perhaps held already.
static void write_spelled(const Token* list, SpellJoin* join, Preprocessor* p) {
  char* text = line_buffer_for(p, spelled_size(list, WhiteSpace::AS_WRITTEN));
  size_t length = static_cast<size_t>(spell_tokens_to(p, text, list, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART, join) - text);
  write_output(p, text, length);
  p->pending_newlines -= count_line_breaks(text, text + length);
}

// True when the list is one stretch of text, every token with its white
// space directly after the one before it: then it reads back as it is.
static bool unchanged_extent(const Token* list, const char** begin, const char** end) {
  const char* reached = list->ws_begin ? list->ws_begin : list->text_begin;
  *begin = reached;
  for (const Token* token = list; token; token = token->next) {
    if (token->ws_begin) {
      if (token->ws_begin != reached) return false;
      reached = token->ws_end;
    }
    if (token->text_begin != reached) return false;
    reached = token->text_end;
  }
  *end = reached;
  return true;
}

static void report_va_args(Preprocessor* p) {
  if (!p->va_args_seen) return;
  if (diag_portability(&p->report, "\"__VA_ARGS__\" identifier encountered in illegal context")) {
    diag_tip(&p->report, "the identifier shall occur only in the replacement-list of a variadic macro");
  }
  p->va_args_seen = 0;
}

// Line breaks lost in a replaced identifier or a _Pragma operator are written
// back after the line, when there are few enough of them to be one gap.
static void restore_lost_newlines(Preprocessor* p) {
  if (p->pending_newlines < 1 || p->pending_newlines > 3) return;
  static const char kNewlines[] = "\n\n\n";
  write_output(p, kNewlines, static_cast<unsigned long>(p->pending_newlines));
  p->pending_newlines = 0;
}

void process_line(Token* list, int nested, Preprocessor* p) {
  report_va_args(p);
  // A nested write is part of a line whose operators were found already, or
  // a pragma line, whose tokens are not processed.
  if (!nested) {
    Token* rest;
    while (carry_out_next_pragma(&list, &rest, p)) {
      list = rest;
      report_va_args(p);
    }
    // Lines joined for an operator that was never completed are reported
    // with the line they were joined to.
    report_va_args(p);
  }
  SourceFrame* frame = nested ? nullptr : p->source_top;
  const char* begin;
  const char* end;
  if (frame && list && unchanged_extent(list, &begin, &end) && begin == frame->counted && end == frame->pos) {
    // The line goes out exactly as it was read: its line breaks are counted
    // and written alike, and the text needs no copy.
    count_frame_lines(frame);
    write_source_text(p, begin, end);
  } else {
    if (frame) p->pending_newlines += count_frame_lines(frame);
    SpellJoin join;
    write_held_line(p, &join);
    if (list) write_spelled(list, &join, p);
  }
  restore_lost_newlines(p);
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

// A name of the line replaced in place by the one token it becomes.
struct InPlaceRename {
  const char* begin;
  const char* end;
  const Token* target;
};
constexpr int kInPlaceRenames = 32;

enum class NameFate { KEPT, RENAMED, NEEDS_WHOLE_LINE };

// What becomes of a plainly written name when nothing else of its line
// changes: kept, or replaced by the one token it becomes (*target). The
// whole treatment is needed for _Pragma and __VA_ARGS__, for a target that
// could join the token after it (L before a quote) or begins otherwise than
// plainly, and for a chain that does not end in one token.
NameFate fate_of_name(Preprocessor* p, const NamedIdentifier& name, const Token** target) {
  IdentEntry* ident = intern_hashed_spelling(p, name.begin, name.end, name.name_hash, true);
  if (ident == p->id_pragma || ident == p->id_va_args) return NameFate::NEEDS_WHOLE_LINE;
  if (!ident->macro) return NameFate::KEPT;
  const Token* settled = settled_target(ident->macro);
  if (!settled || settled->ident == p->id_pragma || settled->ident == p->id_va_args) return NameFate::NEEDS_WHOLE_LINE;
  if (*name.end == '"' || *name.end == '\'') return NameFate::NEEDS_WHOLE_LINE;
  if (!kSimpleBytes.identifier_start[static_cast<unsigned char>(*settled->text_begin)]) {
    return NameFate::NEEDS_WHOLE_LINE;
  }
  *target = settled;
  return NameFate::RENAMED;
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
  InPlaceRename renames[kInPlaceRenames];
  int rename_count = 0;
  for (;;) {
    NamedIdentifier named{nullptr, nullptr, 0};
    cursor = skip_simple_tokens(cursor, filter, &named);
    if (named.begin) {
      const Token* target = nullptr;
      NameFate fate = fate_of_name(p, named, &target);
      if (fate == NameFate::KEPT) continue;
      if (fate == NameFate::NEEDS_WHOLE_LINE || rename_count == kInPlaceRenames) {
        *checked_end = cursor;
        return false;
      }
      renames[rename_count++] = InPlaceRename{named.begin, named.end, target};
      continue;
    }
    const char* token = cursor;
    TokenKind kind = next_token(&p->lex, cursor);
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
  p->va_args_seen = 0;
  frame->pos = cursor;
  frame->uncounted_end = cursor;  // its breaks are written and need counting only for a line number
  const char* from = start;
  for (int i = 0; i < rename_count; ++i) {
    write_source_text(p, from, renames[i].begin);
    const Token* target = renames[i].target;
    write_output(p, target->text_begin, static_cast<unsigned long>(target->text_end - target->text_begin));
    from = renames[i].end;
  }
  write_source_text(p, from, cursor);
  restore_lost_newlines(p);
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
static Token* read_expanded_line(Preprocessor* p, LinePart part) {
  bool ended;
  Token* line = read_first_line_part(p, part, &ended);
  if (!line) return nullptr;
  expand_line(p, &line);
  while (!ended) {
    if (holds_pragma_name(line, p)) {
      part.limit = 0;
      Token** rest = list_end(&line);
      *rest = read_next_line_part(p, part, &ended);
      expand_line(p, rest);
      break;
    }
    hold_line_part(p, line);
    free_token_list(line);
    line = read_next_line_part(p, part, &ended);
    expand_line(p, &line);
  }
  return line;
}

void run_source(const char* name, Preprocessor* p) {
  RunSettings* settings = p->settings;
  LoadedText text;
  locate_and_load(settings, name, ".", &text);
  push_source(p, text, name, settings->full_path);
  // A table taken from a snapshot brings its filter; build it otherwise.
  const NameFilter filter = p->table_filter ? *p->table_filter : build_name_filter(p);
  while (p->source_top) {
    for (;;) {
      const char* checked_end;
      checked_end = p->source_top->pos;
      if (settings->in_place_renaming && copy_plain_line(p, filter, &checked_end)) continue;
      Token* line = read_expanded_line(p, LinePart{Report::ON, checked_end, &filter, settings->line_part_tokens});
      if (!line) break;
      process_line(line, 0, p);
      free_token_list(line);
    }
    pop_open_name(settings);
    pop_source(p);
    process_line(nullptr, 0, p);
  }
  flush_source_text(p);
}
