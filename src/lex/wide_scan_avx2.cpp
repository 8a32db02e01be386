// The check of plain lines 32 bytes at a time, for processors with AVX2.
// Every function here is made for AVX2 by its target attribute, the rest of
// the program for the machine's baseline; plain_lines_end calls in here only
// where the processor has AVX2.
#include "lex/wide_scan.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define FOR_AVX2 __attribute__((target("avx2")))

namespace {

FOR_AVX2 inline uint32_t bits_of(__m256i lanes) { return static_cast<uint32_t>(_mm256_movemask_epi8(lanes)); }
FOR_AVX2 inline __m256i equal(__m256i v, char c) { return _mm256_cmpeq_epi8(v, _mm256_set1_epi8(c)); }
FOR_AVX2 inline __m256i either(__m256i a, __m256i b) { return _mm256_or_si256(a, b); }
inline int highest_bit(uint32_t bits) { return 31 - __builtin_clz(bits); }
inline int lowest_bit(uint32_t bits) { return __builtin_ctz(bits); }
constexpr uint32_t kLastLane = 0x80000000u;
constexpr uint32_t kAllButLast = 0x7FFFFFFFu;

// Each byte with the one after it in the block; the last with a zero.
FOR_AVX2 inline __m256i next_bytes(__m256i v) {
  return _mm256_alignr_epi8(_mm256_permute2x128_si256(v, v, 0x81), v, 1);
}

// Bytes from `low` to `low + count - 1`: shifted so that `low` is the
// smallest signed byte, they are the ones below the smallest plus count.
FOR_AVX2 inline __m256i bytes_in_range(__m256i v, char low, char count) {
  __m256i shifted = _mm256_sub_epi8(v, _mm256_set1_epi8(static_cast<char>(low + 128)));
  return _mm256_cmpgt_epi8(_mm256_set1_epi8(static_cast<char>(-128 + count)), shifted);
}

// Letters, digits and the underscore (the identifier bytes of kChars).
FOR_AVX2 inline uint32_t identifier_bytes(__m256i v) {
  __m256i letter = bytes_in_range(_mm256_or_si256(v, _mm256_set1_epi8(0x20)), 'a', 26);
  __m256i digit = bytes_in_range(v, '0', 10);
  return bits_of(either(either(letter, digit), equal(v, '_')));
}

struct StartLanes {
  __m256i first[kNameStarts];
  __m256i second[kNameStarts];
};

// NOTE: block_stops of wide_scan.cpp, for 32 bytes.
FOR_AVX2 inline uint32_t block_stops(const char* block, __m256i v, uint32_t valid, const NameStarts& starts,
                            const StartLanes& lanes, bool anywhere, uint32_t identifier_before) {
  uint32_t stops = bits_of(either(either(equal(v, '\0'), equal(v, '"')), either(either(equal(v, '\''), equal(v, '\\')), v)));
  const uint32_t slash = bits_of(equal(v, '/'));
  const uint32_t question = bits_of(equal(v, '?'));
  const uint32_t cr = bits_of(equal(v, '\r'));
  const uint32_t comment_next = bits_of(either(equal(v, '/'), equal(v, '*')));
  const uint32_t newline_next = bits_of(equal(v, '\n'));
  uint32_t name_starts = 0;
  uint32_t name_starts_last = 0;
  for (uint8_t i = 0; i < starts.count; ++i) {
    uint32_t first = bits_of(_mm256_cmpeq_epi8(v, lanes.first[i]));
    if (!first) continue;
    if (!starts.second[i]) {
      name_starts |= first;
      continue;
    }
    name_starts |= first & (bits_of(_mm256_cmpeq_epi8(v, lanes.second[i])) >> 1);
    if (first & kLastLane) name_starts_last |= 1u << i;
  }
  if (!anywhere && (name_starts | name_starts_last)) {
    uint32_t identifier = identifier_bytes(v) & valid;
    uint32_t after_identifier = (identifier << 1) | identifier_before;
    name_starts &= ~after_identifier;
    if (after_identifier & kLastLane) name_starts_last = 0;
  }
  stops |= name_starts | (slash & (comment_next >> 1)) | (question & (question >> 1)) |
           (cr & ~(newline_next >> 1) & kAllButLast);
  stops &= valid;
  if (!(stops & kAllButLast) && ((slash | question | cr) & kLastLane || name_starts_last)) {
    const char after = block[32];
    bool stop_last = false;
    if (slash & kLastLane) stop_last = after == '/' || after == '*';
    if (question & kLastLane) stop_last = after == '?';
    if (cr & kLastLane) stop_last = after != '\n';
    for (uint8_t i = 0; i < starts.count && !stop_last; ++i) {
      stop_last = (name_starts_last >> i) & 1 && static_cast<unsigned char>(after) == starts.second[i];
    }
    if (stop_last) stops |= kLastLane;
  }
  return stops;
}

// NOTE: comment_end of wide_scan.cpp, for 32 bytes.
FOR_AVX2 READS_WHOLE_BLOCKS const char* comment_end(const char* body, bool block) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(body);
  const char* chunk = reinterpret_cast<const char*>(address & ~uintptr_t{31});
  uint32_t valid = 0xFFFFFFFFu << (address & 31);
  const char closer = block ? '*' : '\n';
  for (;; chunk += 32, valid = 0xFFFFFFFFu) {
    const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(chunk));
    const __m256i next = next_bytes(v);
    const __m256i star = block ? equal(v, '*') : _mm256_setzero_si256();
    const __m256i question = equal(v, '?');
    const __m256i cr = equal(v, '\r');
    const __m256i paired =
        either(either(_mm256_and_si256(star, equal(next, '/')), _mm256_and_si256(question, equal(next, '?'))),
               _mm256_andnot_si256(equal(next, '\n'), cr));
    const uint32_t last = bits_of(either(either(star, question), cr)) & kLastLane;
    uint32_t look = (bits_of(either(either(equal(v, '\0'), equal(v, '\\')), either(v, paired))) | last) & valid;
    if (!block) look |= bits_of(equal(v, '\n')) & valid;
    for (; look; look &= look - 1) {
      const char* at = chunk + lowest_bit(look);
      const char c = *at;
      if (c == closer) {
        if (!block) return at;
        if (at[1] == '/') return at + 2;
      } else if (!(c == '\r' && at[1] == '\n') && !(c == '?' && at[1] != '?')) {
        return nullptr;
      }
    }
  }
}

}  // namespace

// NOTE: plain_lines_end of wide_scan.cpp (16 bytes at a time) and
// plain_lines_end_plainly are the same check; the tests compare all three.
FOR_AVX2 READS_WHOLE_BLOCKS const char* plain_lines_end_avx2(const char* text, const NameStarts& starts,
                                                                       bool anywhere) {
  if (starts.count > kNameStarts) return text;
  StartLanes lanes;
  for (uint8_t i = 0; i < starts.count; ++i) {
    lanes.first[i] = _mm256_set1_epi8(static_cast<char>(starts.first[i]));
    lanes.second[i] = _mm256_set1_epi8(static_cast<char>(starts.second[i]));
  }
  const char* block;
  uint32_t valid;
  auto start_at = [&block, &valid](const char* from) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(from);
    block = reinterpret_cast<const char*>(address & ~uintptr_t{31});
    valid = 0xFFFFFFFFu << (address & 31);
  };
  start_at(text);
  uint32_t identifier_before = 0;
  const char* end = text;
  const __m256i last_lane = _mm256_set_epi8(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0);
  for (;;) {
    const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(block));
    const __m256i next = next_bytes(v);
    const __m256i slash = equal(v, '/');
    const __m256i question = equal(v, '?');
    __m256i first_lanes = _mm256_setzero_si256();
    __m256i name_lanes = _mm256_setzero_si256();
    for (uint8_t i = 0; i < starts.count; ++i) {
      __m256i first = _mm256_cmpeq_epi8(v, lanes.first[i]);
      first_lanes = either(first_lanes, first);
      name_lanes = either(name_lanes,
                          starts.second[i] ? _mm256_and_si256(first, _mm256_cmpeq_epi8(next, lanes.second[i])) : first);
    }
    __m256i pairs = either(either(_mm256_and_si256(slash, either(equal(next, '/'), equal(next, '*'))),
                                  _mm256_and_si256(question, equal(next, '?'))),
                           _mm256_andnot_si256(equal(next, '\n'), equal(v, '\r')));
    __m256i maybe =
        either(either(either(equal(v, '\0'), equal(v, '"')), either(equal(v, '\''), equal(v, '\\'))),
               either(either(v, pairs),
                      either(name_lanes, _mm256_and_si256(last_lane, either(either(slash, question), first_lanes)))));
    const uint32_t newlines = bits_of(equal(v, '\n')) & valid;
    if (bits_of(maybe) & valid) {
      uint32_t stops = block_stops(block, v, valid, starts, lanes, anywhere, identifier_before);
      if (stops) {
        const uint32_t before_stop = newlines & ((stops & -stops) - 1);
        if (before_stop) end = block + highest_bit(before_stop) + 1;
        const char* stop = block + lowest_bit(stops);
        if (stop[0] != '/') return end;
        const char* after = comment_end(stop + 2, stop[1] == '*');
        if (!after) return end;
        start_at(after);
        identifier_before = 0;
        continue;
      }
    }
    if (newlines) end = block + highest_bit(newlines) + 1;
    identifier_before = identifier_bytes(v) >> 31;
    block += 32;
    valid = 0xFFFFFFFFu;
  }
}

#endif
