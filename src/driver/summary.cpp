#include "driver/summary.h"

#include <algorithm>

#include "diag/output.h"
#include "lex/char_class.h"
#include "lex/char_input.h"
#include "lex/tokenizer.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/spelling_table.h"

namespace {

std::string spelling_of(Preprocessor* p, const IdentEntry* entry) {
  char* spelled = token_spelling(p->store, entry->text_begin, entry->text_end);
  std::string result(spelled);
  pool_free(spelled);
  return result;
}

// The stretch of a token whose words are looked at: a comment whole, a
// literal between its quotes (its prefix and suffix are names of the code),
// a raw string between its parentheses.
bool words_stretch(TokenKind kind, const char* begin, const char* end, const char** from, const char** to) {
  switch (kind) {
    case TK_WHITESPACE:
    case TK_UNTERMINATED_COMMENT:
      *from = begin;
      *to = end;
      return true;
    case TK_STRING:
    case TK_WIDE_STRING:
    case TK_CHAR:
    case TK_WIDE_CHAR:
    case TK_RAW_STRING:
    case TK_UNTERMINATED_RAW_STRING: {
      const bool raw = kind == TK_RAW_STRING || kind == TK_UNTERMINATED_RAW_STRING;
      auto opens = [raw](char c) { return raw ? c == '(' : c == '"' || c == '\''; };
      auto closes = [raw](char c) { return raw ? c == ')' : c == '"' || c == '\''; };
      const char* open = std::find_if(begin, end, opens);
      if (open == end) return false;
      // An unterminated literal runs to the end of the token.
      const char* close = end;
      while (close > open + 1 && !closes(close[-1])) --close;
      *from = open + 1;
      *to = close > open + 1 ? close - 1 : end;
      return true;
    }
    default:
      return false;
  }
}

struct MentionCount {
  unsigned long count;
  unsigned long first_line;
};

// Counts the table's names among the words (maximal runs of identifier
// characters) of comments and literals.
void scan_mentions(Preprocessor* p, const LoadedText& text, std::unordered_map<const IdentEntry*, MentionCount>* found,
                   std::vector<const IdentEntry*>* order) {
  const LexState quiet = quiet_lex_state(p->lex);
  const char* cursor = text.text;
  const char* const text_end = text.text + text.length;
  const char* counted = text.text;
  unsigned long line = 1;
  while (cursor < text_end) {
    const char* begin = cursor;
    TokenKind kind = next_token(&quiet, cursor);
    if (kind == TK_EOF || cursor == begin) break;
    const char* from;
    const char* to;
    if (!words_stretch(kind, begin, cursor, &from, &to)) continue;
    for (const char* c = from; c < to;) {
      if (!byte_is(*c, CHAR_IDENTIFIER)) {
        ++c;
        continue;
      }
      const char* word = c;
      while (c < to && byte_is(*c, CHAR_IDENTIFIER)) ++c;
      if (*word >= '0' && *word <= '9') continue;
      IdentEntry* entry = intern_spelling(p, word, c);
      if (!entry->macro) continue;
      line += static_cast<unsigned long>(count_line_breaks(counted, word));
      counted = word;
      auto slot = found->emplace(entry, MentionCount{0, line});
      if (slot.second) order->push_back(entry);
      ++slot.first->second.count;
    }
  }
}

}  // namespace

void tally_run(Preprocessor* p, const RenameTally& renames, const LoadedText* text, FileTally* tally) {
  if (renames.table_order) {
    for (const IdentEntry* name : *renames.table_order) tally->table_order.push_back(spelling_of(p, name));
  }
  if (p->report.failed) return;
  for (const auto& renamed : renames.renamed) tally->renamed.emplace_back(spelling_of(p, renamed.first), renamed.second);
  if (!text || !text->text) return;
  std::unordered_map<const IdentEntry*, MentionCount> found;
  std::vector<const IdentEntry*> order;
  scan_mentions(p, *text, &found, &order);
  for (const IdentEntry* name : order) {
    const MentionCount& mention = found[name];
    tally->mentions.push_back(FileTally::Mention{spelling_of(p, name), mention.count, mention.first_line});
  }
}

void add_to_summary(RunSummary* summary, const FileTally& tally, const std::string& source_name, bool failed,
                    bool changed) {
  if (summary->table_order.empty()) summary->table_order = tally.table_order;
  ++summary->read;
  if (failed) {
    ++summary->failed;
    return;
  }
  if (changed) ++summary->changed;
  for (const auto& renamed : tally.renamed) {
    summary->names[renamed.first].renamed += renamed.second;
    summary->renamed += renamed.second;
  }
  for (const FileTally::Mention& mention : tally.mentions) {
    RunSummary::Totals& totals = summary->names[mention.name];
    if (!totals.mentions) {
      totals.first_source = source_name;
      totals.first_line = mention.first_line;
    }
    totals.mentions += mention.count;
  }
}

void print_summary(FILE* stream, const RunSummary& summary) {
  out_printf(stream, "summary: sources read %zu, changed %zu, failed %zu; identifiers renamed %lu\n", summary.read,
             summary.changed, summary.failed, summary.renamed);
  // A name the table gives twice is listed once, where it first stands.
  std::vector<std::string> names;
  std::unordered_map<std::string, bool> listed;
  for (const std::string& name : summary.table_order) {
    if (listed.emplace(name, true).second) names.push_back(name);
  }
  // No run reported the table (its first source was refused): the names
  // counted are listed in byte order.
  if (names.empty()) {
    for (const auto& entry : summary.names) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
  }
  static const RunSummary::Totals kNone;
  auto totals_of = [&](const std::string& name) -> const RunSummary::Totals& {
    auto found = summary.names.find(name);
    return found == summary.names.end() ? kNone : found->second;
  };
  for (const std::string& name : names) {
    if (totals_of(name).renamed) out_printf(stream, "renamed: %s %lu\n", name.c_str(), totals_of(name).renamed);
  }
  for (const std::string& name : names) {
    if (!totals_of(name).renamed) out_printf(stream, "not found: %s\n", name.c_str());
  }
  for (const std::string& name : names) {
    const RunSummary::Totals& totals = totals_of(name);
    if (!totals.mentions) continue;
    out_printf(stream, "in comments or literals: %s %lu, first \"%s\" (%lu)\n", name.c_str(), totals.mentions,
               totals.first_source.c_str(), totals.first_line);
  }
}
