#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memory/arena.h"
#include "memory/heap.h"

namespace {

// Records every heap call of the arena, and refuses from a chosen request on.
struct HeapRecord {
  static std::vector<void*> allocated;
  static std::vector<size_t> sizes;
  static std::vector<void*> released;
  static size_t refuse_from;  // 1-based number of the first refused request; 0 never

  static void* allocate(size_t size) {
    if (refuse_from && allocated.size() + 1 >= refuse_from) return nullptr;
    void* block = std::malloc(size);
    allocated.push_back(block);
    sizes.push_back(size);
    return block;
  }
  static void release(void* block) {
    released.push_back(block);
    std::free(block);
  }
};
std::vector<void*> HeapRecord::allocated;
std::vector<size_t> HeapRecord::sizes;
std::vector<void*> HeapRecord::released;
size_t HeapRecord::refuse_from;

struct ArenaTest : ::testing::Test {
  HeapAllocate saved_allocate = heap_allocate;
  HeapRelease saved_release = heap_release;

  ArenaTest() {
    HeapRecord::allocated.clear();
    HeapRecord::sizes.clear();
    HeapRecord::released.clear();
    HeapRecord::refuse_from = 0;
    heap_allocate = HeapRecord::allocate;
    heap_release = HeapRecord::release;
  }
  ~ArenaTest() override {
    heap_allocate = saved_allocate;
    heap_release = saved_release;
  }

  // Carves `words` words in pieces small enough to stay in the chunk.
  static void carve_words(Arena* arena, size_t words) {
    const size_t most = kArenaBigPiece / kArenaWordSize - 1;
    for (; words > most; words -= most) arena_alloc(arena, most * kArenaWordSize);
    if (words) arena_alloc(arena, words * kArenaWordSize);
  }

  static char* heap_block(size_t index) { return static_cast<char*>(HeapRecord::allocated.at(index)); }

  // After the release the heap has every block back, each exactly once.
  static void expect_everything_returned() {
    std::vector<void*> given = HeapRecord::allocated;
    std::vector<void*> back = HeapRecord::released;
    std::sort(given.begin(), given.end());
    std::sort(back.begin(), back.end());
    EXPECT_EQ(back, given);
  }
};

constexpr size_t kChunkAllocation = sizeof(ArenaLink) + kArenaChunkBytes;

TEST_F(ArenaTest, CreationTakesOnlyTheRecord) {
  Arena* arena = arena_create();
  ASSERT_EQ(HeapRecord::allocated.size(), 1u);
  EXPECT_EQ(static_cast<void*>(arena), HeapRecord::allocated[0]);
  EXPECT_EQ(arena->words_left, 0u);
  EXPECT_EQ(arena->current_chunk, &arena->link);
  arena_release(arena);
  expect_everything_returned();
}

TEST_F(ArenaTest, PiecesAreCarvedTopDownInWholeWords) {
  Arena* arena = arena_create();
  char* first = static_cast<char*>(arena_alloc(arena, 1));
  ASSERT_EQ(HeapRecord::sizes.size(), 2u);
  EXPECT_EQ(HeapRecord::sizes[1], kChunkAllocation);
  char* space = heap_block(1) + sizeof(ArenaLink);
  EXPECT_EQ(first, space + kArenaChunkBytes - kArenaWordSize);
  EXPECT_EQ(arena->words_left, kArenaChunkWords - 1);

  char* second = static_cast<char*>(arena_alloc(arena, 9));  // two words
  EXPECT_EQ(second, first - 2 * kArenaWordSize);
  char* third = static_cast<char*>(arena_alloc(arena, 16));
  EXPECT_EQ(third, second - 16);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(third) % kArenaWordSize, 0u);
  EXPECT_EQ(HeapRecord::allocated.size(), 2u);
  arena_release(arena);
  expect_everything_returned();
}

TEST_F(ArenaTest, BigRequestsGetAHeapPieceOfTheirOwn) {
  Arena* arena = arena_create();
  arena_alloc(arena, 8);  // a chunk is current
  const uint32_t words_before = arena->words_left;
  ArenaLink* chunk = arena->current_chunk;

  char* big = static_cast<char*>(arena_alloc(arena, kArenaBigPiece));
  ASSERT_EQ(HeapRecord::sizes.size(), 3u);
  EXPECT_EQ(HeapRecord::sizes[2], kArenaBigPiece + sizeof(ArenaLink));
  EXPECT_EQ(big, heap_block(2) + sizeof(ArenaLink));
  EXPECT_EQ(arena->words_left, words_before);
  EXPECT_EQ(arena->current_chunk, chunk);
  // Spliced right behind the current chunk.
  EXPECT_EQ(chunk->link, reinterpret_cast<ArenaLink*>(heap_block(2)));
  EXPECT_EQ(chunk->link->link, &arena->link);

  // One word less than the big-piece limit is carved.
  arena_alloc(arena, kArenaBigPiece - kArenaWordSize);
  EXPECT_EQ(HeapRecord::allocated.size(), 3u);
  EXPECT_EQ(arena->words_left, words_before - (kArenaBigPiece / kArenaWordSize - 1));
  arena_release(arena);
  expect_everything_returned();
}

TEST_F(ArenaTest, BigPieceBeforeAnyChunkFollowsTheRecord) {
  Arena* arena = arena_create();
  arena_alloc(arena, 3 * kArenaBigPiece);
  EXPECT_EQ(arena->words_left, 0u);
  EXPECT_EQ(arena->current_chunk, &arena->link);
  EXPECT_EQ(arena->link.link, reinterpret_cast<ArenaLink*>(heap_block(1)));
  EXPECT_EQ(arena->link.link->link, nullptr);
  arena_release(arena);
  expect_everything_returned();
}

TEST_F(ArenaTest, RequestThatDoesNotFitStartsANewChunk) {
  Arena* arena = arena_create();
  carve_words(arena, kArenaChunkWords - 10);
  ASSERT_EQ(arena->words_left, 10u);
  ASSERT_EQ(HeapRecord::allocated.size(), 2u);

  // Exactly the words left still fit.
  arena_alloc(arena, 3 * kArenaWordSize);
  arena_alloc(arena, 7 * kArenaWordSize);
  EXPECT_EQ(arena->words_left, 0u);
  EXPECT_EQ(HeapRecord::allocated.size(), 2u);
  arena_alloc(arena, 1);
  EXPECT_EQ(HeapRecord::allocated.size(), 3u);

  // With room left, a larger request still takes a chunk; the remainder is abandoned.
  carve_words(arena, kArenaChunkWords - 5);
  ASSERT_EQ(arena->words_left, 4u);
  char* piece = static_cast<char*>(arena_alloc(arena, 5 * kArenaWordSize));
  ASSERT_EQ(HeapRecord::allocated.size(), 4u);
  EXPECT_EQ(piece, heap_block(3) + sizeof(ArenaLink) + kArenaChunkBytes - 5 * kArenaWordSize);
  EXPECT_EQ(arena->words_left, kArenaChunkWords - 5);
  arena_alloc(arena, kArenaWordSize);
  EXPECT_EQ(HeapRecord::allocated.size(), 4u);
  arena_release(arena);
  expect_everything_returned();
}

TEST_F(ArenaTest, ReleaseReturnsChunksPiecesAndRecord) {
  Arena* arena = arena_create();
  arena_alloc(arena, kArenaBigPiece);  // before any chunk
  for (int i = 0; i < 5; ++i) {
    arena_alloc(arena, kArenaBigPiece - kArenaWordSize);
    arena_alloc(arena, kArenaBigPiece + static_cast<size_t>(i));
  }
  // The record, six big pieces and two chunks (four carves fill the first).
  ASSERT_EQ(HeapRecord::allocated.size(), 9u);
  arena_release(arena);
  EXPECT_EQ(HeapRecord::released.size(), HeapRecord::allocated.size());
  expect_everything_returned();
}

TEST_F(ArenaTest, RefusedHeapLeavesTheProgram) {
  HeapRecord::refuse_from = 1;
  EXPECT_THROW(arena_create(), OutOfMemory);

  for (size_t refused : {size_t{2}, size_t{3}}) {
    SCOPED_TRACE(refused);
    HeapRecord::allocated.clear();
    HeapRecord::released.clear();
    HeapRecord::refuse_from = refused;
    Arena* arena = arena_create();
    // Request 2 is the first chunk, request 3 a big piece.
    if (refused == 3) arena_alloc(arena, 1);
    EXPECT_THROW(arena_alloc(arena, refused == 2 ? 1 : kArenaBigPiece), OutOfMemory);
    // The arena is still whole and releases what it has.
    arena_release(arena);
    expect_everything_returned();
  }

  // A size whose piece would overflow never reaches the heap.
  HeapRecord::allocated.clear();
  HeapRecord::released.clear();
  HeapRecord::refuse_from = 0;
  Arena* arena = arena_create();
  EXPECT_THROW(arena_alloc(arena, SIZE_MAX - 3), OutOfMemory);
  EXPECT_EQ(HeapRecord::allocated.size(), 1u);
  arena_release(arena);
  expect_everything_returned();
}

}  // namespace
