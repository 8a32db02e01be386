// Checked formatted writes: a failed write ends the process with status 1.
#pragma once

#include <cstdarg>
#include <cstdio>

#define MORFE_PRINTF(f, a) __attribute__((format(printf, f, a)))

void out_printf(FILE* stream, const char* format, ...) MORFE_PRINTF(2, 3);
void out_vprintf(FILE* stream, const char* format, va_list args);

// Writes "\nfatal error: output error\n" (unless the failing stream is the
// standard error stream itself) and ends the process with status 1.
[[noreturn]] void output_error_exit(FILE* failing);
