// The heap calls of the whole tool. Tests replace them to make the heap
// refuse a chosen request, so that the out-of-memory exit runs for real.
#pragma once

#include <cstddef>

using HeapAllocate = void* (*)(size_t size);
using HeapRelease = void (*)(void* block);

extern HeapAllocate heap_allocate;
extern HeapRelease heap_release;

// Thrown when the heap refuses; caught at the program entry, which writes the
// out-of-memory message and ends the program.
struct OutOfMemory {};

[[noreturn]] void out_of_memory();
