#include "support/run_fixture.h"

#include <cstring>

#include "driver/file_runner.h"
#include "output/line_processor.h"
#include "output/line_writer.h"
#include "output/output_sink.h"

static std::string drain(FILE* stream) {
  fflush(stream);
  long size = ftell(stream);
  std::string text(static_cast<size_t>(size), '\0');
  rewind(stream);
  if (size > 0 && fread(&text[0], 1, static_cast<size_t>(size), stream) != static_cast<size_t>(size)) text.clear();
  return text;
}

RunFixture::RunFixture(int cplusplus, Options base) : options(base) {
  diag = tmpfile();
  out = tmpfile();
  options.diag = diag;
  options.info = nullptr;
  arena = arena_create();
  pool = pool_create(arena);
  init_run_settings(&settings, &options, cplusplus != 0, pool);
  p = create_preprocessor(&settings);
  attach_output_sink(p, out);
}

RunFixture::~RunFixture() {
  arena_release(arena);
  fclose(diag);
  fclose(out);
}

std::string RunFixture::diagnostics() {
  std::string text = drain(diag);
  fclose(diag);
  diag = tmpfile();
  options.diag = diag;
  p->report.stream = diag;
  return text;
}

std::string RunFixture::output() {
  flush_source_text(p);  // source text is handed to the stream in stretches
  std::string text = drain(out);
  fclose(out);
  out = tmpfile();
  p->sink->out = out;
  return text;
}

const char* RunFixture::push_text(const std::string& text, const char* name) {
  char* copy = static_cast<char*>(pool_alloc(pool, text.size() + 1));
  memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  LoadedText loaded{copy, text.size()};
  push_source(p, loaded, name, name);
  return copy;
}
