// Records appended one at a time and found by their number. They lie in
// chunks of an arena: growing never moves or copies them, so a large
// collection costs what it holds and not twice that while it grows.
#pragma once

#include <cstdint>
#include <cstring>

#include "memory/arena.h"

constexpr uint32_t kRecordChunkBits = 14;
constexpr uint32_t kRecordsPerChunk = uint32_t{1} << kRecordChunkBits;

template <typename Record>
struct RecordArray {
  Arena* arena;
  Record** chunks;
  uint32_t chunk_slots;  // room for this many chunk pointers
  uint32_t count;
};

template <typename Record>
RecordArray<Record> make_record_array(Arena* arena) {
  return RecordArray<Record>{arena, nullptr, 0, 0};
}

template <typename Record>
Record& record_at(const RecordArray<Record>& array, uint32_t index) {
  return array.chunks[index >> kRecordChunkBits][index & (kRecordsPerChunk - 1)];
}

// The chunk pointers are few: an outgrown list of them stays in the arena.
template <typename Record>
uint32_t append_record(RecordArray<Record>* array, const Record& record) {
  uint32_t chunk = array->count >> kRecordChunkBits;
  if ((array->count & (kRecordsPerChunk - 1)) == 0) {
    if (chunk == array->chunk_slots) {
      uint32_t slots = array->chunk_slots ? 2 * array->chunk_slots : 16;
      Record** chunks = static_cast<Record**>(arena_alloc(array->arena, slots * sizeof(Record*)));
      if (array->chunk_slots) memcpy(chunks, array->chunks, array->chunk_slots * sizeof(Record*));
      array->chunks = chunks;
      array->chunk_slots = slots;
    }
    array->chunks[chunk] = static_cast<Record*>(arena_alloc(array->arena, kRecordsPerChunk * sizeof(Record)));
  }
  array->chunks[chunk][array->count & (kRecordsPerChunk - 1)] = record;
  return array->count++;
}
