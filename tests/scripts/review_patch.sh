#!/usr/bin/env bash
# A -d patch does what -i does: applied with `git apply` and with `patch -p1`
# to copies of a tree, it gives byte for byte what -i gives on another copy.
# The tree holds every source of the end-to-end cases (CR LF lines, last
# lines without a line break, splices, _Pragma operators, sources that
# fail), with a table that renames every third name they use. The patch is
# the same with -j1 and -j2, each file's part of it is what `diff -u`
# writes for the file, and -c names exactly the files that -i changes.
# The summary of -s is the same with -d, -c and -i, with any -j.
# Usage: review_patch.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
for tool in git patch diff; do
  command -v $tool >/dev/null || { echo "SKIPPED: $tool is missing"; exit 77; }
done
cases=$(cd "$(dirname "$0")/../cases" && pwd)

root=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$root"' EXIT
cd "$root" || exit 1
mkdir -p orig/tree
(cd "$cases" && find . -path '*/files/*' -type f \( -name '*.[chC]' -o -name '*.cpp' \) -print0 |
  xargs -0 cp -P --parents -t "$root/orig/tree")
printf 'int alpha;\r\nint beta = alpha;\r\n\r\n/* alpha */ int gamma;' > orig/tree/crlf_no_last_break.c
# Operator words and new/delete are no identifiers in C++: a pair for one fails every C++ source.
grep -rohaw '[A-Za-z_][A-Za-z0-9_]*' orig/tree | sort -u |
  grep -vxE 'and|and_eq|bitand|bitor|compl|not|not_eq|or|or_eq|xor|xor_eq|new|delete' |
  awk 'NR % 3 == 0 { print $0, "r_" $0 }' > table

bad=0
fail() { echo "FAIL: $*"; bad=1; }

(cd orig && "$morfe" -q -d -s -r ../table tree > ../j1.patch 2> ../j1.err)
status=$?
(cd orig && "$morfe" -q -d -s -j2 -r ../table tree > ../j2.patch 2> ../j2.err)
[ $? -eq $status ] || fail "-d -j2 exits otherwise than -d"
cmp -s j1.patch j2.patch || fail "-d -j2 writes another patch than -d"
cmp -s j1.err j2.err || fail "-d -j2 writes other diagnostics or another summary than -d"

cp -a orig inplace
(cd inplace && "$morfe" -q -i -s -j2 -r ../table tree > /dev/null 2> ../i.err)
[ $? -eq $status ] || fail "-i exits otherwise than -d"
# The messages name each source by its absolute path.
[ "$(sed "s|$root/inplace/|/|" i.err)" = "$(sed "s|$root/orig/|/|" j1.err)" ] || fail "-i writes other diagnostics or another summary than -d"

cp -a orig by_git
(cd by_git && git apply --whitespace=nowarn ../j1.patch) || fail "git apply refused the patch"
diff -r by_git inplace > /dev/null || fail "git apply gives another tree than -i: $(diff -rq by_git inplace | head -3)"
cp -a orig by_patch
(cd by_patch && patch -p1 -s --no-backup-if-mismatch < ../j1.patch) || fail "patch -p1 refused the patch"
diff -r by_patch inplace > /dev/null || fail "patch -p1 gives another tree than -i: $(diff -rq by_patch inplace | head -3)"

changed=$(diff -rq orig inplace | sed -n 's|^Files orig/\(.*\) and inplace/.* differ$|\1|p' | LC_ALL=C sort)
(cd orig && "$morfe" -q -c -s -r ../table tree > ../check.out 2> ../check.err)
check_status=$?
named=$(sed 's/^would change: //' check.out | LC_ALL=C sort)
[ "$named" = "$changed" ] || fail "-c names other files than -i changes"
[ $check_status -eq 1 ] || [ $status -ne 1 ] || fail "-c exits $check_status though sources fail"
cmp -s check.err j1.err || fail "-c writes other diagnostics or another summary than -d"
grep -q "^summary: sources read [0-9]*, changed $(printf '%s\n' "$changed" | grep -c .), " j1.err ||
  fail "the summary counts other changed files than -i changes: $(grep '^summary' j1.err)"

for f in $changed; do
  diff -u --label "a/$f" --label "b/$f" "orig/$f" "inplace/$f" >> by_diff.patch
done
cmp -s by_diff.patch j1.patch || fail "the patch is not what diff -u writes: $(diff by_diff.patch j1.patch | head -5)"

files=$(printf '%s\n' "$changed" | grep -c .)
failed=$(grep -c 'error' j1.err)
[ "$files" -ge 50 ] && [ "$failed" -ge 1 ] || fail "too small a test: $files files changed, $failed error lines"
[ $bad -eq 0 ] && echo "$files of $(find orig/tree -type f | wc -l) files changed, $(wc -l < j1.patch) patch lines; git apply, patch -p1 and -i agree; $failed error lines"
exit $bad
