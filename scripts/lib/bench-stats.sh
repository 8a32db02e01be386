# Sourced by the benchmarks under bench/: the figures they print.
# median COLUMN FILE: the median of that column of the file.
median() {
  cut -d' ' -f"$1" "$2" | sort -g |
    awk '{ a[NR] = $1 } END { printf "%.6g", NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}
# calc FORMAT EXPRESSION: the awk expression's value, printed with FORMAT.
calc() { awk "BEGIN { printf \"$1\", $2 }"; }
