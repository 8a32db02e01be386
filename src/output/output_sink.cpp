#include "output/output_sink.h"

#include <cstring>

#include "memory/pool.h"
#include "output/line_processor.h"
#include "source/preprocessor.h"

// What the run wrote goes out before a message: a message stream that fails
// ends the program, and the output must keep what came before.
static void flush_before_report(void* data) {
  flush_source_text(static_cast<Preprocessor*>(data));
  count_lines_before_report(data);
}

OutputSink* attach_output_sink(Preprocessor* p, FILE* out) {
  OutputSink* sink = static_cast<OutputSink*>(pool_alloc(p->store, sizeof(OutputSink)));
  memset(sink, 0, sizeof *sink);
  sink->out = out;
  p->sink = sink;
  p->report.before_message = flush_before_report;
  p->report.hook_data = p;
  return sink;
}
