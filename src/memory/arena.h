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

struct Arena {
  ArenaLink link;  // oldest element of the chain: releasing the chain frees the record
  uint32_t words_left;
  ArenaLink* current_chunk;
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
