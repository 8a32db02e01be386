#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "lex/ucn.h"
#include "support/run_fixture.h"
#include "support/text.h"

namespace {

const char kIllegalUcn[] = "\"src.c\" (1) warning: illegal universal character name encountered\n"
                           "\"src.c\" (1) tip: portability requirements violated\n";

struct ReadUcnCase {
  std::string text;  // what follows the backslash
  bool ok;
  uint32_t value;
  size_t offset;  // cursor after the call
};

TEST(ReadUcn, FourAndEightDigitForms) {
  const std::vector<ReadUcnCase> cases = {
      {"u00C1", true, 0xC1, 5},
      {"u00c1x", true, 0xC1, 5},
      {"U000000C1", true, 0xC1, 9},
      {"UFFFFFFFF", true, 0xFFFFFFFF, 9},
      {"U0001F600+", true, 0x1F600, 9},
      {"u0041", true, 0x41, 5},
      // Splices and trigraph-free question marks inside: read through read_char.
      {"u00\\\nC1", true, 0xC1, 7},
      {"\\\nu00C1", true, 0xC1, 7},
      // Malformed: the cursor stays just after the backslash.
      {"u00C", false, 0, 0},
      {"u00G1", false, 0, 0},
      {"U00C1", false, 0, 0},
      {"U0000C1", false, 0, 0},
      {"x0041", false, 0, 0},
      {"u", false, 0, 0},
      {"", false, 0, 0},
      {"v00C1", false, 0, 0},
      {"u00??=1", false, 0, 0},
  };
  for (const ReadUcnCase& test : cases) {
    SCOPED_TRACE(test.text);
    const char* text = test.text.c_str();
    const char* cursor = text;
    uint32_t value = 0xDEAD;
    EXPECT_EQ(read_ucn(cursor, &value), test.ok);
    EXPECT_EQ(static_cast<size_t>(cursor - text), test.offset);
    if (test.ok) {
      EXPECT_EQ(value, test.value);
    }
  }
}

struct CheckCase {
  uint32_t value;
  bool start_ok;
  bool continuation_ok;
  bool number_ok;
};

TEST(CheckUcn, RulesByContext) {
  const std::vector<CheckCase> cases = {
      // $ @ ` are allowed everywhere, other values below 0xA0 nowhere.
      {0x24, true, true, true},
      {0x40, true, true, true},
      {0x60, true, true, true},
      {0x00, false, false, false},
      {0x41, false, false, false},
      {0x30, false, false, false},
      {0x9F, false, false, false},
      // 0xA0 passes the general rules but is in no table.
      {0xA0, false, false, true},
      // Letters and special characters, table edges included.
      {0xAA, true, true, true},
      {0xC1, true, true, true},
      {0xD7, false, false, true},
      {0xB5, true, true, true},
      {0x3029, true, true, true},
      {0x302A, false, false, true},
      {0x4E00, true, true, true},
      {0x9FA5, true, true, true},
      {0x9FA6, false, false, true},
      {0xAC00, true, true, true},
      {0xD7A3, true, true, true},
      {0xD7A4, false, false, true},
      // Digits: not at the start, fine inside.
      {0x0660, false, true, true},
      {0x0661, false, true, true},
      {0x0669, false, true, true},
      {0x0F33, false, true, true},
      // 0x0E50 is a Thai digit but also lies in the letter ranges.
      {0x0E50, true, true, true},
      // Surrogates and values past 16 bits: rejected even in numbers.
      {0xD7FF, false, false, true},
      {0xD800, false, false, false},
      {0xDFFF, false, false, false},
      {0xE000, false, false, true},
      {0xFFFF, false, false, true},
      {0x10000, false, false, false},
      {0x1F600, false, false, false},
      {0xFFFFFFFF, false, false, false},
  };
  const UcnContext contexts[] = {UCN_IDENTIFIER_START, UCN_IDENTIFIER_CONTINUATION, UCN_PP_NUMBER};
  RunFixture run(0, wall_options());
  run.push_text("");
  for (const CheckCase& test : cases) {
    const bool expected[] = {test.start_ok, test.continuation_ok, test.number_ok};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << std::hex << "0x" << test.value << " context " << i);
      check_ucn(&run.p->lex, test.value, contexts[i]);
      EXPECT_EQ(run.diagnostics(), expected[i] ? "" : kIllegalUcn);
      const LexState quiet = lex_state(run.p, true);
      check_ucn(&quiet, test.value, contexts[i]);
      EXPECT_EQ(run.diagnostics(), "");
    }
  }
  EXPECT_EQ(run.p->report.failed, 0);
}

TEST(CheckUcn, ReportGoesThroughThePortabilityGate) {
  {
    RunFixture run;  // portability warnings are off by default
    run.push_text("");
    check_ucn(&run.p->lex, 0x41, UCN_IDENTIFIER_START);
    EXPECT_EQ(run.diagnostics(), "");
  }
  {
    Options options = default_options();
    options.wport = 1;
    options.tdisable = 1;
    RunFixture run(0, options);
    run.push_text("");
    check_ucn(&run.p->lex, 0x41, UCN_IDENTIFIER_START);
    EXPECT_EQ(run.diagnostics(), "\"src.c\" (1) warning: illegal universal character name encountered\n");
    EXPECT_EQ(run.p->report.failed, 0);
  }
  {
    Options options = wall_options();
    options.werrors = 1;
    RunFixture run(0, options);
    run.push_text("");
    check_ucn(&run.p->lex, 0xD800, UCN_PP_NUMBER);
    EXPECT_EQ(run.diagnostics(), "\"src.c\" (1) error: illegal universal character name encountered\n");
    EXPECT_EQ(run.p->report.failed, 1);
  }
}

TEST(UcnValueAllowed, GeneralRulesOnly) {
  EXPECT_TRUE(ucn_value_allowed(0x24));
  EXPECT_TRUE(ucn_value_allowed(0x40));
  EXPECT_TRUE(ucn_value_allowed(0x60));
  EXPECT_FALSE(ucn_value_allowed(0x41));
  EXPECT_FALSE(ucn_value_allowed(0x9F));
  EXPECT_TRUE(ucn_value_allowed(0xA0));
  EXPECT_TRUE(ucn_value_allowed(0x0661));  // a digit, but the tables do not apply
  EXPECT_TRUE(ucn_value_allowed(0xD7FF));
  EXPECT_FALSE(ucn_value_allowed(0xD800));
  EXPECT_FALSE(ucn_value_allowed(0xDFFF));
  EXPECT_TRUE(ucn_value_allowed(0xE000));
  EXPECT_TRUE(ucn_value_allowed(0xFFFF));
  EXPECT_FALSE(ucn_value_allowed(0x10000));
}

}  // namespace
