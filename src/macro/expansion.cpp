#include "macro/expansion.h"

#include "driver/preprocessor.h"
#include "lex/token.h"
#include "macro/macro_table.h"
#include "memory/pool.h"
#include "source/spelling_table.h"

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

// Returns whether any identifier of the list names a macro.
bool look_up_macros(Token* list) {
  bool any = false;
  for (Token* token = list; token; token = token->next) {
    if (token->kind != TK_IDENTIFIER) continue;
    // Most names were never defined: their entry says so without a lookup,
    // or they were not even interned, being no name of the table.
    token->macro = token->ident ? token->ident->macro : nullptr;
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

Token** list_tail(Token** head) {
  while (*head) head = &(*head)->next;
  return head;
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

}  // namespace

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
    *list_tail(&context->pending) = parent->pending;
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
