#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lex/wide_scan.h"

namespace {

// Names that begin with "sq", with '_', or that are "z".
const NameStarts kStarts{{'s', '_', 'z'}, {'q', 0, 0}, 3};

// The wide forms this machine runs, each to agree with the plain check.
std::vector<const char* (*)(const char*, const NameStarts&, bool)> wide_forms() {
  std::vector<const char* (*)(const char*, const NameStarts&, bool)> forms{plain_lines_end};
#if defined(__SSE2__)
  forms.push_back(plain_lines_end_sse2);
#endif
#if defined(__x86_64__)
  if (has_avx2()) forms.push_back(plain_lines_end_avx2);
#endif
  return forms;
}

// Where each text's plain lines end (as an offset), for the start bytes s
// and _, with a name start looked for after identifier bytes or anywhere.
struct Case {
  std::string text;
  size_t end;
  size_t end_anywhere;
};

TEST(PlainLines, EndBeforeTheFirstLineThatNeedsALook) {
  const std::vector<Case> cases = {
      {"int x = 1;\nint y;\n", 18, 18},
      {"a = b / c ? d : e;\n", 19, 19},
      {"a = 1;\nb = c // \"sq\" note\n", 26, 26},  // a comment with a quote and a name
      {"a = 1;\nb /* 'sq' */\n", 20, 20},
      {"/* a\n b */ x;\nsq;\n", 14, 14},      // the lines end after the comment
      {"a;\n/* a\n b */ sq;\n", 3, 3},       // not inside it
      {"a;\n/* x\r\ny */ x1\r\n", 18, 18},
      {"/*/ sq */ /**/a;\n", 17, 17},        // "/*/" does not end the comment
      {"a;\n// sq\r\n/* b */ // c\n", 23, 23},
      {"a;\n/* open\n", 3, 3},
      {"a;\n/* x\\ */\n", 3, 3},             // a backslash may splice
      {"a;\n// x \\\nsq\n", 3, 3},
      {"a;\n/* x ?""?/ */\n", 3, 3},
      {"a;\n// x\ry\n", 3, 3},
      {"a;\n/* \xc3\xa9 */\n", 3, 3},
      {"a;\n// x", 3, 3},
      {"// a */ b ** c\n/** d ***/\n", 26, 26},
      {"x;\n\"s\"\n", 3, 3},
      {"x;\n'c'\n", 3, 3},
      {"x;\ny = a\\\nb;\n", 3, 3},
      {"x;\ny ??= 1;\n", 3, 3},
      {"a;\r\nb;\r\n", 8, 8},
      {"a;\rb;\n", 0, 0},
      {"a;\nlast", 3, 3},
      {"a;\nx\xc3\xa9;\n", 3, 3},
      {"is; as;\nstatic x;\n", 18, 18},
      {"sq;\nx = sqlite3;\n", 0, 0},
      {"isq;\nsq;\n", 5, 0},  // inside a name, "sq" begins none
      {"x1z;\n1_km;\n", 11, 0},
      {"zz;\n", 0, 0},
      {"_x;\n", 0, 0},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    for (auto wide : wide_forms()) {
      EXPECT_EQ(wide(c.text.c_str(), kStarts, false) - c.text.c_str(), static_cast<long>(c.end));
      EXPECT_EQ(wide(c.text.c_str(), kStarts, true) - c.text.c_str(), static_cast<long>(c.end_anywhere));
    }
  }
  const NameStarts too_many{{}, {}, kNameStarts + 1};
  EXPECT_EQ(*plain_lines_end("x;\n", too_many, false), 'x');
}

// The wide check agrees with the plain one at every alignment, with the
// bytes that matter on both sides of every block edge.
TEST(PlainLines, WideAndPlainAgree) {
  const char alphabet[] = "ab sqz_1;\n\n\r/*?\"'\\\x80";
  std::mt19937 random(7);
  alignas(32) char buffer[320];
  for (int round = 0; round < 20000; ++round) {
    size_t length = random() % 200;
    size_t offset = random() % 32;
    for (size_t i = 0; i < length; ++i) {
      // Mostly plain bytes, now and then one that matters, or a pair that
      // opens or closes a comment.
      buffer[offset + i] = random() % 4 ? "ab x1;+ \n"[random() % 9] : alphabet[random() % (sizeof alphabet - 1)];
      if (i + 1 < length && random() % 16 == 0) {
        const char* pair = &"/**///"[2 * (random() % 3)];
        buffer[offset + i] = pair[0];
        buffer[offset + ++i] = pair[1];
      }
    }
    buffer[offset + length] = '\0';
    const char* text = buffer + offset;
    for (bool anywhere : {false, true}) {
      for (auto wide : wide_forms()) {
        ASSERT_EQ(wide(text, kStarts, anywhere), plain_lines_end_plainly(text, kStarts, anywhere))
            << std::string(text, length);
      }
    }
  }
}

}  // namespace
