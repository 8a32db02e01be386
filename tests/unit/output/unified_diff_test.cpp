#include "output/unified_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t begin = 0; begin < text.size();) {
    size_t feed = text.find('\n', begin);
    size_t next = feed == std::string::npos ? text.size() : feed + 1;
    lines.push_back(text.substr(begin, next - begin));
    begin = next;
  }
  return lines;
}

// Applies a diff as strictly as `patch` without fuzz: every count, context
// line and removed line must match the old text. Also checks that hunks
// are apart by more than twice the context and that each keeps its
// context. Returns the new text; `edited` counts the lines taken out and put in.
std::string apply(const std::string& old_text, const std::string& diff, size_t* edited) {
  std::vector<std::string> old_lines = lines_of(old_text);
  std::vector<std::string> diff_lines = lines_of(diff);
  EXPECT_GE(diff_lines.size(), 3u);
  EXPECT_EQ(diff_lines[0], "--- a/f.c\n");
  EXPECT_EQ(diff_lines[1], "+++ b/f.c\n");
  std::string result;
  std::string* last = nullptr;  // the line a "no newline" marker applies to
  size_t old_at = 0;
  size_t previous_end = 0;
  *edited = 0;
  for (size_t i = 2; i < diff_lines.size();) {
    unsigned long a, b, c, d;
    const char* header = diff_lines[i].c_str();
    if (sscanf(header, "@@ -%lu,%lu +%lu,%lu @@", &a, &b, &c, &d) != 4) {
      // A count of one is left out.
      b = d = 1;
      if (sscanf(header, "@@ -%lu +%lu,%lu @@", &a, &c, &d) != 3 && sscanf(header, "@@ -%lu,%lu +%lu @@", &a, &b, &c) != 3) {
        EXPECT_EQ(sscanf(header, "@@ -%lu +%lu @@", &a, &c), 2) << header;
      }
    }
    size_t start = b ? a - 1 : a;
    if (i > 2) {
      EXPECT_GT(start - previous_end, 0u) << "hunks that should be one";
    }
    for (; old_at < start; ++old_at) result += old_lines[old_at];
    size_t taken = 0, put = 0;
    bool first_is_context = false;
    std::string last_mark;
    for (++i; i < diff_lines.size() && diff_lines[i][0] != '@'; ++i) {
      const std::string& line = diff_lines[i];
      if (line[0] == '\\') {
        EXPECT_EQ(line, "\\ No newline at end of file\n");
        if (last && !last->empty() && last->back() == '\n') last->pop_back();
        continue;
      }
      std::string body = line.substr(1);
      if (taken + put == 0) first_is_context = line[0] == ' ';
      last_mark = line.substr(0, 1);
      if (line[0] != '+') {
        EXPECT_LT(old_at, old_lines.size());
        if (old_at < old_lines.size()) {
          std::string expected = old_lines[old_at];
          if (expected.back() != '\n') expected += '\n';
          EXPECT_EQ(body, expected);
        }
        ++old_at;
        ++taken;
      }
      if (line[0] == '-') ++*edited;
      if (line[0] != '-') {
        result += body;
        last = &result;
        ++put;
        if (line[0] == '+') ++*edited;
      } else {
        last = nullptr;
      }
    }
    EXPECT_EQ(taken, b);
    EXPECT_EQ(put, d);
    if (start > 0) {
      EXPECT_TRUE(first_is_context);
    }
    if (old_at < old_lines.size()) {
      EXPECT_EQ(last_mark, " ");
    }
    previous_end = old_at;
  }
  for (; old_at < old_lines.size(); ++old_at) result += old_lines[old_at];
  return result;
}

// Lines taken out and put in by a shortest edit.
size_t shortest_edit(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::vector<size_t>> lcs(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = a.size(); i-- > 0;) {
    for (size_t j = b.size(); j-- > 0;) {
      lcs[i][j] = a[i] == b[j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    }
  }
  return a.size() + b.size() - 2 * lcs[0][0];
}

std::string diff_of(const std::string& a, const std::string& b) {
  return unified_diff("f.c", a.data(), a.size(), b.data(), b.size());
}

TEST(UnifiedDiff, WrittenAsDiffWritesIt) {
  EXPECT_EQ(diff_of("a\nb\n", "a\nb\n"), "");
  EXPECT_EQ(diff_of("a\nb", "a\nc"),
            "--- a/f.c\n+++ b/f.c\n@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+c\n"
            "\\ No newline at end of file\n");
  EXPECT_EQ(diff_of("x\r\ny\r\n", "x\r\nz\r\n"), "--- a/f.c\n+++ b/f.c\n@@ -1,2 +1,2 @@\n x\r\n-y\r\n+z\r\n");
  EXPECT_EQ(diff_of("k\n", "k"), "--- a/f.c\n+++ b/f.c\n@@ -1 +1 @@\n-k\n+k\n\\ No newline at end of file\n");
  EXPECT_EQ(diff_of("", "n\n"), "--- a/f.c\n+++ b/f.c\n@@ -0,0 +1 @@\n+n\n");
  // Changes six lines apart share a hunk; seven apart they do not.
  EXPECT_EQ(diff_of("1\n2\n3\n4\n5\n6\n7\n8\n", "0\n2\n3\n4\n5\n6\n7\n9\n"),
            "--- a/f.c\n+++ b/f.c\n@@ -1,8 +1,8 @@\n-1\n+0\n 2\n 3\n 4\n 5\n 6\n 7\n-8\n+9\n");
  EXPECT_EQ(diff_of("1\n2\n3\n4\n5\n6\n7\n8\n9\n", "0\n2\n3\n4\n5\n6\n7\n8\nx\n"),
            "--- a/f.c\n+++ b/f.c\n@@ -1,4 +1,4 @@\n-1\n+0\n 2\n 3\n 4\n@@ -6,4 +6,4 @@\n 6\n 7\n 8\n-9\n+x\n");
}

TEST(UnifiedDiff, RandomTextsComeBackByTheShortestEdit) {
  std::mt19937 random(15);
  const char* const kLines[] = {"a\n", "b\n", "c\n", "a\r\n", "d\n"};
  for (int round = 0; round < 3000; ++round) {
    std::string texts[2];
    for (std::string& text : texts) {
      size_t count = random() % 24;
      for (size_t i = 0; i < count; ++i) text += kLines[random() % (round % 2 ? 2 : 5)];
      if (!text.empty() && random() % 4 == 0) text.pop_back();
    }
    // Mostly a few lines changed, as a renaming changes them.
    if (round % 3 == 0) {
      texts[1] = texts[0];
      for (int k = random() % 4; k >= 0 && !texts[1].empty(); --k) texts[1][random() % texts[1].size()] = 'z';
    }
    SCOPED_TRACE(::testing::Message() << "old [" << texts[0] << "] new [" << texts[1] << "]");
    std::string diff = diff_of(texts[0], texts[1]);
    if (texts[0] == texts[1]) {
      EXPECT_EQ(diff, "");
      continue;
    }
    size_t edited = 0;
    EXPECT_EQ(apply(texts[0], diff, &edited), texts[1]);
    EXPECT_EQ(edited, shortest_edit(lines_of(texts[0]), lines_of(texts[1])));
  }
}

}  // namespace

namespace {

// Texts so unlike that the search gives up part of the way: the diff is
// then longer than it need be, but still makes the new text of the old.
TEST(UnifiedDiff, UnlikeTextsStillComeBack) {
  std::mt19937 random(7);
  std::vector<std::string> lines;
  for (int i = 0; i < 20000; ++i) lines.push_back(std::to_string(i) + "\n");
  std::string old_text, new_text;
  for (const std::string& line : lines) old_text += line;
  std::shuffle(lines.begin(), lines.end(), random);
  for (const std::string& line : lines) new_text += line;
  size_t edited = 0;
  EXPECT_EQ(apply(old_text, diff_of(old_text, new_text), &edited), new_text);
}

}  // namespace
