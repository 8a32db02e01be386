#include "output/output_sink.h"

#include <cstring>

#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "output/line_writer.h"
#include "source/preprocessor.h"

// What the run wrote goes out before a message: a message stream that fails
// ends the program, and the output must keep what came before.
static void flush_before_report(void* data) {
  flush_source_text(static_cast<Preprocessor*>(data));
  count_lines_before_report(data);
}

static void release_held_text(void* data, size_t) {
  OutputSink* sink = static_cast<OutputSink*>(data);
  if (sink->held) heap_release(sink->held);
  sink->held = nullptr;
  sink->held_capacity = 0;
}

OutputSink* attach_output_sink(Preprocessor* p, FILE* out) {
  OutputSink* sink = static_cast<OutputSink*>(pool_alloc(p->store, sizeof(OutputSink)));
  memset(sink, 0, sizeof *sink);
  sink->out = out;
  arena_on_release(p->store->arena, release_held_text, sink, 0);
  p->sink = sink;
  p->report.before_message = flush_before_report;
  p->report.hook_data = p;
  return sink;
}
