#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of report_measures_fuzz in OUT: files wavefft-measures wrote, the
# first byte picking the reader (0 measures.csv, 1 spectra.csv, 2 fas.csv).
# Sources: the expected files of the measures session cases
# (tests/cases/measures_*/expect/files), and, when WAVEFFT_MEASURES names
# the built program, its files for the first 2000 rows of each record of
# ../shared/data/records.
#
#   fuzz/seeds-report_measures.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"

seed_folder() {  # seed_folder DIR: its three files, where present
  [ -f "$1/measures.csv" ] && seed 00 < "$1/measures.csv"
  [ -f "$1/spectra.csv" ] && seed 01 < "$1/spectra.csv"
  [ -f "$1/fas.csv" ] && seed 02 < "$1/fas.csv"
  return 0
}

for d in "$root"/tests/cases/measures_*/expect/files "$root"/tests/cases/measures_*/expect/files/*/*; do
  [ -d "$d" ] && seed_folder "$d"
done

if [ -n "${WAVEFFT_MEASURES:-}" ] && [ -x "$WAVEFFT_MEASURES" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  for r in "$root"/../shared/data/records/*.txt; do
    [ -f "$r" ] || continue
    head -n 2002 "$r" > "$work/record.txt"
    rm -rf "$work/out"
    if "$WAVEFFT_MEASURES" --unit g --out "$work/out" "$work/record.txt" > /dev/null 2>&1; then
      seed_folder "$work/out"
    fi
  done
fi
