// The filter of the names that need more than copying: every macro name of
// the run, _Pragma and __VA_ARGS__. A name it rejects is certainly none of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lex/name_filter.h"

struct Arena;
struct Preprocessor;

NameFilter build_name_filter(Preprocessor* p);

// An empty filter from `arena`, sized for `names` names, and the adding of one.
NameFilter make_name_filter(Arena* arena, uint32_t names);
// Adds a name by its hash and its spelling (`plain`: of plain identifier
// bytes, with no splice, trigraph or UCN).
void add_to_name_filter(NameFilter& filter, uint32_t name_hash, const char* spelling, size_t length, bool plain);
