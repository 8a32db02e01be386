// The names of the replacement table, entered once for the whole run and
// then only read, by every file and every job at once. A file that meets
// one of them makes an entry of its own for it (see SpellingTable), so a
// file costs nothing for the names it does not use.
#pragma once

#include <cstddef>
#include <cstdint>

#include "memory/record_array.h"

struct Arena;
struct IdentEntry;
struct Preprocessor;

constexpr uint32_t kNoDefinition = UINT32_MAX;
constexpr uint32_t kNoSharedName = UINT32_MAX;

// Where a spelling lies: at an offset of the table's text, or (with
// kSpelledAnew set) the number of a copy in `spelled`, for a name written
// with a splice or trigraph, whose spelling the text does not hold as such.
constexpr uint32_t kSpelledAnew = uint32_t{1} << 31;

// Set in a name's hash for a spelling of plain identifier bytes.
constexpr uint32_t kPlainSpelling = uint32_t{1} << 31;

struct SharedName {
  uint32_t spelling;
  uint32_t length;
  uint32_t name_hash;   // identifier_name_hash of the spelling, and kPlainSpelling
  uint32_t definition;  // the number of the name's definition, or kNoDefinition
};

struct SharedSpellings;

// Called when a file makes its entry for a name that has a definition.
using SharedDefinitionHook = void (*)(Preprocessor* p, IdentEntry* entry, uint32_t definition, const void* data);

// Open addressing over the names: a slot holds a name's number plus one in
// its low bits and bits of its hash above them, so that a probe rarely
// reads a name it does not want.
constexpr uint32_t kSlotNameBits = 24;
constexpr uint32_t kMaxSharedNames = (uint32_t{1} << kSlotNameBits) - 2;

struct SharedSpellings {
  const char* text;  // the table's text, kept for the whole run
  RecordArray<SharedName> names;
  RecordArray<const char*> spelled;
  uint32_t* slots;
  uint32_t slot_bits;
  SharedDefinitionHook on_definition;
  const void* hook_data;
};

// Names to be spelled within `text`; the memory comes from `arena`, whose
// release gives it back. `expected_names` sizes the index for a start.
void init_shared_spellings(SharedSpellings* shared, const char* text, Arena* arena, size_t expected_names);

// The text of a spelling's place (SharedName::spelling).
inline const char* spelling_at(const SharedSpellings* shared, uint32_t place) {
  if (place & kSpelledAnew) return record_at(shared->spelled, place & ~kSpelledAnew);
  return shared->text + place;
}

// The number of the name spelled [begin, end), or kNoSharedName.
uint32_t find_shared_name(const SharedSpellings* shared, const char* begin, const char* end, uint32_t name_hash,
                          bool plain);

// Whether a spelling given to enter_shared_name lies in the table's text
// as it stands, or is a copy made for the moment.
enum class SpellingPlace { IN_TEXT, ELSEWHERE };

// The number of the name (its identifier_name_hash and plainness given),
// entered first when it is new; a spelling that does not lie in the text is
// copied. Returns kNoSharedName when the index is full (kMaxSharedNames names).
uint32_t enter_shared_name(SharedSpellings* shared, const char* begin, const char* end, uint32_t name_hash, bool plain,
                           SpellingPlace place);

// Keeps a copy of a spelling; returns its place.
uint32_t keep_spelling(SharedSpellings* shared, const char* begin, const char* end);
