#!/usr/bin/env bash
# Input and output that fail under morfe: full devices, outputs and sources
# that vanish while a command line is processed, directories, FIFOs and
# devices as files. Each case must end with its message, an honest exit
# status, outputs that are right or absent, and the other files processed.
# Usage: io_faults.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
command -v mkfifo >/dev/null || { echo "SKIPPED: mkfifo is missing"; exit 77; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failures=0
cases=0

fail() {
  echo "FAIL: $case: $*"
  failures=$((failures + 1))
}

# Starts a case in a fresh directory with a table and two sources.
begin() {
  case=$1
  cases=$((cases + 1))
  dir="$root/$case"
  mkdir -p "$dir"
  cd "$dir" || exit 1
  printf 'old new\n' > t
  printf 'int old;\n' > a.c
  printf 'long old;\n' > b.c
}

# Runs morfe with a time limit (a FIFO must never leave it waiting); the
# status goes to $status, standard error to the file err.
run() {
  timeout 60 "$morfe" "$@" 2> err
  status=$?
  [ $status -eq 124 ] && fail "morfe did not finish within 60 s"
}

expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"; }

expect_err() {
  local want
  want=$(printf "$1")
  [ "$(cat err)" = "$want" ] || fail "standard error: $(cat err | head -5) -- expected: $want"
}

expect_file() {
  [ -f "$1" ] || { fail "$1 is missing"; return; }
  [ "$(cat "$1")" = "$(printf "$2")" ] || fail "$1 holds: $(head -c 200 "$1")"
}

expect_absent() { [ ! -e "$1" ] || fail "$1 exists"; }

# Writes into the FIFO $1 from the background with the shell commands $2;
# opening the FIFO happens under the time limit too, so a reader that never
# comes leaves no writer behind.
feed_fifo() {
  timeout 60 bash -c "exec > $1; $2" &
}

# --- Output that cannot be written ---

begin output_file_on_full_device
run -q -r t -o /dev/full a.c
expect_status 1
expect_err 'fatal error: cannot write output file "/dev/full"'

begin default_output_on_full_device_then_next_file
ln -s /dev/full a.ren
run -q -r t a.c b.c
expect_status 1
expect_err 'fatal error: cannot write output file "a.ren"'
expect_file b.ren 'long new;'

# An output larger than the stream's buffer fails while it is written, not
# only when it is closed.
begin large_output_on_full_device_then_next_file
awk 'BEGIN { for (i = 0; i < 200000; i++) print "int old; /* a line of some length */" }' > big.c
ln -s /dev/full big.ren
run -q -r t big.c b.c
expect_status 1
expect_err 'fatal error: cannot write output file "big.ren"'
expect_file b.ren 'long new;'

begin output_is_directory
mkdir od
run -q -r t -o od a.c
expect_status 1
expect_err 'fatal error: cannot open output file "od"'

begin standard_output_on_full_device
timeout 60 "$morfe" -q -r t -os a.c b.c > /dev/full 2> err
status=$?
expect_status 1
expect_err '\nfatal error: output error'
expect_absent a.ren
expect_absent b.ren

begin standard_output_closed
timeout 60 "$morfe" -q -r t -os a.c >&- 2> err
status=$?
expect_status 1
expect_err '\nfatal error: output error'

begin standard_output_on_full_device_with_banner
timeout 60 "$morfe" -r t -os a.c > /dev/full 2> err
status=$?
expect_status 1
expect_err '\nfatal error: output error'

# --- Outputs and sources that are gone ---

begin output_directory_removed
mkdir gone && rmdir gone
run -q -r t -o gone/x.ren a.c
expect_status 1
expect_err 'fatal error: cannot open output file "gone/x.ren"'

# The first source is a FIFO; its writer removes the directory of the second
# source (and so the place of its output) before it finishes, so the second
# file vanishes between the runs of one command line.
begin source_directory_removed_between_files
mkdir sub && printf 'long old;\n' > sub/b.c && mkfifo ff
feed_fifo ff "printf 'int old;\\n'; rm -rf sub; printf 'short old;\\n'"
run -q -r t ff sub/b.c b.c
wait
expect_status 1
expect_err 'command line fatal error: cannot load source file "sub/b.c"; file not found'
expect_file ff.ren 'int new;\nshort new;'
expect_file b.ren 'long new;'

begin source_deleted_between_files
mkfifo ff && printf 'short old;\n' > c.c
feed_fifo ff "printf 'int old;\\n'; rm -f b.c"
run -q -r t ff b.c c.c
wait
expect_status 1
expect_err 'command line fatal error: cannot load source file "b.c"; file not found'
expect_file ff.ren 'int new;'
expect_absent b.ren
expect_file c.ren 'short new;'

# --- Files that are no regular files ---

begin source_is_directory
mkdir sd && printf 'short old;\n' > sd/d.c
run -q -r t sd a.c
expect_status 0
expect_err ''
expect_file sd/d.ren 'short new;'
expect_file a.ren 'int new;'

begin table_is_directory
mkdir td
run -q -r td a.c b.c
expect_status 1
expect_err 'command line fatal error: cannot load replacement table "td"; permission denied\ncommand line fatal error: cannot load replacement table "td"; permission denied'
expect_file a.ren ''
expect_file b.ren ''

begin source_is_fifo
mkfifo ff
feed_fifo ff "printf 'int old; /* old */\\n'; sleep 0.2; printf 'old = 1;\\n'"
run -q -r t ff b.c
wait
expect_status 0
expect_err ''
expect_file ff.ren 'int new; /* old */\nnew = 1;'
expect_file b.ren 'long new;'

begin table_is_fifo_read_once_for_every_source
rm t && mkfifo t
feed_fifo t "printf 'old new\\n'"
run -q -r t a.c b.c
wait
expect_status 0
expect_err ''
expect_file a.ren 'int new;'
expect_file b.ren 'long new;'

begin source_is_dev_null
run -q -r t -o null.ren -- /dev/null
expect_status 0
expect_err ''
[ -f null.ren ] && [ ! -s null.ren ] || fail "null.ren is not an empty file"

begin table_is_dev_null
run -q -r /dev/null -- a.c
expect_status 0
expect_err ''
expect_file a.ren 'int old;'

# A device that never ends: its first NUL ends the text, and the reading.
begin source_is_dev_zero
run -q -r t -o zero.ren -- /dev/zero
expect_status 1
expect_err '"/dev/zero" (1) error: null character in file; the rest of the file is ignored'
expect_file zero.ren ''

begin table_is_dev_zero
run -q -r /dev/zero -- a.c
expect_status 1
expect_err '"/dev/zero" (1) error: null character in file; the rest of the file is ignored'
expect_file a.ren 'int old;'

# --- Permissions (not testable as root, who opens everything) ---

if [ "$(id -u)" -ne 0 ]; then
  begin unreadable_source
  chmod 000 a.c
  run -q -r t a.c b.c
  expect_status 1
  expect_err 'command line fatal error: cannot load source file "a.c"; permission denied'
  expect_file b.ren 'long new;'

  begin read_only_output_directory
  mkdir ro && printf 'int old;\n' > ro/c.c && chmod 555 ro
  run -q -r t ro/c.c b.c
  chmod 755 ro
  expect_status 1
  expect_err 'fatal error: cannot open output file "ro/c.ren"'
  expect_file b.ren 'long new;'
else
  echo "note: running as root, the permission cases are skipped"
fi

echo "$cases cases, $failures failed"
[ $failures -eq 0 ]
