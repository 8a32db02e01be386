#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "memory/arena.h"
#include "memory/heap.h"
#include "memory/pool.h"

namespace {

struct PoolTest : ::testing::Test {
  Arena* arena = arena_create();
  Pool* pool = pool_create(arena);
  ~PoolTest() override { arena_release(arena); }

  static PoolBlock* header(void* block) { return static_cast<PoolBlock*>(block) - 1; }
  size_t bytes_left() const { return size_t{arena->words_left} * kArenaWordSize; }
};

enum PoolClass { SMALL, MEDIUM, LARGE };

struct ClassCase {
  size_t request;
  PoolClass list;
  size_t carved;  // bytes taken from the arena on a miss, header included
};

// Headers are two pointers; a block holds its full class capacity and is
// carved in whole arena words.
const ClassCase kClassCases[] = {
    {0, SMALL, 80},     {1, SMALL, 80},     {48, SMALL, 80},   {64, SMALL, 80},     {65, MEDIUM, 120},
    {100, MEDIUM, 120}, {101, LARGE, 144},  {128, LARGE, 144}, {129, LARGE, 152},   {130, LARGE, 152},
    {136, LARGE, 152},  {137, LARGE, 160},  {4000, LARGE, 4016},
};

TEST_F(PoolTest, RequestsAreServedByTheirSizeClass) {
  for (const ClassCase& c : kClassCases) {
    SCOPED_TRACE(c.request);
    size_t before = bytes_left();
    void* block = pool_alloc(pool, c.request);
    EXPECT_EQ(before - bytes_left(), c.carved);
    EXPECT_EQ(pool_carve_size(c.request), c.carved);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(void*), 0u);
    // The whole class capacity is usable.
    memset(block, 0xA5, c.carved - sizeof(PoolBlock));

    pool_free(block);
    PoolBlock* heads[] = {pool->free_small, pool->free_medium, pool->free_large};
    EXPECT_EQ(heads[c.list], header(block));
    for (int other = SMALL; other <= LARGE; ++other) {
      if (other != c.list) {
        EXPECT_EQ(heads[other], nullptr);
      }
    }
    // Empty the list again so the next case starts from a miss.
    pool->free_small = pool->free_medium = pool->free_large = nullptr;
  }
}

TEST_F(PoolTest, LastFreedIsFirstReused) {
  for (size_t size : {size_t{24}, size_t{80}, size_t{120}}) {
    SCOPED_TRACE(size);
    void* a = pool_alloc(pool, size);
    void* b = pool_alloc(pool, size);
    ASSERT_NE(a, b);
    pool_free(a);
    pool_free(b);
    size_t before = bytes_left();
    EXPECT_EQ(pool_alloc(pool, size), b);
    EXPECT_EQ(pool_alloc(pool, size), a);
    EXPECT_EQ(bytes_left(), before);
    // A block taken off a list goes back to the same list.
    pool_free(a);
    EXPECT_EQ(pool_alloc(pool, size), a);
  }
}

TEST_F(PoolTest, ClassesDoNotShareBlocks) {
  void* small = pool_alloc(pool, 64);
  void* medium = pool_alloc(pool, 100);
  pool_free(small);
  pool_free(medium);
  EXPECT_EQ(pool_alloc(pool, 65), medium);
  EXPECT_NE(pool_alloc(pool, 65), small);  // a small block cannot hold 65 bytes
  pool_free(medium);
  EXPECT_NE(pool_alloc(pool, 101), medium);
  EXPECT_EQ(pool_alloc(pool, 64), small);
  EXPECT_EQ(pool_alloc(pool, 66), medium);
}

TEST_F(PoolTest, FreedOversizeBlockServesOnlyTheLargeClass) {
  void* big = pool_alloc(pool, 4000);
  pool_free(big);
  EXPECT_EQ(pool->free_large, header(big));

  // Larger than the large class: never taken from a list, even a fitting block.
  size_t before = bytes_left();
  void* other = pool_alloc(pool, 200);
  EXPECT_NE(other, big);
  EXPECT_EQ(before - bytes_left(), pool_carve_size(200));
  // Smaller classes have lists of their own.
  EXPECT_NE(pool_alloc(pool, 100), big);
  EXPECT_NE(pool_alloc(pool, 10), big);
  EXPECT_EQ(pool->free_large, header(big));

  EXPECT_EQ(pool_alloc(pool, 101), big);
  pool_free(big);
  EXPECT_EQ(pool_alloc(pool, 128), big);
}

TEST_F(PoolTest, FreeingNullChangesNothing) {
  void* block = pool_alloc(pool, 8);
  pool_free(block);
  pool_free(nullptr);
  EXPECT_EQ(pool->free_small, header(block));
  EXPECT_EQ(pool->free_medium, nullptr);
  EXPECT_EQ(pool->free_large, nullptr);
}

TEST_F(PoolTest, StringCopies) {
  size_t before = bytes_left();
  EXPECT_EQ(pool_strdup(pool, nullptr), nullptr);
  EXPECT_EQ(bytes_left(), before);

  char* empty = pool_strdup(pool, "");
  char* other_empty = pool_strdup(pool, "");
  EXPECT_STREQ(empty, "");
  EXPECT_NE(empty, other_empty);

  const std::string long_text(300, 'x');
  char* copy = pool_strdup(pool, long_text.c_str());
  EXPECT_EQ(copy, long_text);
  EXPECT_NE(copy, long_text.c_str());

  char* cut = pool_strndup(pool, "abcdef", 3);
  EXPECT_STREQ(cut, "abc");
}

TEST_F(PoolTest, Concatenation) {
  struct Case {
    const char* a;
    const char* b;
    const char* c;
  };
  const std::string long_part(130, 'y');
  const Case cases[] = {
      {"", "", ""}, {"dir", "/", "name.c"}, {"", "b", ""}, {"a", "", "c"}, {long_part.c_str(), "-", long_part.c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + "|" + c.b + "|" + c.c);
    EXPECT_EQ(std::string(pool_concat3(pool, c.a, c.b, c.c)), std::string(c.a) + c.b + c.c);
    EXPECT_EQ(std::string(pool_concat2(pool, c.a, c.c)), std::string(c.a) + c.c);
  }
}

TEST_F(PoolTest, OversizeRequestThatCannotBeCarvedLeavesTheProgram) {
  EXPECT_THROW(pool_alloc(pool, SIZE_MAX), OutOfMemory);
  EXPECT_THROW(pool_alloc(pool, SIZE_MAX - 20), OutOfMemory);
}

TEST(CompareInt64, OrdersSigned64BitValues) {
  struct Case {
    int64_t a, b;
    int expected;
  };
  const Case cases[] = {
      {0, 0, 0},
      {5, 5, 0},
      {-1, 0, -1},
      {0, -1, 1},
      {-1, INT64_MAX, -1},
      {INT64_MIN, 0, -1},
      {INT64_MIN, INT64_MAX, -1},
      {INT64_MAX, INT64_MIN, 1},
      {-2147483648LL, 2147483647LL, -1},
      // Equal low 32 bits, different high ones, and the other way round.
      {0x100000001LL, 0x000000001LL, 1},
      {0x180000000LL, 0x100000001LL, 1},
      {0x100000001LL, 0x100000002LL, -1},
      {-0x100000000LL, 1, -1},
      {0x7fffffff00000000LL, 0x7ffffffeffffffffLL, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " vs " + std::to_string(c.b));
    EXPECT_EQ(compare_int64(c.a, c.b), c.expected);
  }
}

}  // namespace
