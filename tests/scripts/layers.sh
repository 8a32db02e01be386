#!/usr/bin/env bash
# The modules under src/ depend one way only: scripts/check-layers finds
# every include that points up the order of the modules.
# Usage: layers.sh [path-to-morfe]   (the binary is not needed and ignored)
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
command -v python3 >/dev/null || { echo "SKIPPED: python3 is not installed"; exit 77; }
exec python3 "$root/scripts/check-layers" "$root/src"
