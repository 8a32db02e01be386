#!/usr/bin/env bash
# End-to-end speed and memory of morfe on the SQLite amalgamation (about
# 9 MB of C), side by side with a perl one-pass word substitution using the
# same table, with cat as the floor and wc -w as a plain word scanner.
# Usage: bench/e2e.sh [path-to-morfe] (default build/morfe, a Release build)
# RUNS=n sets the number of timed runs of each command (default 5).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
morfe=$(realpath "${1:-$repo/build/morfe}")
runs=${RUNS:-5}
[ -x "$morfe" ] || { echo "no morfe at $morfe (build it or pass its path)"; exit 1; }
cache=$(dirname "$morfe")/CMakeCache.txt
if [ -f "$cache" ] && ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$cache"; then
  echo "warning: $morfe is not a Release build"
fi
source "$repo/scripts/lib/fetch-sqlite.sh"
if ! fetch_sqlite "$repo/bench/data"; then echo "SKIPPED: $fetch_sqlite_error"; exit 0; fi
input=$repo/bench/data/sqlite3.c
bytes=$(wc -c < "$input")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Every distinct word beginning with sqlite3, then other words of the file
# (longest first) until there are at least 2000 pairs.
{ grep -oE '\bsqlite3[A-Za-z0-9_]*' "$input" | sort -u
  grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' "$input" | grep -v '^sqlite3' | sort -u |
    awk '{ print length, $0 }' | sort -k1,1nr -k2 | awk '{ print $2 }'
} | awk 'NR <= 2000 || /^sqlite3/ { print $1, "renamed_" $1 }' > "$tmp/table.txt"
pairs=$(wc -l < "$tmp/table.txt")

# timings command...: runs it $runs times; prints the median wall time and the
# median CPU time (user + system), in seconds. The machine may be shared, so
# the CPU time is the steadier figure of the two.
timings() {
  local i t0 t1 TIMEFORMAT='%3U %3S'
  for ((i = 0; i < runs; i++)); do
    t0=$(date +%s%N)
    { time "$@" > /dev/null 2>&1; } 2> "$tmp/cpu"
    t1=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000 )) $(awk 'NF == 2 { t = ($1 + $2) * 1e6 } END { printf "%d", t }' "$tmp/cpu")"
  done | awk '{ w[NR] = $1; c[NR] = $2 }
    function median(a, n,  i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
    END { printf "%.4f %.4f\n", median(w, NR) / 1e6, median(c, NR) / 1e6 }'
}
run_morfe() { "$morfe" -q -r "$tmp/table.txt" -os -- "$input"; }
run_perl() { perl "$repo/bench/word-subst.pl" "$tmp/table.txt" "$input"; }
run_cat() { cat "$input"; }
run_wc() { wc -w "$input"; }

run_morfe > "$tmp/morfe.out" || { echo "morfe failed (exit status $?)"; exit 1; }
run_perl > "$tmp/perl.out"

printf 'input: %s, %d bytes; table: %d pairs; median of %d runs (MB = 10^6 bytes)\n' \
  "$input" "$bytes" "$pairs" "$runs"
printf '  load average before the runs: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
printf '  %-6s %9s %10s %9s %10s\n' "" "wall s" "MB/s" "cpu s" "MB/s (cpu)"
declare -A wall cpu
mbps() { awk -v b="$bytes" -v s="$1" 'BEGIN { if (s > 0) printf "%.1f", b / s / 1e6; else print "-" }'; }
for what in morfe perl cat wc; do
  read -r wall[$what] cpu[$what] < <(timings "run_$what")
  printf '  %-6s %9.3f %10s %9.3f %10s\n' "$what" "${wall[$what]}" "$(mbps "${wall[$what]}")" \
    "${cpu[$what]}" "$(mbps "${cpu[$what]}")"
done
awk -v m="${wall[morfe]}" -v p="${wall[perl]}" -v mc="${cpu[morfe]}" -v pc="${cpu[perl]}" \
  'BEGIN { printf "  morfe vs perl: %.1fx as fast (wall), %.1fx (cpu)\n", p / m, (mc > 0 ? pc / mc : 0) }'

if [ -x /usr/bin/time ]; then
  peak=$(/usr/bin/time -f %M -o "$tmp/time.txt" "$morfe" -q -r "$tmp/table.txt" -os -- "$input" > /dev/null && cat "$tmp/time.txt")
  limit=$(( (3 * bytes + 16 * 1048576) / 1024 ))
  verdict=$([ "$peak" -le "$limit" ] && echo within || echo OVER)
  echo "  morfe peak resident memory: $peak KiB, $verdict 3 x input + 16 MiB = $limit KiB"
else
  echo "  (no /usr/bin/time: peak memory not measured)"
fi

# perl also renames words inside comments and strings; morfe must not.
differ=$(diff "$tmp/morfe.out" "$tmp/perl.out" | grep -c '^<' || true)
lines=$(wc -l < "$tmp/morfe.out")
echo "  outputs: $differ of $lines lines differ between morfe and perl (renames in comments and strings)"
