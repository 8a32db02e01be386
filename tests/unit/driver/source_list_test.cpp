#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driver/source_list.h"

namespace {

// A random tree of directories, sources, other files, hidden entries and
// links, removed with the object.
struct ScratchTree {
  std::string root;
  std::vector<std::string> made;  // in the order made: removed in reverse
  unsigned seed = 7;
  unsigned next() { return seed = seed * 1103515245u + 12345u, seed >> 16; }

  ScratchTree() {
    char pattern[] = "/tmp/morfe-walk-XXXXXX";
    root = mkdtemp(pattern);
    fill(root, 0);
  }
  ~ScratchTree() {
    for (auto name = made.rbegin(); name != made.rend(); ++name) remove(name->c_str());
    remove(root.c_str());
  }
  void fill(const std::string& directory, int depth) {
    static const char* const kNames[] = {"a.c", "B.h", "b.cpp", "z.txt", ".hidden.c", "m.hpp", "_x.cc", "k.C"};
    const unsigned entries = 3 + next() % 8;
    for (unsigned i = 0; i < entries; ++i) {
      std::string name = directory + "/" + std::to_string(next() % 50) + kNames[next() % 8];
      if (std::find(made.begin(), made.end(), name) != made.end()) continue;
      const unsigned kind = next() % 10;
      if (kind < 3 && depth < 4) {
        ASSERT_EQ(mkdir(name.c_str(), 0755), 0);
        made.push_back(name);
        fill(name, depth + 1);
      } else if (kind == 3) {
        ASSERT_EQ(symlink("/tmp", name.c_str()), 0);  // a link is skipped
        made.push_back(name);
      } else {
        FILE* f = fopen(name.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
        made.push_back(name);
      }
    }
  }
};

// The sources of a tree as a walk must give them, found one directory at a
// time with stat.
void expected_walk(const std::string& directory, std::vector<std::string>* names) {
  std::vector<std::string> entries;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] != '.') entries.push_back(entry->d_name);
    }
    closedir(dir);
  }
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    std::string path = directory + "/" + entry;
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    if (S_ISDIR(info.st_mode)) expected_walk(path, names);
    else if (S_ISREG(info.st_mode) && has_source_extension(entry.c_str())) names->push_back(path);
  }
}

}  // namespace

// The sources come in the order of one walk in byte order, a name that is
// no directory in its own place; given as they are found, they come in the
// same order, and a taker that asks for no more gets no more.
TEST(ExpandSources, WalksInByteOrderAndStopsWhenAsked) {
  ScratchTree tree;
  std::string lone = tree.root + "/lone.c";
  std::string second_root = tree.root + "/.hidden_root";
  ASSERT_EQ(mkdir(second_root.c_str(), 0755), 0);
  tree.made.push_back(second_root);
  tree.fill(second_root, 2);
  std::vector<std::string> expected;
  expected_walk(tree.root, &expected);
  expected.push_back(lone);
  expected_walk(second_root, &expected);
  ASSERT_GT(expected.size(), 20u);
  char* names[] = {&tree.root[0], &lone[0], &second_root[0], nullptr};
  std::vector<std::string> walked;
  for (const SourceItem& item : expand_sources(names)) {
    EXPECT_FALSE(item.unreadable_directory);
    walked.push_back(item.name);
  }
  EXPECT_EQ(walked, expected);

  for (size_t wanted_batches : {size_t{1}, size_t{3}, size_t{1000}}) {
    SCOPED_TRACE(wanted_batches);
    std::vector<std::string> given;
    size_t batches = 0;
    walk_sources(names, [&](std::vector<SourceItem>& found) {
      EXPECT_FALSE(found.empty());
      for (const SourceItem& item : found) given.push_back(item.name);
      return ++batches < wanted_batches;
    });
    EXPECT_LE(batches, wanted_batches);
    ASSERT_LE(given.size(), expected.size());
    EXPECT_TRUE(std::equal(given.begin(), given.end(), expected.begin()));
    if (batches < wanted_batches) EXPECT_EQ(given.size(), expected.size());
    else EXPECT_LT(given.size(), expected.size());
  }
}
