// Diagnostics about the input: four levels, three warning families with
// their switches, and the location prefix of the source being read.
#pragma once

#include <cstdarg>

#include "diag/output.h"
#include "platform/platform.h"

struct Preprocessor;

void diag_report(Preprocessor* p, const char* level, const char* format, ...) MORFE_PRINTF(3, 4);

[[noreturn]] void diag_fatal(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);
void diag_error(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);
// The following return 1 when a line was written, so that callers add their
// follow-up tips only after a reported diagnostic.
int diag_warning(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);
int diag_unsafe(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);
int diag_portability(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);
int diag_tip(Preprocessor* p, const char* format, ...) MORFE_PRINTF(2, 3);

const char* error_text(int code);
