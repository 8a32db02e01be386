// Blocks in three size classes, recycled through one free list per class
// (last freed, first reused). Every record of a file's run is a pool block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "memory/arena.h"

struct PoolBlock {
  PoolBlock** owner;  // the free-list head of the block's class
  PoolBlock* next;    // next free block while the block is free
};

struct Pool {
  PoolBlock* scratch;
  PoolBlock* free_small;
  PoolBlock* free_medium;
  PoolBlock* free_large;  // also the list of every oversize block
  Arena* arena;
};

// Capacities of the classes. The small class holds the largest record of the
// system (a token, a macro definition) on this platform's pointer width.
constexpr size_t kPoolSmallClass = sizeof(void*) == 4 ? 48 : 64;
constexpr size_t kPoolMediumClass = 100;
constexpr size_t kPoolLargeClass = 128;

Pool* pool_create(Arena* arena);
void* pool_alloc_slow(Pool* pool, size_t size);

inline void* pool_take(Pool* pool, PoolBlock** list) {
  PoolBlock* block = *list;
  pool->scratch = block;
  *list = block->next;
  block->owner = list;
  return block + 1;
}

inline void* pool_alloc(Pool* pool, size_t size) {
  if (size <= kPoolSmallClass && pool->free_small) return pool_take(pool, &pool->free_small);
  return pool_alloc_slow(pool, size);
}

inline void pool_free(void* pointer) {
  if (!pointer) return;
  PoolBlock* block = static_cast<PoolBlock*>(pointer) - 1;
  block->next = *block->owner;
  *block->owner = block;
}

// Bytes a request occupies in its arena when it is carved, header included.
size_t pool_carve_size(size_t size);

char* pool_strdup(Pool* pool, const char* s);
char* pool_strndup(Pool* pool, const char* s, size_t length);
char* pool_concat2(Pool* pool, const char* a, const char* b);
char* pool_concat3(Pool* pool, const char* a, const char* b, const char* c);

int compare_int64(int64_t a, int64_t b);
