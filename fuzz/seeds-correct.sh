#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of correct_fuzz in OUT, the first byte picking the reader (0 the
# command line as NUL-separated words, 1 a record with a settings byte in
# front, 2 a summary). Sources: the session cases of wavefft-correct
# (tests/cases/correct_*: their arguments, records and summaries) and the
# first rows of the bundled El Centro record.
#
#   fuzz/seeds-correct.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"

for c in "$root"/tests/cases/correct_*; do
  [ -f "$c/command" ] && tail -n +2 "$c/command" | tr '\n' '\0' | seed 00
  for f in "$c"/input/*.txt; do
    [ -f "$f" ] || continue
    for settings in 00 01 03 07 08 13 ff; do
      { printf "\\x$settings"; head -c 8192 "$f"; } | seed 01
    done
  done
  for f in "$c"/expect/files/*.json; do
    [ -f "$f" ] && seed 02 < "$f"
  done
done
printf -- '--highpass\0auto\0--lowpass=none\0--order\0004\0-o\0out.txt\0--\0-rec.txt' | seed 00

# The first 600 rows of El Centro, with auto settings and with an onset given.
rec=$root/tests/data/records/ELCENTRO_1940.txt
if [ -f "$rec" ]; then
  for settings in 00 10; do
    { printf "\\x$settings"; head -n 602 "$rec"; } | seed 01
  done
fi
