#include "memory/heap.h"

#include <cstdlib>

HeapAllocate heap_allocate = std::malloc;
HeapRelease heap_release = std::free;

void out_of_memory() { throw OutOfMemory(); }
