#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lex/identifier.h"
#include "support/run_fixture.h"
#include "support/text.h"

namespace {

const char kIllegalUcn[] = "\"src.c\" (1) warning: illegal universal character name encountered\n"
                           "\"src.c\" (1) tip: portability requirements violated\n";

struct ScanCase {
  std::string text;  // the first character has already been read
  size_t length;     // of the identifier, first character included
  bool reported;     // an illegal universal character name inside
};

TEST(ScanIdentifier, ExtentAndUcnChecks) {
  const std::vector<ScanCase> cases = {
      {"a", 1, false},
      {"abc def", 3, false},
      {"a_1Z9+", 5, false},
      {"a\\u00C1b+", 8, false},
      {"a\\U000000C1b", 12, false},
      // Digits may continue an identifier, $ @ ` are always fine.
      {"a\\u0661", 7, false},
      {"a\\u0024", 7, false},
      {"a\\u0041", 7, true},
      {"a\\uD800x", 8, true},
      {"a\\U00010000", 11, true},
      // A backslash that begins no well-formed name ends the identifier.
      {"a\\u00C", 1, false},
      {"a\\x41", 1, false},
      {"ab\\", 2, false},
      // Splices and trigraph backslashes are invisible.
      {"ab\\\ncd", 6, false},
      {"ab??/\ncd", 8, false},
      {"a??/u00C1", 9, false},
      // A splice that leads to something else is not part of the identifier.
      {"ab\\\n+", 2, false},
      {"ab\\\n", 2, false},
      // Nothing but letters, digits, underscores and UCNs joins.
      {"a$b", 1, false},
      {"a@", 1, false},
      {"a\xC3\xA1", 1, false},
      {"a.b", 1, false},
  };
  for (const ScanCase& test : cases) {
    SCOPED_TRACE(test.text);
    for (int quiet = 0; quiet <= 1; ++quiet) {
      RunFixture run(0, wall_options());
      const char* text = run.push_text(test.text);
      const char* cursor = text + 1;
      const LexState ls = lex_state(run.p, quiet);
      EXPECT_EQ(scan_identifier(&ls, cursor), TK_IDENTIFIER);
      EXPECT_EQ(static_cast<size_t>(cursor - text), test.length) << "quiet " << quiet;
      EXPECT_EQ(run.diagnostics(), test.reported && !quiet ? kIllegalUcn : "") << "quiet " << quiet;
    }
  }
}

TEST(ScanIdentifier, EachIllegalUcnIsReportedOnce) {
  RunFixture run(0, wall_options());
  const char* text = run.push_text("a\\u0041\\u0042\\u00C1;");
  const char* cursor = text + 1;
  scan_identifier(&run.p->lex, cursor);
  EXPECT_EQ(*cursor, ';');
  EXPECT_EQ(run.diagnostics(), std::string(kIllegalUcn) + kIllegalUcn);
}

uint32_t hash_of(const std::string& spelling) {
  return identifier_name_hash(spelling.data(), spelling.data() + spelling.size());
}

TEST(IdentifierHash, KnownValues) {
  EXPECT_EQ(hash_of("a"), 97u);
  EXPECT_EQ(hash_of("ab"), 1165u);
  EXPECT_EQ(hash_of("__VA_ARGS__"), 741933u);
  EXPECT_EQ(hash_of("\\u00C1x"), 2243u);
  EXPECT_EQ(hash_of("\\U000000C1x"), 2243u);
  EXPECT_EQ(hash_of("\\u00c1x"), 2243u);
  EXPECT_EQ(hash_of(""), 0u);
}

TEST(IdentifierHash, StaysInRangeAndWrapsAt20Bits) {
  // Long names push h past 2^20 many times over; the hash stays in range
  // and matches a reference computation.
  std::string name;
  for (int i = 0; i < 300; ++i) name += static_cast<char>('a' + i % 26);
  uint32_t h = 0;
  for (unsigned char c : name) h = (h * 11 + c) & 0xFFFFF;
  EXPECT_EQ(hash_of(name), h);
  // A UCN value beyond 16 bits enters the sum whole.
  EXPECT_EQ(hash_of("\\U0001F600"), 0x1F600u);
  EXPECT_EQ(hash_of("\\UFFFFFFFF"), 0xFFFFFu);
}

TEST(IdentifierHash, SplicesAndTrigraphsAreInvisible) {
  EXPECT_EQ(hash_of("a\\\nb"), hash_of("ab"));
  EXPECT_EQ(hash_of("a??/\nb"), hash_of("ab"));
  EXPECT_EQ(hash_of("??/u00C1x"), 2243u);
  EXPECT_EQ(hash_of("\\u00\\\nC1x"), 2243u);
}

struct SameCase {
  std::string a;
  std::string b;
  bool same;
};

TEST(SameIdentifier, UcnsCompareByValue) {
  const std::vector<SameCase> cases = {
      {"abc", "abc", true},
      {"abc", "abd", false},
      {"ab", "abc", false},
      {"abc", "ab", false},
      {"", "", true},
      {"\\u00C1", "\\U000000C1", true},
      {"x\\u00C1y", "x\\U000000C1y", true},
      {"\\u00C1", "\\u00c1", true},
      {"\\u00C1", "\\u00C2", false},
      {"a\\\nb", "ab", true},
      {"a??/\nb", "ab", true},
      {"??/u00C1", "\\U000000C1", true},
      // A UCN never equals a plain character, even the one it denotes.
      {"\\u0041", "A", false},
      {"A", "\\u0041", false},
      {"\\u0041", "\\x", false},
  };
  for (const SameCase& test : cases) {
    SCOPED_TRACE(test.a + " vs " + test.b);
    const char* a = test.a.c_str();
    const char* b = test.b.c_str();
    EXPECT_EQ(same_identifier(a, a + test.a.size(), b, b + test.b.size()), test.same);
    EXPECT_EQ(same_identifier(b, b + test.b.size(), a, a + test.a.size()), test.same);
    if (test.same) {
      EXPECT_EQ(hash_of(test.a), hash_of(test.b));
    }
  }
}

}  // namespace
