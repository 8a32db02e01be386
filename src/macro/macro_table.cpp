#include "macro/macro_table.h"

#include "diag/diagnostics.h"
#include "lex/char_input.h"
#include "lex/token.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

static const char kSingleBlank[] = " ";

MacroDef* find_macro(const IdentEntry* name) { return name->macro; }

void take_replacement_list(Token** list, MacroDef* def) {
  Token** cut = list;
  while (*cut && (*cut)->kind != TK_NEWLINE) cut = &(*cut)->next;
  if (cut == list) {
    def->replacement = nullptr;
  } else {
    def->replacement = *list;
    *list = *cut;
    *cut = nullptr;
    def->replacement->ws_begin = nullptr;
    def->replacement->ws_end = nullptr;
  }
  normalize_replacement_ws(def);
}

void normalize_replacement_ws(MacroDef* def) {
  for (Token* token = def->replacement; token; token = token->next) {
    if (!token->ws_begin) continue;
    token->ws_begin = kSingleBlank;
    token->ws_end = kSingleBlank + 1;
  }
}

bool same_replacement(const Token* a, const Token* b) {
  for (; a && b; a = a->next, b = b->next) {
    if ((a->ws_begin == nullptr) != (b->ws_begin == nullptr)) return false;
    if (!same_spelling(a->text_begin, a->text_end, b->text_begin, b->text_end)) return false;
  }
  return a == nullptr && b == nullptr;
}

// Runs `report` with the spelling of the definition's name, made for the
// message and given back right after it.
template <typename Report>
static void with_name_spelling(MacroDef* def, Report report) {
  Pool* pool = def->owner->store;
  char* name = token_spelling(pool, def->name->text_begin, def->name->text_end);
  report(name);
  pool_free(name);
}

static bool is_protected_name(const Preprocessor* p, const IdentEntry* name) {
  return name == p->id_stdc_iec_559 || name == p->id_stdc_iec_559_complex || name == p->id_stdc_iso_10646;
}

static void note_location(Preprocessor* p, const char* name, const SourceLocation* location) {
  if (!location) {
    diag_tip(&p->report, "macro \"%s\" is defined in command line", name);
  } else {
    diag_tip(&p->report, "macro \"%s\" is defined in \"%s\" (%ld)", name, location->name,
             static_cast<long>(location->line));
  }
}

bool redefinition_taken(Preprocessor* p, const char* name, bool predefined, bool same,
                        const SourceLocation* old_location) {
  if (predefined) {
    diag_error(&p->report, "predefined macro \"%s\" redefinition", name);
    diag_tip(&p->report, "macro redefinition ignored");
    return false;
  }
  if (!same) {
    const char* format = "macro \"%s\" - redefinition with nonidentical replacement list";
    bool shown = diag_portability(&p->report, format, name) || diag_warning(&p->report, format, name);
    if (shown) note_location(p, name, old_location);
  }
  return true;
}

void redefine_macro(MacroDef** slot, MacroDef* def) {
  MacroDef* old = *slot;
  Preprocessor* p = old->owner;
  bool taken = true;
  with_name_spelling(old, [&](const char* name) {
    taken = redefinition_taken(p, name, is_protected_name(p, old->name),
                               same_replacement(old->replacement, def->replacement), old->location);
  });
  if (!taken) {
    free_macro(def);
    return;
  }
  *slot = def;
  free_macro(old);
}

void note_macro_location(MacroDef* def) {
  Preprocessor* p = def->owner;
  with_name_spelling(def, [p, def](const char* name) { note_location(p, name, def->location); });
}

void free_macro(MacroDef* def) {
  free_token_list(def->replacement);
  if (def->location) {
    pool_free(const_cast<char*>(def->location->name));
    pool_free(def->location);
  }
  pool_free(def);
}

void enter_macro(MacroDef* def) {
  MacroDef** slot = &def->name->macro;
  if (*slot) {
    redefine_macro(slot, def);
  } else {
    *slot = def;
  }
}
