// Macro definitions of a run (one object-like macro per table pair), their
// lookup, and the rules for defining a name again.
#pragma once

#include <cstdint>

struct IdentEntry;
struct Token;
struct SourceLocation;
struct Preprocessor;

struct MacroDef {
  IdentEntry* name;
  int32_t settle_state;  // a SettleState: whether `settled` is known yet
  Token* replacement;    // one identifier: every table pair renames to one
  SourceLocation* location;  // null: defined outside any source
  Preprocessor* owner;
  // The token the name finally becomes when it is expanded where no macro
  // is being expanded: the end of its chain of renamings.
  const Token* settled;
};

enum SettleState : int32_t { SETTLE_UNKNOWN, SETTLE_ON_PATH, SETTLE_KNOWN };

MacroDef* find_macro(const IdentEntry* name);

// Detaches the tokens before the first TK_NEWLINE of *list as the
// definition's replacement; *list keeps the TK_NEWLINE and what follows.
void take_replacement_list(Token** list, MacroDef* def);
void normalize_replacement_ws(MacroDef* def);
bool same_replacement(const Token* a, const Token* b);

// *slot holds the existing definition; afterwards it holds the one that stays.
void redefine_macro(MacroDef** slot, MacroDef* def);
// The rules for defining the macro `name` again, with their diagnostics: a
// predefined name keeps its definition; any other takes the new one, with a
// warning when the replacement is not the same. True when it is taken.
bool redefinition_taken(Preprocessor* p, const char* name, bool predefined, bool same,
                        const SourceLocation* old_location);
void note_macro_location(MacroDef* def);
void free_macro(MacroDef* def);

// Enters a new definition on its name, through the redefinition rules when
// the name is defined already.
void enter_macro(MacroDef* def);
