#include "memory/arena.h"

#include "memory/heap.h"

Arena* arena_create() {
  Arena* arena = static_cast<Arena*>(heap_allocate(sizeof(Arena)));
  if (!arena) out_of_memory();
  arena->link.link = nullptr;
  arena->words_left = 0;
  arena->current_chunk = &arena->link;
  arena->cleanups = nullptr;
  return arena;
}

void arena_on_release(Arena* arena, void (*release)(void* data, size_t size), void* data, size_t size) {
  ArenaCleanup* cleanup = static_cast<ArenaCleanup*>(arena_alloc(arena, sizeof(ArenaCleanup)));
  *cleanup = ArenaCleanup{release, data, size, arena->cleanups};
  arena->cleanups = cleanup;
}

// A big piece goes right behind the current chunk, so the chunk keeps serving.
static void* alloc_big_piece(Arena* arena, size_t size) {
  if (size > SIZE_MAX - sizeof(ArenaLink)) out_of_memory();
  ArenaLink* piece = static_cast<ArenaLink*>(heap_allocate(sizeof(ArenaLink) + size));
  if (!piece) out_of_memory();
  piece->link = arena->current_chunk->link;
  arena->current_chunk->link = piece;
  return piece + 1;
}

void* arena_alloc(Arena* arena, size_t size) {
  if (size >= kArenaBigPiece) return alloc_big_piece(arena, size);
  uint32_t words = static_cast<uint32_t>((size + kArenaWordSize - 1) / kArenaWordSize);
  if (words > arena->words_left) {
    // What is left of the old chunk is abandoned.
    ArenaLink* chunk = static_cast<ArenaLink*>(heap_allocate(sizeof(ArenaLink) + kArenaChunkBytes));
    if (!chunk) out_of_memory();
    chunk->link = arena->current_chunk;
    arena->current_chunk = chunk;
    arena->words_left = kArenaChunkWords;
  }
  arena->words_left -= words;
  char* space = reinterpret_cast<char*>(arena->current_chunk + 1);
  return space + kArenaWordSize * arena->words_left;
}

void arena_release(Arena* arena) {
  for (ArenaCleanup* cleanup = arena->cleanups; cleanup; cleanup = cleanup->next) {
    cleanup->release(cleanup->data, cleanup->size);
  }
  ArenaLink* element = arena->current_chunk;
  while (element) {
    ArenaLink* below = element->link;
    heap_release(element);
    element = below;
  }
}
