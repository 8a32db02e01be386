#include "output/unified_diff.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// A line with its line feed, if it has one.
using Line = std::string_view;

std::vector<Line> split_lines(const char* text, size_t size) {
  std::vector<Line> lines;
  const char* end = text + size;
  for (const char* begin = text; begin < end;) {
    const void* feed = memchr(begin, '\n', static_cast<size_t>(end - begin));
    const char* next = feed ? static_cast<const char*>(feed) + 1 : end;
    lines.emplace_back(begin, static_cast<size_t>(next - begin));
    begin = next;
  }
  return lines;
}

// Steps of the search for a shortest edit a diff may take: a renaming
// changes few lines, and texts that differ everywhere are given as one
// replaced stretch rather than searched for ever.
constexpr long long kSearchBudget = 1LL << 26;

// A shortest edit between two sequences of line classes, found by Myers'
// search from both ends for the middle of the path (in linear space): the
// pairs of equal elements it keeps, in order, as indices into a and b.
struct EditSearch {
  const std::vector<int>& a;
  const std::vector<int>& b;
  std::vector<std::pair<size_t, size_t>>* kept;
  long long budget;
  std::vector<long long> forward;
  std::vector<long long> backward;

  void keep_equal(size_t a0, size_t a1, size_t b0, size_t b1) {
    // Equal ends are kept at once: the search then starts and ends at a change.
    size_t suffix = 0;
    while (a0 < a1 && b0 < b1 && a[a0] == b[b0]) kept->emplace_back(a0++, b0++);
    while (a0 < a1 && b0 < b1 && a[a1 - 1] == b[b1 - 1]) {
      --a1;
      --b1;
      ++suffix;
    }
    if (a0 < a1 && b0 < b1) {
      size_t x = 0;
      size_t y = 0;
      if (split(a0, a1, b0, b1, &x, &y)) {
        keep_equal(a0, x, b0, y);
        keep_equal(x, a1, y, b1);
      }
    }
    for (size_t k = 0; k < suffix; ++k) kept->emplace_back(a1 + k, b1 + k);
  }

  // Finds a point (x, y) on a shortest path through the stretch, strictly
  // inside it; false when there is none or the budget is spent (the stretch
  // is then replaced whole).
  bool split(size_t a0, size_t a1, size_t b0, size_t b1, size_t* x_out, size_t* y_out) {
    const long long n = static_cast<long long>(a1 - a0);
    const long long m = static_cast<long long>(b1 - b0);
    const long long max_d = (n + m + 1) / 2;
    const long long offset = max_d;
    const long long length = 2 * max_d + 2;
    budget -= length;
    forward.assign(static_cast<size_t>(length), -1);
    backward.assign(static_cast<size_t>(length), -1);
    forward[static_cast<size_t>(offset + 1)] = 0;
    backward[static_cast<size_t>(offset + 1)] = 0;
    const long long delta = n - m;
    const bool odd = (delta % 2) != 0;
    long long k1_start = 0, k1_end = 0, k2_start = 0, k2_end = 0;
    auto at = [](std::vector<long long>& v, long long index) -> long long& { return v[static_cast<size_t>(index)]; };
    for (long long d = 0; d < max_d; ++d) {
      budget -= 2 * d + 2;
      if (budget < 0) return false;
      for (long long k1 = -d + k1_start; k1 <= d - k1_end; k1 += 2) {
        const long long k1_offset = offset + k1;
        long long x1 = (k1 == -d || (k1 != d && at(forward, k1_offset - 1) < at(forward, k1_offset + 1)))
                           ? at(forward, k1_offset + 1)
                           : at(forward, k1_offset - 1) + 1;
        long long y1 = x1 - k1;
        while (x1 < n && y1 < m && a[a0 + static_cast<size_t>(x1)] == b[b0 + static_cast<size_t>(y1)]) {
          ++x1;
          ++y1;
          --budget;
        }
        at(forward, k1_offset) = x1;
        if (x1 > n) {
          k1_end += 2;
        } else if (y1 > m) {
          k1_start += 2;
        } else if (odd) {
          const long long k2_offset = offset + delta - k1;
          if (k2_offset >= 0 && k2_offset < length && at(backward, k2_offset) != -1 &&
              x1 >= n - at(backward, k2_offset)) {
            return inside(a0, b0, n, m, x1, y1, x_out, y_out);
          }
        }
      }
      for (long long k2 = -d + k2_start; k2 <= d - k2_end; k2 += 2) {
        const long long k2_offset = offset + k2;
        long long x2 = (k2 == -d || (k2 != d && at(backward, k2_offset - 1) < at(backward, k2_offset + 1)))
                           ? at(backward, k2_offset + 1)
                           : at(backward, k2_offset - 1) + 1;
        long long y2 = x2 - k2;
        while (x2 < n && y2 < m &&
               a[a0 + static_cast<size_t>(n - x2 - 1)] == b[b0 + static_cast<size_t>(m - y2 - 1)]) {
          ++x2;
          ++y2;
          --budget;
        }
        at(backward, k2_offset) = x2;
        if (x2 > n) {
          k2_end += 2;
        } else if (y2 > m) {
          k2_start += 2;
        } else if (!odd) {
          const long long k1_offset = offset + delta - k2;
          if (k1_offset >= 0 && k1_offset < length && at(forward, k1_offset) != -1) {
            const long long x1 = at(forward, k1_offset);
            const long long y1 = offset + x1 - k1_offset;
            if (x1 >= n - x2) return inside(a0, b0, n, m, x1, y1, x_out, y_out);
          }
        }
      }
    }
    return false;
  }

  static bool inside(size_t a0, size_t b0, long long n, long long m, long long x, long long y, size_t* x_out,
                     size_t* y_out) {
    // A split at either end would not make the stretch any smaller.
    if ((x == 0 && y == 0) || (x == n && y == m)) return false;
    *x_out = a0 + static_cast<size_t>(x);
    *y_out = b0 + static_cast<size_t>(y);
    return true;
  }
};

// One change: old lines [old_begin, old_end) replaced by new lines
// [new_begin, new_end); either may be empty.
struct Change {
  size_t old_begin, old_end, new_begin, new_end;
};

// The changes of a shortest edit. A line that the other text does not hold
// at all can be kept by no edit, so only lines of both texts are searched.
std::vector<Change> find_changes(const std::vector<Line>& old_lines, const std::vector<Line>& new_lines) {
  std::unordered_map<Line, int> classes;
  std::vector<int> old_class(old_lines.size());
  std::vector<int> new_class(new_lines.size());
  std::vector<unsigned char> in_old, in_new;
  auto class_of = [&](Line line) {
    auto found = classes.emplace(line, static_cast<int>(classes.size()));
    if (found.second) {
      in_old.push_back(0);
      in_new.push_back(0);
    }
    return found.first->second;
  };
  for (size_t i = 0; i < old_lines.size(); ++i) in_old[static_cast<size_t>(old_class[i] = class_of(old_lines[i]))] = 1;
  for (size_t j = 0; j < new_lines.size(); ++j) in_new[static_cast<size_t>(new_class[j] = class_of(new_lines[j]))] = 1;
  std::vector<int> a, b;
  std::vector<size_t> a_line, b_line;
  for (size_t i = 0; i < old_class.size(); ++i) {
    if (!in_new[static_cast<size_t>(old_class[i])]) continue;
    a.push_back(old_class[i]);
    a_line.push_back(i);
  }
  for (size_t j = 0; j < new_class.size(); ++j) {
    if (!in_old[static_cast<size_t>(new_class[j])]) continue;
    b.push_back(new_class[j]);
    b_line.push_back(j);
  }
  std::vector<std::pair<size_t, size_t>> kept;
  EditSearch search{a, b, &kept, kSearchBudget, {}, {}};
  search.keep_equal(0, a.size(), 0, b.size());

  std::vector<Change> changes;
  size_t old_next = 0;
  size_t new_next = 0;
  auto close_change = [&](size_t old_line, size_t new_line) {
    if (old_next < old_line || new_next < new_line) changes.push_back(Change{old_next, old_line, new_next, new_line});
    old_next = old_line + 1;
    new_next = new_line + 1;
  };
  for (const auto& pair : kept) close_change(a_line[pair.first], b_line[pair.second]);
  close_change(old_lines.size(), new_lines.size());
  return changes;
}

// A hunk's range as `diff -u` writes it: "first,count", "first" for one
// line, and for none the number of the line before it with ",0".
void append_range(std::string* out, size_t begin, size_t count) {
  if (count == 1) {
    *out += std::to_string(begin + 1);
  } else if (count == 0) {
    *out += std::to_string(begin) + ",0";
  } else {
    *out += std::to_string(begin + 1) + "," + std::to_string(count);
  }
}

void append_line(std::string* out, char mark, Line line) {
  out->push_back(mark);
  out->append(line.data(), line.size());
  if (line.empty() || line.back() != '\n') *out += "\n\\ No newline at end of file\n";
}

}  // namespace

std::string unified_diff(const char* name, const char* old_text, size_t old_size, const char* new_text,
                         size_t new_size) {
  std::string out;
  if (old_size == new_size && memcmp(old_text, new_text, old_size) == 0) return out;
  const std::vector<Line> old_lines = split_lines(old_text, old_size);
  const std::vector<Line> new_lines = split_lines(new_text, new_size);
  const std::vector<Change> changes = find_changes(old_lines, new_lines);
  if (changes.empty()) return out;
  out += "--- a/";
  out += name;
  out += "\n+++ b/";
  out += name;
  out += "\n";
  for (size_t first = 0; first < changes.size();) {
    // The changes of one hunk: each less than twice the context after the last.
    size_t last = first;
    while (last + 1 < changes.size() && changes[last + 1].old_begin - changes[last].old_end <= 2 * kDiffContext) {
      ++last;
    }
    // Between changes the texts are equal, so the context is as long in both.
    const size_t before = std::min(kDiffContext, changes[first].old_begin - (first ? changes[first - 1].old_end : 0));
    const size_t after = std::min(kDiffContext, old_lines.size() - changes[last].old_end);
    const size_t old_begin = changes[first].old_begin - before;
    const size_t new_begin = changes[first].new_begin - before;
    out += "@@ -";
    append_range(&out, old_begin, changes[last].old_end + after - old_begin);
    out += " +";
    append_range(&out, new_begin, changes[last].new_end + after - new_begin);
    out += " @@\n";
    size_t old_at = old_begin;
    for (size_t c = first; c <= last; ++c) {
      const Change& change = changes[c];
      for (; old_at < change.old_begin; ++old_at) append_line(&out, ' ', old_lines[old_at]);
      for (size_t i = change.old_begin; i < change.old_end; ++i) append_line(&out, '-', old_lines[i]);
      for (size_t j = change.new_begin; j < change.new_end; ++j) append_line(&out, '+', new_lines[j]);
      old_at = change.old_end;
    }
    for (; old_at < changes[last].old_end + after; ++old_at) append_line(&out, ' ', old_lines[old_at]);
    first = last + 1;
  }
  return out;
}
