#!/usr/bin/env bash
# The modern mode (-lx) on real C++: with an empty replacement table every
# C++ header under /usr/include/c++ comes out byte for byte; and a program
# written here with raw strings that hold table names, digit separators
# before table names and user-defined literal suffixes is renamed both ways,
# and compiled and run before and after: both build and print the same, and
# renaming back gives the source again.
# Usage: modern_cplusplus.sh [path-to-morfe]   (exit 77: skipped)
set -u
morfe=$(realpath "${1:-build/morfe}")
root=${MORFE_CPLUSPLUS_ROOT:-/usr/include/c++}
[ -x "$morfe" ] || { echo "no morfe at $morfe"; exit 1; }
[ -d "$root" ] || { echo "SKIPPED: no $root"; exit 77; }
command -v perl >/dev/null || { echo "SKIPPED: perl is missing"; exit 77; }
command -v g++ >/dev/null || { echo "SKIPPED: g++ is missing"; exit 77; }

start=$(date +%s.%N)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bad=0

# --- The headers: identity with an empty table.
# (A header with a _Pragma operator outside a directive could not come out
# equal: the operator becomes a #pragma line. These have none.)
cp -a "$root" "$tmp/inc" || exit 1
: > "$tmp/empty.tbl"
cd "$tmp/inc"
# x.h and x.tcc both write x.ren: the n-th file of each such group goes to pass n.
find . -type f -print0 | sort -z | perl -0 -ne '
  chomp; (my $ren = $_) =~ s{\.[^./]*$}{}; $n = ++$seen{$ren};
  open my $fh, ">>", "../pass$n" or die; print $fh "$_\0"' || exit 1
files=$(find . -type f | wc -l)
: > ../failed
for pass in ../pass*; do
  xargs -0 -n 200 "$morfe" -q -lx -lp -r ../empty.tbl -- < "$pass" 2>>../stderr.log || true
  perl -0 -ne '
    chomp; (my $ren = $_) =~ s{\.[^./]*$}{}; $ren .= ".ren"; local $/;
    open my $s, "<:raw", $_ or die; my $src = <$s> // "";
    my $out; if (open my $o, "<:raw", $ren) { $out = <$o> // ""; unlink $ren }
    (my $rel = $_) =~ s{^\./}{};
    print "$rel\n" unless defined $out && $out eq $src' < "$pass" >> ../failed
done
while read -r f; do
  echo "FAIL: $f does not come out as it went in"; bad=$((bad + 1))
done < ../failed
[ -s ../stderr.log ] && { echo "--- diagnostics:"; head -5 ../stderr.log; bad=$((bad + 1)); }
echo "$files C++ headers under $root with -lx: $((files - $(wc -l < ../failed))) identical"

# --- A program renamed both ways.
cd "$tmp"
std=c++23
echo 'int main() {}' | g++ -std=$std -x c++ -fsyntax-only - 2>/dev/null || std=c++2b
cat > prog.cc <<'EOF'
#include <cstdio>
#include <string>

// Names of the table inside raw strings are text, not code.
static const char* kQuery = R"sql(SELECT total, scale FROM t -- ??/
WHERE label = "x)" AND ratio > 0)sql";
static const char* kRaw = R"(total\n"scale")";

struct Distance { long double metres; };
constexpr Distance operator""_km(long double v) { return {v * 1000}; }
constexpr Distance operator""_km(unsigned long long v) { return {static_cast<long double>(v) * 1000}; }
std::string operator""_label(const char* s, std::size_t n) { return std::string(s, n) + "!"; }
std::string operator""_wide(const wchar_t*, std::size_t n) { return std::to_string(n); }

long total = 0x3'0000 + 1'000'000;  // separators before the names of the table
long scale = 0b1010'1010'1010 + total;
int ratio(long a, long b) { return static_cast<int>(a / b); }

int main() {
  Distance d = 42_km, e = 1.5e3_km;
  std::string label = "total"_label + L"scale"_wide;
  std::printf("%s|%s|%ld|%ld|%d|%.0Lf|%.0Lf|%s\n", kQuery, kRaw, total, scale, ratio(total, scale), d.metres,
              e.metres, label.c_str());
  return (d.metres <=> e.metres) < 0 ? 0 : 1;
}
EOF
printf 'total sum\nscale factor\n_km _kilometres\n_label _tag\n_wide _broad\nratio quotient\n' > there.tbl
printf 'sum total\nfactor scale\n_kilometres _km\n_tag _label\n_broad _wide\nquotient ratio\n' > back.tbl
"$morfe" -q -lx -r there.tbl -o renamed.cc prog.cc || { echo "FAIL: renaming the program"; bad=$((bad + 1)); }
"$morfe" -q -lx -r back.tbl -o back.cc renamed.cc || { echo "FAIL: renaming the program back"; bad=$((bad + 1)); }
cmp -s back.cc prog.cc || { echo "FAIL: renaming back does not give the program again"; diff prog.cc back.cc | head; bad=$((bad + 1)); }
for name in 'R"sql(SELECT total, scale FROM t' 'R"(total\n"scale")"' '0x3'"'"'0000 + 1'"'"'000'"'"'000;' \
            'long sum = ' '42_kilometres, e = 1.5e3_kilometres' '"total"_tag + L"scale"_broad' 'operator""_tag'; do
  grep -qF -- "$name" renamed.cc || { echo "FAIL: the renamed program lacks: $name"; bad=$((bad + 1)); }
done
if g++ -std=$std -o before prog.cc && g++ -std=$std -o after renamed.cc; then
  ./before > before.out; ./after > after.out
  cmp -s before.out after.out || { echo "FAIL: the renamed program prints otherwise"; bad=$((bad + 1)); }
  echo "program compiled with -std=$std before and after the rename: $(cat before.out | head -c 80)..."
else
  echo "FAIL: the program does not compile before or after the rename"; bad=$((bad + 1))
fi

end=$(date +%s.%N)
awk -v b="$bad" -v s="$start" -v e="$end" 'BEGIN { printf "%d failures, %.1f s\n", b, e - s }'
[ $bad -eq 0 ]
