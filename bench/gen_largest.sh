#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the largest waveform inputs the program transforms: 131072 records of
# 43 numbers (the time and 42 values), once with every number written as
# "%.6E" and once as "%11.6f".
#
#   bench/gen_largest.sh [BUILD_DIR [OUT_DIR]]
#
# BUILD_DIR is a configured build tree of the project (default: build/ beside
# bench/) in which the target genwave has been built; $GENWAVE, if set, names
# the generator instead. OUT_DIR defaults to BUILD_DIR/bench/data.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
out=${2:-$build/bench/data}
genwave=${GENWAVE:-$build/tests/tools/genwave}

if [ ! -x "$genwave" ]; then
  echo "gen_largest.sh: no generator at $genwave" >&2
  echo "build it first: cmake --build $build --target genwave" >&2
  exit 1
fi

mkdir -p "$out"
for style in e f; do
  "$genwave" --records 131072 --dt 0.005 --style "$style" --signal noise --amp 0.5 \
    --header "largest bench acceleration g" "$out/largest_$style.txt"
done
ls -l "$out/largest_e.txt" "$out/largest_f.txt"
