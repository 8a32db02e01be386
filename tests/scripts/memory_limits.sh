#!/usr/bin/env bash
# A source renamed in place under a ceiling on the process's memory, from
# too low to run at all to high enough to finish: at every ceiling the
# source holds either all of its old text (and the run fails) or all of
# the new one (and the run succeeds), never a text cut short.
# Usage: memory_limits.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
# A sanitized build reserves far more address space than any ceiling here.
if ldd "$morfe" 2>/dev/null | grep -q 'libasan'; then echo "SKIPPED: sanitized build"; exit 77; fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
printf 'old new\n' > t
python3 - <<'PY'
line = b"int old = b + c; /* xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx */\n"
with open("source.c", "wb") as f:
    f.write(line * 500000)
with open("expected.c", "wb") as f:
    f.write(line.replace(b"old", b"new") * 500000)
PY
failures=0
checked=0
for ceiling in $(seq 20000 8000 180000); do
  cp source.c a.c
  (ulimit -v "$ceiling"; "$morfe" -q -r t -i -- a.c > /dev/null 2> err)
  status=$?
  checked=$((checked + 1))
  if [ $status -eq 0 ]; then
    cmp -s a.c expected.c || { echo "FAIL: ceiling $ceiling KiB: status 0 but a.c is not the renamed text ($(wc -c < a.c) bytes)"; failures=$((failures + 1)); }
  else
    cmp -s a.c source.c || { echo "FAIL: ceiling $ceiling KiB: status $status but a.c changed ($(wc -c < a.c) bytes)"; failures=$((failures + 1)); }
  fi
done
cmp -s a.c expected.c || { echo "FAIL: the highest ceiling did not let the run finish"; failures=$((failures + 1)); }
echo "$checked ceilings, $failures failures"
[ $failures -eq 0 ]
