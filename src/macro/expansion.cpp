#include "macro/expansion.h"

#include "lex/token.h"
#include "macro/macro_table.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/spelling_table.h"
#include "source/token_list.h"

namespace {

// One level of expansion in progress: the line itself, or a macro whose
// replacement is still being scanned.
struct ExpansionContext {
  Token* finished;
  Token** finished_tail;  // so that appending never walks the finished tokens
  Token* pending;
  MacroDef* expanding;
  Token** result_slot;
  ExpansionContext* parent;
};

MacroDef* macro_named_by(const Token* token) { return token->ident ? token->ident->macro : nullptr; }

// Returns whether any identifier of the list names a macro.
bool look_up_macros(Token* list) {
  bool any = false;
  for (Token* token = list; token; token = token->next) {
    if (token->kind != TK_IDENTIFIER) continue;
    // Most names were never defined: their entry says so without a lookup,
    // or they were not even interned, being no name of the table.
    token->macro = macro_named_by(token);
    if (token->macro) any = true;
  }
  return any;
}

ExpansionContext* new_context(Pool* pool, Token* pending, MacroDef* expanding, Token** result_slot,
                              ExpansionContext* parent) {
  ExpansionContext* context = static_cast<ExpansionContext*>(pool_alloc(pool, sizeof(ExpansionContext)));
  context->finished = nullptr;
  context->finished_tail = &context->finished;
  context->pending = pending;
  context->expanding = expanding;
  context->result_slot = result_slot;
  context->parent = parent;
  return context;
}

// The slot in `pending` of the next token to expand, or null when none is.
// Marks the names whose macro is being expanded so they are never expanded.
Token** find_expandable(Token** slot) {
  for (; *slot; slot = &(*slot)->next) {
    Token* token = *slot;
    if (token->kind != TK_IDENTIFIER || !token->macro || token->no_expand) continue;
    if (token->macro->in_use) {
      token->no_expand = 1;
      continue;
    }
    return slot;
  }
  return nullptr;
}

// Line splices that open the replaced name's spelling end up in front of the
// target instead of vanishing with the name, so that the line stays as it was.
const char* after_leading_splices(const char* text, const char* end) {
  for (;;) {
    if (end - text >= 2 && text[0] == '\\' && text[1] == '\n') {
      text += 2;
    } else if (end - text >= 4 && text[0] == '?' && text[1] == '?' && text[2] == '/' && text[3] == '\n') {
      text += 4;
    } else {
      return text;
    }
  }
}

// The target takes the white space (and comments) that stood before the name.
void inherit_white_space(Token* target, const Token* name) {
  target->ws_begin = name->ws_begin;
  target->ws_end = name->ws_end;
  bool contiguous = !name->ws_begin || name->ws_end == name->text_begin;
  const char* splices_end = after_leading_splices(name->text_begin, name->text_end);
  if (!contiguous || splices_end == name->text_begin) return;
  if (!target->ws_begin) target->ws_begin = name->text_begin;
  target->ws_end = splices_end;
}

// The replacement of a definition that renames to one identifier whose
// spelling does not open with a splice: expanding such a name on its own
// gives one token, with the white space of the name.
const Token* single_name_target(const MacroDef* def) {
  const Token* target = def->replacement;
  if (!target || target->next || target->kind != TK_IDENTIFIER) return nullptr;
  if (after_leading_splices(target->text_begin, target->text_end) != target->text_begin) return nullptr;
  return target;
}

// Follows the chain of renamings from `def` once and records where it ends
// for every definition on the way, so that a table of long chains costs its
// length once rather than once per name used. The chain ends at a target
// that names no macro, or at the first name met again (a cycle), which
// stays unexpanded.
void settle_chain(MacroDef* def) {
  const Token* end = nullptr;
  int32_t outcome = SETTLE_NEVER;
  MacroDef* cycle_entry = nullptr;
  for (MacroDef* step = def;;) {
    step->settle_state = SETTLE_ON_PATH;
    const Token* target = single_name_target(step);
    if (!target) break;
    MacroDef* next = macro_named_by(target);
    if (!next) {
      end = target;
      outcome = SETTLE_KNOWN;
      break;
    }
    if (next->settle_state == SETTLE_ON_PATH) {
      end = target;
      outcome = SETTLE_KNOWN;
      cycle_entry = next;
      break;
    }
    if (next->settle_state != SETTLE_UNKNOWN) {
      end = next->settled;
      outcome = next->settle_state;
      break;
    }
    step = next;
  }
  // The names before the cycle end where the cycle closes; each name of the
  // cycle ends at the target that leads back to it.
  MacroDef* step = def;
  while (step != cycle_entry && step && step->settle_state == SETTLE_ON_PATH) {
    step->settle_state = outcome;
    step->settled = end;
    const Token* target = single_name_target(step);
    step = target ? macro_named_by(target) : nullptr;
  }
  if (!cycle_entry) return;
  cycle_entry->settle_state = SETTLE_KNOWN;
  cycle_entry->settled = end;
  for (step = cycle_entry;;) {
    const Token* target = single_name_target(step);
    MacroDef* next = macro_named_by(target);
    if (next->settle_state != SETTLE_ON_PATH) break;
    next->settle_state = SETTLE_KNOWN;
    next->settled = target;
    step = next;
  }
}

// The token that `name` finally becomes, for a name expanded where no macro
// is being expanded; null when its expansion must be carried out in full.
Token* settled_copy(Pool* pool, const Token* name) {
  const Token* settled = settled_target(name->macro);
  if (!settled) return nullptr;
  Token* copy = static_cast<Token*>(pool_alloc(pool, sizeof(Token)));
  *copy = *settled;
  copy->next = nullptr;
  inherit_white_space(copy, name);
  // A name of the chain met again stays as it is for good.
  copy->macro = macro_named_by(copy);
  copy->no_expand = copy->macro != nullptr;
  return copy;
}

}  // namespace

const Token* settled_target(MacroDef* def) {
  if (def->settle_state == SETTLE_UNKNOWN) settle_chain(def);
  return def->settle_state == SETTLE_KNOWN ? def->settled : nullptr;
}

Token* copy_token_list(Pool* pool, const Token* list) {
  Token* head = nullptr;
  Token** tail = &head;
  for (const Token* token = list; token; token = token->next) {
    Token* copy = static_cast<Token*>(pool_alloc(pool, sizeof(Token)));
    *copy = *token;
    copy->next = nullptr;
    *tail = copy;
    tail = &copy->next;
  }
  return head;
}

void expand_line(Preprocessor* p, Token** list) {
  Pool* pool = p->store;
  if (!look_up_macros(*list)) return;  // nothing to replace: the list stays as it is
  ExpansionContext* context = new_context(pool, *list, nullptr, list, nullptr);
  for (;;) {
    if (context->expanding) context->expanding->in_use = 1;
    Token** slot = find_expandable(&context->pending);
    if (slot) {
      Token* name = *slot;
      MacroDef* macro = name->macro;
      // What precedes the name is final at this level.
      if (slot != &context->pending) {
        *context->finished_tail = context->pending;
        context->finished_tail = slot;
        context->pending = name->next;
        *slot = nullptr;
      } else {
        context->pending = name->next;
      }
      if (!context->expanding) {
        if (Token* settled = settled_copy(pool, name)) {
          *context->finished_tail = settled;
          context->finished_tail = &settled->next;
          pool_free(name);
          continue;
        }
      }
      Token* copy = copy_token_list(pool, macro->replacement);
      look_up_macros(copy);
      if (copy) inherit_white_space(copy, name);
      pool_free(name);
      context = new_context(pool, copy, macro, nullptr, context);
      continue;
    }
    ExpansionContext* parent = context->parent;
    if (!parent) {
      *context->finished_tail = context->pending;
      *context->result_slot = context->finished;
      pool_free(context);
      return;
    }
    // Hand back what is left to be scanned again with what followed the name.
    *list_end(&context->pending) = parent->pending;
    parent->pending = context->pending;
    if (context->finished) {
      *parent->finished_tail = context->finished;
      parent->finished_tail = context->finished_tail;
    }
    context->expanding->in_use = 0;
    pool_free(context);
    context = parent;
  }
}
