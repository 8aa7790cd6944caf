#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of batch_fuzz in OUT, the first byte picking the reader:
# 0 summary.tsv, 1 a record's head, 2 wavefft.stdout (the "NT and DT="
# line), 3 measures.csv, 4 spectra.csv, 5 console lines and record heads
# (form detection, endings), 6 wavefft-import's standard error, 7 counts
# and seconds of the progress line.
# Sources: a batch run of build/wavefft-batch on the agency folders in
# tests/data/import/raw/knet when that program is built (its summary.tsv,
# record.txt heads, wavefft.stdout, measures.csv and spectra.csv), and
# hand-written tables and lines around them.
#
#   fuzz/seeds-batch.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"

header=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\thp1_hz\thp2_hz\thp3_hz\tlp1_hz\tlp2_hz\tlp3_hz\tflags\twarnings\tpage'
# The tables of the batches before the correction's columns and before the
# EAS columns, which still read.
before_correction=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\twarnings\tpage'
earlier=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\twarnings\tpage'

# --- a real batch ---------------------------------------------------------------
batch=$root/build/wavefft-batch
if [ -x "$batch" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # With --correct the summary also has corners and flags.
  if (cd "$work" && "$batch" -j 1 -o out-corrected --correct "$root/tests/data/import/raw/knet") >/dev/null 2>&1; then
    seed 00 < "$work/out-corrected/summary.tsv"
  fi
  if (cd "$work" && "$batch" -j 1 -o out --bandpass 0.1,0.2,20,25 "$root/tests/data/import/raw/knet") \
      >/dev/null 2>&1; then
    seed 00 < "$work/out/summary.tsv"
    sed 's/$/\r/' "$work/out/summary.tsv" | seed 00
    for dir in "$work"/out/*/; do
      head -c 4096 "$dir/record.txt" | seed 01
      head -c 4096 "$dir/record.txt" | seed 05
      seed 02 < "$dir/wavefft.stdout"
      { cat "$dir/wavefft.stdout"; cat "$dir/wavefft.stderr"; } | seed 05
      seed 03 < "$dir/measures.csv"
      head -c 16384 "$dir/spectra.csv" | seed 04
      grep -E '^(period_s|0\.2,|1,|1\.0,)' "$dir/spectra.csv" | seed 04
    done
  fi
fi

# --- hand-written summaries -------------------------------------------------------
earlier_row=$'sample.txt\tnormal\t0\t\tsample\tev1\tST01\tNS EW UD\t0.01\t68\tprocessed\t0.0071\t5.1\t0.0081\t0.0060\t0.0057\t\tsample/report.html'
row=$'sample.txt\tnormal\t0\t\tsample\tev1\tST01\tNS EW UD\t0.01\t68\tprocessed\t0.0071\t5.1\t0.0081\t0.0060\t0.0057\t0.00019260195918762994\t\t\tsample/report.html'
bad=$'<b>x</b>.txt\tdiagnostic\t2\tlately reading "x" & <y>\tA B#?%\'\t<e>\t&amp;\t<script>\t1e-5\tinf\tinput\tnan\t-0\t+1\t1e400\t0x1\t<u>\t-inf\tclipped; <i>\t../a b/report.html'
printf '%s\n' "$header" "$row" | seed 00
printf '%s\n' "$header" "$row" "$bad" | seed 00
printf '%s\n' "$earlier" "$earlier_row" | seed 00
printf '%s\n' "$before_correction" "$row" | seed 00
printf '%s\n' "$earlier" "$row" | seed 00
printf '%s\n' "$header" | seed 00
printf '%s' "$header" | seed 00
printf '%s\n' $'record\tstatus\texit\tdiagnostic' $'a.txt\tnormal\t0\t' | seed 00
printf '%s\n' "$header" $'short\tnormal\t0' | seed 00
printf '%s\n' "$header" $'missing.txt\tmissing\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t' | seed 00
printf '%s\n' "$earlier" $'missing.txt\tmissing\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t' | seed 00

# --- record heads -------------------------------------------------------------------
titles='TIME NS EW V03 V04 V05 V06 V07 V08 V09 V10 UD V12 V13'
printf '%s\n%s\n' "ev st acceleration gal" "$titles" | seed 01
printf '%s\n%s\n%s\n' "'ev one' \"st\"\"2\" acceleration" "g" "$titles" | seed 01
printf '%s\n%s\n' "ev,st,velocity,m_s2" "TIME,NS,EW,3,4,5,6,7,8,9,10,UD" | seed 01
printf '%s\n' "ev st" | seed 01
printf "'never closed\n" | seed 01

# --- console lines ------------------------------------------------------------------
printf ' NT and DT= 6800  0.01\n NT and DT=  4096 5.0000000000000001E-03\n' | seed 02
printf ' NT and DT= 131073  0.01\n NT>2**17 !!!!!\n' | seed 02
printf ' NT and DT= 1e308 10\n NT and DT= nan 0.01\n NT and DT= +7,-0\n NT and DT=\n' | seed 02
printf '\x00 NT>2**17 !!!!!\r\n' | seed 05
printf '\x84lately reading sequential formatted external IO\n' | seed 05
printf '\x89Killed\n' | seed 05
printf '\x65Interrupt\nlately writing IO\r\n' | seed 05
{ printf '\x01'; for k in $(seq 0 42); do printf '%s ' "$k"; done; printf '\n'; } | seed 05

# --- measures and spectra -------------------------------------------------------------
printf 'measure,unit,comp1,comp2,comp3\npga,g,0.1,0.2,0.3\npgv,cm/s,+5,x,1\n' | seed 03
printf 'measure,unit,comp2,comp1\r\npga,g,nan,inf\npgv\n' | seed 03
printf 'period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n0.2,0.05,1,2,3,4,5\n1,0.05,6,5,4,3,2\n1.0,0.050,,7,,,\n' | seed 04
printf 'period_s,damping,comp1,comp2\n0.2,0.02,1,2\n1,5e-2,x,y\n' | seed 04

# --- an import's standard error -------------------------------------------------------
printf 'wavefft-import: note: cut to 6800 samples\nwavefft-import: skipped d/README: no known layout\n' | seed 06
printf 'wavefft-import: note: x\r\n\nwavefft-import: d/a.V2:12: not a number\nmore\n' | seed 06
printf 'note: only a note\n' | seed 06

# --- counts and seconds -----------------------------------------------------------------
printf '\x07\x3c\x00\x00\x00\x00\x00\x00\x00\x0c\x00\x00\x00\x40\x00\x00\x00\x00\x00\x00\x00\x00\x00\x45\x40' | seed 07
printf '\x07\xff\xff\xff\xff\xff\xff\xff\xff\x01\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\xf0\x7f' | seed 07
