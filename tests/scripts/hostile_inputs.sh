#!/usr/bin/env bash
# Inputs no one should write but someone will: binary files, other encodings,
# huge lines and names, endless splices and comments, huge tables and long
# chains of renamings. Each is generated here, into a scratch directory, and
# must end within a time limit with the right output or a clear diagnostic.
# Peak memory (where /usr/bin/time is there to measure it) must stay within
# 3 times the input size plus 16 MiB; inputs that exceed that by design are
# listed with the reason and held to a looser bound of their own.
# Under AddressSanitizer the large inputs are a quarter of their size and
# memory is not measured (the sanitizer's own bookkeeping would dominate).
# Usage: hostile_inputs.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
command -v python3 >/dev/null || { echo "SKIPPED: python3 is missing"; exit 77; }

scale=1
measure=1
if grep -q __asan_init "$morfe"; then
  scale=4
  measure=0
  echo "note: sanitizer build: large inputs at a quarter of their size, memory not measured"
fi
[ -x /usr/bin/time ] || { measure=0; echo "note: /usr/bin/time is missing, memory not measured"; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

# Every input and its expected output; "expected" files hold the output
# byte for byte.
python3 - "$scale" <<'PY' || exit 1
import random, sys
scale = int(sys.argv[1])
rng = random.Random(20261207)

def write(name, data):
    with open(name, "wb") as f:
        f.write(data)

def loaded(data):
    """The text as the tool reads it: its bytes up to a NUL, which ends it."""
    return data.split(b"\0")[0]

write("rename.tbl", b"old new\n")
write("empty.tbl", b"")

# Random bytes after a plain first line: no '/' (so no comment starts), no
# "old" that a splice could form, and NULs only in the second half.
while True:
    noise = bytes(rng.choice([b for b in range(1, 256) if b != 0x2F]) for _ in range(512 * 1024))
    noise += bytes(rng.randrange(256) if rng.random() < 0.5 else 0 for _ in range(64 * 1024)).replace(b"/", b"")
    joined = noise
    for splice in (b"\\\r\n", b"\\\n", b"??/\r\n", b"??/\n"):
        joined = joined.replace(splice, b"")
    if b"old" not in joined and b"_Pragma" not in joined and b"\0" in noise:
        break
binary = b"int old;\n" + noise
write("binary.c", binary)
write("binary.expected", b"int new;\n" + loaded(noise))

text = "int old;\nold = 1;\n"
write("utf16.c", b"\xff\xfe" + text.encode("utf-16-le"))
write("utf16.expected", b"\xff\xfei")
write("utf8bom.c", b"\xef\xbb\xbf" + text.encode())
write("utf8bom.expected", b"\xef\xbb\xbfint new;\nnew = 1;\n")

count = 50 * 1024 * 1024 // scale // 9
write("long_line.c", b"old x+1; " * count + b"\n")
write("long_line.expected", b"new x+1; " * count + b"\n")

name = b"N" * 1000000
write("long_name.tbl", name + b" short\n")
write("long_name.c", b"int " + name + b";\nint " + name + b"B;\n")
write("long_name.expected", b"int short;\nint " + name + b"B;\n")

splices = b"\\\n" * 100000
write("splices.tbl", b"ab xy\n")
write("splices.c", b"int a" + splices + b"b;\nab = 2;\nint c;" + splices + b"\n")
# The splices inside the renamed name go with it; a gap of more than three
# lost line breaks is not made up.
write("splices.expected", b"int xy;\nxy = 2;\nint c;" + splices + b"\n")

body = b"x * y / z\n" * (10 * 1024 * 1024 // 10)
write("open_comment.c", b"int old;\n/* " + body)
write("open_comment.expected", b"int new;\n")

pairs = 200000 // scale
write("pairs.tbl", b"".join(b"name%d other%d\n" % (i, i) for i in range(pairs)))
write("pairs.c", b"".join(b"name%d = other%d + name%dx;\n" % (i, i, i) for i in range(0, pairs, 97)))
write("pairs.expected", b"".join(b"other%d = other%d + name%dx;\n" % (i, i, i) for i in range(0, pairs, 97)))

write("long_table_line.tbl", b"a b " + b"x " * (512 * 1024) + b"\nc d\n")
write("long_table_line.c", b"a c;\n")
write("long_table_line.expected", b"b d;\n")

n = 10000
write("chain.tbl", b"".join(b"A%d A%d\n" % (i, i + 1) for i in range(1, n)))
write("chain.c", b"A1 A5000 A9999 A10000 A10001\n")
write("chain.expected", b"A10000 A10000 A10000 A10000 A10001\n")
write("cycle.tbl", b"".join(b"A%d A%d\n" % (i, i % n + 1) for i in range(1, n + 1)))
write("cycle.c", b"A1 A5000 A10000 A10001\n")
write("cycle.expected", b"A1 A5000 A10000 A10001\n")
PY

failures=0
cases=0
report=""

# check NAME TABLE SOURCE STATUS STDERR-PATTERN [FACTOR REASON]
#   Runs morfe on SOURCE with TABLE; the output must equal NAME.expected,
#   the status STATUS, and standard error must match the extended regular
#   expression STDERR-PATTERN (empty: nothing on standard error). FACTOR
#   replaces the 3 of the memory bound for an input listed with REASON.
check() {
  local name=$1 table=$2 source=$3 want_status=$4 pattern=$5 factor=${6:-3} reason=${7:-}
  cases=$((cases + 1))
  local start end status peak_kb size bound_kb
  rm -f out.ren
  start=$(date +%s.%N)
  if [ $measure -eq 1 ]; then
    /usr/bin/time -f %M -o mem.txt timeout 300 "$morfe" -q -r "$table" -o out.ren "$source" 2> err
    status=$?
  else
    timeout 300 "$morfe" -q -r "$table" -o out.ren "$source" 2> err
    status=$?
  fi
  end=$(date +%s.%N)
  local fail=""
  [ $status -eq 124 ] && fail="$fail; did not finish within 300 s"
  [ $status -eq "$want_status" ] || fail="$fail; exit status $status, expected $want_status"
  if [ -z "$pattern" ]; then
    [ -s err ] && fail="$fail; unexpected diagnostics: $(head -c 300 err)"
  else
    grep -Eq "$pattern" err || fail="$fail; no diagnostic matching '$pattern' in: $(head -c 300 err)"
  fi
  cmp -s out.ren "$name.expected" || fail="$fail; output differs from $name.expected"
  local line
  line=$(printf '%-18s %6.2f s' "$name" "$(awk -v s="$start" -v e="$end" 'BEGIN { print e - s }')")
  if [ $measure -eq 1 ]; then
    peak_kb=$(tail -1 mem.txt)
    size=$(( $(stat -c %s "$source") + $(stat -c %s "$table") ))
    bound_kb=$(( (factor * size + 16 * 1024 * 1024) / 1024 ))
    line="$line $(printf '%8d KB peak, input %8d KB' "$peak_kb" $((size / 1024)))"
    if [ "$peak_kb" -gt "$bound_kb" ]; then
      fail="$fail; peak memory ${peak_kb} KB over the bound of ${bound_kb} KB (${factor} x input + 16 MiB)"
    elif [ -n "$reason" ]; then
      local strict_kb=$(( (3 * size + 16 * 1024 * 1024) / 1024 ))
      [ "$peak_kb" -gt "$strict_kb" ] && report="$report
note: $name takes ${peak_kb} KB, over 3 x input + 16 MiB (${strict_kb} KB): $reason"
    fi
  fi
  echo "$line"
  if [ -n "$fail" ]; then
    echo "FAIL: $name${fail}"
    failures=$((failures + 1))
  fi
}

null_msg='error: null character in file; the rest of the file is ignored'
check binary rename.tbl binary.c 1 "$null_msg"
check utf16 rename.tbl utf16.c 1 "$null_msg"
check utf8bom rename.tbl utf8bom.c 0 ""
check long_line rename.tbl long_line.c 0 ""
check long_name long_name.tbl long_name.c 0 ""
check splices splices.tbl splices.c 0 ""
check open_comment rename.tbl open_comment.c 1 '\(2\) fatal error: unterminated comment found'
check pairs pairs.tbl pairs.c 0 ""
check long_table_line long_table_line.tbl long_table_line.c 0 'warning: extra tokens specified'
check chain chain.tbl chain.c 0 ""
check cycle cycle.tbl cycle.c 0 ""
[ -n "$report" ] && echo "$report"
echo "$cases cases, $failures failed"
[ $failures -eq 0 ]
