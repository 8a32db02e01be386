#include "memory/pool.h"

#include <cstring>

#include "memory/heap.h"

Pool* pool_create(Arena* arena) {
  Pool* pool = static_cast<Pool*>(arena_alloc(arena, sizeof(Pool)));
  pool->scratch = nullptr;
  pool->free_small = nullptr;
  pool->free_medium = nullptr;
  pool->free_large = nullptr;
  pool->arena = arena;
  return pool;
}

static size_t round_to_word(size_t bytes) {
  return (bytes + kArenaWordSize - 1) / kArenaWordSize * kArenaWordSize;
}

size_t pool_carve_size(size_t size) {
  size_t capacity = size <= kPoolSmallClass    ? kPoolSmallClass
                    : size <= kPoolMediumClass ? kPoolMediumClass
                    : size <= kPoolLargeClass  ? kPoolLargeClass
                                               : size;
  return round_to_word(sizeof(PoolBlock) + capacity);
}

void* pool_alloc_slow(Pool* pool, size_t size) {
  PoolBlock** list = size <= kPoolSmallClass    ? &pool->free_small
                     : size <= kPoolMediumClass ? &pool->free_medium
                                                : &pool->free_large;
  // An oversize request never takes a listed block: it may be too small.
  if (*list && size <= kPoolLargeClass) return pool_take(pool, list);
  if (size > SIZE_MAX - 2 * sizeof(PoolBlock) - kArenaWordSize) out_of_memory();
  PoolBlock* block = static_cast<PoolBlock*>(arena_alloc(pool->arena, pool_carve_size(size)));
  block->owner = list;
  return block + 1;
}

char* pool_strndup(Pool* pool, const char* s, size_t length) {
  char* copy = static_cast<char*>(pool_alloc(pool, length + 1));
  memcpy(copy, s, length);
  copy[length] = '\0';
  return copy;
}

char* pool_strdup(Pool* pool, const char* s) {
  if (!s) return nullptr;
  return pool_strndup(pool, s, strlen(s));
}

char* pool_concat2(Pool* pool, const char* a, const char* b) {
  return pool_concat3(pool, a, b, "");
}

char* pool_concat3(Pool* pool, const char* a, const char* b, const char* c) {
  size_t la = strlen(a), lb = strlen(b), lc = strlen(c);
  char* joined = static_cast<char*>(pool_alloc(pool, la + lb + lc + 1));
  memcpy(joined, a, la);
  memcpy(joined + la, b, lb);
  memcpy(joined + la + lb, c, lc + 1);
  return joined;
}

int compare_int64(int64_t a, int64_t b) {
  return a < b ? -1 : a > b ? 1 : 0;
}
