#!/usr/bin/env bash
# The manual page must format without a single warning, with mandoc's
# linter and with groff, whichever of them is installed.
# Usage: man_lint.sh [path-to-morfe]   (the page is found from this script; exit 77: skipped)
set -u
page=$(cd "$(dirname "$0")/../.." && pwd)/doc/morfe.1
[ -f "$page" ] || { echo "no manual page at $page"; exit 1; }
checked=0 bad=0

if command -v mandoc >/dev/null; then
  out=$(mandoc -Tlint "$page" 2>&1)
  if [ -n "$out" ]; then echo "mandoc -Tlint:"; echo "$out"; bad=1; fi
  checked=$((checked + 1))
fi
if command -v groff >/dev/null; then
  for device in ps utf8; do
    out=$(groff -man -ww -z -T"$device" "$page" 2>&1)
    if [ -n "$out" ]; then echo "groff -man -ww -z -T$device:"; echo "$out"; bad=1; fi
  done
  checked=$((checked + 1))
fi
[ $checked -gt 0 ] || { echo "SKIPPED: neither mandoc nor groff is installed"; exit 77; }
[ $bad -eq 0 ] && echo "manual page formats without warnings ($checked checkers)"
exit $bad
