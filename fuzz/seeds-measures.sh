#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of measures_fuzz in OUT: small cut records for each reader, the
# first byte picking it (0 parse_record, 1 read_echo, 2 read_spectrum,
# 3 read_waveform, 4 parse_frequency_list). Sources: the session cases of the measures command
# (tests/cases/measures_*/input) and the first rows of the PEER record in
# tests/data/measures turned into both record layouts.
#
#   fuzz/seeds-measures.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"

# Every file of the measures session cases, as a record, and the
# frequencies files also as frequency lists.
for f in "$root"/tests/cases/measures_*/input/*; do
  [ -f "$f" ] || continue
  head -c 8192 "$f" | seed 00
done
for f in "$root"/tests/cases/measures_*/input/freq.txt; do
  [ -f "$f" ] && seed 04 < "$f"
done
printf '0.01\n0.1\n1\n10\n50\n100\n' | seed 04

# The first 40 values of the PEER record as an input-layout record, a
# waveform file, an echo file and an amplitude spectrum file.
at2=$root/tests/data/measures/RSN8883_14383980_13849360.AT2
values=$(awk 'NR > 4 && NR <= 12' "$at2" | tr -s ' ' '\n' | grep -v '^$')
{
  echo "ChinoHills2008 Anaheim acceleration g"
  echo "TIME 360 90 V03 V04 V05 V06 V07 V08 V09 V10 UP"
  i=0
  for v in $values; do
    printf '%.3f %s %s 0 0 0 0 0 0 0 0 %s' "$(echo "$i * 0.005" | bc -l)" "$v" "$v" "$v"
    for k in $(seq 12 42); do printf ' 0'; done
    printf '\n'
    i=$((i + 1))
  done
} | seed 00
wave() {
  echo " time(s),comp1, comp2, comp3"
  i=0
  for v in $values; do
    printf '%8.3f,%12.4E,%12.4E,%12.4E,\n' "$(echo "$i * 0.005" | bc -l)" "$v" "$v" "$v"
    i=$((i + 1))
  done
  printf '%8.3f,************, 0.1000-100,   Infinity,\n' 0.2
}
wave | seed 00
wave | seed 03
wave | tail -n +2 | tr -d ',' | seed 01
wave | sed 's/time(s)/frequency(Hz)/' | seed 02
