// The filter of the names that need more than copying: every macro name of
// the run, _Pragma and __VA_ARGS__. A name it rejects is certainly none of them.
#pragma once

#include "lex/name_filter.h"

struct Arena;
struct Preprocessor;

NameFilter build_name_filter(Preprocessor* p);

// An empty filter from `arena`, sized for `names` names, and the adding of one.
NameFilter make_name_filter(Arena* arena, uint32_t names);
void add_to_name_filter(NameFilter& filter, uint32_t name_hash);
