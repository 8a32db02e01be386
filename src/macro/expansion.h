// What the names of a line become: the one rule, and the expansion of a
// token list that applies it to every identifier of the list.
#pragma once

#include "lex/tokenizer.h"
#include "macro/macro_table.h"

struct IdentEntry;
struct MacroDef;
struct Token;
struct Preprocessor;

enum class NameFate {
  KEPT,        // written as it stands
  REPLACED,    // its target is written in its place
  WHOLE_LINE,  // only the line read as tokens can say: the renaming in place must leave it
};

// Where a name met by the renaming in place stands: that renaming writes a
// target with nothing around it changed, so it must see the bytes around the
// name. `text` is where the source text begins.
struct NameSite {
  const char* text;
  const char* begin;
  const char* end;
  bool directive;  // the line's first token is '#': no _Pragma of it is carried out
};

// What a name of the source becomes. A name of a line read as tokens
// (`site` null) is kept or replaced; there every check that the target
// reads back as written is made on the tokens. A name met in place
// (`site` given) needs the whole line when its line may hold a _Pragma
// operator to carry out, or when the target could join a token next to it.
// A literal's suffix is replaced as the name is, but for a number's suffix
// only by a target that begins with an underscore, and it never begins a
// _Pragma operator. REPLACED stores the target.
NameFate fate_of_name(Preprocessor* p, IdentEntry* name, const NameSite* site, const Token** target,
                      NameUse use = NameUse::ORDINARY);

// Replaces every identifier of the list that names a macro by a copy of
// its target, with the white space that stood before the name. A literal
// whose user-defined suffix is replaced is cut before the suffix, and the
// target follows it as a token marked `suffix`.
void expand_line(Preprocessor* p, Token** list);

// The one token that the macro's name finally becomes: the end of its chain
// of renamings, or the name met again that closes a cycle.
const Token* settled_target(MacroDef* def);

// Every definition renames to one identifier, so a name expanded on its own
// becomes the end of its chain of renamings. The chain is followed once from
// `def` and where it ends is recorded for every definition on the way, so
// that a table of long chains costs its length once rather than once per
// name used. It ends at a target that names no macro, or at the first name
// met again (a cycle): that name stays as it is, as the rule that stops
// recursion leaves it.
//
// `chain` gives, for a definition: its SettleState (state, set_state), the
// definition its target names (next, or chain.none), the end that its own
// target is (own_end), and the end recorded for it (settled, settle).
template <typename Chain, typename Def>
void settle_chain(const Chain& chain, Def def) {
  decltype(chain.own_end(def)) end{};
  Def cycle_entry = chain.none;
  for (Def step = def;;) {
    chain.set_state(step, SETTLE_ON_PATH);
    Def next = chain.next(step);
    if (next == chain.none) {
      end = chain.own_end(step);
      break;
    }
    if (chain.state(next) == SETTLE_ON_PATH) {
      end = chain.own_end(step);
      cycle_entry = next;
      break;
    }
    if (chain.state(next) == SETTLE_KNOWN) {
      end = chain.settled(next);
      break;
    }
    step = next;
  }
  // The names before the cycle end where the cycle closes; each name of the
  // cycle ends at the target that leads back to it.
  Def step = def;
  while (step != cycle_entry && step != chain.none && chain.state(step) == SETTLE_ON_PATH) {
    chain.set_state(step, SETTLE_KNOWN);
    chain.settle(step, end);
    step = chain.next(step);
  }
  if (cycle_entry == chain.none) return;
  chain.set_state(cycle_entry, SETTLE_KNOWN);
  chain.settle(cycle_entry, end);
  for (step = cycle_entry;;) {
    Def next = chain.next(step);
    if (chain.state(next) != SETTLE_ON_PATH) break;
    chain.set_state(next, SETTLE_KNOWN);
    chain.settle(next, chain.own_end(step));
    step = next;
  }
}
