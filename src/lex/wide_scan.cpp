#include "lex/wide_scan.h"

#include "lex/char_class.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool is_name_start(const NameStarts& starts, unsigned char c) {
  for (uint8_t i = 0; i < starts.count; ++i) {
    if (starts.bytes[i] == c) return true;
  }
  return false;
}

}  // namespace

// NOTE: plain_lines_end is this check 16 bytes at a time; the two must agree.
const char* plain_lines_end_plainly(const char* text, const NameStarts& starts, bool anywhere) {
  if (starts.count > kNameStartBytes) return text;
  const char* end = text;
  for (const char* p = text;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      end = p + 1;
      continue;
    }
    if (c == '\r' && p[1] == '\n') continue;
    if (c == '\r' || c == '\0' || c >= 0x80 || c == '"' || c == '\'' || c == '\\') return end;
    if (c == '/' && (p[1] == '/' || p[1] == '*')) return end;
    if (c == '?' && p[1] == '?') return end;
    if (is_name_start(starts, c) && (anywhere || p == text || !byte_is(p[-1], CHAR_IDENTIFIER))) return end;
  }
}

#if defined(__SSE2__)

namespace {

inline uint32_t bits_of(__m128i lanes) { return static_cast<uint32_t>(_mm_movemask_epi8(lanes)); }
inline __m128i equal(__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); }
inline __m128i either(__m128i a, __m128i b) { return _mm_or_si128(a, b); }

// Bytes from `low` to `low + count - 1`: shifted so that `low` is the
// smallest signed byte, they are the ones below the smallest plus count.
inline __m128i bytes_in_range(__m128i v, char low, char count) {
  __m128i shifted = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low + 128)));
  return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + count)));
}

// Letters, digits and the underscore (the identifier bytes of kChars).
inline uint32_t identifier_bytes(__m128i v) {
  __m128i letter = bytes_in_range(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 26);
  __m128i digit = bytes_in_range(v, '0', 10);
  return bits_of(either(either(letter, digit), equal(v, '_')));
}

inline int highest_bit(uint32_t bits) { return 31 - __builtin_clz(bits); }

}  // namespace

// The loads are aligned: a block never reaches into another page, so reading
// the bytes of the first block before the text, and of the last block after
// the text's terminating NUL, is safe; they are masked out or never looked at.
__attribute__((no_sanitize_address)) const char* plain_lines_end(const char* text, const NameStarts& starts,
                                                                  bool anywhere) {
  if (starts.count > kNameStartBytes) return text;
  const uintptr_t address = reinterpret_cast<uintptr_t>(text);
  const char* block = reinterpret_cast<const char*>(address & ~uintptr_t{15});
  uint32_t valid = (0xFFFFu << (address & 15)) & 0xFFFF;  // the bytes from the text on
  uint32_t identifier_before = 0;  // the last byte of the block before was an identifier byte
  const char* end = text;
  for (;; block += 16, valid = 0xFFFF) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    // The sign bit of the byte itself stands for a byte above 127.
    uint32_t stops = bits_of(either(either(equal(v, '\0'), equal(v, '"')), either(either(equal(v, '\''), equal(v, '\\')), v)));
    if (starts.count) {
      __m128i start_lanes = equal(v, static_cast<char>(starts.bytes[0]));
      for (uint8_t i = 1; i < starts.count; ++i) start_lanes = either(start_lanes, equal(v, static_cast<char>(starts.bytes[i])));
      uint32_t name_starts = bits_of(start_lanes);
      if (!anywhere) {
        if (name_starts) {
          uint32_t identifier = identifier_bytes(v) & valid;  // the byte before the text counts as none
          name_starts &= ~((identifier << 1) | identifier_before);
        }
        // Needed only when the scan goes on to the next block, which it does
        // only when this one holds no NUL.
        identifier_before = byte_is(block[15], CHAR_IDENTIFIER) ? 1 : 0;
      }
      stops |= name_starts;
    }
    stops &= valid;
    // A '/', a '?' or a CR stops the lines only with the byte after it.
    const __m128i slash_lanes = equal(v, '/');
    const __m128i question_lanes = equal(v, '?');
    const __m128i cr_lanes = equal(v, '\r');
    const uint32_t newlines = bits_of(equal(v, '\n')) & valid;
    const uint32_t pair_firsts = bits_of(either(either(slash_lanes, question_lanes), cr_lanes)) & valid;
    if (pair_firsts && (!stops || (pair_firsts & -pair_firsts) < (stops & -stops))) {
      const uint32_t slash = bits_of(slash_lanes);
      const uint32_t question = bits_of(question_lanes);
      const uint32_t cr = bits_of(cr_lanes);
      uint32_t comment_after = (slash | bits_of(equal(v, '*'))) >> 1;
      uint32_t question_after = question >> 1;
      uint32_t newline_after = newlines >> 1;
      if (!stops && (pair_firsts & 0x8000)) {
        // With no stop in the block, its last byte is no NUL: the byte after
        // it is still the text's.
        char after = block[16];
        if (after == '/' || after == '*') comment_after |= 0x8000;
        if (after == '?') question_after |= 0x8000;
        if (after == '\n') newline_after |= 0x8000;
      }
      stops |= ((slash & comment_after) | (question & question_after) | (cr & ~newline_after)) & valid;
    }
    if (stops) {
      const uint32_t before_stop = newlines & ((stops & -stops) - 1);
      return before_stop ? block + highest_bit(before_stop) + 1 : end;
    }
    if (newlines) end = block + highest_bit(newlines) + 1;
  }
}

#else

const char* plain_lines_end(const char* text, const NameStarts& starts, bool anywhere) {
  return plain_lines_end_plainly(text, starts, anywhere);
}

#endif
