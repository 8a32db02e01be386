# Sourced by scripts that need the SQLite amalgamation as a large real C input.
# fetch_sqlite DIR: makes sure DIR/sqlite3.c and DIR/sqlite3.h exist, taking
# them from the npm package better-sqlite3 (which vendors the amalgamation).
# Returns 1, with the reason in $fetch_sqlite_error, when that is not possible.
# The files are fetched once and kept; DIR is meant to be ignored by git.

fetch_sqlite_package=better-sqlite3@12.4.1

fetch_sqlite() {
  local dir=$1 work tgz member
  fetch_sqlite_error=
  [ -s "$dir/sqlite3.c" ] && [ -s "$dir/sqlite3.h" ] && return 0
  command -v npm >/dev/null || { fetch_sqlite_error="npm is not installed"; return 1; }
  mkdir -p "$dir" || { fetch_sqlite_error="cannot create $dir"; return 1; }
  work=$(mktemp -d) || return 1
  if ! (cd "$work" && npm pack "$fetch_sqlite_package" >npm.log 2>&1); then
    fetch_sqlite_error="npm pack $fetch_sqlite_package failed: $(tail -n 3 "$work/npm.log" | tr '\n' ' ')"
    rm -rf "$work"; return 1
  fi
  tgz=$(ls "$work"/*.tgz 2>/dev/null | head -n 1)
  mkdir "$work/x" && tar -xzf "$tgz" -C "$work/x" || {
    fetch_sqlite_error="cannot unpack $tgz"; rm -rf "$work"; return 1; }
  # The package keeps the amalgamation as plain files in deps/sqlite3/.
  member=$(find "$work/x" -path '*/deps/sqlite3/sqlite3.c' | head -n 1)
  if [ -z "$member" ] || [ ! -s "$(dirname "$member")/sqlite3.h" ]; then
    fetch_sqlite_error="no deps/sqlite3/sqlite3.c and sqlite3.h in $fetch_sqlite_package"
    rm -rf "$work"; return 1
  fi
  # Copy under other names first so that an interrupted copy is never taken.
  cp "$(dirname "$member")/sqlite3.h" "$dir/sqlite3.h.part" &&
    cp "$member" "$dir/sqlite3.c.part" &&
    mv "$dir/sqlite3.h.part" "$dir/sqlite3.h" && mv "$dir/sqlite3.c.part" "$dir/sqlite3.c" ||
    { fetch_sqlite_error="cannot copy into $dir"; rm -rf "$work"; return 1; }
  rm -rf "$work"
}
