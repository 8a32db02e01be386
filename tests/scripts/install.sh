#!/usr/bin/env bash
# `cmake --install` of the build that made the given morfe, into a scratch
# prefix, must give a working bin/morfe of the project's version, the manual
# page and the bash completion.
# Usage: install.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
command -v cmake >/dev/null || { echo "SKIPPED: cmake is missing"; exit 77; }

# The build directory: the nearest directory above morfe with a CMakeCache.txt.
build=$(dirname "$morfe")
while [ ! -f "$build/CMakeCache.txt" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
[ -f "$build/CMakeCache.txt" ] || { echo "no build directory above $morfe"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >"$tmp/install.log" 2>&1 || {
  cat "$tmp/install.log"; echo "FAIL: cmake --install $build"; exit 1; }

bad=0
installed=$(find "$tmp/prefix" -path '*/bin/morfe' -type f)
page=$(find "$tmp/prefix" -path '*/man/man1/morfe.1' -type f)
[ -n "$installed" ] && [ -x "$installed" ] || { echo "FAIL: no bin/morfe installed"; bad=1; }
[ -n "$page" ] || { echo "FAIL: no man/man1/morfe.1 installed"; bad=1; }
completion=$tmp/prefix/share/bash-completion/completions/morfe
[ -f "$completion" ] || { echo "FAIL: no share/bash-completion/completions/morfe installed"; bad=1; }
[ $bad -eq 0 ] || { find "$tmp/prefix"; exit 1; }

printf 'old_name new_name\n' > "$tmp/table.txt"
printf 'int old_name; /* old_name */ char *s = "old_name";\n' > "$tmp/a.c"
printf 'int new_name; /* old_name */ char *s = "old_name";\n' > "$tmp/want"
(cd "$tmp" && "$installed" -q -r table.txt a.c) || { echo "FAIL: installed morfe exited with $?"; exit 1; }
cmp "$tmp/want" "$tmp/a.ren" || { echo "FAIL: installed morfe wrote:"; cat "$tmp/a.ren"; exit 1; }
for word in -v -version --version; do
  shown=$("$installed" $word 2>&1)
  [ "$shown" = "morfe $version" ] || { echo "FAIL: morfe $word shows '$shown', want 'morfe $version'"; exit 1; }
done
completed=$(bash -c 'source "$1"; COMP_WORDS=(morfe -q -ch); COMP_CWORD=2; _morfe; echo "${COMPREPLY[*]}"' - "$completion")
[ "$completed" = -check ] || { echo "FAIL: the bash completion of '-ch' gives '$completed'"; exit 1; }
echo "installed ${installed#$tmp/prefix/}, ${page#$tmp/prefix/} and ${completion#$tmp/prefix/}; the installed morfe renames and shows version $version"
