#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lex/char_input.h"
#include "support/text.h"

namespace {

// One logical character and the raw offset the cursor stands at after it.
struct Step {
  int c;
  size_t offset;
};

struct ReadCase {
  std::string text;  // may hold a NUL: the reader must stop there
  std::vector<Step> steps;
};

TEST(ReadChar, LogicalCharactersAndCursorPositions) {
  const std::vector<ReadCase> cases = {
      {"", {{0, 0}, {0, 0}}},
      {"ab", {{'a', 1}, {'b', 2}, {0, 2}}},
      // Every trigraph.
      {"??=??(??)??'??!??<??>??-",
       {{'#', 3}, {'[', 6}, {']', 9}, {'^', 12}, {'|', 15}, {'{', 18}, {'}', 21}, {'~', 24}, {0, 24}}},
      // ??/ stands for a backslash, which splices before a new-line.
      {"??/n", {{'\\', 3}, {'n', 4}, {0, 4}}},
      {"??/\nx", {{'x', 5}, {0, 5}}},
      {"??/", {{'\\', 3}, {0, 3}}},
      // ??/ then a backslash-newline: the first backslash is not followed by a new-line.
      {"??/\\\nx", {{'\\', 3}, {'x', 6}}},
      // Question marks that make no trigraph are read one at a time.
      {"a??b", {{'a', 1}, {'?', 2}, {'?', 3}, {'b', 4}, {0, 4}}},
      {"?", {{'?', 1}, {0, 1}}},
      {"??", {{'?', 1}, {'?', 2}, {0, 2}}},
      {std::string("?\0x", 3), {{'?', 1}, {0, 1}, {0, 1}}},
      {std::string("??\0=", 4), {{'?', 1}, {'?', 2}, {0, 2}}},
      // The second question mark may begin a trigraph of its own.
      {"???=", {{'?', 1}, {'#', 4}, {0, 4}}},
      {"????/\nz", {{'?', 1}, {'?', 2}, {'z', 7}}},
      // Line splices.
      {"a\\\nb", {{'a', 1}, {'b', 4}, {0, 4}}},
      {"a\\\n", {{'a', 1}, {0, 3}, {0, 3}}},
      {"\\\n\\\nx", {{'x', 5}, {0, 5}}},
      {"\\\n??=", {{'#', 5}}},
      {"\\\n\n", {{'\n', 3}, {0, 3}}},
      // Only a line end right after the backslash splices; a CR LF pair is
      // one line end, a lone CR a character of its own.
      {"\\ \nx", {{'\\', 1}, {' ', 2}, {'\n', 3}, {'x', 4}}},
      {"\\\r\nx", {{'x', 4}, {0, 4}}},
      {"??/\r\nx", {{'x', 6}, {0, 6}}},
      {"\\\rx", {{'\\', 1}, {'\r', 2}, {'x', 3}}},
      {"\\\r\r\n", {{'\\', 1}, {'\r', 2}, {'\n', 4}, {0, 4}}},
      {"a\r\nb\n\r", {{'a', 1}, {'\n', 3}, {'b', 4}, {'\n', 5}, {'\r', 6}, {0, 6}}},
      {"\\", {{'\\', 1}, {0, 1}}},
      {"\\\\\n", {{'\\', 1}, {0, 3}}},
      // A NUL in the middle of the text is the end; what follows is never read.
      {std::string("a\0b", 3), {{'a', 1}, {0, 1}, {0, 1}}},
      {std::string("\\\n\0b", 4), {{0, 2}, {0, 2}}},
      // Bytes from 0x80 up come back negative.
      {"\x80\xff\x7f", {{-128, 1}, {-1, 2}, {127, 3}}},
  };
  for (const ReadCase& test : cases) {
    SCOPED_TRACE(printable(test.text));
    std::string buffer = test.text + '\0';
    const char* cursor = buffer.data();
    for (size_t i = 0; i < test.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      EXPECT_EQ(read_char(cursor), test.steps[i].c);
      EXPECT_EQ(static_cast<size_t>(cursor - buffer.data()), test.steps[i].offset);
    }
  }
}

TEST(ReadChar, FastAndSlowPathsAgreeOnEveryByte) {
  // read_char_slow must handle any byte on its own, since callers may route
  // a character through it without the inline test.
  for (int byte = 1; byte < 256; ++byte) {
    const char text[3] = {static_cast<char>(byte), 'z', '\0'};
    const char* fast = text;
    const char* slow = text;
    EXPECT_EQ(read_char(fast), read_char_slow(slow)) << byte;
    EXPECT_EQ(fast, slow) << byte;
  }
}

struct SpellingCase {
  std::string a;
  std::string b;
  bool same;
};

TEST(SameSpelling, ComparesLogicalCharacters) {
  const std::vector<SpellingCase> cases = {
      {"", "", true},
      {"ab", "ab", true},
      {"ab", "a\\\nb", true},
      {"a??=", "a#", true},
      {"a??/\nb", "ab", true},
      {"ab", "abc", false},
      {"abc", "ab", false},
      {"", "a", false},
      {"a", "", false},
      {"a??b", "a??b", true},
      {"ab", "aB", false},
      // No special treatment of universal character names here.
      {"\\u00C1", "\\U000000C1", false},
      {"\\u00C1", "\\u00c1", false},
  };
  for (const SpellingCase& test : cases) {
    SCOPED_TRACE(printable(test.a) + " vs " + printable(test.b));
    const char* a = test.a.c_str();
    const char* b = test.b.c_str();
    EXPECT_EQ(same_spelling(a, a + test.a.size(), b, b + test.b.size()), test.same);
  }
}

TEST(CharacterValues, HexDigitValue) {
  for (int c = -128; c < 256; ++c) {
    int expected = -1;
    if (c >= '0' && c <= '9') expected = c - '0';
    if (c >= 'a' && c <= 'f') expected = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') expected = c - 'A' + 10;
    EXPECT_EQ(hex_digit_value(c), expected) << c;
  }
}

TEST(CharacterValues, SimpleEscapeValue) {
  const std::vector<std::pair<int, int>> known = {
      {'"', 34}, {'\'', 39}, {'?', 63}, {'\\', 92}, {'a', 7}, {'b', 8},
      {'f', 12}, {'n', 10},  {'r', 13}, {'t', 9},   {'v', 11},
  };
  for (int c = -128; c < 256; ++c) {
    int expected = -1;
    for (const auto& entry : known) {
      if (entry.first == c) expected = entry.second;
    }
    EXPECT_EQ(simple_escape_value(c), expected) << c;
  }
}

}  // namespace
