#include "macro/expansion.h"

#include "lex/token.h"
#include "macro/macro_table.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/rename_tally.h"
#include "source/spelling_table.h"

namespace {

MacroDef* macro_named_by(const Token* token) { return token->ident ? token->ident->macro : nullptr; }

// Definitions as settle_chain walks them.
struct MacroChain {
  static constexpr MacroDef* none = nullptr;
  int32_t state(MacroDef* def) const { return def->settle_state; }
  void set_state(MacroDef* def, int32_t state) const { def->settle_state = state; }
  MacroDef* next(MacroDef* def) const { return macro_named_by(def->replacement); }
  const Token* own_end(MacroDef* def) const { return def->replacement; }
  const Token* settled(MacroDef* def) const { return def->settled; }
  void settle(MacroDef* def, const Token* end) const { def->settled = end; }
};

// A target written where the name stood, with nothing around it changed,
// could read back as another token with its neighbour: after a backslash
// (written as such or as "??/") it may complete a universal character
// name, and before a quote it may be a literal's prefix (L"x"). Only the
// bytes next to the name matter: a plainly written name has no splice.
bool could_join_a_neighbour(const NameSite& site) {
  const char* before = site.begin;
  bool after_backslash = before > site.text && before[-1] == '\\';
  bool after_trigraph_backslash =
      before - site.text >= 3 && before[-1] == '/' && before[-2] == '?' && before[-3] == '?';
  bool before_quote = *site.end == '"' || *site.end == '\'';
  return after_backslash || after_trigraph_backslash || before_quote;
}

}  // namespace

const Token* settled_target(MacroDef* def) {
  MacroChain chain;
  if (def->settle_state == SETTLE_UNKNOWN) settle_chain(chain, def);
  return def->settled;
}

NameFate fate_of_name(Preprocessor* p, IdentEntry* name, const NameSite* site, const Token** target, NameUse use) {
  // Outside a directive, a _Pragma of the line (the source's own, or one a
  // renaming makes) may begin an operator, which only the tokens can show.
  bool operator_possible = site && !site->directive && use == NameUse::ORDINARY;
  if (!name->macro) return operator_possible && name == p->id_pragma ? NameFate::WHOLE_LINE : NameFate::KEPT;
  const Token* settled = settled_target(name->macro);
  // A number's suffix without its underscore would be no suffix, and the
  // name would not come back when renamed back.
  if (use == NameUse::NUMBER_SUFFIX && *settled->text_begin != '_') return NameFate::KEPT;
  if (site) {
    if (operator_possible && settled->ident == p->id_pragma) return NameFate::WHOLE_LINE;
    if (could_join_a_neighbour(*site)) return NameFate::WHOLE_LINE;
  }
  *target = settled;
  return NameFate::REPLACED;
}

namespace {

// Modern C++: a literal whose suffix the table names is cut before it, and
// the suffix's target follows as a token of its own, written right after it.
void replace_suffix(Preprocessor* p, Token* literal) {
  const char* suffix = literal_suffix(&p->lex, literal->kind, literal->text_begin, literal->text_end);
  if (suffix == literal->text_end) return;
  IdentEntry* name = intern_spelling(p, suffix, literal->text_end);
  NameUse use = literal->kind == TK_PP_NUMBER ? NameUse::NUMBER_SUFFIX : NameUse::LITERAL_SUFFIX;
  const Token* target = nullptr;
  if (fate_of_name(p, name, nullptr, &target, use) != NameFate::REPLACED) return;
  note_rename(p, name, target);
  Token* copy = static_cast<Token*>(pool_alloc(p->store, sizeof(Token)));
  *copy = *target;
  copy->ws_begin = copy->ws_end = nullptr;
  copy->macro = nullptr;
  copy->no_expand = 1;
  copy->suffix = true;
  copy->next = literal->next;
  literal->text_end = suffix;
  literal->next = copy;
}

}  // namespace

void expand_line(Preprocessor* p, Token** list) {
  const bool suffixes = suffixes_are_names(p->lex);
  for (Token** slot = list; *slot; slot = &(*slot)->next) {
    Token* name = *slot;
    if (suffixes && name->kind != TK_IDENTIFIER && !name->suffix) {
      replace_suffix(p, name);
      continue;
    }
    if (name->kind != TK_IDENTIFIER || !name->ident || name->no_expand) continue;
    const Token* target = nullptr;
    if (fate_of_name(p, name->ident, nullptr, &target) != NameFate::REPLACED) continue;
    note_rename(p, name->ident, target);
    Token* copy = static_cast<Token*>(pool_alloc(p->store, sizeof(Token)));
    *copy = *target;
    // The target takes the white space (and comments) that stood before the
    // name; a splice that opened the name's text goes with the name, and its
    // line break is written back after the line.
    copy->ws_begin = name->ws_begin;
    copy->ws_end = name->ws_end;
    // A name of a cycle met again stays as it is for good.
    copy->macro = macro_named_by(copy);
    copy->no_expand = copy->macro != nullptr;
    copy->next = name->next;
    *slot = copy;
    pool_free(name);
  }
}
