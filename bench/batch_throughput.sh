#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Records per minute of wavefft-batch over the whole chain (wavefft with a
# band-pass, wavefft-measures, wavefft-report): the eight shared records,
# each linked 8 times under distinct names (64 records), run with -j 1 and
# with -j 2. Prints both rates and the speed-up.
#
#   bench/batch_throughput.sh BUILD_DIR [SHARED_DATA]
set -eu
build=${1:?usage: batch_throughput.sh BUILD_DIR [SHARED_DATA]}
here=$(cd "$(dirname "$0")" && pwd)
data=${2:-$here/../../shared/data}
batch=$(cd "$build" && pwd)/wavefft-batch
[ -x "$batch" ] || { echo "no $batch: build the wavefft-batch target" >&2; exit 2; }
[ -d "$data/records" ] || { echo "no $data/records" >&2; exit 2; }

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

# Wall seconds of one batch, with nanosecond clock readings.
run() {
  jobs=$1
  start=$(date +%s.%N)
  if ! "$batch" -j "$jobs" -o "$work/out-$jobs" --bandpass 0.1,0.2,20,25 "$work"/records/* >"$work/log-$jobs.txt" 2>&1; then
    echo "the batch with -j $jobs did not end normally:" >&2
    cat "$work/log-$jobs.txt" >&2
    exit 1
  fi
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f\n", $2 - $1 }'
}
t1=$(run 1)
t2=$(run 2)
cmp -s "$work/out-1/summary.tsv" "$work/out-2/summary.tsv" || { echo "-j 1 and -j 2 summaries differ" >&2; exit 1; }
awk -v n="$n" -v t1="$t1" -v t2="$t2" 'BEGIN {
  printf "%d records, full chain (--bandpass 0.1,0.2,20,25)\n", n
  printf "-j 1: %7.2f s  %6.1f records/min\n", t1, n * 60 / t1
  printf "-j 2: %7.2f s  %6.1f records/min\n", t2, n * 60 / t2
  printf "speed-up: %.2f\n", t1 / t2
}'
