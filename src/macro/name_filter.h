// The filter of the names that need more than copying: every macro name of
// the run, _Pragma and __VA_ARGS__. A name it rejects is certainly none of them.
#pragma once

#include "lex/name_filter.h"

struct Preprocessor;

NameFilter build_name_filter(Preprocessor* p);
