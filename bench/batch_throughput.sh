#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Records per minute of wavefft-batch over the whole chain (wavefft with a
# band-pass, wavefft-measures, wavefft-report, the flatfile): the eight
# shared records, each linked 8 times under distinct names (64 records),
# run with -j 1 and with -j 2. With a second build folder (an earlier
# version of the tools), runs it too with -j 2 in the same run and prints
# the ratio of the two rates.
#
#   bench/batch_throughput.sh BUILD_DIR [SHARED_DATA [BEFORE_BUILD_DIR]]
set -eu
build=${1:?usage: batch_throughput.sh BUILD_DIR [SHARED_DATA [BEFORE_BUILD_DIR]]}
here=$(cd "$(dirname "$0")" && pwd)
data=${2:-$here/../../shared/data}
before=${3:-}
batch=$(cd "$build" && pwd)/wavefft-batch
[ -x "$batch" ] || { echo "no $batch: build the wavefft-batch target" >&2; exit 2; }
[ -d "$data/records" ] || { echo "no $data/records" >&2; exit 2; }
if [ -n "$before" ]; then
  old_batch=$(cd "$before" && pwd)/wavefft-batch
  [ -x "$old_batch" ] || { echo "no $old_batch: build the earlier wavefft-batch" >&2; exit 2; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/wavefft-batch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/records"
n=0
for copy in 1 2 3 4 5 6 7 8; do
  for r in "$data"/records/*.txt; do
    ln -s "$(cd "$(dirname "$r")" && pwd)/$(basename "$r")" "$work/records/$copy-$(basename "$r")"
    n=$((n + 1))
  done
done

# Wall seconds of one batch (PROGRAM JOBS NAME), with nanosecond clock readings.
run() {
  program=$1 jobs=$2 name=$3
  start=$(date +%s.%N)
  if ! "$program" -j "$jobs" -o "$work/$name" --bandpass 0.1,0.2,20,25 "$work"/records/* >"$work/log-$name.txt" 2>&1; then
    echo "the batch $name did not end normally:" >&2
    cat "$work/log-$name.txt" >&2
    exit 1
  fi
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}
t1=$(run "$batch" 1 out-1)
t2=$(run "$batch" 2 out-2)
cmp -s "$work/out-1/summary.tsv" "$work/out-2/summary.tsv" || { echo "-j 1 and -j 2 summaries differ" >&2; exit 1; }
cmp -s "$work/out-1/flatfile.csv" "$work/out-2/flatfile.csv" || { echo "-j 1 and -j 2 flatfiles differ" >&2; exit 1; }
rows=$(($(wc -l <"$work/out-2/flatfile.csv") - 1))
[ "$rows" -eq "$n" ] || { echo "the flatfile has $rows rows, not $n" >&2; exit 1; }
awk -v n="$n" -v t1="$t1" -v t2="$t2" 'BEGIN {
  printf "%d records, full chain (--bandpass 0.1,0.2,20,25), flatfile of %d rows\n", n, n
  printf "-j 1: %7.2f s  %6.1f records/min\n", t1, n * 60 / t1
  printf "-j 2: %7.2f s  %6.1f records/min\n", t2, n * 60 / t2
  printf "speed-up: %.2f\n", t1 / t2
}'
if [ -n "$before" ]; then
  t0=$(run "$old_batch" 2 out-before)
  awk -v n="$n" -v t0="$t0" -v t2="$t2" -v dir="$before" 'BEGIN {
    printf "before (%s), -j 2: %7.2f s  %6.1f records/min\n", dir, t0, n * 60 / t0
    printf "throughput now / before (-j 2): %.2f\n", t0 / t2
  }'
fi
echo "the step before the flatfile, on its machine: 312 records/min with -j 2"
