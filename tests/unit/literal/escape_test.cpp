#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "literal/escape.h"
#include "support/run_fixture.h"
#include "support/text.h"

namespace {

CharWidth width_of(int wide) { return wide ? CharWidth::WIDE : CharWidth::NARROW; }

struct ValueCase {
  std::string text;  // what follows the backslash
  int wide;
  int ok;
  uint64_t value;
  size_t offset;  // cursor after the call
};

// Values and cursor movements; the same with and without quiet.
TEST(ReadEscape, ValuesAndCursor) {
  const std::vector<ValueCase> cases = {
      // Simple escapes, also behind a trigraph and a splice.
      {"n", 0, 1, 10, 1},
      {"\"", 0, 1, 34, 1},
      {"'", 0, 1, 39, 1},
      {"?", 0, 1, 63, 1},
      {"\\", 0, 1, 92, 1},
      {"a", 0, 1, 7, 1},
      {"b", 0, 1, 8, 1},
      {"f", 0, 1, 12, 1},
      {"r", 0, 1, 13, 1},
      {"t", 0, 1, 9, 1},
      {"v", 0, 1, 11, 1},
      {"??/", 0, 1, 92, 3},
      {"\\\nn", 0, 1, 10, 3},
      // Octal: at most three digits, 8 and 9 end the sequence.
      {"0", 0, 1, 0, 1},
      {"101", 0, 1, 65, 3},
      {"1234", 0, 1, 83, 3},
      {"18", 0, 1, 1, 1},
      {"1a", 0, 1, 1, 1},
      {"12\\\n3", 0, 1, 83, 5},
      {"377", 0, 1, 255, 3},
      {"400", 0, 1, 0, 3},
      {"777", 0, 1, 255, 3},
      {"777", 1, 1, 511, 3},
      // Hexadecimal: any number of digits, masked when out of range.
      {"x41", 0, 1, 65, 3},
      {"x41g", 0, 1, 65, 3},
      {"xfF", 0, 1, 255, 3},
      {"x100", 0, 1, 0, 4},
      {"x123", 0, 1, 0x23, 4},
      {"x00000000000000000041", 0, 1, 65, 21},
      {"x7FFF", 1, 1, 0x7FFF, 5},
      {"x8000", 1, 1, 0, 5},
      {"x12345", 1, 1, 0x2345, 6},
      {"x1\\\n2", 0, 1, 0x12, 5},
      // Past 64 bits the value wraps, but it was out of range long before.
      {"x10000000000000000", 0, 1, 0, 18},
      {"xfffffffffffffffffff1", 0, 1, 0xF1, 21},
      // Universal character names: accepted with their code point.
      {"u0041", 0, 1, 0x41, 5},
      {"U000000C0", 0, 1, 0xC0, 9},
      {"uD800", 0, 1, 0xD800, 5},
      {"U0001F600", 1, 1, 0x1F600, 9},
      // Failures leave the cursor just after the backslash.
      {"x'", 0, 0, 0, 0},
      {"xg", 0, 0, 0, 0},
      {"x", 0, 0, 0, 0},
      {"q", 0, 0, 0, 0},
      {"8", 0, 0, 0, 0},
      {"u00C", 0, 0, 0, 0},
      {"e", 0, 0, 0, 0},
      {"", 0, 0, 0, 0},
  };
  Options options = default_options();
  options.wall = 1;
  for (const ValueCase& test : cases) {
    for (int quiet = 0; quiet <= 1; ++quiet) {
      SCOPED_TRACE(test.text + (test.wide ? " wide" : "") + (quiet ? " quiet" : ""));
      RunFixture run(0, options);
      const char* text = run.push_text(test.text);
      const char* cursor = text;
      uint64_t value = 0xDEADBEEF;
      const LexState ls = lex_state(run.p, quiet);
      EXPECT_EQ(read_escape(&ls, cursor, &value, width_of(test.wide)), test.ok);
      EXPECT_EQ(static_cast<size_t>(cursor - text), test.offset);
      EXPECT_EQ(value, test.ok ? test.value : 0xDEADBEEF);
      if (quiet) {
        EXPECT_EQ(run.diagnostics(), "");
      }
    }
  }
}

enum Profile { DEFAULT, WALL, WALL_WERRORS, WERRORS, WDISABLE, WNOSAFE, TDISABLE, WALL_TDISABLE, PROFILES };

Options profile_options(Profile profile) {
  Options options = default_options();
  options.wall = profile == WALL || profile == WALL_WERRORS || profile == WALL_TDISABLE;
  options.werrors = profile == WALL_WERRORS || profile == WERRORS;
  options.wdisable = profile == WDISABLE;
  options.wnosafe = profile == WNOSAFE;
  options.tdisable = profile == TDISABLE || profile == WALL_TDISABLE;
  return options;
}

struct MessageCase {
  std::string text;
  int wide;
  std::string by_profile[PROFILES];  // without the location prefix
};

// Every message and its level under each switch.
TEST(ReadEscape, MessagesUnderTheSwitches) {
  const std::string port_tip = "tip: portability requirements violated\n";
  const std::string unsafe_tip = "tip: potentially unsafe code\n";
  const std::string uchar_tip = "tip: the value shall be representable in type \"unsigned char\"\n";
  const std::string wchar_tip = "tip: the value shall be representable in type \"wchar_t\"\n";

  const std::string illegal = "illegal escape sequence \"\\q\" encountered\n";
  const std::string illegal_u = "illegal escape sequence \"\\u\" encountered\n";
  const std::string hex_illegal = "illegal hexadecimal escape sequence \"\\x'\" encountered\n";
  const std::string octal_value = "octal escape sequence value \"\\400\" is out of representable range\n";
  const std::string octal = "octal escape sequence \"\\400\" is out of representable range\n";
  const std::string hex_value = "hexadecimal escape sequence value \"\\x8000\" is out of representable range\n";
  const std::string hex = "hexadecimal escape sequence \"\\x8000\" is out of representable range\n";
  const std::string ucn = "illegal universal character name encountered\n";

  const std::vector<MessageCase> cases = {
      // DEFAULT, WALL, WALL_WERRORS, WERRORS, WDISABLE, WNOSAFE, TDISABLE, WALL_TDISABLE
      {"q", 0,
       {"", "warning: " + illegal + port_tip, "error: " + illegal, "", "", "", "", "warning: " + illegal}},
      {"u004", 0,
       {"", "warning: " + illegal_u + port_tip, "error: " + illegal_u, "", "", "", "", "warning: " + illegal_u}},
      // Portability first, else an ordinary warning.
      {"x'", 0,
       {"warning: " + hex_illegal, "warning: " + hex_illegal + port_tip, "error: " + hex_illegal,
        "error: " + hex_illegal, "", "warning: " + hex_illegal, "warning: " + hex_illegal, "warning: " + hex_illegal}},
      // Out of range: the portability text, else the unsafe-code text, then the type.
      {"400", 0,
       {"warning: " + octal + unsafe_tip + uchar_tip, "warning: " + octal_value + port_tip + uchar_tip,
        "error: " + octal_value + uchar_tip, "error: " + octal + uchar_tip, "", "",
        "warning: " + octal, "warning: " + octal_value}},
      {"x8000", 1,
       {"warning: " + hex + unsafe_tip + wchar_tip, "warning: " + hex_value + port_tip + wchar_tip,
        "error: " + hex_value + wchar_tip, "error: " + hex + wchar_tip, "", "",
        "warning: " + hex, "warning: " + hex_value}},
      // Universal character names: only the general rules, as portability warnings.
      {"u0041", 0, {"", "warning: " + ucn + port_tip, "error: " + ucn, "", "", "", "", "warning: " + ucn}},
      {"U00010000", 1, {"", "warning: " + ucn + port_tip, "error: " + ucn, "", "", "", "", "warning: " + ucn}},
      {"uDFFF", 0, {"", "warning: " + ucn + port_tip, "error: " + ucn, "", "", "", "", "warning: " + ucn}},
      {"u0024", 0, {"", "", "", "", "", "", "", ""}},
      {"u00C0", 0, {"", "", "", "", "", "", "", ""}},
      {"u0661", 0, {"", "", "", "", "", "", "", ""}},
      {"u00A0", 0, {"", "", "", "", "", "", "", ""}},
      // In range: nothing in any profile.
      {"377", 0, {"", "", "", "", "", "", "", ""}},
      {"777", 1, {"", "", "", "", "", "", "", ""}},
      {"xFF", 0, {"", "", "", "", "", "", "", ""}},
  };
  for (const MessageCase& test : cases) {
    for (int profile = 0; profile < PROFILES; ++profile) {
      SCOPED_TRACE(test.text + (test.wide ? " wide" : "") + " profile " + std::to_string(profile));
      RunFixture run(0, profile_options(static_cast<Profile>(profile)));
      const char* text = run.push_text(test.text);
      const char* cursor = text;
      uint64_t value;
      read_escape(&run.p->lex, cursor, &value, width_of(test.wide));
      const std::string& expected = test.by_profile[profile];
      EXPECT_EQ(run.diagnostics(), located(expected));
      EXPECT_EQ(run.p->report.failed, expected.compare(0, 6, "error:") == 0 ? 1 : 0);
    }
  }
}

TEST(ReadEscape, OutOfRangeSpellingShowsTheDigitsResolved) {
  RunFixture run;
  const char* text = run.push_text("x1??/\n00\"");
  const char* cursor = text;
  uint64_t value;
  EXPECT_EQ(read_escape(&run.p->lex, cursor, &value, CharWidth::NARROW), 1);
  EXPECT_EQ(*cursor, '"');
  EXPECT_EQ(run.diagnostics(),
            located("warning: hexadecimal escape sequence \"\\x100\" is out of representable range\n"
                    "tip: potentially unsafe code\n"
                    "tip: the value shall be representable in type \"unsigned char\"\n"));
}

}  // namespace
