#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "diag/diagnostics.h"
#include "memory/heap.h"
#include "platform/platform.h"

namespace {

// Buffers handed out by read_text_file, so that tests see each request.
struct Buffers {
  std::vector<std::vector<char>> given;
  std::vector<size_t> capacities;
  int released = 0;

  static char* allocate(void* context, size_t capacity) {
    Buffers* self = static_cast<Buffers*>(context);
    self->capacities.push_back(capacity);
    self->given.emplace_back(capacity, '\x7f');
    return self->given.back().data();
  }
  static void release(void* context, char*) { ++static_cast<Buffers*>(context)->released; }
};

struct ReadTextFile : ::testing::Test {
  std::string dir;
  ReadTextFile() {
    char pattern[] = "/tmp/morfe_platform_XXXXXX";
    dir = mkdtemp(pattern);
  }
  ~ReadTextFile() override {
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
  }
  std::string make(const std::string& name, const std::string& bytes) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
};

TEST_F(ReadTextFile, LineEndsAreKeptAsTheyAre) {
  struct Case {
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\rb\r", "a\rb\r"},
      {"\r\r\n", "\r\r\n"},
      {"\n\r", "\n\r"},
      {"x\r\n\r\n\ry", "x\r\n\r\n\ry"},
      {std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5)},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(index);
    std::string path = make("f" + std::to_string(index++), c.bytes);
    Buffers buffers;
    TextRead read = read_text_file(path.c_str(), Mapping::NEVER, Buffers::allocate, Buffers::release, &buffers);
    ASSERT_NE(read.text, nullptr);
    EXPECT_FALSE(read.missing);
    EXPECT_EQ(read.length, c.text.size());
    EXPECT_EQ(std::string(read.text, read.length), c.text);
    EXPECT_EQ(read.text[read.length], '\0');
    ASSERT_EQ(buffers.capacities.size(), 1u);
    EXPECT_EQ(buffers.capacities[0], c.bytes.size() + 1);
    EXPECT_EQ(buffers.released, 0);
  }
}

TEST_F(ReadTextFile, LargeFileIsReadWhole) {
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += "line\r\n";
  std::string path = make("large", bytes);
  Buffers buffers;
  TextRead read = read_text_file(path.c_str(), Mapping::NEVER, Buffers::allocate, Buffers::release, &buffers);
  ASSERT_NE(read.text, nullptr);
  EXPECT_EQ(read.length, 300000u * 6);
  EXPECT_EQ(std::string(read.text, 12), "line\r\nline\r\n");
}

// Another process may truncate a file while it is mapped: the pages past its
// new end then read as zeros instead of killing the process. A second file
// mapped beside it keeps its text.
TEST_F(ReadTextFile, AMappedFileTruncatedMeanwhileReadsAsEnded) {
  const size_t kBytes = 5 * 65536;
  std::string path = make("shrinking", std::string(kBytes, 'a'));
  std::string other_path = make("steady", std::string(kBytes, 'b'));
  Buffers buffers;
  TextRead mapped = read_text_file(path.c_str(), Mapping::ALLOWED, Buffers::allocate, Buffers::release, &buffers);
  TextRead other = read_text_file(other_path.c_str(), Mapping::ALLOWED, Buffers::allocate, Buffers::release, &buffers);
  ASSERT_NE(mapped.map_base, nullptr);
  ASSERT_NE(other.map_base, nullptr);
  EXPECT_EQ(buffers.capacities.size(), 0u);
  EXPECT_EQ(mapped.text[0], 'a');  // a page read before the truncation stays as it was read
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  EXPECT_EQ(mapped.text[kBytes / 2], '\0');
  EXPECT_EQ(mapped.text[kBytes - 1], '\0');
  EXPECT_EQ(strlen(mapped.text + 4096), 0u);
  EXPECT_EQ(other.text[kBytes - 1], 'b');
  unmap_text_file(mapped.map_base, mapped.map_span);
  unmap_text_file(other.map_base, other.map_span);
}

TEST_F(ReadTextFile, FilesThatCannotBeRead) {
  make("plain", "x");
  struct Case {
    std::string path;
    bool missing;
    FileError error;
  };
  const Case cases[] = {
      {dir + "/absent", true, FILE_ERROR_NOT_FOUND},
      {dir + "/no/such/dir/a.c", true, FILE_ERROR_NOT_FOUND},
      {dir + "/plain/a.c", true, FILE_ERROR_NOT_FOUND},  // through a file: does not exist either
      {dir, false, FILE_ERROR_PERMISSION},
      {"", true, FILE_ERROR_NOT_FOUND},
      {dir + "/" + std::string(5000, 'n'), false, FILE_ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 200));
    Buffers buffers;
    TextRead read = read_text_file(c.path.c_str(), Mapping::ALLOWED, Buffers::allocate, Buffers::release, &buffers);
    EXPECT_EQ(read.text, nullptr);
    EXPECT_EQ(read.missing, c.missing);
    EXPECT_EQ(read.error, c.error);
    EXPECT_EQ(buffers.capacities.size(), 0u);
  }
}

TEST_F(ReadTextFile, UnreadableFileIsPermissionDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
  std::string path = make("locked", "secret\n");
  chmod(path.c_str(), 0);
  Buffers buffers;
  TextRead read = read_text_file(path.c_str(), Mapping::NEVER, Buffers::allocate, Buffers::release, &buffers);
  EXPECT_EQ(read.text, nullptr);
  EXPECT_FALSE(read.missing);
  EXPECT_EQ(read.error, FILE_ERROR_PERMISSION);
}

TEST(FileError, PlatformCodesMapToTheirMeaning) {
  struct Case {
    int native;
    const char* text;
  };
  const Case cases[] = {
      {0, "file not found"},          {ENOENT, "file not found"},      {ENOTDIR, "file not found"},
      {ENOMEM, "no enough memory"},    {EACCES, "permission denied"},   {EISDIR, "permission denied"},
      {EEXIST, "file already exist"},  {EINVAL, "invalid file name"},   {ENAMETOOLONG, "invalid file name"},
      {ENOSPC, "disk full"},           {EMFILE, "unknown error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.native);
    EXPECT_STREQ(error_text(file_error_from_errno(c.native)), c.text);
  }
}

TEST(SplitPath, PartsAndJoin) {
  struct Case {
    const char* path;
    const char* directory;
    const char* base;
    const char* extension;
  };
  const Case cases[] = {
      {"a.c", "", "a", ".c"},
      {"dir/b.CPP", "dir/", "b", ".CPP"},
      {"c", "", "c", ""},
      {"x.y.c", "", "x.y", ".c"},
      {"dir.d/file", "dir.d/", "file", ""},
      {".c", "", "", ".c"},
      {"/abs/p/q.h", "/abs/p/", "q", ".h"},
      {"a.", "", "a", "."},
      {"dir/", "dir/", "", ""},
      {"", "", "", ""},
      {"./a.b/c.d.e", "./a.b/", "c.d", ".e"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    PathParts parts = split_path(c.path);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.base, c.base);
    EXPECT_EQ(parts.extension, c.extension);
    EXPECT_EQ(join_path(parts), c.path);
  }
}

TEST(AbsolutePath, RelativeNamesJoinTheCurrentDirectory) {
  char buffer[PATH_MAX];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  const std::string cwd = buffer;
  ASSERT_NE(cwd, "/");
  const std::string parent = cwd.substr(0, cwd.rfind('/'));

  struct Case {
    std::string name;
    std::string absolute;
  };
  const Case cases[] = {
      {"a.c", cwd + "/a.c"},
      {"./a.c", cwd + "/a.c"},
      {"d/../a.c", cwd + "/a.c"},
      {"d/./e//a.c", cwd + "/d/e/a.c"},
      {"../a.c", (parent.empty() ? "" : parent) + "/a.c"},
      {"d/e/", cwd + "/d/e/"},
      {"/abs/a.c", "/abs/a.c"},
      {"/abs/./d/../a.c", "/abs/./d/../a.c"},
      {"//abs//a.c", "//abs//a.c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(absolute_path(c.name.c_str()), c.absolute);
  }
}

TEST(FileIdentity, TwoSpellingsOfOneFile) {
  char buffer[PATH_MAX];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  const std::string here = buffer;
  FileIdentity dot = file_identity(".");
  EXPECT_TRUE(dot.exists);
  EXPECT_TRUE(same_file(dot, file_identity(here.c_str())));
  EXPECT_TRUE(same_file(dot, file_identity((here + "/./").c_str())));
  EXPECT_FALSE(same_file(dot, file_identity("/")));
  FileIdentity absent = file_identity("no such file here");
  EXPECT_FALSE(absent.exists);
  EXPECT_FALSE(same_file(absent, absent));
}

// Whatever fails, the old file stays whole and no temporary file is left.
TEST_F(ReadTextFile, ReplaceFileKeepsTheOldTextOnFailure) {
  std::string file = make("a.c", "old text\n");
  chmod(file.c_str(), 0641);
  FileError error = FILE_ERROR_NONE;
  ASSERT_TRUE(replace_file(file.c_str(), "new\n", 4, &error));
  struct stat info;
  ASSERT_EQ(stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0641u);
  EXPECT_TRUE(file_holds_text(file.c_str(), "new\n", 4));

  // A directory cannot be renamed over: the rename fails, the temporary goes.
  std::string directory = dir + "/sub";
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  EXPECT_FALSE(replace_file(directory.c_str(), "x", 1, &error));
  EXPECT_NE(error, FILE_ERROR_NONE);
  EXPECT_FALSE(replace_file((dir + "/missing.c").c_str(), "x", 1, &error));
  EXPECT_EQ(error, FILE_ERROR_NOT_FOUND);
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(read_directory(dir.c_str(), &entries, &error));
  EXPECT_EQ(entries.size(), 2u);  // a.c and sub
}

// A watch is told the new file's identity before the rename; one that
// throws leaves the old file and no temporary.
TEST_F(ReadTextFile, ReplaceFileTellsItsWatchTheNewFile) {
  std::string file = make("a.c", "old\n");
  struct Seen {
    std::string path;
    FileIdentity identity{false, 0, 0};
    bool renamed_yet = true;
  } seen;
  ReplacementWatch telling{[](void* context, const char* path, const FileIdentity& identity) {
                             Seen& seen = *static_cast<Seen*>(context);
                             seen.path = path;
                             seen.identity = identity;
                             seen.renamed_yet = file_holds_text(path, "new\n", 4);
                           },
                           &seen};
  FileIdentity old_identity = file_identity(file.c_str());
  FileError error = FILE_ERROR_NONE;
  ASSERT_TRUE(replace_file(file.c_str(), "new\n", 4, &error, &telling));
  EXPECT_EQ(seen.path, file);
  EXPECT_FALSE(seen.renamed_yet);
  EXPECT_TRUE(same_file(seen.identity, file_identity(file.c_str())));
  EXPECT_FALSE(same_file(seen.identity, old_identity));

  ReplacementWatch throwing{[](void*, const char*, const FileIdentity&) { throw OutOfMemory(); }, nullptr};
  EXPECT_THROW(replace_file(file.c_str(), "newer\n", 6, &error, &throwing), OutOfMemory);
  EXPECT_TRUE(file_holds_text(file.c_str(), "new\n", 4));
  std::vector<DirectoryEntry> entries;
  ASSERT_TRUE(read_directory(dir.c_str(), &entries, &error));
  EXPECT_EQ(entries.size(), 1u);  // a.c alone
}

TEST_F(ReadTextFile, FileHoldsTextReadsAsASourceIsRead) {
  std::string file = make("a.c", "a\r\nb\r");
  EXPECT_TRUE(file_holds_text(file.c_str(), "a\r\nb\r", 5));
  EXPECT_FALSE(file_holds_text(file.c_str(), "a\nb\r", 4));
  EXPECT_FALSE(file_holds_text(file.c_str(), "a\nb", 3));
  EXPECT_FALSE(file_holds_text((dir + "/none").c_str(), "", 0));
}

}  // namespace
