#include "source/source_stack.h"

#include <cstring>
#include <string>

#include "diag/diagnostics.h"
#include "memory/pool.h"
#include "platform/platform.h"
#include "source/preprocessor.h"

static char* allocate_from_pool(void* context, size_t capacity) {
  return static_cast<char*>(pool_alloc(static_cast<Pool*>(context), capacity));
}

static void release_to_pool(void*, char* buffer) { pool_free(buffer); }

static void unmap_text(void* base, size_t span) { unmap_text_file(base, span); }

bool read_whole_file(const char* path, LoadedText* text, int* error, Pool* pool, bool copy) {
  // A large regular file is mapped rather than copied; the mapping goes with the arena.
  TextRead read = read_text_file(path, copy ? Mapping::NEVER : Mapping::ALLOWED, allocate_from_pool,
                                 release_to_pool, pool);
  if (read.map_base) arena_on_release(pool->arena, unmap_text, read.map_base, read.map_span);
  text->text = read.text;
  text->length = read.length;
  *error = read.error;
  return !read.missing;
}

bool locate_and_load(RunSettings* settings, const char* name, const char* base_dir, LoadedText* text) {
  Pool* pool = settings->store;
  text->text = nullptr;
  text->length = 0;
  // An absolute name is used as it stands; a relative one is found from the base directory.
  char* candidate = name[0] == '/' ? pool_strdup(pool, name) : pool_concat3(pool, base_dir, "/", name);
  std::string full = absolute_path(candidate);
  pool_free(candidate);
  if (full.empty()) full = name;
  settings->full_path = pool_strdup(pool, full.c_str());
  int error = 0;
  bool found = read_whole_file(settings->full_path, text, &error, pool);
  settings->io_error = static_cast<FileError>(error);
  if (!found || !text->text) return found;

  LoadedFile* loaded = static_cast<LoadedFile*>(pool_alloc(pool, sizeof(LoadedFile)));
  loaded->path = pool_strdup(pool, settings->full_path);
  loaded->text = text->text;
  loaded->once = 0;
  loaded->next = settings->loaded_files;
  settings->loaded_files = loaded;

  OpenName* open = static_cast<OpenName*>(pool_alloc(pool, sizeof(OpenName)));
  open->name = pool_strdup(pool, settings->full_path);
  open->below = settings->open_names;
  settings->open_names = open;
  return true;
}

void push_source(Preprocessor* p, const LoadedText& text, const char* error_name, const char* display_name) {
  if (!text.text) diag_fatal(&p->report, "cannot load source file \"%s\"; %s", error_name, error_text(p->settings->io_error));
  Pool* pool = p->store;
  SourceFrame* frame = static_cast<SourceFrame*>(pool_alloc(pool, sizeof(SourceFrame)));
  frame->text = text.text;
  frame->pos = text.text;
  frame->counted = text.text;
  frame->text_end = text.text + text.length;
  frame->null_reported = 0;
  frame->uncounted_end = text.text;
  SourceLocation* where = static_cast<SourceLocation*>(pool_alloc(pool, sizeof(SourceLocation)));
  where->name = pool_strdup(pool, display_name);
  where->line = 1;
  frame->where = where;
  frame->below = p->source_top;
  p->source_top = frame;
  p->report.where = where;
}

void pop_source(Preprocessor* p) {
  SourceFrame* frame = p->source_top;
  pool_free(const_cast<char*>(frame->where->name));
  pool_free(frame->where);
  p->source_top = frame->below;
  p->report.where = p->source_top ? p->source_top->where : nullptr;
  pool_free(frame);
}

void pop_open_name(RunSettings* settings) {
  OpenName* top = settings->open_names;
  if (!top) return;
  settings->open_names = top->below;
  pool_free(const_cast<char*>(top->name));
  pool_free(top);
}

int count_frame_lines(SourceFrame* frame) {
  const char* end = frame->pos;
  int count = count_line_breaks(frame->counted, end);
  frame->where->line += static_cast<unsigned long>(count);
  frame->counted = end;
  return count;
}

void check_null_character(Preprocessor* p) {
  SourceFrame* frame = p->source_top;
  if (frame->null_reported || frame->text + strlen(frame->text) >= frame->text_end) return;
  frame->null_reported = 1;
  // The reader may stand past line breaks that the owner of the loop has not
  // counted yet (the pragma operator reads on into the next line before the
  // line in hand is counted); the message names the line of the NUL itself.
  SourceLocation* where = frame->where;
  const unsigned long counted_line = where->line;
  for (const char* c = frame->counted; c < frame->pos; ++c) {
    if (*c == '\n') ++where->line;
  }
  diag_error(&p->report, "null character in file; the rest of the file is ignored");
  where->line = counted_line;
}
