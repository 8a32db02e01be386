#include "output/line_processor.h"

#include "diag/diagnostics.h"
#include "lex/name_filter.h"
#include "lex/token.h"
#include "lex/tokenizer.h"
#include "lex/wide_scan.h"
#include "macro/expansion.h"
#include "macro/name_filter.h"
#include "output/line_writer.h"
#include "output/pragma.h"
#include "source/logical_line.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

static void report_va_args(Preprocessor* p) {
  if (!p->va_args_seen) return;
  if (diag_portability(&p->report, "\"__VA_ARGS__\" identifier encountered in illegal context")) {
    diag_tip(&p->report, "the identifier shall occur only in the replacement-list of a variadic macro");
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
    while (carry_out_next_pragma(p, &list, &rest)) {
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

// The names of a line replaced in place, each by the one token it becomes.
constexpr size_t kInPlaceRenames = 32;

// How a line's reading as tokens begins: after what the renaming in place
// read of it already, if anything.
struct LineStart {
  bool handed_off;
  bool directive;
  bool va_args_seen;
  Token first;  // the token it stopped at, when handed off
};

// Lines in which no name can be renamed and nothing needs the tokeniser
// are copied as they stand, as many as follow each other, in one piece;
// true when there were any. Lost line breaks still to be written keep the
// lines one by one.
static bool copy_plain_lines(Preprocessor* p, const NameFilter& filter) {
  if (p->pending_newlines) return false;
  SourceFrame* frame = p->source_top;
  const char* begin = frame->pos;
  const char* end = plain_lines_end(begin, filter.starts, suffixes_are_names(p->lex));
  if (end == begin) return false;
  write_stretch(p, begin, end, nullptr, 0);
  frame->pos = end;
  p->crlf_line_end = end - begin >= 2 && end[-2] == '\r';
  end_source_line(p);
  return true;
}

// The renaming in place. The line at the frame's position is read by the
// tokeniser's first pass, which makes no tokens; a line whose only changes
// are plainly written names, each becoming one token, is written as it
// stands with those names replaced, and true returned. Any other line goes
// on as tokens from the token where the pass stopped: nothing is read
// twice, the start of the line is held with its renames, and `start` tells
// the reading where it goes on.
static bool rename_in_place(Preprocessor* p, const NameFilter& filter, LineStart* start) {
  SourceFrame* frame = p->source_top;
  const char* line_begin = frame->pos;
  if (*line_begin == '\0') return false;
  if (copy_plain_lines(p, filter)) return true;
  LineScan scan;
  begin_line_scan(&scan, line_begin);
  Edit renames[kInPlaceRenames];
  size_t count = 0;
  const Token* last_target = nullptr;  // put in by the last rename
  bool last_was_suffix = false;
  bool va_args_seen = false;
  for (;;) {
    ScanStop stop = scan_to_name(&p->lex, &scan, filter);
    if (stop == ScanStop::LINE_END) {
      note_line_end(p, scan.begin, scan.end);
      break;
    }
    if (stop == ScanStop::NAME) {
      IdentEntry* name = intern_hashed_spelling(p, scan.begin, scan.end, scan.name_hash, true);
      if (name == p->id_va_args && !is_cplusplus(p)) va_args_seen = true;
      const NameSite site{frame->text, scan.begin, scan.end, scan.directive};
      const Token* target = nullptr;
      NameFate fate = fate_of_name(p, name, &site, &target, scan.use);
      if (fate == NameFate::KEPT) continue;
      if (fate == NameFate::REPLACED && count < kInPlaceRenames) {
        note_rename(p, name, target);
        size_t length = static_cast<size_t>(target->text_end - target->text_begin);
        renames[count++] = Edit{scan.begin, scan.end, target->text_begin, length, 0};
        last_target = target;
        last_was_suffix = scan.use != NameUse::ORDINARY;
        continue;
      }
    }
    // The rest of the line is read as tokens, beginning with this one.
    bool has_ws = scan.ws_begin != scan.token_begin;
    // A suffix goes on as the literal it ends.
    start->first = Token{scan.token_kind, 0, nullptr, nullptr, has_ws ? scan.ws_begin : nullptr,
                         has_ws ? scan.token_begin : nullptr, scan.token_begin, scan.end, nullptr, false};
    start->handed_off = true;
    start->directive = scan.directive;
    start->va_args_seen = va_args_seen;
    frame->pos = scan.end;
    if (scan.ws_begin != line_begin) {
      Token previous{scan.previous_kind, 0, nullptr, nullptr, nullptr, nullptr, scan.previous_begin, scan.previous_end,
                     nullptr, false};
      if (count && renames[count - 1].end == scan.previous_end) {
        previous = *last_target;
        previous.suffix = last_was_suffix;  // as the tokens have it
      }
      hold_line_start(p, line_begin, scan.ws_begin, renames, count, previous);
    }
    return false;
  }
  // A __VA_ARGS__ of the line is reported before the line is written, with
  // the number of the line on which it begins, as for a line of tokens.
  p->va_args_seen = va_args_seen;
  report_va_args(p);
  write_stretch(p, line_begin, scan.cursor, renames, count);
  frame->pos = scan.cursor;
  end_source_line(p);
  return true;
}

static bool holds_pragma_name(const Preprocessor* p, const Token* list) {
  for (; list; list = list->next) {
    if (list->kind == TK_IDENTIFIER && list->ident == p->id_pragma) return true;
  }
  return false;
}

// Reads and expands a logical line. The parts of a long line are spelled
// and held as text as they come, so that its tokens never all exist at
// once; a part with a _Pragma ends that, since the operator is carried out
// on the tokens of the rest of the line.
static Token* read_expanded_line(Preprocessor* p, LinePart part, LineStart* start) {
  bool ended;
  Token* line = read_first_line_part(p, part, &ended);
  if (!line) return nullptr;
  if (start->handed_off) {
    p->va_args_seen |= start->va_args_seen;
  } else {
    start->directive = line->kind == TK_HASH;
  }
  expand_line(p, &line);
  while (!ended) {
    if (!start->directive && holds_pragma_name(p, line)) {
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

void run_source(Preprocessor* p, const char* name) {
  LoadedText text;
  locate_and_load(p->settings, name, ".", &text);
  run_loaded_source(p, name, text);
}

void run_loaded_source(Preprocessor* p, const char* name, const LoadedText& text) {
  RunSettings* settings = p->settings;
  push_source(p, text, name, settings->full_path);
  // A table taken from a snapshot brings its filter; build it otherwise.
  const NameFilter filter = p->table_filter ? *p->table_filter : build_name_filter(p);
  const bool in_place = settings->in_place_renaming;
  while (p->source_top) {
    for (;;) {
      start_line(p, p->source_top->pos);
      LineStart start;
      start.handed_off = false;
      start.directive = false;
      if (in_place && rename_in_place(p, filter, &start)) continue;
      LinePart part{Report::ON, &filter, settings->line_part_tokens, start.handed_off ? &start.first : nullptr};
      Token* line = read_expanded_line(p, part, &start);
      if (!line) break;
      process_line(p, line, start.directive ? LineRole::DIRECTIVE : LineRole::SOURCE_LINE);
      free_token_list(line);
    }
    pop_open_name(settings);
    pop_source(p);
    process_line(p, nullptr, LineRole::SOURCE_LINE);
  }
  flush_source_text(p);
}
