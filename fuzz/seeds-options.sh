#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of options_fuzz in OUT: argument lists, NUL-separated, as wavefft
# and wavefft-batch are given them. Sources: the command lines of the
# README, of the options and batch tests (tests/options, tests/batch), both
# ways of giving a value ("--skip 1", "--skip=1"), and the refusals those
# tests expect (bad lists, corners, windows, counts and names).
#
#   fuzz/seeds-options.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"
seed() {  # seed ARG...: the arguments, NUL-separated
  { printf '%s' "$1"; shift; for a in "$@"; do printf '\0%s' "$a"; done; } | keep_seed "$out"
}

# Command lines of the README and the tests.
seed --bandpass 0.1,0.2,20,25 --integrate --output vel.csv sample.txt
seed --bandpass 0.1,0.2,20,25 --integrate --skip 1 --output vel.csv wave.txt
seed -o catalogue --bandpass 0.1,0.2,20,25 tests/data/import/raw/knet
seed -j 4 -o results --bandpass 0.1,0.2,20,25 downloads/a/ records/b.txt
seed -o integ --integrate --skip 1 --output vel.csv --unit g in/sample.txt
seed -o thin --skip 1 in/sample.txt
seed --flip 1,3 --double-integrate --cut 2.5,10 wave.txt
seed --flip=2 --bandpass=0.05,0.1,10,12 --differentiate --cut=0,40.96 --skip=3 --output=acc.csv record.txt
seed "--flip" "1 2 3" "--bandpass" "0.1, 0.2, 20, 25" "--cut" "1.5D0 6E1" wave.txt
seed --skip=+2 --output "name with blanks.csv" "record with blanks.txt"
seed answers.txt rec1.txt rec2.txt

# Refusals: values, repeats, missing values, names.
seed --skip x in/sample.txt
seed --bandpass 1,2,3 in/sample.txt
seed --bandpass 25,20,0.2,0.1 wave.txt
seed --bandpass -0.1,0.2,20,25 wave.txt
seed --bandpass 0.1,,20,25 wave.txt
seed --bandpass 1e999,2e999,3e999,4e999 wave.txt
seed --cut 1,-2 wave.txt
seed --cut 1e99999999,2 wave.txt
seed --skip 2147483647 wave.txt
seed --skip -1 wave.txt
seed --flip 4 wave.txt
seed --flip "" wave.txt
seed --flip 1,,3 wave.txt
seed --integrate --differentiate wave.txt
seed --integrate=1 wave.txt
seed --skip 1 --skip 2 wave.txt
seed --output a/b.csv in/sample.txt
seed --output record.txt record.txt
seed --output amp3.csv wave.txt
seed --output ./fort.99 wave.txt
seed --output "ends in a blank " wave.txt
seed --output "$(printf 'x%.0s' $(seq 91))" wave.txt
seed --output "$(printf 'two\nlines')" wave.txt
seed wave.txt --skip
seed --bandpass 0.1,0.2,20,25
