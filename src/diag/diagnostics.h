// Diagnostics about the input: four levels, three warning families with
// their switches, and the location prefix of the input being read.
#pragma once

#include <cstdarg>
#include <cstdio>

#include "diag/output.h"
#include "platform/platform.h"

// A place in an input, as messages name it.
struct SourceLocation {
  const char* name;    // display name: absolute path of a source, table name as typed
  unsigned long line;  // physical line on which the next logical line begins
};

// The warning switches of the command line.
struct ReportSwitches {
  bool wall;
  bool wport;
  bool wdisable;
  bool wnosafe;
  bool werrors;
  bool tdisable;
};

// Where a run's messages go and what it has reported. The layers above own
// the output and the line count that a message must not overtake: they set
// the hook, which is called before every message.
struct Reporter {
  FILE* stream;  // null: messages are counted but written nowhere
  ReportSwitches switches;
  bool failed;
  int reports;  // diagnostic lines reported (or, with no stream, that would have been)
  const SourceLocation* where;  // null: no input is being read ("command line")
  void (*before_message)(void* data);
  void* hook_data;
};

// A reporter on `stream` with no location and no hook.
Reporter make_reporter(FILE* stream, const ReportSwitches& switches);

// Thrown by a fatal diagnostic; caught at the end of the file's run.
struct FatalError {};

void diag_report(Reporter* r, const char* level, const char* format, ...) MORFE_PRINTF(3, 4);

[[noreturn]] void diag_fatal(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);
void diag_error(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);
// The following return true when a line was written, so that callers add
// their follow-up tips only after a reported diagnostic.
bool diag_warning(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);
bool diag_unsafe(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);
bool diag_portability(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);
bool diag_tip(Reporter* r, const char* format, ...) MORFE_PRINTF(2, 3);

// Gives messages that another reporter wrote (whole lines of its stream)
// as this one's own: each after the hook, each counted; `failed` as that
// reporter ended.
void diag_replay(Reporter* r, const char* lines, size_t length, bool failed);

const char* error_text(int code);
