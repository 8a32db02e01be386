#!/usr/bin/env bash
# `cpack -G DEB` of the build that made the given morfe must give a package
# named morfe, of the project's version, whose unpacked binary renames and
# shows that version, and which carries the manual page and the bash
# completion. The package is made in a scratch directory.
# Usage: deb_package.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
command -v cpack >/dev/null || { echo "SKIPPED: cpack is missing"; exit 77; }
command -v dpkg-deb >/dev/null || { echo "SKIPPED: dpkg-deb is missing"; exit 77; }

build=$(dirname "$morfe")
while [ ! -f "$build/CPackConfig.cmake" ] && [ "$build" != / ]; do build=$(dirname "$build"); done
[ -f "$build/CPackConfig.cmake" ] || { echo "no CPackConfig.cmake above $morfe"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1 || {
  cat "$tmp/cpack.log"; echo "FAIL: cpack -G DEB"; exit 1; }
deb=$(find "$tmp/pkg" -maxdepth 1 -name '*.deb')
[ "$(printf '%s\n' "$deb" | grep -c .)" = 1 ] || { echo "FAIL: expected one .deb, found: $deb"; exit 1; }

bad=0
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = morfe ] || { echo "FAIL: Package is '$(field Package)'"; bad=1; }
[ "$(field Version)" = "$version" ] || { echo "FAIL: Version is '$(field Version)', want '$version'"; bad=1; }
# The C++ runtime is linked in: the C library is the one shared library needed.
for lib in libc6; do
  field Depends | grep -q "\b$lib\b" || { echo "FAIL: Depends lacks $lib: $(field Depends)"; bad=1; }
done
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || { echo "FAIL: no Maintainer or Description"; bad=1; }

dpkg-deb -x "$deb" "$tmp/root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
[ -f "$tmp/root/usr/share/man/man1/morfe.1" ] || { echo "FAIL: no usr/share/man/man1/morfe.1 in the package"; bad=1; }
[ -f "$tmp/root/usr/share/bash-completion/completions/morfe" ] || {
  echo "FAIL: no usr/share/bash-completion/completions/morfe in the package"; bad=1; }
unpacked=$tmp/root/usr/bin/morfe
[ -x "$unpacked" ] || { echo "FAIL: no usr/bin/morfe in the package"; dpkg-deb -c "$deb"; exit 1; }

printf 'old_name new_name\n' > "$tmp/table.txt"
printf 'int old_name; char *s = "old_name";\n' > "$tmp/a.c"
got=$(cd "$tmp" && "$unpacked" -q -r table.txt -os a.c) || { echo "FAIL: packaged morfe exited with $?"; bad=1; }
[ "$got" = 'int new_name; char *s = "old_name";' ] || { echo "FAIL: packaged morfe wrote: $got"; bad=1; }
[ "$("$unpacked" --version)" = "morfe $version" ] || { echo "FAIL: packaged morfe shows $("$unpacked" --version)"; bad=1; }
[ $bad -eq 0 ] && echo "$(basename "$deb"): morfe $version, Depends: $(field Depends); the packaged morfe renames"
exit $bad
