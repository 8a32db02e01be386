// A file's run set up in memory for unit tests: options, arena, pool,
// settings and preprocessor, with diagnostics captured as text.
#pragma once

#include <cstdio>
#include <string>

#include "driver/options.h"
#include "lex/lex_state.h"
#include "memory/arena.h"
#include "memory/pool.h"
#include "source/preprocessor.h"
#include "source/run_settings.h"
#include "source/source_stack.h"

// The run's lexer state, reporting or quiet.
inline LexState lex_state(const Preprocessor* p, bool quiet) { return quiet ? quiet_lex_state(p->lex) : p->lex; }

struct RunFixture {
  Options options;
  Arena* arena = nullptr;
  Pool* pool = nullptr;
  RunSettings settings;
  Preprocessor* p = nullptr;
  FILE* diag = nullptr;
  FILE* out = nullptr;

  explicit RunFixture(int cplusplus = 0, Options base = default_options());
  ~RunFixture();
  RunFixture(const RunFixture&) = delete;
  RunFixture& operator=(const RunFixture&) = delete;

  // Everything written to the diagnostic stream so far (and clears it).
  std::string diagnostics();
  // Everything written to the output stream so far (and clears it).
  std::string output();

  // Pushes a NUL-terminated copy of `text` (owned by the pool) as the top
  // source, with the given display name.
  const char* push_text(const std::string& text, const char* name = "src.c");
};
