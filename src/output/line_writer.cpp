#include "output/line_writer.h"

#include <cstdio>
#include <cstring>

#include "diag/output.h"
#include "lex/token.h"
#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "output/output_sink.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"

namespace {

// Small pieces gather here before they go to the stream: a renamed line is
// many pieces, and a stream call for each costs more than copying it.
constexpr size_t kGatherBytes = 16384;

// A held text bigger than this is given back after its line.
constexpr size_t kKeptHeldCapacity = 1u << 20;

// Gives back a held text that grew large, once it is written.
void shrink_held_text(OutputSink* sink) {
  if (sink->held_capacity <= kKeptHeldCapacity) return;
  heap_release(sink->held);
  sink->held = nullptr;
  sink->held_capacity = 0;
}

void send(Preprocessor* p, const char* text, size_t length) {
  FILE* out = p->sink->out;
  if (!length || !out) return;  // no output: a source that could not be loaded
  size_t written = fwrite(text, 1, length, out);
  if (written == length) return;
  // The standard output has no one to report to but the process status. A
  // file's write errors are marked and found when it is closed; a memory
  // stream that cannot grow writes short without marking anything, and its
  // text would pass for whole.
  if (out == stdout) output_error_exit(stdout);
  if (!ferror(out)) out_of_memory();
}

void send_gathered(Preprocessor* p) {
  size_t length = p->sink->gathered_length;
  p->sink->gathered_length = 0;
  send(p, p->sink->gathered, length);
}

void write_now(Preprocessor* p, const char* text, size_t length) {
  if (!length) return;
  if (length >= kGatherBytes / 2) {
    send_gathered(p);
    send(p, text, length);
    return;
  }
  if (!p->sink->gathered) p->sink->gathered = static_cast<char*>(arena_alloc(p->store->arena, kGatherBytes));
  if (p->sink->gathered_length + length > kGatherBytes) send_gathered(p);
  memcpy(p->sink->gathered + p->sink->gathered_length, text, length);
  p->sink->gathered_length += length;
}

// The source text in hand goes behind what was written before it.
void pass_on_source_text(Preprocessor* p) {
  write_now(p, p->sink->unwritten_begin, static_cast<size_t>(p->sink->unwritten_end - p->sink->unwritten_begin));
  p->sink->unwritten_begin = p->sink->unwritten_end = nullptr;
}

void hold_text(OutputSink* writer, const char* text, size_t length) {
  size_t wanted = writer->held_length + length;
  if (wanted > writer->held_capacity) {
    size_t capacity = writer->held_capacity ? writer->held_capacity : 4096;
    while (capacity < wanted) capacity *= 2;
    char* held = static_cast<char*>(heap_allocate(capacity));
    if (!held) out_of_memory();
    if (writer->held_length) memcpy(held, writer->held, writer->held_length);
    if (writer->held) heap_release(writer->held);
    writer->held = held;
    writer->held_capacity = capacity;
  }
  memcpy(writer->held + writer->held_length, text, length);
  writer->held_length += length;
}

// Source text as it stands: written where it lies, or copied while held.
void emit_source(Preprocessor* p, OutputSink* writer, const char* begin, const char* end) {
  if (begin == end) return;
  if (writer->holding) {
    hold_text(writer, begin, static_cast<size_t>(end - begin));
  } else {
    write_source_text(p, begin, end);
  }
}

void emit_text(Preprocessor* p, OutputSink* writer, const char* text, size_t length) {
  if (writer->holding) {
    hold_text(writer, text, length);
  } else {
    write_output(p, text, length);
  }
}

// Turns the pieces of a spelled token list into edits of the source: a piece
// that lies in the source after what was written goes on the stretch (what
// it skips is taken out), any other piece is a text put in.
class EditCollector {
 public:
  EditCollector(Preprocessor* p, const char* reached, const char* limit)
      : p_(p), limit_(limit), begin_(reached), reached_(reached) {}

  void piece(const char* begin, const char* end) {
    if (reached_ && begin >= reached_ && end <= limit_) {
      if (begin != reached_) take_out_to(begin);
      reached_ = end;
    } else {
      put(begin, static_cast<size_t>(end - begin));
    }
  }
  void blank() { put(" ", 1); }

  void finish() {
    write_stretch(p_, begin_, reached_, edits_, count_);
    count_ = 0;
    begin_ = reached_;
  }

 private:
  static constexpr size_t kEdits = 32;

  void put(const char* text, size_t length) { add(counted_edit(reached_, reached_, text, length)); }

  // An edit that ends where the taking out begins takes it on.
  void take_out_to(const char* end) {
    if (count_ && edits_[count_ - 1].end == reached_) {
      edits_[count_ - 1].end = end;
      edits_[count_ - 1].lost_breaks += count_line_breaks(reached_, end);
    } else {
      add(counted_edit(reached_, end, nullptr, 0));
    }
  }

  void add(const Edit& edit) {
    if (count_ == kEdits) {
      const char* end = edits_[count_ - 1].end;
      write_stretch(p_, begin_, end, edits_, count_);
      begin_ = end;
      count_ = 0;
    }
    edits_[count_++] = edit;
  }

  Preprocessor* p_;
  const char* limit_;
  const char* begin_;  // of the stretch not yet written
  const char* reached_;
  Edit edits_[kEdits];
  size_t count_ = 0;
};

}  // namespace

Edit counted_edit(const char* begin, const char* end, const char* text, size_t length) {
  int lost = count_line_breaks(begin, end) - count_line_breaks(text, text + length);
  return Edit{begin, end, text, length, lost};
}

void write_stretch(Preprocessor* p, const char* begin, const char* end, const Edit* edits, size_t count) {
  OutputSink* writer = p->sink;
  const char* from = begin;
  int lost = 0;
  for (size_t i = 0; i < count; ++i) {
    const Edit& edit = edits[i];
    emit_source(p, writer, from, edit.begin);
    if (edit.length) emit_text(p, writer, edit.text, edit.length);
    lost += edit.lost_breaks;
    from = edit.end;
  }
  emit_source(p, writer, from, end);
  writer->reached = end;
  p->pending_newlines += lost;
}

void write_tokens(Preprocessor* p, const Token* list, SpellJoin* join) {
  if (!list) return;
  OutputSink* writer = p->sink;
  const char* limit = p->source_top ? p->source_top->pos : nullptr;
  EditCollector collector(p, writer->reached, limit);
  spell_tokens(p, list, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART, collector, join);
  collector.finish();
}

void hold_line_part(Preprocessor* p, const Token* part) {
  OutputSink* writer = p->sink;
  if (!writer->holding) writer->held_join = SpellJoin{nullptr, false};
  writer->holding = true;
  write_tokens(p, part, &writer->held_join);
  // The part's tokens go before the next part comes: keep a copy of the last.
  const Token* last = writer->held_join.previous;
  if (last && last != &writer->held_last) {
    writer->held_last = *last;
    writer->held_last.next = nullptr;
    writer->held_join.previous = &writer->held_last;
  }
}

void hold_line_start(Preprocessor* p, const char* begin, const char* end, const Edit* edits, size_t count,
                     const Token& previous) {
  OutputSink* writer = p->sink;
  writer->holding = true;
  writer->held_last = previous;
  writer->held_last.next = nullptr;
  writer->held_join = SpellJoin{&writer->held_last, false};
  write_stretch(p, begin, end, edits, count);
}

void release_held_line(Preprocessor* p, SpellJoin* join) {
  OutputSink* writer = p->sink;
  *join = SpellJoin{nullptr, false};
  if (!writer->holding) return;
  writer->holding = false;
  write_output(p, writer->held, writer->held_length);
  writer->held_length = 0;
  *join = writer->held_join;
  shrink_held_text(writer);
}

void write_line_breaks(Preprocessor* p, int count) {
  static const char kNewlines[] = "\n\n\n";
  static const char kCrlfNewlines[] = "\r\n\r\n\r\n";
  if (p->crlf_line_end) {
    write_output(p, kCrlfNewlines, 2 * static_cast<size_t>(count));
  } else {
    write_output(p, kNewlines, static_cast<size_t>(count));
  }
}

void write_lost_line_breaks(Preprocessor* p) {
  write_line_breaks(p, p->pending_newlines);
  p->pending_newlines = 0;
}

void flush_source_text(Preprocessor* p) {
  pass_on_source_text(p);
  send_gathered(p);
}

void write_source_text(Preprocessor* p, const char* begin, const char* end) {
  if (begin != p->sink->unwritten_end) {
    pass_on_source_text(p);
    p->sink->unwritten_begin = begin;
  }
  p->sink->unwritten_end = end;
}

void write_output(Preprocessor* p, const char* text, size_t length) {
  pass_on_source_text(p);
  write_now(p, text, length);
}
