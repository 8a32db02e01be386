// Interning identifier spellings: one entry per identifier, however spelled.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/preprocessor.h"
#include "lex/identifier.h"
#include "source/spelling_table.h"
#include "support/run_fixture.h"

namespace {

IdentEntry* intern(RunFixture& run, const char* spelling) {
  const char* end = spelling + strlen(spelling);
  return intern_identifier(spelling, end, identifier_hash(spelling, end), run.p);
}

TEST(InternIdentifier, OneEntryForEverySpellingOfOneIdentifier) {
  struct Case {
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {"counter", "counter"},
      {"counter", "cou\\\nnter"},           // a line splice inside
      {"counter", "cou??/\nnter"},          // a splice written with a trigraph
      {"x\\u00C1", "x\\U000000C1"},         // the short and the long form of one value
      {"x\\u00C1", "x\\u00c1"},             // hexadecimal digits in either case
      {"x\\u00C1", "x\\u00\\\nC1"},         // a splice inside the universal character name
      {"x\\u00C1", "x??/u00C1"},            // its backslash written as a trigraph
      {"__VA_ARGS__", "__VA_\\\nARGS__"},  // meets a fixed name interned at start-up
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    RunFixture run;
    IdentEntry* first = intern(run, c.first);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(intern(run, c.second), first);
    // The entry keeps the spelling under which it was first met.
    if (strcmp(c.first, "__VA_ARGS__") == 0) {
      EXPECT_EQ(first, run.p->id_va_args);
    } else {
      EXPECT_EQ(first->text_begin, c.first);
      EXPECT_EQ(first->text_end, c.first + strlen(c.first));
    }
    EXPECT_EQ(first->bucket, identifier_hash(c.first, c.first + strlen(c.first)));
  }
}

TEST(InternIdentifier, DifferentIdentifiersGetDifferentEntries) {
  struct Case {
    const char* first;
    const char* second;
  };
  const Case cases[] = {
      {"xA", "x\\u0041"},  // a universal character name never equals a plain letter
      {"x\\u00C1", "x\\u00C2"},
      {"ab", "abc"},
      {"abc", "ab"},
      {"Counter", "counter"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    RunFixture run;
    IdentEntry* first = intern(run, c.first);
    IdentEntry* second = intern(run, c.second);
    EXPECT_NE(first, second);
    EXPECT_EQ(intern(run, c.first), first);
    EXPECT_EQ(intern(run, c.second), second);
  }
}

// Identifiers of two and of four lower-case letters whose bucket is `bucket`,
// found by trying them all: the two-letter ones have hashes below the bucket
// count, so the longer ones reach the bucket with a different full hash.
std::vector<std::string> spellings_in_bucket(uint32_t bucket, size_t wanted_of_each) {
  std::vector<std::string> found;
  size_t short_ones = 0;
  for (char a = 'a'; a <= 'z'; ++a)
    for (char b = 'a'; b <= 'z' && short_ones < wanted_of_each; ++b) {
      const std::string name{a, b};
      if (identifier_hash(name.data(), name.data() + 2) == bucket) found.push_back(name), ++short_ones;
    }
  size_t long_ones = 0;
  for (char a = 'a'; a <= 'z'; ++a)
    for (char b = 'a'; b <= 'z'; ++b)
      for (char c = 'a'; c <= 'z'; ++c)
        for (char d = 'a'; d <= 'z' && long_ones < wanted_of_each; ++d) {
          const std::string name{a, b, c, d};
          if (identifier_hash(name.data(), name.data() + 4) == bucket) found.push_back(name), ++long_ones;
        }
  return found;
}

// The entries of one bucket, head first.
std::vector<IdentEntry*> chain_of(RunFixture& run, uint32_t bucket) {
  std::vector<IdentEntry*> chain;
  for (IdentEntry* entry = run.p->spelling_buckets[bucket]; entry; entry = entry->next) chain.push_back(entry);
  return chain;
}

TEST(InternIdentifier, KeepsEveryEntryOfABucketInOrderOfFirstAppearance) {
  RunFixture run;
  const uint32_t bucket = identifier_hash("aw", "aw" + 2);
  std::vector<std::string> names = spellings_in_bucket(bucket, 2);
  ASSERT_EQ(names.size(), 4u);
  // Long and short names alternate, last found first, so that the order of
  // the chain can be neither alphabetical nor by hash.
  const std::vector<std::string> order = {names[3], names[1], names[2], names[0]};
  std::vector<IdentEntry*> entries;
  for (const std::string& name : order) entries.push_back(intern(run, name.c_str()));
  EXPECT_EQ(chain_of(run, bucket), entries);
  for (IdentEntry* entry : entries) EXPECT_EQ(entry->bucket, bucket);
  // Looking them up again, through other texts, finds each one and adds nothing.
  for (size_t i = 0; i < order.size(); ++i) {
    const std::string again = order[i];
    EXPECT_EQ(intern(run, again.c_str()), entries[i]) << again;
  }
  EXPECT_EQ(chain_of(run, bucket), entries);
}

TEST(InternIdentifier, NewSpellingsGoBehindTheFixedNames) {
  RunFixture run;
  IdentEntry* fixed = run.p->id_va_args;
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->bucket, 4788u);
  std::vector<std::string> names = spellings_in_bucket(fixed->bucket, 1);
  ASSERT_FALSE(names.empty());
  const std::vector<IdentEntry*> before = chain_of(run, fixed->bucket);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(before.front(), fixed);
  std::vector<IdentEntry*> expected = before;
  for (const std::string& name : names) expected.push_back(intern(run, name.c_str()));
  EXPECT_EQ(chain_of(run, fixed->bucket), expected);
}

}  // namespace
