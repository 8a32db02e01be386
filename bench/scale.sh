#!/usr/bin/env bash
# Time and peak memory of morfe on each hostile input (see
# tests/scripts/hostile_inputs.sh) at size n and 4n: a ratio near 4 is
# linear, near 16 quadratic. Prints figures; checks nothing.
# Usage: bench/scale.sh [path-to-morfe] [n-divisor] [input...]
#   n-divisor (default 4) divides the base sizes, so that 4n is the size the
#   hostile-input test uses; naming inputs measures only those.
set -u
morfe=$(realpath "${1:-build/morfe}")
divisor=${2:-4}
shift 2 2>/dev/null || shift $#
only=" $* "
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

# gen NAME SIZE: writes NAME.tbl and NAME.c for the given size.
gen() {
  python3 - "$1" "$2" <<'PY'
import random, sys
name, n = sys.argv[1], int(sys.argv[2])
def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
table, source = b"old new\n", b""
if name == "long_line":
    source = b"old x+1; " * (n // 9) + b"\n"
elif name == "long_line_copied":
    table, source = b"zzz yyy\n", b"old x+1; " * (n // 9) + b"\n"
elif name == "long_name":
    table, source = b"N" * n + b" short\n", b"int " + b"N" * n + b";\n"
elif name == "splices":
    table, source = b"ab xy\n", b"int a" + b"\\\n" * n + b"b;\n"
elif name == "open_comment":
    source = b"int old;\n/* " + b"x * y / z\n" * (n // 10)
elif name == "binary":
    rng = random.Random(n)
    source = bytes(rng.randrange(1, 256) for _ in range(n)).replace(b"/", b"")
elif name == "pairs":
    table = b"".join(b"name%d other%d\n" % (i, i) for i in range(n))
    source = b"".join(b"name%d;\n" % i for i in range(0, n, 97))
elif name == "long_table_line":
    table, source = b"a b " + b"x " * (n // 2) + b"\n", b"a;\n"
elif name == "chain":
    table = b"".join(b"A%d A%d\n" % (i, i + 1) for i in range(1, n))
    source = b"A1 A%d\n" % (n // 2)
elif name == "chain_all_named":
    table = b"".join(b"A%d A%d\n" % (i, i + 1) for i in range(1, n))
    source = b"".join(b"A%d\n" % i for i in range(1, n + 1))
elif name == "cycle_all_named":
    table = b"".join(b"A%d A%d\n" % (i, i % n + 1) for i in range(1, n + 1))
    source = b"".join(b"A%d\n" % i for i in range(1, n + 1))
write(name + ".tbl", table)
write(name + ".c", source)
PY
}

# measure NAME: prints "seconds peak-KB" of one run.
measure() {
  local start end kb=0
  start=$(date +%s.%N)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o mem.txt "$morfe" -q -r "$1.tbl" -o out.ren "$1.c" 2>/dev/null
    kb=$(tail -1 mem.txt)
  else
    "$morfe" -q -r "$1.tbl" -o out.ren "$1.c" 2>/dev/null
  fi
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v kb="$kb" 'BEGIN { printf "%.3f %d", e - s, kb }'
}

printf '%-18s %10s %9s %10s %9s %10s %7s %7s\n' input n "time n" "peak n" "time 4n" "peak 4n" "t ratio" "m ratio"
while read -r name base; do
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  n=$((base / divisor))
  gen "$name" "$n"
  read -r t1 m1 <<<"$(measure "$name")"
  gen "$name" $((4 * n))
  read -r t4 m4 <<<"$(measure "$name")"
  awk -v name="$name" -v n="$n" -v t1="$t1" -v m1="$m1" -v t4="$t4" -v m4="$m4" 'BEGIN {
    printf "%-18s %10d %8.3fs %8d K %8.3fs %8d K %7.1f %7.1f\n", name, n, t1, m1, t4, m4,
      (t1 > 0 ? t4 / t1 : 0), (m1 > 0 ? m4 / m1 : 0) }'
done <<'LIST'
binary 1048576
long_line 52428800
long_line_copied 52428800
long_name 1000000
splices 100000
open_comment 10485760
pairs 200000
long_table_line 1048576
chain 10000
chain_all_named 10000
cycle_all_named 10000
LIST
