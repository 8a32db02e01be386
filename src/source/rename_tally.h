// What a file's run renamed, counted only when a summary of the run is
// asked for: the run's state points at a tally then, and at none otherwise.
#pragma once

#include <unordered_map>
#include <vector>

#include "lex/token.h"
#include "source/preprocessor.h"

struct RenameTally {
  // Names of the source written as another name, by the name's entry (the
  // table's names are interned once per run, so a name has one entry).
  std::unordered_map<const IdentEntry*, unsigned long> renamed;
  // With a list here, the table's load puts each name it defines on it, in
  // the order of the table's lines.
  std::vector<const IdentEntry*>* table_order = nullptr;
};

// A name of the source that the run writes as `target`. A name of a cycle
// becomes itself: nothing is renamed then.
inline void note_rename(Preprocessor* p, const IdentEntry* name, const Token* target) {
  if (p->tally && target->ident != name) ++p->tally->renamed[name];
}

inline void note_table_name(Preprocessor* p, const IdentEntry* name) {
  if (p->tally && p->tally->table_order) p->tally->table_order->push_back(name);
}
