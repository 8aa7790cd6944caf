#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of batch_fuzz in OUT, the first byte picking the reader:
# 0 summary.tsv, 1 a record's head, 2 wavefft.stdout (the "NT and DT="
# line), 3 measures.csv, 4 spectra.csv, 5 console lines and record heads
# (form detection, endings), 6 wavefft-import's standard error, 7 counts
# and seconds of the progress line, 8 a --shard value and record names,
# 9 shard.txt files, 10 a record.done and an outcome, 11 flatfile.csv,
# 12 measures.csv, spectra.csv, fas.csv and a flatfile's record fields,
# 13 a flatfile.csv and a shard.txt to join (texts of one input separated
# by RS, byte 0x1e).
# Sources: batch runs of wavefft-batch (build/wavefft-batch, or the program
# WAVEFFT_BATCH names) when it is built: on the agency folders in
# tests/data/import/raw/knet (its summary.tsv, record.txt heads,
# wavefft.stdout, measures.csv and spectra.csv), and two shards of
# tests/data/records, one with --correct and --resume (shard.txt,
# record.done, flatfile.csv, a record's measures.csv, spectra.csv and
# fas.csv); and hand-written tables and lines around them.
#
#   [WAVEFFT_BATCH=PROGRAM] fuzz/seeds-batch.sh OUT
set -euo pipefail
. "$(dirname "$0")/seed-file.sh" "$@"

header=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\thp1_hz\thp2_hz\thp3_hz\tlp1_hz\tlp2_hz\tlp3_hz\tflags\twarnings\tpage'
# The tables of the batches before the correction's columns and before the
# EAS columns, which still read.
before_correction=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\twarnings\tpage'
earlier=$'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\twarnings\tpage'

# --- a real batch ---------------------------------------------------------------
batch=${WAVEFFT_BATCH:-$root/build/wavefft-batch}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -x "$batch" ]; then
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

# --- shards, record.done and flatfiles of a real batch -------------------------------
# Two shards of tests/data/records (the second with --correct and --resume)
# and their join: each OUTDIR holds shard.txt and flatfile.csv, each
# record's folder record.done, measures.csv, spectra.csv and fas.csv.
rs=$'\x1e'
header=
if [ -x "$batch" ] && "$batch" --help 2>/dev/null | grep -q -- '--shard'; then
  records=("$root"/tests/data/records/*.txt)
  (cd "$work" && "$batch" -j 1 --shard 0/2 -o s0 "${records[@]}" &&
    "$batch" -j 1 --resume --correct --shard 1/2 -o s1 "${records[@]}" &&
    "$batch" --join -o joined s0 s1) >/dev/null 2>&1 || true
  [ -f "$work/joined/flatfile.csv" ] && header=$(head -n 1 "$work/joined/flatfile.csv")
  if [ -f "$work/s0/shard.txt" ] && [ -f "$work/s1/shard.txt" ]; then
    seed 09 < "$work/s0/shard.txt"
    { cat "$work/s0/shard.txt"; printf '%s' "$rs"; cat "$work/s1/shard.txt"; } | seed 09
    { cat "$work/s1/shard.txt"; printf '%s' "$rs"; cat "$work/s1/shard.txt"; } | seed 09
    seed 0b < "$work/joined/flatfile.csv"
    { cat "$work/s0/flatfile.csv"; printf '%s' "$rs"; cat "$work/s0/shard.txt"; } | seed 0d
    { cat "$work/s1/flatfile.csv"; printf '%s' "$rs"; cat "$work/s1/shard.txt"; } | seed 0d
    seed 0d < "$work/joined/flatfile.csv"
  fi
  for done in "$work"/s0/*/record.done "$work"/s1/*/record.done; do
    [ -f "$done" ] || continue
    dir=$(dirname "$done")
    # The outcome of the record, "settings|flat|row fields".
    outcome=$(printf '%s|%s|%s' "$(sed -n 's/^settings\t//p' "$done")" "$(sed -n 's/^flat\t//p' "$done")" \
      "$(sed -n 's/^row\t//p' "$done" | tr '\t' '|')")
    { cat "$done"; printf '%s%s' "$rs" "$outcome"; } | seed 0a
    # The harness makes the first three files listed: those under 64 kB.
    { awk -F'\t' '$1 != "file" || ($3 < 65536 && n++ < 3)' "$done"; printf '%s%s' "$rs" "$outcome"; } | seed 0a
    seed 0b < "$(dirname "$dir")/flatfile.csv"
    fields=$(sed -n 's/^flat\t//p' "$done" | cut -d, -f1-19 | tr ',' '|')
    { cat "$dir/measures.csv"; printf '%s' "$rs"; cat "$dir/spectra.csv"; printf '%s' "$rs"
      cat "$dir/fas.csv"; printf '%s%s' "$rs" "$fields"; } | seed 0c
    { cat "$dir/measures.csv"; printf '%s' "$rs"; head -n 20 "$dir/spectra.csv"; printf '%s' "$rs"
      head -n 30 "$dir/fas.csv"; printf '%s%s' "$rs" "$fields"; } | seed 0c
  done
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

# --- shard values and record names ---------------------------------------------------
printf '0/2\nb.txt\na.txt\nc.txt\nd\n' | seed 08
printf '1/3\nELCENTRO_1940.txt\nSYLMAR_1994_AFTERSHOCK.txt\nCHB002\nNGNH31_kik\n\n' | seed 08
for value in 3/3 0/0 0/1 999999/1000000 1/1000001 0000001/2 01/02 +1/2 ' 1/2' 1/2/3 1/ /2 1.0/2 \
    -1/2 12345678/99999999 $'1/2\r'; do
  printf '%s\nx\ny\n' "$value" | seed 08
done

# --- shard files ------------------------------------------------------------------------
printf 'wavefft-batch shard 0/2 of 5\n0\n2\n4\n\x1ewavefft-batch shard 1/2 of 5\n1\n3\n' | seed 09
printf 'wavefft-batch shard 0/2 of 5\n0\n2\n\x1ewavefft-batch shard 1/2 of 5\n2\n3\n' | seed 09
printf 'wavefft-batch shard 0/2 of 5\n0\n\x1ewavefft-batch shard 1/3 of 5\n1\n\x1ewavefft-batch shard 1/2 of 6\n3' | seed 09
printf 'wavefft-batch shard 0/1 of 0\n' | seed 09
printf 'wavefft-batch shard 0/1 of 3\r\n0\r\n5\n' | seed 09
printf 'wavefft-batch shard 0/1\n0\n' | seed 09

# --- record.done and outcomes --------------------------------------------------------------
done_row=$'rec.txt\tnormal\t0\t\trec.txt\tev1\tST01\tNS EW UD\t0.01\t68\tprocessed\t0.0071\t5.1\t0.0081\t0.0060\t0.0057\t0.0002\t0.0001\t\t\t\t\t\t\t\t\trec.txt/report.html'
printf 'wavefft-batch record 1\nsettings\tS\x1fx\nfile\tmeasures.csv\t12\nfile\tfas.csv\t0\nrow\t%s\nflat\trec.txt,ev1\n' \
  "$done_row" | seed 0a
printf 'wavefft-batch record 1\nsettings\tS\nfile\tmeasures.csv\t+12\nfile\t../x\t1\nrow\t%s\nflat\t\n' "$done_row" | seed 0a
printf 'wavefft-batch record 1\nsettings\tS\nrow\trec.txt\tnormal\nflat\tx\nrow\t%s\n\x1eS\ty|a,"b"|r\ne c|normal|0|d\ti\n|||||||||||||||||||||||p\n' \
  "$done_row" | seed 0a
printf 'wavefft-batch record 1\r\nsettings\tS\r\nrow\t%s\r\nflat\t\r\n' "$done_row" | seed 0a

# --- flatfiles, lines and joins (with the header of a real flatfile) ---------------------
if [ -n "$header" ]; then
  printf '%s\n' "$header" | seed 0b
  printf '%s\r\n"a ""b"", c",1\r\n\r\n"open,2\nplain"x,3\n' "$header" | seed 0b
  printf '%s\nb,1\na,2\nc,3\n\x1ewavefft-batch shard 0/2 of 6\n4\n0\n2\n' "$header" | seed 0d
  printf '%s\n" a",1\na,2\na,3\n\x1ewavefft-batch shard 1/2 of 4\n3\n1\n' "$header" | seed 0d
fi
printf 'record,x\na,1\n\x1ewavefft-batch shard 0/1 of 1\n0\n' | seed 0d
printf '\x1ewavefft-batch shard 0/1 of 2\n1\n0\n' | seed 0d
printf 'record,x\na,1\n' | seed 0b
printf 'measure,unit,comp1,comp2,comp3,rotd50\npga,g,"0.1",0.2\r,0 3,\npgv,cm/s,1,2,3,4,5\npga,g,9,9,9,9\n\x1e' > "$work/line"
printf 'period_s,damping,comp1,comp2,comp3,rotd50,rotd100\n0.01,0.05,1,2,3,4,5\n0.010,5e-2,",x, y\n' >> "$work/line"
printf 'nan,0.05,1,1,1,1,1\n0.02,0.05,6,7,8,9,10\n\x1efrequency_hz,eas\n0.01,"q"\n0.0100,2\n\x1e' >> "$work/line"
printf ' r, "1"|ev\tone|st\nx|0.01|100|1|N,S|E"W|UD|processed|0.1 0.2 20 25|0.1|0.2||20|||0.3|comp1:drift |x' \
  >> "$work/line"
seed 0c < "$work/line"
printf '\x1e\x1e\x1e' | seed 0c
