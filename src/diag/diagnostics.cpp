#include "diag/diagnostics.h"

#include <cstring>

Reporter make_reporter(FILE* stream, const ReportSwitches& switches) {
  return Reporter{stream, switches, false, 0, nullptr, nullptr, nullptr};
}

static void report_v(Reporter* r, const char* level, const char* format, va_list args) {
  ++r->reports;
  // What the run has written goes out before the message: a message stream
  // that fails ends the program, and the output must keep what came before.
  if (r->before_message) r->before_message(r->hook_data);
  if (!r->where) {
    out_printf(r->stream, "command line %s: ", level);
  } else {
    out_printf(r->stream, "\"%s\" (%lu) %s: ", r->where->name, r->where->line, level);
  }
  out_vprintf(r->stream, format, args);
  out_printf(r->stream, "\n");
}

void diag_replay(Reporter* r, const char* lines, size_t length, bool failed) {
  const char* end = lines + length;
  for (const char* line = lines; line < end;) {
    const char* next = static_cast<const char*>(memchr(line, '\n', static_cast<size_t>(end - line)));
    next = next ? next + 1 : end;
    ++r->reports;
    if (r->before_message) r->before_message(r->hook_data);
    out_printf(r->stream, "%.*s", static_cast<int>(next - line), line);
    line = next;
  }
  if (failed) r->failed = true;
}

void diag_report(Reporter* r, const char* level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(r, level, format, args);
  va_end(args);
}

void diag_fatal(Reporter* r, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(r, "fatal error", format, args);
  va_end(args);
  r->failed = true;
  throw FatalError();
}

void diag_error(Reporter* r, const char* format, ...) {
  va_list args;
  va_start(args, format);
  report_v(r, "error", format, args);
  va_end(args);
  r->failed = true;
}

// A shown warning of any family: an error under werrors, else a warning
// followed by the family's tip (if it has one).
static void report_warning_v(Reporter* r, const char* family_tip, const char* format, va_list args) {
  if (r->switches.werrors) {
    report_v(r, "error", format, args);
    r->failed = true;
    return;
  }
  report_v(r, "warning", format, args);
  if (family_tip) diag_tip(r, "%s", family_tip);
}

bool diag_warning(Reporter* r, const char* format, ...) {
  if (r->switches.wdisable) return false;
  va_list args;
  va_start(args, format);
  report_warning_v(r, nullptr, format, args);
  va_end(args);
  return true;
}

bool diag_unsafe(Reporter* r, const char* format, ...) {
  if (r->switches.wdisable || r->switches.wnosafe) return false;
  va_list args;
  va_start(args, format);
  report_warning_v(r, "potentially unsafe code", format, args);
  va_end(args);
  return true;
}

bool diag_portability(Reporter* r, const char* format, ...) {
  if (!r->switches.wall && !r->switches.wport) return false;
  va_list args;
  va_start(args, format);
  report_warning_v(r, "portability requirements violated", format, args);
  va_end(args);
  return true;
}

bool diag_tip(Reporter* r, const char* format, ...) {
  if (r->switches.tdisable) return false;
  va_list args;
  va_start(args, format);
  report_v(r, "tip", format, args);
  va_end(args);
  return true;
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
