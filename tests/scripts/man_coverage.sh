#!/usr/bin/env bash
# The manual page must document every message that the sources can print
# and every option that `morfe -h` lists (see man_coverage.py).
# Usage: man_coverage.sh [path-to-morfe]   (exit 77: skipped)
set -u
here=$(cd "$(dirname "$0")" && pwd)
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
command -v python3 >/dev/null || { echo "SKIPPED: python3 is missing"; exit 77; }
exec python3 "$here/man_coverage.py" "$here/../.." "$morfe"
