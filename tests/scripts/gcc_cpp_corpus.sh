#!/usr/bin/env bash
# GCC's preprocessor test suite through morfe (scripts/gcc-cpp-corpus), when
# Debian's gcc-12-source package is installed; the test never installs it.
# Usage: gcc_cpp_corpus.sh [path-to-morfe]   (exit 77: skipped)
ls /usr/src/gcc-12/gcc-12*.tar.xz >/dev/null 2>&1 || { echo "SKIPPED: gcc-12-source is not installed"; exit 77; }
exec "$(dirname "$0")/../../scripts/gcc-cpp-corpus" "${1:-build/morfe}"
