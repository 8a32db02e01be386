// Per-file memory: big chunks from the heap, carved top-down, never given
// back piece by piece. Releasing the arena returns everything at once.
#pragma once

#include <cstddef>
#include <cstdint>

// Every element of the chain (the arena record, each chunk, each big piece)
// begins with the link to the element that was current before it.
struct ArenaLink {
  ArenaLink* link;
};

// Something that is not heap memory but lives as long as the arena: a
// mapped file. Released first when the arena goes.
struct ArenaCleanup {
  void (*release)(void* data, size_t size);
  void* data;
  size_t size;
  ArenaCleanup* next;
};

struct Arena {
  ArenaLink link;  // oldest element of the chain: releasing the chain frees the record
  uint32_t words_left;
  ArenaLink* current_chunk;
  ArenaCleanup* cleanups;
};

// A word is the alignment unit of carved pieces: wide enough for any record.
constexpr size_t kArenaWordSize = 8;
constexpr size_t kArenaChunkBytes = 2u * 1024 * 1024;
constexpr uint32_t kArenaChunkWords = kArenaChunkBytes / kArenaWordSize;
// Requests of this size or more get a heap piece of their own.
constexpr size_t kArenaBigPiece = 0x80000;

Arena* arena_create();
void* arena_alloc(Arena* arena, size_t size);
void arena_release(Arena* arena);

// Has `release` called with `data` and `size` when the arena is released.
void arena_on_release(Arena* arena, void (*release)(void* data, size_t size), void* data, size_t size);
