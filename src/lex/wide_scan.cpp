#include "lex/wide_scan.h"

#include "lex/char_class.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

bool begins_name(const NameStarts& starts, const char* p) {
  for (uint8_t i = 0; i < starts.count; ++i) {
    if (static_cast<unsigned char>(p[0]) == starts.first[i] &&
        (!starts.second[i] || static_cast<unsigned char>(p[1]) == starts.second[i])) {
      return true;
    }
  }
  return false;
}

// The end of a comment that the lines may copy as it stands, from `body`
// after its two opening bytes (`block`: a block comment, else a line
// comment): after its "*/", or at the line feed that ends a line comment.
// Null when something in it needs the tokeniser's look: a backslash or "??"
// that may splice a line, a NUL, a CR but in a CR LF line end, a byte above
// 127.
// NOTE: comment_end (here and in wide_scan_avx2.cpp) is this a block at a
// time; they must agree.
const char* comment_end_plainly(const char* body, bool block) {
  for (const char* at = body;; ++at) {
    const unsigned char c = static_cast<unsigned char>(*at);
    if (block && c == '*' && at[1] == '/') return at + 2;
    if (c == '\n') {
      if (!block) return at;
      continue;
    }
    if (c == '\r' && at[1] == '\n') continue;
    if (c == '\r' || c == '\0' || c == '\\' || c >= 0x80 || (c == '?' && at[1] == '?')) return nullptr;
  }
}

long count_newlines_plainly(const char* begin, const char* end) {
  long count = 0;
  for (; begin < end; ++begin) count += *begin == '\n';
  return count;
}

}  // namespace

// NOTE: plain_lines_end_sse2 and plain_lines_end_avx2 are this check 16 and
// 32 bytes at a time; the three must agree.
const char* plain_lines_end_plainly(const char* text, const NameStarts& starts, bool anywhere) {
  if (starts.count > kNameStarts) return text;
  const char* end = text;
  for (const char* p = text;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      end = p + 1;
      continue;
    }
    if (c == '\r' && p[1] == '\n') continue;
    if (c == '\r' || c == '\0' || c >= 0x80 || c == '"' || c == '\'' || c == '\\') return end;
    if (c == '/' && (p[1] == '/' || p[1] == '*')) {
      const char* after = comment_end_plainly(p + 2, p[1] == '*');
      if (!after) return end;
      p = after - 1;  // the loop steps onto what follows the comment
      continue;
    }
    if (c == '?' && p[1] == '?') return end;
    if (begins_name(starts, p) && (anywhere || p == text || !byte_is(p[-1], CHAR_IDENTIFIER))) return end;
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

// The start bytes of the names, as lanes to compare a block with.
struct StartLanes {
  __m128i first[kNameStarts];
  __m128i second[kNameStarts];
};

// A block's bytes that stop the lines, with the byte before the block
// (`identifier_before`) and, for its last byte, the byte after it when
// that is still the text's.
// NOTE: block_stops of wide_scan_avx2.cpp is this for 32 bytes.
inline uint32_t block_stops(const char* block, __m128i v, uint32_t valid, const NameStarts& starts,
                            const StartLanes& lanes, bool anywhere, uint32_t identifier_before) {
  // The sign bit of the byte itself stands for a byte above 127.
  uint32_t stops = bits_of(either(either(equal(v, '\0'), equal(v, '"')), either(either(equal(v, '\''), equal(v, '\\')), v)));
  // Bytes that stop the lines with the byte after them: that byte is the
  // next one of the block, or, for the last one, the first of the next.
  const uint32_t slash = bits_of(equal(v, '/'));
  const uint32_t question = bits_of(equal(v, '?'));
  const uint32_t cr = bits_of(equal(v, '\r'));
  const uint32_t comment_next = bits_of(either(equal(v, '/'), equal(v, '*')));
  const uint32_t newline_next = bits_of(equal(v, '\n'));
  uint32_t name_starts = 0;
  uint32_t name_starts_last = 0;  // begin a name if the next block goes on so
  for (uint8_t i = 0; i < starts.count; ++i) {
    uint32_t first = bits_of(_mm_cmpeq_epi8(v, lanes.first[i]));
    if (!first) continue;
    if (!starts.second[i]) {
      name_starts |= first;
      continue;
    }
    name_starts |= first & (bits_of(_mm_cmpeq_epi8(v, lanes.second[i])) >> 1);
    if (first & 0x8000) name_starts_last |= 1u << i;
  }
  if (!anywhere && (name_starts | name_starts_last)) {
    uint32_t identifier = identifier_bytes(v) & valid;  // the byte before the text counts as none
    uint32_t after_identifier = (identifier << 1) | identifier_before;
    name_starts &= ~after_identifier;
    if (after_identifier & 0x8000) name_starts_last = 0;
  }
  stops |= name_starts | (slash & (comment_next >> 1)) | (question & (question >> 1)) | (cr & ~(newline_next >> 1) & 0x7FFF);
  stops &= valid;
  // The last byte's pairs matter only when nothing stops the lines before
  // it; then the block holds no NUL, and the byte after it is the text's.
  if (!(stops & 0x7FFF) && ((slash | question | cr) & 0x8000 || name_starts_last)) {
    const char after = block[16];
    bool stop_last = false;
    if (slash & 0x8000) stop_last = after == '/' || after == '*';
    if (question & 0x8000) stop_last = after == '?';
    if (cr & 0x8000) stop_last = after != '\n';
    for (uint8_t i = 0; i < starts.count && !stop_last; ++i) {
      stop_last = (name_starts_last >> i) & 1 && static_cast<unsigned char>(after) == starts.second[i];
    }
    if (stop_last) stops |= 0x8000;
  }
  return stops;
}

inline int lowest_bit(uint32_t bits) { return __builtin_ctz(bits); }

// NOTE: comment_end_plainly is this a byte at a time, and comment_end of
// wide_scan_avx2.cpp 32 bytes at a time; the three must agree.
READS_WHOLE_BLOCKS const char* comment_end(const char* body, bool block) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(body);
  const char* chunk = reinterpret_cast<const char*>(address & ~uintptr_t{15});
  uint32_t valid = (0xFFFFu << (address & 15)) & 0xFFFF;
  const char closer = block ? '*' : '\n';
  for (;; chunk += 16, valid = 0xFFFF) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(chunk));
    const __m128i next = _mm_srli_si128(v, 1);
    // The closer, and what may stop the lines; a byte above 127 by its
    // sign. A pair is looked at when it is one, or may be one with the
    // next block's first byte.
    const __m128i star = block ? equal(v, '*') : _mm_setzero_si128();  // a closer only of a block comment
    const __m128i question = equal(v, '?');
    const __m128i cr = equal(v, '\r');
    const __m128i paired = either(either(_mm_and_si128(star, equal(next, '/')), _mm_and_si128(question, equal(next, '?'))),
                                  _mm_andnot_si128(equal(next, '\n'), cr));
    const uint32_t last = bits_of(either(either(star, question), cr)) & 0x8000;
    uint32_t look = (bits_of(either(either(equal(v, '\0'), equal(v, '\\')), either(v, paired))) | last) & valid;
    if (!block) look |= bits_of(equal(v, '\n')) & valid;
    for (; look; look &= look - 1) {
      // Nothing before `at` is a NUL: the byte after it is the text's.
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

// The loads are aligned: a block never reaches into another page, so reading
// the bytes of the first block before the text, and of the last block after
// the text's terminating NUL, is safe; they are masked out or never looked at.
// NOTE: plain_lines_end_avx2 (wide_scan_avx2.cpp) is this 32 bytes at a time.
READS_WHOLE_BLOCKS const char* plain_lines_end_sse2(const char* text, const NameStarts& starts,
                                                                       bool anywhere) {
  if (starts.count > kNameStarts) return text;
  StartLanes lanes;
  for (uint8_t i = 0; i < starts.count; ++i) {
    lanes.first[i] = _mm_set1_epi8(static_cast<char>(starts.first[i]));
    lanes.second[i] = _mm_set1_epi8(static_cast<char>(starts.second[i]));
  }
  const char* block;
  uint32_t valid;  // the bytes from `from` on
  // The blocks from `from` on; the byte before it is no identifier byte.
  auto start_at = [&block, &valid](const char* from) {
    const uintptr_t address = reinterpret_cast<uintptr_t>(from);
    block = reinterpret_cast<const char*>(address & ~uintptr_t{15});
    valid = (0xFFFFu << (address & 15)) & 0xFFFF;
  };
  start_at(text);
  uint32_t identifier_before = 0;  // the last byte of the block before was an identifier byte
  const char* end = text;
  for (;;) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
    // Most blocks hold nothing that may stop the lines: one look at it all
    // together, each byte with the one after it (the last byte with none,
    // and so taken as a stop when it may be one), and the closer look of
    // block_stops only when there is anything.
    const __m128i next = _mm_srli_si128(v, 1);
    const __m128i last_lane = _mm_set_epi8(-1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m128i slash = equal(v, '/');
    const __m128i question = equal(v, '?');
    __m128i first_lanes = _mm_setzero_si128();
    __m128i name_lanes = _mm_setzero_si128();
    for (uint8_t i = 0; i < starts.count; ++i) {
      __m128i first = _mm_cmpeq_epi8(v, lanes.first[i]);
      first_lanes = either(first_lanes, first);
      name_lanes = either(name_lanes, starts.second[i] ? _mm_and_si128(first, _mm_cmpeq_epi8(next, lanes.second[i])) : first);
    }
    __m128i pairs = either(either(_mm_and_si128(slash, either(equal(next, '/'), equal(next, '*'))),
                                  _mm_and_si128(question, equal(next, '?'))),
                           _mm_andnot_si128(equal(next, '\n'), equal(v, '\r')));
    __m128i maybe = either(either(either(equal(v, '\0'), equal(v, '"')), either(equal(v, '\''), equal(v, '\\'))),
                           either(either(v, pairs), either(name_lanes, _mm_and_si128(last_lane, either(either(slash, question), first_lanes)))));
    const uint32_t newlines = bits_of(equal(v, '\n')) & valid;
    if (bits_of(maybe) & valid) {
      uint32_t stops = block_stops(block, v, valid, starts, lanes, anywhere, identifier_before);
      if (stops) {
        const uint32_t before_stop = newlines & ((stops & -stops) - 1);
        if (before_stop) end = block + highest_bit(before_stop) + 1;
        // A comment is copied as it stands when nothing in it needs a look:
        // the lines go on after it.
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
    // The last byte, for a name start at the beginning of the next block:
    // read only when the scan goes on to it, which it does only when this
    // block holds no NUL.
    identifier_before = byte_is(block[15], CHAR_IDENTIFIER) ? 1 : 0;
    block += 16;
    valid = 0xFFFF;
  }
}

#if defined(__x86_64__)
// Asked of the processor on first use, not when the process starts: in a
// virtual machine each question costs a trip to the host, and a run of
// xargs starts many processes.
bool has_avx2() {
  static const bool avx2 = [] {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
    // The system keeps the 32-byte registers across switches.
    unsigned low, high;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6) return false;
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2);
  }();
  return avx2;
}

const char* plain_lines_end(const char* text, const NameStarts& starts, bool anywhere) {
  if (starts.count > kNameStarts) return text;
  return has_avx2() ? plain_lines_end_avx2(text, starts, anywhere) : plain_lines_end_sse2(text, starts, anywhere);
}
#else
const char* plain_lines_end(const char* text, const NameStarts& starts, bool anywhere) {
  return plain_lines_end_sse2(text, starts, anywhere);
}
#endif

long count_newlines(const char* begin, const char* end) {
  // A line or two: the bytes one by one cost less than setting up the lanes.
  if (end - begin < 64) return count_newlines_plainly(begin, end);
  long count = 0;
  const __m128i newline = _mm_set1_epi8('\n');
  while (end - begin >= 16) {
    // Each lane counts its matches down from zero, at most 255 rounds
    // before the lanes are summed.
    __m128i lanes = _mm_setzero_si128();
    for (int round = 0; round < 255 && end - begin >= 16; ++round, begin += 16) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, newline));
    }
    __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
  }
  return count + count_newlines_plainly(begin, end);
}

#else

const char* plain_lines_end(const char* text, const NameStarts& starts, bool anywhere) {
  return plain_lines_end_plainly(text, starts, anywhere);
}

long count_newlines(const char* begin, const char* end) { return count_newlines_plainly(begin, end); }

#endif
