#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lex/identifier.h"
#include "lex/token.h"
#include "macro/expansion.h"
#include "macro/macro_table.h"
#include "macro/replacement_table.h"
#include "macro/table_snapshot.h"
#include "source/shared_spellings.h"
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

// What the name finally becomes, as its own entry's definition has it.
std::string becomes(RunFixture& run, const char* name) {
  const MacroDef* def = find_macro(intern(run, name));
  if (!def) return "";
  const Token* target = settled_target(const_cast<MacroDef*>(def));
  return std::string(target->text_begin, target->text_end);
}

}  // namespace

TEST(TableSnapshot, LaterFilesShareTheTableButNotEachOthersNames) {
  TableFile table("alpha beta\n");
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  const SharedSpellings& shared = cache.by_language[0].names;
  {
    RunFixture second(0, options);
    ASSERT_TRUE(adopt_table_snapshot(second.p, &cache));
    const uint32_t table_names = shared.names.count;
    IdentEntry* alpha = intern(second, "alpha");
    ASSERT_NE(find_macro(alpha), nullptr);
    EXPECT_EQ(intern(second, "alpha"), alpha);
    // A name of this file goes into the file's own table; the table's
    // records, read by every file, are never written.
    IdentEntry* own = intern(second, "gamma");
    EXPECT_NE(own, alpha);
    EXPECT_EQ(find_macro(own), nullptr);
    EXPECT_EQ(intern(second, "gamma"), own);
    EXPECT_EQ(shared.names.count, table_names);
  }
  {
    // The second file's arena is gone: the third must not reach its entries.
    RunFixture third(0, options);
    ASSERT_TRUE(adopt_table_snapshot(third.p, &cache));
    EXPECT_EQ(becomes(third, "alpha"), "beta");
    EXPECT_EQ(find_macro(intern(third, "gamma")), nullptr);
    EXPECT_EQ(third.diagnostics(), "");
  }
  release_table_cache(&cache);
}

TEST(TableSnapshot, AFileHoldsOnlyTheNamesItMeets) {
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
    const uint32_t before = spellings.entries;
    // Every name of the table is found with its macro, and only those are.
    for (int i = 0; i < 300; i += 3) {
      const std::string old_name = "old" + std::to_string(i);
      const std::string new_name = "new" + std::to_string(i);
      ASSERT_NE(find_macro(intern(later, old_name.c_str())), nullptr) << old_name;
      ASSERT_EQ(find_macro(intern(later, new_name.c_str())), nullptr) << new_name;
    }
    EXPECT_EQ(spellings.entries, before + 200);
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
    EXPECT_EQ(cache.by_language[0].names.names.count, 600u);
  }
  release_table_cache(&cache);
}

// Chains, cycles, names written with splices and universal character
// names: every name ends where the table loaded by the file itself ends it.
TEST(TableSnapshot, NamesEndWhereTheLoadedTableEndsThem) {
  const char* tables[] = {
      "A B\nB C\nC A\nS S\nD A\nE D\n",
      "x y\ny z\nq y\nx y\n",
      "sp\\\nlit joined\nj\\\noined far\n",
      "\\u00C0 \\U000000C0\n\\U000000C0x \\u00C0\n",
      "_Pragma p\n__VA_ARGS__ defined\n",
  };
  const char* names[] = {"A", "B", "C", "S", "D", "E", "x", "y", "q", "z", "split", "joined",
                         "\\u00C0", "\\U000000C0", "\\u00C0x", "_Pragma", "__VA_ARGS__", "defined"};
  for (const char* text : tables) {
    SCOPED_TRACE(text);
    TableFile table(text);
    Options options = options_for(table);
    TableCache cache = make_table_cache();
    RunFixture shared(0, options);
    ASSERT_TRUE(adopt_table_snapshot(shared.p, &cache, Report::ON));
    RunFixture loaded(0, options);
    load_replacement_table(loaded.p, Report::ON);
    for (const char* name : names) EXPECT_EQ(becomes(shared, name), becomes(loaded, name)) << name;
    EXPECT_EQ(shared.p->id_pragma, intern(shared, "_Pragma"));
    EXPECT_EQ(shared.p->id_va_args, intern(shared, "__VA_ARGS__"));
    EXPECT_EQ(loaded.diagnostics(), "");
    release_table_cache(&cache);
  }
}

// How a file ends its reading of the table: its messages, and whether it
// failed or ended in a fatal error.
std::string reading_of(RunFixture& run, bool adopt, TableCache* cache, Report report, bool* adopted = nullptr) {
  std::string ending;
  try {
    if (adopt) {
      *adopted = adopt_table_snapshot(run.p, cache, report);
    } else {
      load_replacement_table(run.p, report);
    }
  } catch (const FatalError&) {
    ending = "[fatal]";
  }
  return run.diagnostics() + (run.p->report.failed ? "[failed]" : "") + ending;
}

TEST(TableSnapshot, EveryFileGetsWhatItsOwnLoadWouldReport) {
  struct Case {
    const char* table;
    bool held;  // by the records; otherwise every file loads the table itself
  };
  const Case cases[] = {
      {"x y\nx z\nx y\n", true},                         // redefinitions warn for every file
      {"x\n", true},                                     // a fatal error for every file
      {"x y extra\n", true},                             // a warning given only with the first file
      {"x y\nx y\n", true},                              // a repetition is silent
      {"x y", true},                                      // no line break at the end: said to the first file
      {"x y /* open\n", true},                           // fatal for the first file, the end for the others
      {"__STDC_IEC_559__ a\n__STDC_IEC_559__ b\n", true},  // a predefined name keeps its definition
      {"a\\\nb c\nab d\n", true},                        // named as written, without the splice
      {"x \\u0041\n", true},                             // the target's own diagnostics, for every file
      {"\\u00C0 a\n\\U000000C0 b\n", false},              // named as first written: left to each file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table);
    TableFile table(c.table);
    Options options = options_for(table);
    options.wport = 1;
    for (bool first_before_later : {true, false}) {
      TableCache cache = make_table_cache();
      for (int turn = 0; turn < 2; ++turn) {
        Report report = (turn == 0) == first_before_later ? Report::ON : Report::OFF;
        SCOPED_TRACE(report == Report::ON ? "first file" : "later file");
        RunFixture adopting(0, options);
        RunFixture loading(0, options);
        bool adopted = false;
        std::string reading = reading_of(adopting, true, &cache, report, &adopted);
        if (reading.find("[fatal]") == std::string::npos) {
          EXPECT_EQ(adopted, c.held);
        }
        if (!adopted && reading.empty()) continue;  // the file loads the table itself
        EXPECT_EQ(reading, reading_of(loading, false, nullptr, report));
      }
      release_table_cache(&cache);
    }
  }
}

TEST(TableSnapshot, EachLanguageHasItsOwn) {
  TableFile table("and x\n");  // an identifier in C, an operator word in C++
  Options options = options_for(table);
  TableCache cache = make_table_cache();
  RunFixture c_file(0, options);
  EXPECT_TRUE(adopt_table_snapshot(c_file.p, &cache));
  EXPECT_NE(find_macro(intern(c_file, "and")), nullptr);
  RunFixture cplusplus_file(1, options);
  EXPECT_EQ(reading_of(cplusplus_file, true, &cache, Report::OFF),
            "\"" + table.path + "\" (1) fatal error: non-identifier token \"and\" specified\n[failed][fatal]");
  release_table_cache(&cache);
}

// A large table's filter takes several looks; none may turn away a name of
// the table, whatever its length and first bytes, and together they turn
// away nearly every other name.
TEST(TableSnapshot, ALargeTablesFilterHoldsEveryName) {
  std::vector<std::string> names;
  unsigned seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  const char alphabet[] = "_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (char c = 'a'; c <= 'z'; ++c) names.push_back(std::string(1, c));
  while (names.size() < 20000) {
    std::string name(1, alphabet[next() % 53]);
    for (unsigned length = 1 + next() % 14; name.size() < length;) name += alphabet[next() % 63];
    names.push_back(name);
  }
  std::string text;
  for (const std::string& name : names) text += name + " renamed\n";
  for (const bool with_a_ucn : {false, true}) {
    SCOPED_TRACE(with_a_ucn ? "a name spelled with a UCN" : "plain names");
    TableFile table(text + (with_a_ucn ? "caf\\u00e9 renamed\n" : ""));
    Options options = options_for(table);
    TableCache cache = make_table_cache();
    RunFixture file(0, options);
    ASSERT_TRUE(adopt_table_snapshot(file.p, &cache));
    const NameFilter& filter = cache.by_language[0].filter;
    EXPECT_EQ(filter.by_start == nullptr, with_a_ucn);
    for (const std::string& name : names) {
      uint32_t hash = identifier_name_hash(name.data(), name.data() + name.size(), nullptr);
      ASSERT_TRUE(filter_may_hold_name(filter, name.data(), hash, true, static_cast<uint32_t>(name.size()))) << name;
    }
    int let_through = 0;
    for (int i = 0; i < 20000; ++i) {
      std::string other = "Zq" + std::to_string(i) + "x";
      uint32_t hash = identifier_name_hash(other.data(), other.data() + other.size(), nullptr);
      let_through += filter_may_hold_name(filter, other.data(), hash, true, static_cast<uint32_t>(other.size()));
    }
    EXPECT_LT(let_through, with_a_ucn ? 1000 : 100);
    release_table_cache(&cache);
  }
}
