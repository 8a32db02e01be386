#include "output/held_line.h"

#include <cstring>

#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"
#include "output/line_processor.h"
#include "output/output_sink.h"
#include "source/preprocessor.h"
#include "source/source_stack.h"

namespace {

// A buffer bigger than this is given back after its line: one huge line
// should not keep its memory for the rest of the file.
constexpr size_t kKeptHeldCapacity = 1u << 20;

void release_held_text(void* data, size_t) {
  HeldLine* held = static_cast<HeldLine*>(data);
  if (held->text) heap_release(held->text);
  held->text = nullptr;
  held->capacity = 0;
}

HeldLine* held_line_of(Preprocessor* p) {
  if (!p->sink->held) {
    HeldLine* held = static_cast<HeldLine*>(pool_alloc(p->store, sizeof(HeldLine)));
    held->text = nullptr;
    held->length = 0;
    held->capacity = 0;
    held->has_last = false;
    held->dot_pair_touches = false;
    arena_on_release(p->store->arena, release_held_text, held, 0);
    p->sink->held = held;
  }
  return p->sink->held;
}

void reserve_held_text(HeldLine* held, size_t wanted) {
  if (wanted <= held->capacity) return;
  size_t capacity = held->capacity ? held->capacity : 4096;
  while (capacity < wanted) capacity *= 2;
  char* text = static_cast<char*>(heap_allocate(capacity));
  if (!text) out_of_memory();
  if (held->length) memcpy(text, held->text, held->length);
  if (held->text) heap_release(held->text);
  held->text = text;
  held->capacity = capacity;
}

}  // namespace

void hold_line_part(Preprocessor* p, const Token* part) {
  HeldLine* held = held_line_of(p);
  reserve_held_text(held, held->length + spelled_size(part, WhiteSpace::AS_WRITTEN));
  SpellJoin join{held->has_last ? &held->last : nullptr, held->dot_pair_touches};
  char* end = spell_tokens_to(p, held->text + held->length, part, WhiteSpace::AS_WRITTEN, Separation::KEEP_APART, &join);
  held->length = static_cast<size_t>(end - held->text);
  if (join.previous && join.previous != &held->last) {
    held->last = *join.previous;
    held->last.next = nullptr;
    held->has_last = true;
  }
  held->dot_pair_touches = join.dot_pair_touches;
}

void write_held_line(Preprocessor* p, SpellJoin* join) {
  HeldLine* held = p->sink->held;
  *join = SpellJoin{nullptr, false};
  if (!held || !held->has_last) return;
  write_output(p, held->text, held->length);
  p->pending_newlines -= count_line_breaks(held->text, held->text + held->length);
  *join = SpellJoin{&held->last, held->dot_pair_touches};
  held->length = 0;
  held->has_last = false;
  held->dot_pair_touches = false;
  if (held->capacity > kKeptHeldCapacity) release_held_text(held, 0);
}
