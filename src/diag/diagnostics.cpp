#include "diag/diagnostics.h"

#include "driver/options.h"
#include "driver/preprocessor.h"
#include "output/line_writer.h"
#include "source/source_stack.h"

static const Options* options_of(const Preprocessor* p) { return p->settings->options; }

static void report_v(Preprocessor* p, const char* level, const char* format, va_list args) {
  ++p->reports;
  // What the run has written goes out before the message: a message stream
  // that fails ends the program, and the output must keep what came before.
  flush_source_text(p);
  const RunSettings* settings = p->settings;
  if (!p->source_top) {
    diag_printf(settings, "command line %s: ", level);
  } else {
    catch_up_line_number(p->source_top);
    const SourceLocation* where = p->source_top->where;
    diag_printf(settings, "\"%s\" (%lu) %s: ", where->name, where->line, level);
  }
  out_vprintf(settings->options->diag, format, args);
  diag_printf(settings, "\n");
}

void diag_report(Preprocessor* p, const char* level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(p, level, format, args);
  va_end(args);
}

void diag_fatal(Preprocessor* p, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(p, "fatal error", format, args);
  va_end(args);
  p->failed = 1;
  throw FatalError();
}

void diag_error(Preprocessor* p, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(p, "error", format, args);
  va_end(args);
  p->failed = 1;
}

// A shown warning of any family: an error under werrors, else a warning
// followed by the family's tip (if it has one).
static void report_warning_v(Preprocessor* p, const char* family_tip, const char* format, va_list args) {
  if (options_of(p)->werrors) {
    report_v(p, "error", format, args);
    p->failed = 1;
    return;
  }
  report_v(p, "warning", format, args);
  if (family_tip) diag_tip(p, "%s", family_tip);
}

int diag_warning(Preprocessor* p, const char* format, ...) {
  if (options_of(p)->wdisable) return 0;
  va_list args;
  va_start(args, format);
  report_warning_v(p, nullptr, format, args);
  va_end(args);
  return 1;
}

int diag_unsafe(Preprocessor* p, const char* format, ...) {
  const Options* options = options_of(p);
  if (options->wdisable || options->wnosafe) return 0;
  va_list args;
  va_start(args, format);
  report_warning_v(p, "potentially unsafe code", format, args);
  va_end(args);
  return 1;
}

int diag_portability(Preprocessor* p, const char* format, ...) {
  const Options* options = options_of(p);
  if (!options->wall && !options->wport) return 0;
  va_list args;
  va_start(args, format);
  report_warning_v(p, "portability requirements violated", format, args);
  va_end(args);
  return 1;
}

int diag_tip(Preprocessor* p, const char* format, ...) {
  if (options_of(p)->tdisable) return 0;
  va_list args;
  va_start(args, format);
  report_v(p, "tip", format, args);
  va_end(args);
  return 1;
}

const char* error_text(int code) {
  switch (code) {
    case FILE_ERROR_NONE:
    case FILE_ERROR_NOT_FOUND: return "file not found";
    case FILE_ERROR_NO_MEMORY: return "no enough memory";
    case FILE_ERROR_PERMISSION: return "permission denied";
    case FILE_ERROR_EXISTS: return "file already exist";
    case FILE_ERROR_INVALID_NAME: return "invalid file name";
    case FILE_ERROR_DISK_FULL: return "disk full";
    default: return "unknown error";
  }
}
