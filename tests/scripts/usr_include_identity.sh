#!/usr/bin/env bash
# With an empty replacement table morfe must copy every source byte for byte,
# line ends as they are. Checks that over every regular file under /usr/include,
# once as C and once as C++, in batches of 200 files per run.
# Usage: usr_include_identity.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
root=${MORFE_INCLUDE_ROOT:-/usr/include}
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
[ -d "$root" ] || { echo "SKIPPED: no $root"; exit 77; }
command -v perl >/dev/null || { echo "SKIPPED: perl is missing"; exit 77; }

# Files that cannot come out equal, with the reason (path relative to $root).
# A _Pragma operator is carried out: it becomes a "#pragma" line of its own,
# with a line break before and after it, so such a header gains lines.
pragma='holds a _Pragma operator, which is written as a #pragma line'
declare -A known=(
  [benchmark/benchmark.h]=$pragma
  [c++/12/pstl/pstl_config.h]=$pragma
  [gtest/internal/gtest-port.h]=$pragma
  [libtasn1.h]=$pragma
  [llvm-14/llvm/CodeGen/SelectionDAGNodes.h]=$pragma
  [llvm-14/llvm/IR/BasicBlock.h]=$pragma
  [llvm-14/llvm/Support/Compiler.h]=$pragma
  [llvm-c-14/llvm-c/ExternC.h]=$pragma
  [node/v8config.h]=$pragma
  [python3.11/pyport.h]=$pragma
  [x86_64-linux-gnu/bits/math-vector.h]=$pragma
)

start=$(date +%s.%N)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -a "$root" "$tmp/inc" || exit 1
: > "$tmp/empty.tbl"
cd "$tmp/inc"

# x.h, x.hpp and x all write x.ren: the n-th file of each such group goes to
# pass n, so that no run meets the same output name twice.
find . -type f -print0 | sort -z | perl -0 -ne '
  chomp; (my $ren = $_) =~ s{\.[^./]*$}{}; $n = ++$seen{$ren};
  open my $fh, ">>", "../pass$n" or die; print $fh "$_\0"' || exit 1
files=$(find . -type f | wc -l)

# Runs one batch; when the run fails, runs each file alone to find the culprit.
batch='"$0" -q $1 -r ../empty.tbl -- "${@:2}" 2>>../stderr.log || for f in "${@:2}"; do
  "$0" -q $1 -r ../empty.tbl -os -- "$f" >/dev/null 2>&1 || printf "%s\t%s\texit status %s\n" "${f#./}" "$1" "$?" >>../failed; done'

# Prints "file mode what" for each file of the list (standard input) whose
# output is not its source.
# An output that differs only as a _Pragma operator demands (the operator
# written as a #pragma line, line breaks aside) is "pragma only".
compare='
  BEGIN { $/ = "\0"; $mode = shift @ARGV }
  chomp; (my $ren = $_) =~ s{\.[^./]*$}{}; $ren .= ".ren"; local $/;
  open my $s, "<:raw", $_ or die "$_: $!"; my $src = <$s> // "";
  my $out; if (open my $o, "<:raw", $ren) { $out = <$o> // ""; unlink $ren }
  (my $rel = $_) =~ s{^\./}{};
  if (!defined $out) { print "$rel\t$mode\tno output\n"; next }
  next if $out eq $src;
  $src =~ s{[ \t]*(?:\\\n[ \t]*)*\b_Pragma\s*\(\s*L?"((?:[^"\\\n]|\\.)*)"\s*\)}{
    (my $t = $1) =~ s/\\(["\\])/$1/g; $t =~ /^\s*once\b/ ? "" : "#pragma $t" }ge;
  for ($src, $out) { s/\\\n//g; tr/\n//d }
  print "$rel\t$mode\t", ($src eq $out ? "pragma only" : "differs"), "\n"'

: > ../failed; : > ../mismatch
for mode in -lc -lp; do
  for pass in ../pass*; do
    xargs -0 -n 200 bash -c "$batch" "$morfe" "$mode" < "$pass"
    # Compare each output with its source, then remove it.
    perl -0 -ne "$compare" -- "$mode" < "$pass" >> ../mismatch
  done
done

bad=0; expected=0
declare -A seen
while IFS=$'\t' read -r f mode what; do
  if [ "$what" = "pragma only" ] && [ -n "${known[$f]+x}" ]; then
    expected=$((expected + 1)); seen[$f]=1
  elif [ "$what" = "pragma only" ]; then
    echo "note: $f ($mode) differs only by its _Pragma operators; add it to the list"
  else
    echo "FAIL: $f ($mode) $what"; bad=$((bad + 1))
  fi
done < <(cat ../failed ../mismatch)
for f in "${!known[@]}"; do
  [ -f "$f" ] && [ -z "${seen[$f]+x}" ] && echo "note: $f is listed but came out equal"
done
echo "$expected expected differences (${#known[@]} listed files, each in two modes)"
[ $bad -eq 0 ] || { echo "--- first diagnostics:"; grep -v -e ' tip: ' -e ' warning: ' ../stderr.log | head -20; }
end=$(date +%s.%N)
awk -v n="$files" -v b="$bad" -v s="$start" -v e="$end" 'BEGIN { printf "%d files checked in C and C++ mode, %d failures, %.1f s\n", n, b, e - s }'
[ $bad -eq 0 ]
