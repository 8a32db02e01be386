// What the names of a line become: the one rule, and the expansion of a
// token list that applies it to every identifier of the list.
#pragma once

#include "lex/tokenizer.h"

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
