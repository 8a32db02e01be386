#!/usr/bin/env bash
# Trees of sources renamed in place: modes kept, unchanged and failed files
# untouched, links replaced through, nothing half-written when morfe is
# killed, unreadable directories reported, the same result with many jobs.
# Usage: trees.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }

root=$(mktemp -d)
chmod 755 "$root"
trap 'rm -rf "$root"' EXIT
failures=0
cases=0

fail() {
  echo "FAIL: $case: $*"
  failures=$((failures + 1))
}

begin() {
  case=$1
  cases=$((cases + 1))
  dir="$root/$case"
  mkdir -p "$dir"
  cd "$dir" || exit 1
  printf 'old new\n' > t
}

run() {
  timeout 60 "$morfe" "$@" > out 2> err
  status=$?
  [ $status -eq 124 ] && fail "morfe did not finish within 60 s"
}

# Runs morfe as a user without privileges, so that permissions hold also
# when the tests run as root.
run_unprivileged() {
  if [ "$(id -u)" -eq 0 ]; then
    command -v setpriv > /dev/null || return 1
    timeout 60 setpriv --reuid=65534 --regid=65534 --clear-groups "$morfe" "$@" > out 2> err
  else
    timeout 60 "$morfe" "$@" > out 2> err
  fi
  status=$?
}

expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }
expect_err() {
  local want
  want=$(printf "$1")
  [ "$(cat err)" = "$want" ] || fail "standard error: $(head -5 err) -- expected: $want"
}
expect_file() {
  [ -f "$1" ] || { fail "$1 is missing"; return; }
  [ "$(cat "$1")" = "$(printf "$2")" ] || fail "$1 holds: $(head -c 200 "$1")"
}
expect_no_leftovers() {
  local left
  left=$(find . -name '.*.morfe-*')
  [ -z "$left" ] || fail "temporary files left: $left"
}

# --- In place ---

begin modes_kept_unchanged_untouched
printf 'int old;\n' > a.c && chmod 640 a.c
printf 'int other;\n' > same.c && touch -d '2001-01-01 00:00' same.c
inode_same=$(stat -c %i same.c)
run -q -i -r t a.c same.c
expect_status 0
expect_file a.c 'int new;'
[ "$(stat -c %a a.c)" = 640 ] || fail "mode of a.c is $(stat -c %a a.c)"
[ "$(stat -c %Y.%i same.c)" = "$(date -d '2001-01-01 00:00' +%s).$inode_same" ] || fail "same.c was touched"
expect_no_leftovers
ls *.ren > /dev/null 2>&1 && fail "an output file was written"

begin crlf_unchanged_untouched
printf 'int other;\r\n' > crlf.c
run -q -i -r t crlf.c
expect_status 0
[ "$(od -c crlf.c | head -1)" = "$(printf 'int other;\r\n' | od -c | head -1)" ] || fail "crlf.c was rewritten"

begin link_replaced_through
mkdir real && printf 'int old;\n' > real/a.c && ln -s real/a.c link.c
run -q -i -r t link.c
expect_status 0
[ -L link.c ] || fail "link.c is no link any more"
expect_file real/a.c 'int new;'
expect_no_leftovers

begin failed_source_untouched
printf 'int old;\n\0 old\n' > bad.c && printf 'long old;\n' > good.c
cp bad.c bad.orig
run -q -i -we -r t bad.c good.c
expect_status 1
cmp -s bad.c bad.orig || fail "bad.c was changed"
expect_file good.c 'long new;'
expect_no_leftovers

begin fifo_not_replaced
mkfifo ff
(timeout 60 bash -c "exec > ff; printf 'int old;\\n'") &
run -q -i -r t ff
wait
expect_status 1
expect_err 'fatal error: cannot write output file "ff"; permission denied'
[ -p ff ] || fail "ff is no FIFO any more"
expect_no_leftovers

begin table_and_repeated_source_refused
printf 'int old;\n' > a.c
run -q -i -r t t a.c ./a.c
expect_status 1
expect_err 'fatal error: output file "t" would overwrite an input file\nfatal error: output file "./a.c" was already written for "a.c"'
expect_file a.c 'int new;'
expect_file t 'old new'

begin owner_and_group_kept
printf 'int old;\n' > a.c && chown 65534:65534 a.c 2> /dev/null
owner=$(stat -c %u:%g a.c)
run -q -i -r t a.c
expect_status 0
[ "$(stat -c %u:%g a.c)" = "$owner" ] || fail "owner $(stat -c %u:%g a.c), expected $owner"

# The directory cannot take the temporary file: the source keeps its text.
begin read_only_directory
mkdir ro && printf 'int old;\n' > ro/a.c && chmod 644 ro/a.c && chmod 555 ro
if run_unprivileged -q -i -r t ro/a.c; then :; fi
if [ "$(id -u)" -eq 0 ] && ! command -v setpriv > /dev/null; then
  echo "note: no setpriv, read_only_directory skipped"
else
  expect_status 1
  expect_err 'fatal error: cannot write output file "ro/a.c"; permission denied'
  expect_file ro/a.c 'int old;'
  expect_no_leftovers
fi
chmod 755 ro

# --- Directories ---

begin unreadable_directory
mkdir -p tree/a tree/b && printf 'int old;\n' > tree/a/x.c && printf 'int old;\n' > tree/b/y.c
chmod -R a+rwX tree && chmod 000 tree/a
if run_unprivileged -q -r t tree; then :; fi
if [ "$(id -u)" -eq 0 ] && ! command -v setpriv > /dev/null; then
  echo "note: no setpriv, unreadable_directory skipped"
else
  expect_status 1
  expect_err 'command line error: cannot read directory "tree/a"; permission denied'
  expect_file tree/b/y.ren 'int new;'
fi
chmod 755 tree/a


# --- Many jobs: the same result as one ---

# A tree with warnings, errors, refused outputs and a missing source; run
# with one job and with several, everything must be byte for byte the same.
make_mixed_tree() {
  mkdir -p "$1/src/deep/er" "$1/src/z"
  printf 'old new\nold2 new2\n' > "$1/t"
  for i in $(seq 1 40); do
    printf 'int old%s; old2 x;\n#if old\n#endif\n' "$i" > "$1/src/f$i.c"
    printf '#define M(a) a\nint old = M(;\n' > "$1/src/deep/g$i.h"
    printf 'char c = \x27ab\x27; old2 y;\n' > "$1/src/z/h$i.cpp"
  done
  printf 'int old;\n' > "$1/src/deep/er/a.c" && printf 'long old;\n' > "$1/src/deep/er/a.h"
  printf 'x\n\0 old\n' > "$1/src/deep/er/nul.c"
}
for mode in "" "-os" "-i" "-we"; do
  begin "jobs_same_result${mode:-_default}"
  for jobs in 1 3 0; do
    # The same directory each time: messages name sources by absolute path.
    make_mixed_tree w
    (cd w && timeout 60 "$morfe" -wa $mode -j$jobs -r t src missing.c src/f1.c > ../out$jobs 2> ../err$jobs; echo $? > ../status$jobs)
    mv w "j$jobs"
  done
  for jobs in 3 0; do
    cmp -s out1 out$jobs || fail "-j$jobs: standard output differs"
    cmp -s err1 err$jobs || fail "-j$jobs: standard error differs"
    cmp -s status1 status$jobs || fail "-j$jobs: exit status differs"
    diff -r j1 j$jobs > /dev/null || fail "-j$jobs: files differ"
  done
  [ -s err1 ] || fail "no diagnostics to compare"
done

# --- Killed at any moment ---

# Every source holds all of its old text or all of its new one, whenever
# morfe is killed; what is left over is recognisable by its name.
begin killed_at_any_moment
mkdir -p proto/sub
line='int old; old = old + 1; /* keep */ static long other_old;'
for i in $(seq 1 300); do
  for k in $(seq 1 200); do echo "$line $i"; done > "proto/f$i.c"
done
cp proto/f1.c proto/sub/g.h
partial=0
for delay in 0.01 0.03 0.06 0.1 0.2 0.4; do
  rm -rf tree && cp -r proto tree
  "$morfe" -q -i -j2 -r t tree > /dev/null 2>&1 &
  pid=$!
  sleep "$delay"
  kill -9 $pid 2> /dev/null
  wait $pid 2> /dev/null
  olds=0 news=0
  for f in $(find tree -type f ! -name '.*'); do
    base=${f#tree/}
    if cmp -s "$f" "proto/$base"; then
      olds=$((olds + 1))
    elif [ "$(sed 's/\bold\b/new/g' "proto/$base")" = "$(cat "$f")" ]; then
      news=$((news + 1))
    else
      fail "after $delay s: $f holds neither its old nor its new text"
    fi
  done
  [ $olds -gt 0 ] && [ $news -gt 0 ] && partial=$((partial + 1))
  for f in $(find tree -name '.*'); do
    case $(basename "$f") in
      .*.morfe-??????) ;;
      *) fail "unexpected file $f" ;;
    esac
  done
done
[ $partial -gt 0 ] || echo "note: no kill landed in the middle of the tree"

echo "$cases cases, $failures failed"
[ $failures -eq 0 ]
