#include "diag/output.h"

#include <cstdlib>

void output_error_exit(FILE* failing) {
  if (failing != stderr) fputs("\nfatal error: output error\n", stderr);
  // exit, not _Exit: the open streams are flushed, so an output file keeps
  // what was written to it before the failure.
  exit(1);
}

void out_vprintf(FILE* stream, const char* format, va_list args) {
  if (!stream) return;
  if (vfprintf(stream, format, args) < 0) output_error_exit(stream);
}

void out_printf(FILE* stream, const char* format, ...) {
  va_list args;
  va_start(args, format);
  out_vprintf(stream, format, args);
  va_end(args);
}
