#!/usr/bin/env bash
# A tree renamed in place: morfe -i over a copy of the /usr/include headers
# with a 10,000-pair table, with one job, with two, and by the xargs -P 2
# recipe for users who bring their own file list.
# Target: on a 2-core machine -j2 takes at most 0.55 of -j1's wall time.
# Usage: bench/trees.sh [path-to-morfe]   (default build/morfe, a Release build)
# RUNS=n timed runs of each command (default 5, at least 5). Every figure is a
# median of wall seconds (CPU seconds beside it). The commands are run in
# turn, round after round, each on a fresh copy of the tree, so that a change
# in the machine's speed hits them alike. Run it when nothing else is busy.
set -euo pipefail
export LC_ALL=C
repo=$(cd "$(dirname "$0")/.." && pwd)
morfe=$(realpath "${1:-$repo/build/morfe}")
bindir=$(dirname "$morfe")
runs=${RUNS:-5}
[ "$runs" -ge 5 ] || { echo "RUNS must be at least 5"; exit 1; }
[ -x "$morfe" ] || { echo "no morfe at $morfe (build it or pass its path)"; exit 1; }
grep -qs '^CMAKE_BUILD_TYPE:STRING=Release$' "$bindir/CMakeCache.txt" ||
  { echo "$morfe is not a Release build (no Release in $bindir/CMakeCache.txt)"; exit 1; }
[ -d /usr/include ] || { echo "SKIPPED: no /usr/include"; exit 0; }
# In memory when possible, so that disk writeback stays out of the times.
tmp=$(mktemp -d -p /dev/shm 2> /dev/null || mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The headers as regular files (no links), and a table of their 10,000 most
# frequent identifiers.
mkdir "$tmp/pristine"
(cd /usr/include && find . -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.hh' \) -print0 |
  tar -cf - --null -T - | tar -C "$tmp/pristine" -xf -)
find "$tmp/pristine" -type f -print0 | xargs -0 cat | grep -oE '\b[A-Za-z_][A-Za-z0-9_]*' | sort | uniq -c |
  sort -k1,1nr -k2 | awk 'NR <= 10000 { print $2, "renamed_" $2 }' > "$tmp/table.txt"
files=$(find "$tmp/pristine" -type f | wc -l)
bytes=$(find "$tmp/pristine" -type f -print0 | xargs -0 cat | wc -c)

# run KEY: the command that KEY names, on the tree $tmp/tree. Exit status 1
# (a header with errors) still renamed the rest.
run() {
  case $1 in
    j1 | j2) "$morfe" -q -i "-${1}" -r "$tmp/table.txt" -- "$tmp/tree" || [ $? -eq 1 ] ;;
    xargs) find "$tmp/tree" -type f -print0 | xargs -0 -P 2 -n 200 "$morfe" -q -i -r "$tmp/table.txt" -- ||
      [ $? -eq 123 ] ;;
  esac
}

source "$repo/scripts/lib/bench-stats.sh"

declare -A wall cpu
keys=(j1 j2 xargs)
TIMEFORMAT='%3U %3S'
for key in "${keys[@]}"; do : > "$tmp/samples.$key"; done
for ((i = 0; i < runs; i++)); do
  for key in "${keys[@]}"; do
    rm -rf "$tmp/tree" && cp -a "$tmp/pristine" "$tmp/tree"
    t0=$EPOCHREALTIME
    { time run "$key" > /dev/null 2>&1; } 2> "$tmp/cpu" || { echo "$key failed"; exit 1; }
    t1=$EPOCHREALTIME
    awk -v t0="$t0" -v t1="$t1" '{ printf "%.6f %.3f\n", t1 - t0, $1 + $2 }' "$tmp/cpu" >> "$tmp/samples.$key"
  done
done
# The three ways must leave the same tree.
for key in j1 j2 xargs; do
  rm -rf "$tmp/$key" "$tmp/tree" && cp -a "$tmp/pristine" "$tmp/tree" && run "$key" > /dev/null 2>&1 && mv "$tmp/tree" "$tmp/$key"
done
diff -r "$tmp/j1" "$tmp/j2" > /dev/null || { echo "-j2 left a different tree from -j1"; exit 1; }
diff -r "$tmp/j1" "$tmp/xargs" > /dev/null || { echo "xargs left a different tree from -j1:"; diff -rq "$tmp/j1" "$tmp/xargs" | head -5; exit 1; }
changed=$(diff -rq "$tmp/pristine" "$tmp/j1" | wc -l || true)

for key in "${keys[@]}"; do
  wall[$key]=$(median 1 "$tmp/samples.$key")
  cpu[$key]=$(median 2 "$tmp/samples.$key")
done
echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) processors; medians of $runs runs"
echo "tree: $files headers, $bytes bytes, $changed changed; table of $(wc -l < "$tmp/table.txt") pairs"
printf '    %-28s %8.4f s wall %8.4f s cpu\n' "morfe -i -j1" "${wall[j1]}" "${cpu[j1]}"
printf '    %-28s %8.4f s wall %8.4f s cpu\n' "morfe -i -j2" "${wall[j2]}" "${cpu[j2]}"
printf '    %-28s %8.4f s wall %8.4f s cpu\n' "xargs -P 2 -n 200 morfe -i" "${wall[xargs]}" "${cpu[xargs]}"
ratio=$(calc %.3f "${wall[j2]} / ${wall[j1]}")
echo "-j2 / -j1: $ratio wall; xargs -P 2 / -j1: $(calc %.3f "${wall[xargs]} / ${wall[j1]}") wall;" \
  "-j2 / xargs -P 2: $(calc %.3f "${wall[j2]} / ${wall[xargs]}") wall"
if awk "BEGIN { exit !($ratio <= 0.55) }"; then echo "  -> target (-j2 at most 0.55 of -j1): met"
else echo "  -> target (-j2 at most 0.55 of -j1): NOT met"; exit 1; fi
