#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# compare.sh: the whole program against the parse limit on the largest input.
#
#   bench/compare.sh [-n RUNS] [BUILD_DIR]
#
# 1. Configures BUILD_DIR (default: build-release beside bench/) as a
#    Release build if it has no cache yet, and builds wavefft, parse_limit,
#    run_bench and genwave in it (-j2).
# 2. Makes the largest inputs with gen_largest.sh if they are missing:
#    BUILD_DIR/bench/data/largest_e.txt ("%.6E") and largest_f.txt ("%11.6f").
# 3. For each of the two files, after one untimed run of each (the file is
#    then in the page cache): RUNS times (default 7, at least 5) in
#    alternation, a whole run of the program and a run of parse_limit on the
#    same file, each timed from its start to its end as a process.
#    The program runs in a temporary folder with the answers of the example
#    session (samples/answers.txt), so it writes all three files (fort.99,
#    amp3.csv, vel.csv); they are removed after each run, outside the timing.
#    Prints the median of each, their ratio (whole run / parse limit) and the
#    ratio the issue asks for at most (1.8).
# 4. Prints the phase times of one run_bench run per file, so that the phase
#    to work on next is visible.
#
# Timing is wall-clock time and noisy on a shared machine; the medians of
# alternating runs are meant to make the two sides meet the same noise.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
runs=7
while getopts "n:" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    *) echo "usage: $0 [-n RUNS] [BUILD_DIR]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ "$runs" -lt 5 ]; then
  echo "compare.sh: at least 5 runs" >&2
  exit 2
fi
build=${1:-$root/build-release}
limit=1.8

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$build" -j2 --target wavefft parse_limit run_bench genwave > /dev/null
build=$(cd "$build" && pwd)

data=$build/bench/data
if [ ! -f "$data/largest_e.txt" ] || [ ! -f "$data/largest_f.txt" ]; then
  "$here/gen_largest.sh" "$build" > /dev/null
fi

answers=$root/samples/answers.txt
work=$(mktemp -d "${TMPDIR:-/tmp}/wavefft_compare.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Microseconds since the epoch.
now_us() {
  local t=${EPOCHREALTIME/./}
  echo $((10#$t))
}

# The median of the arguments (microseconds), in milliseconds.
median_ms() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f", m / 1000 }'
}

# One whole run of the program on $1 in $work/run; prints its time (us).
time_program() {
  local input=$1 start end
  mkdir -p "$work/run"
  { printf '%s\n' "$input"; cat "$answers"; } > "$work/stdin"
  start=$(now_us)
  (cd "$work/run" && "$build/wavefft" < "$work/stdin" > "$work/stdout" 2> "$work/stderr")
  end=$(now_us)
  for f in fort.99 amp3.csv vel.csv; do
    if [ ! -s "$work/run/$f" ]; then
      echo "compare.sh: the run did not write $f" >&2
      exit 1
    fi
  done
  rm -rf "$work/run"
  echo $((end - start))
}

# One run of parse_limit on $1; prints its time (us).
time_parse_limit() {
  local input=$1 start end
  start=$(now_us)
  "$build/bench/parse_limit" "$input" > "$work/parse.out"
  end=$(now_us)
  echo $((end - start))
}

status=0
for style in e f; do
  input=$data/largest_$style.txt
  time_program "$input" > /dev/null
  time_parse_limit "$input" > /dev/null
  program=()
  parse=()
  for ((r = 0; r < runs; ++r)); do
    program+=("$(time_program "$input")")
    parse+=("$(time_parse_limit "$input")")
  done
  p_ms=$(median_ms "${program[@]}")
  l_ms=$(median_ms "${parse[@]}")
  ratio=$(awk -v a="$p_ms" -v b="$l_ms" 'BEGIN { printf "%.2f", a / b }')
  verdict=$(awk -v r="$ratio" -v l="$limit" 'BEGIN { print (r <= l) ? "within" : "ABOVE" }')
  [ "$verdict" = within ] || status=1
  size=$(wc -c < "$input")
  printf '%s (%.1f MiB, style %s), median of %d alternating runs:\n' "$(basename "$input")" \
    "$(awk -v s="$size" 'BEGIN { print s / 1048576 }')" "$style" "$runs"
  printf '  whole run (wavefft)  %8s ms\n' "$p_ms"
  printf '  parse limit          %8s ms\n' "$l_ms"
  printf '  ratio                %8s    (%s the limit of %s)\n' "$ratio" "$verdict" "$limit"
done

echo
echo "Phase times (run_bench, one run per file):"
for style in e f; do
  input=$data/largest_$style.txt
  mkdir -p "$work/phases"
  echo "  largest_$style.txt:"
  (cd "$work/phases" && "$build/bench/run_bench" "$input" "$answers" 2>&1 >/dev/null | sed 's/^/    /')
  rm -rf "$work/phases"
done
exit $status
