#include "source/shared_spellings.h"

#include <cstring>

#include "lex/identifier.h"
#include "memory/arena.h"

namespace {

constexpr uint32_t kSlotNameMask = (uint32_t{1} << kSlotNameBits) - 1;
constexpr uint32_t kMinSlotBits = 10;
// A first guess of the names never makes more slots than this; more come as they fill.
constexpr uint32_t kMaxFirstSlotBits = 21;
constexpr uint32_t kMaxSlotBits = 31;

uint32_t slot_of(uint32_t name_hash, uint32_t slot_bits) { return (name_hash * 0x9E3779B1u) >> (32 - slot_bits); }

// The bits of the hash a slot keeps beside the name's number.
uint32_t hash_tag(uint32_t name_hash) { return (name_hash & ((uint32_t{1} << (32 - kSlotNameBits)) - 1)) << kSlotNameBits; }

// From the arena: the slots grow only past a first guess that holds every
// table of fewer than a million names, and an outgrown array is at most
// half the size of the one that follows it.
uint32_t* new_slots(Arena* arena, uint32_t slot_bits) {
  size_t bytes = sizeof(uint32_t) << slot_bits;
  uint32_t* slots = static_cast<uint32_t*>(arena_alloc(arena, bytes));
  memset(slots, 0, bytes);
  return slots;
}

bool matches(const SharedSpellings* shared, const SharedName& name, const char* begin, const char* end, bool plain) {
  const char* spelling = spelling_at(shared, name.spelling);
  if (!((name.name_hash & kPlainSpelling) && plain)) {
    return same_identifier(spelling, spelling + name.length, begin, end);
  }
  size_t length = static_cast<size_t>(end - begin);
  return length == name.length && memcmp(spelling, begin, length) == 0;
}

// The slot that holds the name, or the empty one where it would go.
uint32_t* probe(const SharedSpellings* shared, const char* begin, const char* end, uint32_t name_hash, bool plain) {
  const uint32_t mask = (uint32_t{1} << shared->slot_bits) - 1;
  const uint32_t tag = hash_tag(name_hash);
  for (uint32_t slot = slot_of(name_hash, shared->slot_bits);; slot = (slot + 1) & mask) {
    uint32_t held = shared->slots[slot];
    if (held == 0) return &shared->slots[slot];
    if ((held & ~kSlotNameMask) != tag) continue;
    const SharedName& name = record_at(shared->names, (held & kSlotNameMask) - 1);
    if ((name.name_hash & ~kPlainSpelling) == name_hash && matches(shared, name, begin, end, plain)) {
      return &shared->slots[slot];
    }
  }
}

// Kept at most half full, so that probes stay short.
void double_slots(SharedSpellings* shared) {
  uint32_t* old_slots = shared->slots;
  uint32_t old_count = uint32_t{1} << shared->slot_bits;
  shared->slots = new_slots(shared->names.arena, shared->slot_bits + 1);
  shared->slot_bits += 1;
  const uint32_t mask = (uint32_t{1} << shared->slot_bits) - 1;
  for (uint32_t i = 0; i < old_count; ++i) {
    uint32_t held = old_slots[i];
    if (held == 0) continue;
    uint32_t name_hash = record_at(shared->names, (held & kSlotNameMask) - 1).name_hash & ~kPlainSpelling;
    uint32_t slot = slot_of(name_hash, shared->slot_bits);
    while (shared->slots[slot] != 0) slot = (slot + 1) & mask;
    shared->slots[slot] = held;
  }
}

}  // namespace

void init_shared_spellings(SharedSpellings* shared, const char* text, Arena* arena, size_t expected_names) {
  shared->text = text;
  shared->names = make_record_array<SharedName>(arena);
  shared->spelled = make_record_array<const char*>(arena);
  shared->on_definition = nullptr;
  shared->hook_data = nullptr;
  uint32_t slot_bits = kMinSlotBits;
  while (slot_bits < kMaxFirstSlotBits && (size_t{1} << slot_bits) < 2 * expected_names) ++slot_bits;
  shared->slots = new_slots(arena, slot_bits);
  shared->slot_bits = slot_bits;
}

uint32_t find_shared_name(const SharedSpellings* shared, const char* begin, const char* end, uint32_t name_hash,
                          bool plain) {
  uint32_t held = *probe(shared, begin, end, name_hash, plain);
  return held ? (held & kSlotNameMask) - 1 : kNoSharedName;
}

uint32_t keep_spelling(SharedSpellings* shared, const char* begin, const char* end) {
  size_t length = static_cast<size_t>(end - begin);
  char* copy = static_cast<char*>(arena_alloc(shared->names.arena, length + 1));
  memcpy(copy, begin, length);
  copy[length] = '\0';
  return append_record(&shared->spelled, static_cast<const char*>(copy)) | kSpelledAnew;
}

uint32_t enter_shared_name(SharedSpellings* shared, const char* begin, const char* end, uint32_t name_hash, bool plain,
                           SpellingPlace place) {
  uint32_t* slot = probe(shared, begin, end, name_hash, plain);
  if (*slot) return (*slot & kSlotNameMask) - 1;
  if (shared->names.count == kMaxSharedNames) return kNoSharedName;
  size_t length = static_cast<size_t>(end - begin);
  uint32_t spelling = place == SpellingPlace::IN_TEXT ? static_cast<uint32_t>(begin - shared->text)
                                                      : keep_spelling(shared, begin, end);
  uint32_t number = append_record(
      &shared->names,
      SharedName{spelling, static_cast<uint32_t>(length), name_hash | (plain ? kPlainSpelling : 0), kNoDefinition});
  *slot = (number + 1) | hash_tag(name_hash);
  if (shared->names.count > (uint32_t{1} << shared->slot_bits) / 2 && shared->slot_bits < kMaxSlotBits) {
    double_slots(shared);
  }
  return number;
}
