// Interning identifier spellings: one entry per identifier, however spelled.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lex/identifier.h"
#include "source/preprocessor.h"
#include "source/spelling_table.h"
#include "support/run_fixture.h"

namespace {

IdentEntry* intern(RunFixture& run, const char* spelling) {
  const char* end = spelling + strlen(spelling);
  return intern_spelling(run.p, spelling, end);
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
    EXPECT_EQ(first->name_hash, identifier_name_hash(c.first, c.first + strlen(c.first)));
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

// The order in which every entry of the table was first interned.
using FirstSeen = std::map<const IdentEntry*, size_t>;

// Every entry sits in the bucket of its hash, behind the entries met before it.
void expect_chains_in_order(const SpellingTable& table, const FirstSeen& first_seen) {
  uint32_t counted = 0;
  for (uint32_t i = 0; i < spelling_bucket_count(&table); ++i) {
    size_t previous = 0;
    for (const IdentEntry* entry = table.buckets[i]; entry; entry = entry->next, ++counted) {
      ASSERT_EQ(spelling_bucket_of(&table, entry->name_hash), i);
      auto seen = first_seen.find(entry);
      ASSERT_NE(seen, first_seen.end());
      EXPECT_GE(seen->second, previous);
      previous = seen->second;
    }
  }
  EXPECT_EQ(counted, table.entries);
}

TEST(InternIdentifier, GrowingTableKeepsEveryEntryFindableAndChainsInOrder) {
  RunFixture run;
  const SpellingTable& table = run.p->spellings;
  const uint32_t initial_buckets = spelling_bucket_count(&table);
  FirstSeen first_seen;
  // The names fixed at start-up come first of all.
  for (uint32_t i = 0; i < spelling_bucket_count(&table); ++i) {
    for (const IdentEntry* entry = table.buckets[i]; entry; entry = entry->next) first_seen[entry] = 0;
  }
  // Names with shared prefixes and suffixes, many times the initial bucket
  // count, so that the table doubles several times between lookups.
  std::vector<std::string> names;
  for (int i = 0; i < 20000; ++i) names.push_back("name" + std::to_string(i * 7919 % 20011) + "_x");
  std::vector<IdentEntry*> entries;
  for (const std::string& name : names) {
    IdentEntry* entry = intern(run, name.c_str());
    if (!first_seen.count(entry)) first_seen[entry] = first_seen.size();
    entries.push_back(entry);
  }
  EXPECT_GT(spelling_bucket_count(&table), initial_buckets);
  EXPECT_LE(table.entries, spelling_bucket_count(&table));
  expect_chains_in_order(table, first_seen);
  for (size_t i = 0; i < names.size(); ++i) {
    // Another copy of the text: the lookup compares spellings, not addresses.
    const std::string again = names[i];
    ASSERT_EQ(intern(run, again.c_str()), entries[i]) << again;
  }
  EXPECT_EQ(table.entries, first_seen.size());
}

}  // namespace
