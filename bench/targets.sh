#!/usr/bin/env bash
# The speed and memory targets of morfe, measured side by side in one run:
#   1 trees: the first 3,000 .h files of /usr/include (sorted, copied to a
#     scratch directory), 200 files a process, against xargs -n 200 wc -w:
#     a 10,000-pair table of names that occur in them at most its time, an
#     empty table at most 0.8 of it; and a file's cost independent of the
#     table's size: 10 and 100,000 pairs that rename the same words within
#     10% of each other (one process over the tree, less its table's load)
#   2 one large file: the SQLite amalgamation with its 2,139 pairs at most
#     0.5 of wc -w's time, and at least 15 times faster than a perl pass
#   3 a large table: 200,000 pairs, peak memory at most 3 times the table's
#     size plus 16 MiB, and loaded in under 0.1 s
#   4 cores: -i -j2 over a copy of the tree of 1 at most 0.55 of -i -j1
#   5 scaling: linear in the input size and in the table's size; the
#     tokeniser alone at least 500 MB/s; peak memory on the amalgamation at
#     most twice its size plus 8 MiB
# Usage: bench/targets.sh [path-to-morfe]   (default build/morfe, a Release
# build; morfe_tokenize_bench is taken from bench/ beside it).
# RUNS=n timed runs of each command (default 9, at least 5). Every figure is a
# median; the verdicts use wall time, CPU time (user + sys) is shown beside it.
# On a shared machine a run of 20 ms may take 30 now and then: nine runs
# keep such outliers out of the medians that five let in.
# The commands that a target compares are run in turn, round after round, so
# that a change in the machine's speed hits them alike. The machine may be
# shared: run this when nothing else is busy.
set -euo pipefail
export LC_ALL=C
repo=$(cd "$(dirname "$0")/.." && pwd)
morfe=$(realpath "${1:-$repo/build/morfe}")
bindir=$(dirname "$morfe")
tokbench=$bindir/bench/morfe_tokenize_bench
runs=${RUNS:-9}
[ "$runs" -ge 5 ] || { echo "RUNS must be at least 5"; exit 1; }
[ -x "$morfe" ] || { echo "no morfe at $morfe (build it or pass its path)"; exit 1; }
[ -x "$tokbench" ] || { echo "no $tokbench"; exit 1; }
grep -qs '^CMAKE_BUILD_TYPE:STRING=Release$' "$bindir/CMakeCache.txt" ||
  { echo "$morfe is not a Release build (no Release in $bindir/CMakeCache.txt)"; exit 1; }
[ -d /usr/include ] || { echo "SKIPPED: no /usr/include"; exit 0; }
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
# xargs exits with 123 when a process reported an error in one of its files
# (some headers hold what a strict C99 lexer rejects): the run still went through.
per_200() { xargs -0 -n 200 "$@" < "$tmp/list" || [ $? -eq 123 ]; }
# One morfe over the whole tree; status 1 means a file with errors.
whole_tree() { "$morfe" -q -r "$1" -os -- "$tmp/tree" || [ $? -eq 1 ]; }
# In place over a fresh copy of the tree, made by the caller.
in_place() { "$morfe" -q -i "-j$1" -r "$tmp/t10000.txt" -- "$tmp/copy" || [ $? -eq 1 ]; }
# run KEY: the command that KEY names.
run() {
  case $1 in
    wc200) per_200 wc -w ;;
    m200) per_200 "$morfe" -q -r "$tmp/t10000.txt" -os -- ;;
    e200) per_200 "$morfe" -q -r "$tmp/empty.txt" -os -- ;;
    tree10) whole_tree "$tmp/same10.txt" ;;
    tree100k) whole_tree "$tmp/same100k.txt" ;;
    load10) morfe_os "$tmp/same10.txt" "$tmp/empty.c" ;;
    load100k) morfe_os "$tmp/same100k.txt" "$tmp/empty.c" ;;
    morfe) morfe_os "$tmp/sqlite.txt" "$input" ;;
    wc) wc -w "$input" ;;
    perl) perl "$repo/bench/word-subst.pl" "$tmp/sqlite.txt" "$input" ;;
    load200k) morfe_os "$tmp/pairs200k.txt" "$tmp/empty.c" ;;
    j1 | j2) in_place "${1#j}" ;;
    x*) morfe_os "$tmp/sqlite.txt" "$tmp/$1.c" ;;           # 5: x1, x4, x16 copies
    t*) morfe_os "$tmp/$1.txt" "$input" ;;                  # 5: t1000... pairs
    l*) morfe_os "$tmp/t${1#l}.txt" "$tmp/empty.c" ;;       # 5: their load alone
  esac
}
# Before each timed run of KEY (not timed).
prepare() {
  case $1 in
    j1 | j2) rm -rf "$tmp/copy" && cp -a "$tmp/tree" "$tmp/copy" ;;
  esac
}
check() { prepare "$1"; run "$1" > /dev/null 2>&1 || { echo "$1 failed (exit status $?)"; exit 1; }; }

# measure KEY...: runs each KEY in turn, $runs rounds, output discarded, and
# sets wall[KEY] and cpu[KEY] to the medians of its wall and CPU seconds.
measure() {
  local key i t0 t1 TIMEFORMAT='%3U %3S'
  for key; do : > "$tmp/samples.$key"; done
  for ((i = 0; i < runs; i++)); do
    for key; do
      prepare "$key"
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
source "$repo/scripts/lib/bench-stats.sh"
# verdict N WHAT CONDITION: says whether target N is met (CONDITION is awk).
verdict() {
  if awk "BEGIN { exit !($3) }"; then echo "  -> target $1 ($2): met"
  else echo "  -> target $1 ($2): NOT met"; failed+=("$1"); fi
}
row() { printf '    %-34s %8.4f s wall %8.4f s cpu%s\n' "$1" "${wall[$2]}" "${cpu[$2]}" "${3:-}"; }
# peak TABLE SOURCE: peak resident KiB of morfe on them.
peak() { /usr/bin/time -f %M -o "$tmp/mem" "$morfe" -q -r "$1" -os -- "$2" > /dev/null 2>&1; tail -n 1 "$tmp/mem"; }
[ -x /usr/bin/time ] || { echo "no /usr/bin/time (Debian package time)"; exit 1; }

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) processors; medians of $runs runs;" \
  "LC_ALL=C; MB = 10^6 bytes; files in $tmp"

# The tree: the first 3,000 .h files of /usr/include in sorted order, copied
# with their directories; its words, the most frequent first.
mkdir "$tmp/tree"
(cd /usr/include && find . -type f -name '*.h' | sort | awk 'NR <= 3000' | tar -cf - -T - | tar -C "$tmp/tree" -xf -)
find "$tmp/tree" -type f -print0 | sort -z > "$tmp/list"
files=$(tr -cd '\0' < "$tmp/list" | wc -c)
tbytes=$(xargs -0 cat < "$tmp/list" | wc -c)
xargs -0 cat < "$tmp/list" | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' | sort | uniq -c | sort -k1,1nr -k2 |
  awk '{ print $2 }' > "$tmp/tree-words"
: > "$tmp/empty.txt"
: > "$tmp/empty.c"
awk 'NR <= 10000 { print $1, "renamed_" $1 }' "$tmp/tree-words" > "$tmp/t10000.txt"
awk 'NR <= 10 { print $1, "renamed_" $1 }' "$tmp/tree-words" > "$tmp/same10.txt"
awk 'NR <= 10 { print $1, "renamed_" $1 } END { for (i = 11; i <= 100000; i++) print "zz_unused_" i, "zz_other_" i }' \
  "$tmp/tree-words" > "$tmp/same100k.txt"

# 1. Trees.
for key in m200 e200 tree10 tree100k load10 load100k; do check $key; done
measure wc200 m200 e200 tree10 tree100k load10 load100k
echo "1 trees: $files .h files, $tbytes bytes, 200 files a process"
row "xargs -n 200 wc -w" wc200
row "morfe, 10,000 pairs" m200 "$(calc '  %.2f of wc -w' "${wall[m200]} / ${wall[wc200]}")"
row "morfe, empty table" e200 "$(calc '  %.2f of wc -w' "${wall[e200]} / ${wall[wc200]}")"
cost10=$(calc %.4f "${wall[tree10]} - ${wall[load10]}")
cost100k=$(calc %.4f "${wall[tree100k]} - ${wall[load100k]}")
row "one process, 10 pairs" tree10
row "one process, 100,000 pairs" tree100k
row "10 pairs, load alone" load10
row "100,000 pairs, load alone" load100k
echo "    the files' cost (less the load): $cost10 s with 10 pairs, $cost100k s with 100,000:" \
  "$(calc %.3f "$cost100k / $cost10") of it"
verdict 1 "10,000 pairs <= wc -w, empty <= 0.8 wc -w, files' cost within 10% for 10 and 100,000 pairs" \
  "${wall[m200]} <= ${wall[wc200]} && ${wall[e200]} <= 0.8 * ${wall[wc200]} && $cost100k <= 1.1 * $cost10 && $cost10 <= 1.1 * $cost100k"

# 2. One large file. sqlite.txt renames every identifier beginning with sqlite3.
grep -oE '\bsqlite3[A-Za-z0-9_]*' "$input" | sort -u | awk '{ print $1, "vendored_" $1 }' > "$tmp/sqlite.txt"
check morfe
check perl
measure morfe wc perl
echo "2 one large file: sqlite3.c, $bytes bytes, table of $(wc -l < "$tmp/sqlite.txt") pairs"
mbps() { calc '  %7.1f MB/s' "$bytes / ${wall[$1]} / 1e6"; }
row "morfe" morfe "$(mbps morfe)"
row "wc -w" wc "$(mbps wc)"
row "perl, one s///gea" perl "$(mbps perl)"
echo "    morfe / wc -w: $(calc %.2f "${wall[morfe]} / ${wall[wc]}") wall, $(calc %.2f "${cpu[morfe]} / ${cpu[wc]}") cpu;" \
  "perl / morfe: $(calc %.1f "${wall[perl]} / ${wall[morfe]}")x wall, $(calc %.1f "${cpu[perl]} / ${cpu[morfe]}")x cpu"
verdict 2 "morfe <= 0.5 wc -w, and 15x perl" "${wall[morfe]} <= 0.5 * ${wall[wc]} && ${wall[perl]} >= 15 * ${wall[morfe]}"

# 3. A large table: the 200,000 pairs of the hostile-input test.
awk 'BEGIN { for (i = 0; i < 200000; i++) print "name" i, "other" i }' > "$tmp/pairs200k.txt"
tsize=$(wc -c < "$tmp/pairs200k.txt")
check load200k
measure load200k
mem200k=$(peak "$tmp/pairs200k.txt" "$tmp/empty.c")
limit=$(( (3 * tsize + 16 * 1048576) / 1024 ))
echo "3 a large table: 200,000 pairs, $tsize bytes"
row "load on an empty source" load200k
echo "    peak resident $mem200k KiB, limit 3 x table + 16 MiB = $limit KiB"
verdict 3 "peak <= 3 x table + 16 MiB, load < 0.1 s" "$mem200k <= $limit && ${wall[load200k]} < 0.1"

# 4. Cores: in place over fresh copies of the tree of 1 (the copy is not timed).
check j1
measure j1 j2
ratio=$(calc %.3f "${wall[j2]} / ${wall[j1]}")
echo "4 cores: morfe -i over a copy of the tree of 1, table of 10,000 pairs"
row "-i -j1" j1
row "-i -j2" j2 "  $ratio of -j1"
verdict 4 "-j2 at most 0.55 of -j1" "$ratio <= 0.55"

# 5. Scaling with the input size (sqlite3.c repeated, same table as in 2) and
# with the table size: the 1,000 most frequent identifiers of sqlite3.c
# renamed, then names that do not occur, so that every table renames the same
# words and only its size grows; each table's load is timed on an empty
# source. The tokeniser alone, and the peak memory on the amalgamation.
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
grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' "$input" | sort | uniq -c | sort -k1,1nr -k2 | awk '{ print $2 }' > "$tmp/words"
for n in 1000 10000 100000; do
  awk -v n=$n 'NR <= 1000 { print $1, "renamed_" $1 }
    END { for (i = 1001; i <= n; i++) print "zz_unused_" i, "zz_other_" i }' "$tmp/words" > "$tmp/t$n.txt"
  check t$n
done
measure t1000 t10000 t100000 l1000 l10000 l100000
echo "  table size, on sqlite3.c, the 1000 most frequent words renamed:"
for n in 1000 10000 100000; do
  row "$n pairs" t$n
  row "$n pairs, empty source" l$n
done
allowed=$(calc %.4f "1.3 * ${wall[t1000]} + ${wall[l100000]}")
echo "    100000 pairs: ${wall[t100000]} s; allowed 1.3 x 1000 pairs + load of 100000 pairs = $allowed s"
for ((i = 0; i < runs; i++)); do
  "$tokbench" "$input" | awk '/^wall/ { w = $(NF - 1) } /^cpu/ { c = $(NF - 1) } END { print w, c }'
done > "$tmp/samples.tok"
tok=$(median 1 "$tmp/samples.tok")
echo "  tokeniser alone on sqlite3.c: $tok MB/s wall, $(median 2 "$tmp/samples.tok") MB/s cpu"
memsq=$(peak "$tmp/sqlite.txt" "$input")
memlimit=$(( (2 * bytes + 8 * 1048576) / 1024 ))
echo "  peak resident on sqlite3.c: $memsq KiB, limit 2 x input + 8 MiB = $memlimit KiB"
verdict 5 "16x within 1.3x per MB, 100000 pairs within 1.3x 1000 pairs + load, tokeniser 500 MB/s, memory" \
  "$growth <= 1.3 && ${wall[t100000]} <= $allowed && $tok >= 500 && $memsq <= $memlimit"

echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
# This script keeps about one process running (two in 4), so a load well above 1 means other work.
awk '$1 >= 1.6 { print "warning: other work ran meanwhile (1-minute load " $1 "): the wall times are not to be trusted" }' \
  /proc/loadavg
if [ ${#failed[@]} -eq 0 ]; then echo "all five targets met"
else echo "targets NOT met: ${failed[*]}"; fi
[ ${#failed[@]} -eq 0 ]
