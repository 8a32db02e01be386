#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
  return intern_spelling(spelling, spelling + strlen(spelling), run.p);
}

// A spelling other than `name` that falls in the same bucket.
std::string bucket_mate_of(const char* name) {
  uint32_t bucket = identifier_hash(name, name + strlen(name));
  for (int i = 0;; ++i) {
    std::string candidate = "mate" + std::to_string(i);
    if (identifier_hash(candidate.data(), candidate.data() + candidate.size()) == bucket) return candidate;
  }
}

}  // namespace

TEST(TableSnapshot, LaterFilesShareTheTableButNotEachOthersNames) {
  TableFile table("alpha beta\n");
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  const std::string mate = bucket_mate_of("alpha");
  {
    RunFixture second(0, options);
    ASSERT_TRUE(adopt_table_snapshot(&cache, second.p));
    IdentEntry* alpha = intern(second, "alpha");
    ASSERT_NE(find_macro(second.p, alpha), nullptr);
    // A name of this file goes behind the table's entry in the same chain.
    IdentEntry* own = intern(second, mate.c_str());
    EXPECT_EQ(alpha->next, own);
  }
  {
    // The second file's arena is gone: the third must not reach its entries.
    RunFixture third(0, options);
    ASSERT_TRUE(adopt_table_snapshot(&cache, third.p));
    IdentEntry* alpha = intern(third, "alpha");
    EXPECT_EQ(alpha->next, nullptr);
    EXPECT_NE(find_macro(third.p, alpha), nullptr);
    EXPECT_EQ(third.diagnostics(), "");
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
    EXPECT_EQ(adopt_table_snapshot(&cache, later.p), usable[i]);
    EXPECT_EQ(later.diagnostics(), "");  // the snapshot's own load reports nothing
    release_table_cache(&cache);
  }
}

TEST(TableSnapshot, EachLanguageHasItsOwn) {
  TableFile table("and x\n");  // an identifier in C, an operator word in C++
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  RunFixture c_file(0, options);
  EXPECT_TRUE(adopt_table_snapshot(&cache, c_file.p));
  RunFixture cplusplus_file(1, options);
  EXPECT_FALSE(adopt_table_snapshot(&cache, cplusplus_file.p));
  release_table_cache(&cache);
}
