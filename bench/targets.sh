#!/usr/bin/env bash
# Five speed and memory targets of morfe, measured side by side in one run:
#   1 one large file (the SQLite amalgamation) against wc -w and a perl pass
#   2 the tokeniser alone on that file
#   3 many files (the .h files of /usr/include), cost per file and xargs -P 2
#   4 peak resident memory on the large file
#   5 linear growth with the input size and with the table size
# Usage: bench/targets.sh [path-to-morfe]   (default build/morfe, a Release
# build; morfe_tokenize_bench is taken from bench/ beside it).
# RUNS=n timed runs of each command (default 5, at least 5). Every figure is a
# median; the verdicts use wall time, CPU time (user + sys) is shown beside it.
# The commands that a target compares are run in turn, round after round, so
# that a change in the machine's speed hits them alike. The machine may be
# shared: run this when nothing else is busy.
set -euo pipefail
export LC_ALL=C
repo=$(cd "$(dirname "$0")/.." && pwd)
morfe=$(realpath "${1:-$repo/build/morfe}")
bindir=$(dirname "$morfe")
tokbench=$bindir/bench/morfe_tokenize_bench
runs=${RUNS:-5}
[ "$runs" -ge 5 ] || { echo "RUNS must be at least 5"; exit 1; }
[ -x "$morfe" ] || { echo "no morfe at $morfe (build it or pass its path)"; exit 1; }
[ -x "$tokbench" ] || { echo "no $tokbench"; exit 1; }
grep -qs '^CMAKE_BUILD_TYPE:STRING=Release$' "$bindir/CMakeCache.txt" ||
  { echo "$morfe is not a Release build (no Release in $bindir/CMakeCache.txt)"; exit 1; }
source "$repo/scripts/lib/fetch-sqlite.sh"
if ! fetch_sqlite "$repo/bench/data"; then echo "SKIPPED: $fetch_sqlite_error"; exit 0; fi
input=$repo/bench/data/sqlite3.c
bytes=$(wc -c < "$input")
# In memory when possible, so that disk writeback of the outputs stays out of the times.
tmp=$(mktemp -d -p /dev/shm 2> /dev/null || mktemp -d)
trap 'rm -rf "$tmp"' EXIT
declare -A wall cpu
failed=()

morfe_os() { "$morfe" -q -r "$1" -os -- "$2"; }
# xargs exits with 123 when a morfe process found errors in its files: the run still went through.
many() { xargs -0 -P "$1" -n 200 "$morfe" -q -r "$tmp/headers.txt" -- < "$tmp/list" || [ $? -eq 123 ]; }
# run KEY: the command that KEY names.
run() {
  case $1 in
    morfe) morfe_os "$tmp/sqlite.txt" "$input" ;;
    wc) wc -w "$input" ;;
    perl) perl "$repo/bench/word-subst.pl" "$tmp/sqlite.txt" "$input" ;;
    p1 | p2) many "${1#p}" ;;                                # 3: the headers, xargs -P 1 or 2
    perbyte) morfe_os "$tmp/headers.txt" "$input" ;;        # 3: their table on sqlite3.c
    x*) morfe_os "$tmp/sqlite.txt" "$tmp/$1.c" ;;           # 5: x1, x4, x16 copies
    t*) morfe_os "$tmp/$1.txt" "$input" ;;                  # 5: t1000... pairs
    load*) morfe_os "$tmp/t${1#load}.txt" "$tmp/empty.c" ;; # 5: their load alone
  esac
}
check() { run "$1" > /dev/null 2>&1 || { echo "$1 failed (exit status $?)"; exit 1; }; }

# measure KEY...: runs each KEY in turn, $runs rounds, output discarded, and
# sets wall[KEY] and cpu[KEY] to the medians of its wall and CPU seconds.
measure() {
  local key i t0 t1 TIMEFORMAT='%3U %3S'
  for key; do : > "$tmp/samples.$key"; done
  for ((i = 0; i < runs; i++)); do
    for key; do
      t0=$EPOCHREALTIME
      { time run "$key" > /dev/null 2>&1; } 2> "$tmp/cpu" || { echo "$key failed (exit status $?)"; exit 1; }
      t1=$EPOCHREALTIME
      awk -v t0="$t0" -v t1="$t1" '{ printf "%.6f %.3f\n", t1 - t0, $1 + $2 }' "$tmp/cpu" >> "$tmp/samples.$key"
    done
  done
  for key; do
    wall[$key]=$(median 1 "$tmp/samples.$key")
    cpu[$key]=$(median 2 "$tmp/samples.$key")
  done
}
# median COLUMN FILE: the median of that column of the file.
median() {
  cut -d' ' -f"$1" "$2" | sort -g |
    awk '{ a[NR] = $1 } END { printf "%.6g", NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
# verdict N WHAT CONDITION: says whether target N is met (CONDITION is awk).
verdict() {
  if awk "BEGIN { exit !($3) }"; then echo "  -> target $1 ($2): met"
  else echo "  -> target $1 ($2): NOT met"; failed+=("$1"); fi
}
row() { printf '    %-28s %8.4f s wall %8.4f s cpu%s\n' "$1" "${wall[$2]}" "${cpu[$2]}" "${3:-}"; }

# Tables: sqlite.txt renames every identifier beginning with sqlite3; words
# holds the identifiers of sqlite3.c, the most frequent first.
grep -oE '\bsqlite3[A-Za-z0-9_]*' "$input" | sort -u | awk '{ print $1, "vendored_" $1 }' > "$tmp/sqlite.txt"
grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' "$input" | sort | uniq -c | sort -k1,1nr -k2 | awk '{ print $2 }' > "$tmp/words"
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs runs;" \
  "LC_ALL=C; MB = 10^6 bytes; files in $tmp"

# 1. One large file.
check morfe
check perl
measure morfe wc perl
echo "1 one large file: sqlite3.c, $bytes bytes, table of $(wc -l < "$tmp/sqlite.txt") pairs"
mbps() { calc '  %7.1f MB/s' "$bytes / ${wall[$1]} / 1e6"; }
row "morfe" morfe "$(mbps morfe)"
row "wc -w" wc "$(mbps wc)"
row "perl, one s///gea" perl "$(mbps perl)"
echo "    morfe / wc -w: $(calc %.2f "${wall[morfe]} / ${wall[wc]}") wall, $(calc %.2f "${cpu[morfe]} / ${cpu[wc]}") cpu;" \
  "perl / morfe: $(calc %.1f "${wall[perl]} / ${wall[morfe]}")x wall, $(calc %.1f "${cpu[perl]} / ${cpu[morfe]}")x cpu"
verdict 1 "morfe <= wc -w, and 10x perl" "${wall[morfe]} <= ${wall[wc]} && ${wall[perl]} >= 10 * ${wall[morfe]}"

# 2. The tokeniser alone: the median of the medians that the bench prints.
for ((i = 0; i < runs; i++)); do
  "$tokbench" "$input" | awk '/^wall/ { w = $(NF - 1) } /^cpu/ { c = $(NF - 1) } END { print w, c }'
done > "$tmp/samples.tok"
tok=$(median 1 "$tmp/samples.tok")
echo "2 tokeniser alone on sqlite3.c: $tok MB/s wall, $(median 2 "$tmp/samples.tok") MB/s cpu"
verdict 2 "500 MB/s" "$tok >= 500"

# 3. Many files: the .h files of /usr/include, copied with their directories
# (so that x.h and x.hpp never meet), 200 to a morfe process.
mkdir "$tmp/inc"
(cd /usr/include && find . -type f -name '*.h' -print0 | xargs -0 cp --parents -t "$tmp/inc")
find "$tmp/inc" -type f -name '*.h' -print0 | sort -z > "$tmp/list"
files=$(tr -cd '\0' < "$tmp/list" | wc -c)
hbytes=$(find "$tmp/inc" -type f -name '*.h' -printf '%s\n' | awk '{ s += $1 } END { print s }')
xargs -0 cat < "$tmp/list" | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' | sort | uniq -c | sort -k1,1nr -k2 |
  awk 'NR <= 10000 { print $2, "renamed_" $2 }' > "$tmp/headers.txt"
many 1 2> "$tmp/many.log" || { echo "xargs with morfe failed (exit status $?)"; exit 1; }
check perbyte
measure p1 p2 perbyte
echo "3 many files: $files .h files, $hbytes bytes, table of $(wc -l < "$tmp/headers.txt") pairs" \
  "($(grep -c 'error:' "$tmp/many.log" || true) error lines from morfe)"
row "xargs -P 1 -n 200" p1
row "xargs -P 2 -n 200" p2
row "sqlite3.c, same table" perbyte "$(calc '  %5.2f ns/byte' "${wall[perbyte]} / $bytes * 1e9")"
# per_file T PER_BYTE: milliseconds per file beyond the time its bytes cost.
per_file() { calc %.3f "($1 - $hbytes * $2 / $bytes) / $files * 1000"; }
per_file_wall=$(per_file "${wall[p1]}" "${wall[perbyte]}")
ratio=$(calc %.2f "${wall[p2]} / ${wall[p1]}")
echo "    cost per file beyond its size: $per_file_wall ms wall" \
  "($(per_file "${cpu[p1]}" "${cpu[perbyte]}") ms cpu); -P 2 / -P 1: $ratio wall"
verdict 3 "under 0.5 ms per file, -P 2 at most 0.6 of -P 1" "$per_file_wall < 0.5 && $ratio <= 0.6"

# 4. Peak resident memory on sqlite3.c (KiB).
limit=$(( (2 * bytes + 8 * 1048576) / 1024 ))
if [ -x /usr/bin/time ]; then
  /usr/bin/time -f %M -o "$tmp/mem" "$morfe" -q -r "$tmp/sqlite.txt" -os -- "$input" > /dev/null
  peak=$(tail -n 1 "$tmp/mem") how="/usr/bin/time"
else  # sample VmHWM while it runs: may miss the very end
  "$morfe" -q -r "$tmp/sqlite.txt" -os -- "$input" > /dev/null & pid=$! peak=0 how="VmHWM samples"
  while v=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2> /dev/null) && [ -n "$v" ]; do
    [ "$v" -gt "$peak" ] && peak=$v
  done
  wait "$pid"
fi
echo "4 memory on sqlite3.c: peak resident $peak KiB ($how), limit 2 x input + 8 MiB = $limit KiB"
verdict 4 "2 x input + 8 MiB" "$peak <= $limit"

# 5. Scaling with the input size (sqlite3.c repeated, same table as in 1) and
# with the table size: the 1,000 most frequent identifiers of sqlite3.c
# renamed, then names that do not occur, so that every table renames the same
# words and only its size grows; each table's load is timed on an empty
# source. One more table renames every identifier of the file (100,000
# pairs), for the cost of renaming all of it; that one is shown, not judged.
for n in 1 4 16; do
  for ((i = 0; i < n; i++)); do cat "$input"; done > "$tmp/x$n.c"
  check x$n
done
measure x1 x4 x16
echo "5 scaling: input size, table of $(wc -l < "$tmp/sqlite.txt") pairs"
for n in 1 4 16; do
  row "${n}x sqlite3.c" x$n "$(calc '  %.5f s/MB' "${wall[x$n]} / ($n * $bytes / 1e6)")"
done
growth=$(calc %.2f "${wall[x16]} / 16 / ${wall[x1]}")
echo "    16x time per MB / 1x time per MB: $growth wall, $(calc %.2f "${cpu[x16]} / 16 / ${cpu[x1]}") cpu"
: > "$tmp/empty.c"
for n in 1000 10000 100000; do
  awk -v n=$n 'NR <= 1000 { print $1, "renamed_" $1 }
    END { for (i = 1001; i <= n; i++) print "zz_unused_" i, "zz_other_" i }' "$tmp/words" > "$tmp/t$n.txt"
  check t$n
done
awk 'NR <= 100000 { print $1, "renamed_" $1 }
  END { for (i = NR + 1; i <= 100000; i++) print "zz_unused_" i, "zz_other_" i }' "$tmp/words" > "$tmp/tall.txt"
check tall
measure t1000 t10000 t100000 load1000 load10000 load100000 tall
echo "  table size, on sqlite3.c ($(wc -l < "$tmp/words") distinct words in it), the 1000 most frequent renamed:"
for n in 1000 10000 100000; do
  row "$n pairs" t$n
  row "$n pairs, empty source" load$n
done
row "100000 pairs, every word renamed" tall
allowed=$(calc %.4f "1.3 * ${wall[t1000]} + ${wall[load100000]}")
echo "    100000 pairs: ${wall[t100000]} s; allowed 1.3 x 1000 pairs + load of 100000 pairs = $allowed s"
verdict 5 "16x within 1.3x per MB, 100000 pairs within 1.3x 1000 pairs + load" \
  "$growth <= 1.3 && ${wall[t100000]} <= $allowed"

echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
# This script keeps about one process running, so a load well above 1 means other work.
awk '$1 >= 1.6 { print "warning: other work ran meanwhile (1-minute load " $1 "): the wall times are not to be trusted" }' \
  /proc/loadavg
if [ ${#failed[@]} -eq 0 ]; then echo "all five targets met"
else echo "targets NOT met: ${failed[*]}"; fi
[ ${#failed[@]} -eq 0 ]
