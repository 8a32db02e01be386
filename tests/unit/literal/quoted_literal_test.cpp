#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "literal/quoted_literal.h"
#include "support/run_fixture.h"
#include "support/text.h"

namespace {

enum Kind { CHAR, WIDE_CHAR, STRING, WIDE_STRING };
enum Profile { DEFAULT, WALL, LUCHAR, LUCHAR_WALL };

Options profile_options(Profile profile) {
  Options options = default_options();
  options.wall = profile == WALL || profile == LUCHAR_WALL;
  options.luchar = profile == LUCHAR || profile == LUCHAR_WALL;
  return options;
}

struct LiteralCase {
  Kind kind;
  Profile profile;
  std::string text;      // after the opening quote
  bool found;
  size_t offset;         // cursor after the call (0 when nothing was found)
  std::string messages;  // without the location prefix
};

const std::string kPortTip = "tip: portability requirements violated\n";
const std::string kUnsafeTip = "tip: potentially unsafe code\n";
const std::string kIntTip = "tip: the constant value shall be representable in type \"int\"\n";
const std::string kWcharTip = "tip: the constant value shall be representable in type \"wchar_t\"\n";

const std::string kIllegalNulEscape =
    std::string("warning: illegal escape sequence \"\\") + '\0' + "\" encountered\n" + kPortTip;

std::string more_than_one(const std::string& kind, const std::string& body) {
  return "warning: " + kind + " constant value \"" + body + "\" contain more than one character\n" + kPortTip;
}

std::string out_of_range(const std::string& kind, const std::string& body) {
  return "warning: " + kind + " constant value \"" + body + "\" is out of representable range\n" + kUnsafeTip +
         (kind == "character" ? kIntTip : kWcharTip);
}

std::string unterminated(const std::string& what) {
  return "warning: unterminated " + what + " encountered\n" + kPortTip;
}

const std::vector<LiteralCase>& literal_cases() {
  static const std::vector<LiteralCase> cases = {
      // One character: no message, whatever its byte value.
      {CHAR, WALL, "a'", true, 2, ""},
      {CHAR, WALL, "\xFF'", true, 2, ""},
      {CHAR, LUCHAR_WALL, "\xFF'", true, 2, ""},
      {CHAR, WALL, "\\377'", true, 5, ""},
      {CHAR, WALL, "\\x80'", true, 5, ""},
      {CHAR, WALL, "\\''", true, 3, ""},
      {CHAR, WALL, "\"'", true, 2, ""},
      {CHAR, WALL, "??/''", true, 5, ""},
      {CHAR, WALL, "\\u00C1'", true, 7, ""},
      // Two characters that int holds: a portability warning only.
      {CHAR, WALL, "ab'", true, 3, more_than_one("character", "ab")},
      {CHAR, DEFAULT, "ab'", true, 3, ""},
      {CHAR, WALL, "\x7F\xFF'", true, 3, more_than_one("character", "\x7F\xFF")},
      {CHAR, WALL, "a\\\nb'", true, 5, more_than_one("character", "ab")},
      {CHAR, WALL, "??(a'", true, 5, more_than_one("character", "[a")},
      // Beyond int, or overflowing: the unsafe warning and the type, never the count.
      {CHAR, DEFAULT, "abc'", true, 4, out_of_range("character", "abc")},
      {CHAR, WALL, "abc'", true, 4, out_of_range("character", "abc")},
      {CHAR, DEFAULT, "\xC3\xA1'", true, 3, out_of_range("character", "\xC3\xA1")},
      {CHAR, LUCHAR, "\xC3\xA1'", true, 3, out_of_range("character", "\xC3\xA1")},
      {CHAR, LUCHAR, "\x80" "a'", true, 3, out_of_range("character", "\x80" "a")},
      {CHAR, LUCHAR_WALL, "\x7F" "a'", true, 3, more_than_one("character", "\x7F" "a")},
      // The overflow flag sticks although the bits fall off the top again.
      {CHAR, DEFAULT, "\\377\\0\\0\\0\\0\\0\\0\\0\\0'", true, 21,
       out_of_range("character", "\\377\\0\\0\\0\\0\\0\\0\\0\\0")},
      // Unsigned, the accumulator reaches 0xFF00000000000000 but never exceeds it.
      {CHAR, LUCHAR_WALL, "\\377\\0\\0\\0\\0\\0\\0\\0\\0'", true, 21,
       more_than_one("character", "\\377\\0\\0\\0\\0\\0\\0\\0\\0")},
      {CHAR, LUCHAR, "\\377\\1\\0\\0\\0\\0\\0\\0\\0'", true, 21,
       out_of_range("character", "\\377\\1\\0\\0\\0\\0\\0\\0\\0")},
      // Escapes report first; a rejected one still counts as a character.
      {CHAR, WALL, "\\q'", true, 3, "warning: illegal escape sequence \"\\q\" encountered\n" + kPortTip},
      {CHAR, WALL, "\\qa'", true, 4,
       "warning: illegal escape sequence \"\\q\" encountered\n" + kPortTip + more_than_one("character", "\\qa")},
      {CHAR, WALL, "\\x'", true, 3,
       "warning: illegal hexadecimal escape sequence \"\\x'\" encountered\n" + kPortTip},
      {CHAR, DEFAULT, "\\400'", true, 5,
       "warning: octal escape sequence \"\\400\" is out of representable range\n" + kUnsafeTip +
           "tip: the value shall be representable in type \"unsigned char\"\n"},
      // Wide constants.
      {WIDE_CHAR, WALL, "a'", true, 2, ""},
      {WIDE_CHAR, WALL, "ab'", true, 3, more_than_one("wide character", "ab")},
      {WIDE_CHAR, DEFAULT, "abc'", true, 4, out_of_range("wide character", "abc")},
      {WIDE_CHAR, WALL, "\\x7FFF'", true, 7, ""},
      {WIDE_CHAR, WALL, "\\777'", true, 5, ""},
      {WIDE_CHAR, WALL, "\xFF'", true, 2, ""},
      // Empty: no constant at all, nothing reported.
      {CHAR, WALL, "'", false, 0, ""},
      {WIDE_CHAR, WALL, "'", false, 0, ""},
      // A backslash at the very end: an illegal escape naming the NUL, then the end.
      {CHAR, WALL, "??/", false, 0, kIllegalNulEscape + unterminated("character constant")},
      // Unterminated: the value messages come first.
      {CHAR, WALL, "a\n'", false, 0, unterminated("character constant")},
      {CHAR, WALL, "ab\n'", false, 0, more_than_one("character", "ab") + unterminated("character constant")},
      {CHAR, DEFAULT, "abc\n'", false, 0, out_of_range("character", "abc")},
      {CHAR, WALL, "ab", false, 0, more_than_one("character", "ab") + unterminated("character constant")},
      {CHAR, WALL, "", false, 0, unterminated("character constant")},
      {WIDE_CHAR, WALL, "ab\n", false, 0,
       more_than_one("wide character", "ab") + unterminated("character constant")},
      {CHAR, WALL, "a\\", false, 0,
       kIllegalNulEscape + more_than_one("character", "a\\") + unterminated("character constant")},
      // String literals: escapes are checked, the value never is.
      {STRING, WALL, "\"", true, 1, ""},
      {STRING, WALL, "ab\"", true, 3, ""},
      {STRING, DEFAULT, "abcdefgh\"", true, 9, ""},
      {STRING, WALL, "a'b\"", true, 4, ""},
      {STRING, WALL, "\\\"\"", true, 3, ""},
      {STRING, WALL, "??/\"\"", true, 5, ""},
      {STRING, WALL, "a\\\nb\"", true, 5, ""},
      {STRING, WALL, "\\q\"", true, 3, "warning: illegal escape sequence \"\\q\" encountered\n" + kPortTip},
      {STRING, DEFAULT, "\\400\"", true, 5,
       "warning: octal escape sequence \"\\400\" is out of representable range\n" + kUnsafeTip +
           "tip: the value shall be representable in type \"unsigned char\"\n"},
      {WIDE_STRING, DEFAULT, "\\400\"", true, 5, ""},
      {WIDE_STRING, DEFAULT, "\\x8000\"", true, 7,
       "warning: hexadecimal escape sequence \"\\x8000\" is out of representable range\n" + kUnsafeTip +
           "tip: the value shall be representable in type \"wchar_t\"\n"},
      {STRING, WALL, "ab\n\"", false, 0, unterminated("string literal")},
      {STRING, WALL, "ab", false, 0, unterminated("string literal")},
      {WIDE_STRING, WALL, "ab\n", false, 0, unterminated("string literal")},
      {STRING, DEFAULT, "ab\n", false, 0, ""},
  };
  return cases;
}

bool scan(Preprocessor* p, Kind kind, const char*& cursor, int quiet) {
  const LexState ls = lex_state(p, quiet);
  switch (kind) {
    case CHAR: return scan_char_constant(&ls, cursor, CharWidth::NARROW);
    case WIDE_CHAR: return scan_char_constant(&ls, cursor, CharWidth::WIDE);
    case STRING: return scan_string_literal(&ls, cursor, CharWidth::NARROW);
    case WIDE_STRING: return scan_string_literal(&ls, cursor, CharWidth::WIDE);
  }
  return false;
}

TEST(QuotedLiteral, ExtentsAndMessagesInOrder) {
  for (const LiteralCase& test : literal_cases()) {
    for (int quiet = 0; quiet <= 1; ++quiet) {
      SCOPED_TRACE(printable(test.text) + " kind " + std::to_string(test.kind) + " profile " +
                   std::to_string(test.profile) + (quiet ? " quiet" : ""));
      RunFixture run(0, profile_options(test.profile));
      const char* text = run.push_text(test.text);
      const char* cursor = text;
      EXPECT_EQ(scan(run.p, test.kind, cursor, quiet), test.found);
      EXPECT_EQ(static_cast<size_t>(cursor - text), test.offset);
      EXPECT_EQ(run.diagnostics(), quiet ? "" : located(test.messages));
      EXPECT_EQ(run.p->report.failed, 0);
    }
  }
}

TEST(QuotedLiteral, WerrorsTurnsTheRangeWarningIntoAnError) {
  Options options = default_options();
  options.werrors = 1;
  RunFixture run(0, options);
  const char* text = run.push_text("abc'");
  const char* cursor = text;
  EXPECT_TRUE(scan_char_constant(&run.p->lex, cursor, CharWidth::NARROW));
  EXPECT_EQ(run.diagnostics(),
            located("error: character constant value \"abc\" is out of representable range\n" + kIntTip));
  EXPECT_EQ(run.p->report.failed, 1);
}

TEST(QuotedLiteral, NoTypeTipWhenTheRangeWarningIsSuppressed) {
  Options options = default_options();
  options.wnosafe = 1;
  RunFixture run(0, options);
  const char* text = run.push_text("abc'");
  const char* cursor = text;
  EXPECT_TRUE(scan_char_constant(&run.p->lex, cursor, CharWidth::NARROW));
  EXPECT_EQ(run.diagnostics(), "");
}

}  // namespace
