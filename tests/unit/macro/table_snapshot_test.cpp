#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lex/identifier.h"
#include "macro/macro_table.h"
#include "macro/table_snapshot.h"
#include "source/spelling_table.h"
#include "support/run_fixture.h"

namespace {

// A table file in a directory of its own, removed with the object.
struct TableFile {
  std::string dir;
  std::string path;
  explicit TableFile(const std::string& text) {
    char pattern[] = "/tmp/morfe-snapshot-XXXXXX";
    dir = mkdtemp(pattern);
    path = dir + "/table";
    FILE* f = fopen(path.c_str(), "w");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  ~TableFile() {
    remove(path.c_str());
    remove(dir.c_str());
  }
};

Options options_for(const TableFile& table) {
  Options options = default_options();
  options.reptable_name = table.path.c_str();
  return options;
}

IdentEntry* intern(RunFixture& run, const char* spelling) {
  return intern_spelling(run.p, spelling, spelling + strlen(spelling));
}

// A spelling other than `name` that falls in the same bucket of `table`.
std::string bucket_mate_of(const SpellingTable& table, const char* name) {
  auto bucket_of = [&table](const char* begin, const char* end) {
    return spelling_bucket_of(&table, identifier_name_hash(begin, end));
  };
  uint32_t bucket = bucket_of(name, name + strlen(name));
  for (int i = 0;; ++i) {
    std::string candidate = "mate" + std::to_string(i);
    if (bucket_of(candidate.data(), candidate.data() + candidate.size()) == bucket) return candidate;
  }
}

}  // namespace

TEST(TableSnapshot, LaterFilesShareTheTableButNotEachOthersNames) {
  TableFile table("alpha beta\n");
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  std::string mate;
  {
    RunFixture second(0, options);
    ASSERT_TRUE(adopt_table_snapshot(second.p, &cache));
    mate = bucket_mate_of(second.p->spellings, "alpha");
    IdentEntry* alpha = intern(second, "alpha");
    ASSERT_NE(find_macro(alpha), nullptr);
    // A name of this file goes into the file's own table; the table's
    // chains, shared by every file, are never written.
    IdentEntry* own = intern(second, mate.c_str());
    EXPECT_NE(own, alpha);
    EXPECT_EQ(alpha->next, nullptr);
    EXPECT_EQ(intern(second, mate.c_str()), own);
  }
  {
    // The second file's arena is gone: the third must not reach its entries.
    RunFixture third(0, options);
    ASSERT_TRUE(adopt_table_snapshot(third.p, &cache));
    IdentEntry* alpha = intern(third, "alpha");
    EXPECT_EQ(alpha->next, nullptr);
    EXPECT_NE(find_macro(alpha), nullptr);
    EXPECT_EQ(third.diagnostics(), "");
  }
  release_table_cache(&cache);
}

TEST(TableSnapshot, AFileWhoseNamesGrowTheTableLeavesTheTableIntactForTheNext) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "old" + std::to_string(i) + " new" + std::to_string(i) + "\n";
  TableFile table(text);
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  for (int file = 0; file < 3; ++file) {
    SCOPED_TRACE(file);
    RunFixture later(0, options);
    ASSERT_TRUE(adopt_table_snapshot(later.p, &cache));
    const SpellingTable& spellings = later.p->spellings;
    const uint32_t table_entries = spellings.entries;
    // Every name of the table is found with its macro, and only those are.
    for (int i = 0; i < 300; ++i) {
      const std::string old_name = "old" + std::to_string(i);
      const std::string new_name = "new" + std::to_string(i);
      ASSERT_NE(find_macro(intern(later, old_name.c_str())), nullptr) << old_name;
      ASSERT_EQ(find_macro(intern(later, new_name.c_str())), nullptr) << new_name;
    }
    EXPECT_EQ(spellings.entries, table_entries);
    // This file's own names: enough to double the buckets more than once.
    const uint32_t buckets = spelling_bucket_count(&spellings);
    std::vector<std::string> own;  // the entries point into these texts
    for (uint32_t i = 0; i < 4 * buckets; ++i) own.push_back("own" + std::to_string(i) + "_" + std::to_string(file));
    for (const std::string& name : own) intern(later, name.c_str());
    EXPECT_GT(spelling_bucket_count(&spellings), buckets);
    uint32_t reachable = 0;
    for (uint32_t i = 0; i < spelling_bucket_count(&spellings); ++i) {
      for (const IdentEntry* entry = spellings.buckets[i]; entry; entry = entry->next) ++reachable;
    }
    EXPECT_EQ(reachable, spellings.entries);
  }
  release_table_cache(&cache);
}

TEST(TableSnapshot, ATableThatReportsAnythingIsLoadedByEveryFile) {
  const char* tables[] = {
      "x y\nx z\n",      // a redefinition warns for every file
      "x\n",             // a fatal error for every file
      "x y extra\n",     // a warning given only with the first file: later loads are silent
  };
  const bool usable[] = {false, false, true};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(tables[i]);
    TableFile table(tables[i]);
    Options options = options_for(table);
    TableCache cache = make_table_cache();
    RunFixture later(0, options);
    EXPECT_EQ(adopt_table_snapshot(later.p, &cache), usable[i]);
    EXPECT_EQ(later.diagnostics(), "");  // the snapshot's own load reports nothing
    release_table_cache(&cache);
  }
}

TEST(TableSnapshot, EachLanguageHasItsOwn) {
  TableFile table("and x\n");  // an identifier in C, an operator word in C++
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  RunFixture c_file(0, options);
  EXPECT_TRUE(adopt_table_snapshot(c_file.p, &cache));
  RunFixture cplusplus_file(1, options);
  EXPECT_FALSE(adopt_table_snapshot(cplusplus_file.p, &cache));
  release_table_cache(&cache);
}
