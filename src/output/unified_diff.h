// The changes a run makes to a source, as a unified diff that `patch -p1`
// and `git apply` take.
#pragma once

#include <cstddef>
#include <string>

// Lines of context around each change; changes whose contexts meet or
// overlap share one hunk, as `diff -u` has it.
constexpr size_t kDiffContext = 3;

// The diff from `old_text` to `new_text` under the labels a/NAME and b/NAME:
// empty when the texts are equal. Lines end after their line feed, so a
// carriage return before it stays part of the line, and a last line without
// one is marked "\ No newline at end of file". The edit is a shortest one,
// but for texts so unlike that finding it would cost too much: then a
// stretch is given as replaced whole.
std::string unified_diff(const char* name, const char* old_text, size_t old_size, const char* new_text,
                         size_t new_size);
