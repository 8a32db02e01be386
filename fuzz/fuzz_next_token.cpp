// Tokenises arbitrary bytes in both language modes, loud and quiet, and
// checks what every caller of next_token relies on: each call consumes
// something until TK_EOF, TK_EOF stands on the NUL and repeats there, no
// token reaches past the NUL, and quiet mode finds the same extents.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "driver/options.h"
#include "driver/preprocessor.h"
#include "driver/run_settings.h"
#include "lex/tokenizer.h"
#include "memory/arena.h"
#include "memory/pool.h"

namespace {

struct FuzzRun {
  Options options;
  RunSettings settings;
  Preprocessor* p;
};

FuzzRun* make_run(int cplusplus, FILE* sink) {
  FuzzRun* run = new FuzzRun();
  run->options = default_options();
  run->options.wall = 1;  // every check reports, so every report path runs
  run->options.info = nullptr;
  run->options.diag = sink;
  Pool* pool = pool_create(arena_create());
  init_run_settings(&run->settings, &run->options, cplusplus, nullptr, pool);
  run->p = create_preprocessor(&run->settings);
  return run;
}

[[noreturn]] void fail(const char* what, size_t offset) {
  fprintf(stderr, "next_token: %s at offset %zu\n", what, offset);
  abort();
}

struct Extent {
  TokenKind kind;
  const char* begin;
  const char* end;
};

void tokenise(Preprocessor* p, const char* text, const char* nul, int quiet, std::vector<Extent>& out) {
  out.clear();
  const char* cursor = text;
  for (;;) {
    const char* start = cursor;
    TokenKind kind = next_token(p, cursor, quiet);
    if (cursor > nul) fail("cursor past the NUL", static_cast<size_t>(start - text));
    if (kind == TK_EOF) {
      if (cursor != nul) fail("TK_EOF away from the NUL", static_cast<size_t>(cursor - text));
      const char* again = cursor;
      if (next_token(p, again, quiet) != TK_EOF || again != cursor) fail("TK_EOF not repeated", static_cast<size_t>(cursor - text));
      return;
    }
    if (cursor <= start) fail("no progress", static_cast<size_t>(start - text));
    if (static_cast<int>(kind) < 1 || kind > TK_ARROW_STAR || kind == TK_PLACEMARKER || kind == TK_CONCAT) {
      fail("kind out of range", static_cast<size_t>(start - text));
    }
    out.push_back({kind, start, cursor});
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* sink = fopen("/dev/null", "w");
  static FuzzRun* runs[2] = {make_run(0, sink), make_run(1, sink)};

  // A private NUL-terminated copy, so that reading one byte too far is caught.
  char* text = static_cast<char*>(malloc(size + 1));
  if (size) memcpy(text, data, size);
  text[size] = '\0';
  const char* nul = text + strlen(text);

  std::vector<Extent> loud, quiet;
  for (FuzzRun* run : runs) {
    tokenise(run->p, text, nul, 0, loud);
    tokenise(run->p, text, nul, 1, quiet);
    if (loud.size() != quiet.size()) fail("quiet gives another number of tokens", 0);
    for (size_t i = 0; i < loud.size(); ++i) {
      if (loud[i].kind != quiet[i].kind || loud[i].end != quiet[i].end) {
        fail("quiet gives another token", static_cast<size_t>(loud[i].begin - text));
      }
    }
  }
  free(text);
  return 0;
}
