#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-batch's records form end to end: agency folders (one of them
# without a vertical, which the import refuses), a generated record, one
# with a bad number, one without a known unit, a missing path and a folder
# of downloads. Checks summary.tsv row by row against the files in each
# record's folder (the EAS cells against its fas.csv and a run of
# wavefft-measures at 5 Hz), the processed waveform against a direct
# wavefft run, the exit statuses, the progress line on a terminal, the
# refusal of a bad processing option and that -j 1 and -j 2 agree. Then the import options:
# the folder without a vertical and a SAC folder that states no unit go
# through with --zero-vertical and --source-unit, and --unit is the unit
# the import writes; every note of an import is among the warnings.
#
#   catalogue_test.sh WAVEFFT_BATCH WAVEFFT MAKE_SAMPLE SOURCE_DIR
set -eu
batch=$1 wavefft=$2 make_sample=$3 src=$4
raw=$src/tests/data/import/raw
. "$(dirname "$0")/../lib.sh"
enter_scratch catalogue
tab=$(printf '\t')

mkdir in downloads
cp -R "$raw/knet/CHB002" in/CHB002
cp -R "$raw/peer-at2/RSN763_GIL" in/RSN763_GIL
cp -R "$raw/afad/NSMN_0921" in/NSMN_0921
cp -R "$raw/knet/NGNH31_kik" downloads/NGNH31_kik
cp -R "$raw/geonet/WPWS" downloads/WPWS
mkdir downloads/.hidden
"$make_sample" in/sample.txt
# Record 5 of the broken one holds "abc" in place of its first value.
sed '7s/^\(0\.040\) [^ ]*/\1 abc/' in/sample.txt >in/broken.txt
grep -q '^0.040 abc ' in/broken.txt || { echo "FAIL: could not make the broken record"; exit 1; }
# A unit the measures do not know: the chain stops before them.
sed '1s/ g$/ volts/' in/sample.txt >in/volts.txt
grep -q ' volts$' in/volts.txt || { echo "FAIL: could not make the record without a unit"; exit 1; }

opts="--bandpass 0.1,0.2,20,25"
set -- in/CHB002 in/RSN763_GIL in/sample.txt in/broken.txt in/missing.txt in/volts.txt downloads/ in/NSMN_0921
if "$batch" -j 2 -o out $opts "$@" >log.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "exit status $rc, expected 1 (not every record normal)"
[ ! -s err.txt ] || fail "standard error is not a terminal, yet it got '$(cat err.txt)'"
sum=out/summary.tsv
[ -f "$sum" ] || { echo "FAIL: no summary.tsv; log: $(cat log.txt)"; exit 1; }
[ -f out/index.html ] || fail "no index.html"

# Column NAME of the summary row of record REC.
col() {
  awk -F '\t' -v rec="$1" -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next }
    $1 == rec { print $(c[name]); found = 1 } END { if (!found) print "<no row>" }' "$3"
}
expect() {  # REC COLUMN VALUE
  got=$(col "$1" "$2" "$sum")
  [ "$got" = "$3" ] || fail "$1: $2 is '$got', expected '$3'"
}

[ "$(sed -n 1p "$sum")" = "$(printf 'record\tstatus\texit\tdiagnostic\tfolder\tevent\tstation\tcomponents\tdt\tduration\tmeasured\tpga\tpgv\tpsa_02\tpsa_10\trotd50_10\teas_1hz\teas_5hz\thp1_hz\thp2_hz\thp3_hz\tlp1_hz\tlp2_hz\tlp3_hz\tflags\twarnings\tpage')" ] ||
  fail "header '$(sed -n 1p "$sum")'"
# One row per record, in the order given; the downloads folder is two.
[ "$(cut -f 1 "$sum" | tail -n +2 | tr '\n' ' ')" = "in/CHB002 in/RSN763_GIL in/sample.txt in/broken.txt in/missing.txt in/volts.txt downloads/NGNH31_kik downloads/WPWS in/NSMN_0921 " ] ||
  fail "records '$(cut -f 1 "$sum" | tail -n +2 | tr '\n' ' ')'"

for r in in/CHB002 in/sample.txt in/volts.txt downloads/NGNH31_kik downloads/WPWS in/NSMN_0921; do
  expect "$r" status normal
  expect "$r" exit 0
  expect "$r" diagnostic ""
done
expect in/RSN763_GIL status import-failed
expect in/RSN763_GIL exit 1
expect in/RSN763_GIL diagnostic "$(head -n 1 out/RSN763_GIL/import.stderr)"
case $(col in/RSN763_GIL diagnostic "$sum") in
  *'no vertical component'*) ;;
  *) fail "RSN763_GIL: the import's reason is not in the summary" ;;
esac
[ "$(cat out/RSN763_GIL/import.status)" = 1 ] || fail "RSN763_GIL: import.status '$(cat out/RSN763_GIL/import.status)'"
[ ! -e out/RSN763_GIL/wavefft.status ] || fail "RSN763_GIL: wavefft ran after a failed import"
expect in/broken.txt status diagnostic
expect in/broken.txt diagnostic "invalid number: incomprehensible list input"
[ "$(col in/broken.txt exit "$sum")" -gt 128 ] || fail "broken.txt: exit '$(col in/broken.txt exit "$sum")' is not that of an abort"
expect in/broken.txt page ""
expect in/missing.txt status missing
expect in/missing.txt folder ""
[ ! -e out/missing.txt ] || fail "missing.txt got a folder"

# Header words, title line and the console's "NT and DT=".
expect in/sample.txt event SyntheticEvent2026
expect in/sample.txt station SampleStation
expect in/sample.txt components "N00E N90E UP"
expect in/sample.txt dt 0.01
expect in/sample.txt duration 60
expect in/CHB002 station CHB002
expect in/CHB002 components "NS EW UD"
expect in/CHB002 dt 0.01
expect in/CHB002 duration 68
expect downloads/NGNH31_kik components "NS2 EW2 UD2"
expect downloads/WPWS components "S74E S16W Up"
expect downloads/WPWS folder WPWS
expect in/NSMN_0921 components "N-S E-W U-D"
for r in in/CHB002 downloads/NGNH31_kik downloads/WPWS in/NSMN_0921; do
  name=${r##*/}
  expect "$r" event "$(head -n 1 "out/$name/record.txt" | cut -d ' ' -f 1)"
  [ "$(cat "out/$name/import.status")" = 0 ] || fail "$name: import.status"
done

# The numbers: the larger horizontal from each folder's measures.csv and
# spectra.csv, text for text.
larger() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 > a + 0) print b; else print a }'; }
# The eas field of the row of frequency F (as written) of a fas.csv.
eas_at() { awk -F, -v f="$1" '$1 == f { print $5 }' "$2"; }
for r in in/CHB002 in/sample.txt downloads/NGNH31_kik downloads/WPWS in/NSMN_0921; do
  d=out/${r##*/}
  for f in measures.csv spectra.csv fas.csv report.html wave.csv amp3.csv fort.99 wavefft.stdout wavefft.stderr wavefft.status \
    measures.status report.status warnings.tsv; do
    [ -e "$d/$f" ] || fail "$r: no $f"
  done
  expect "$r" measured processed
  expect "$r" page "${r##*/}/report.html"
  expect "$r" folder "${r##*/}"
  m() { awk -F, -v row="$1" '$1 == row { print $3, $4 }' "$d/measures.csv"; }
  s() { awk -F, -v p="$1" '$1 == p && $2 == "0.05" { print $3, $4, $6 }' "$d/spectra.csv"; }
  # shellcheck disable=SC2046
  expect "$r" pga "$(larger $(m pga))"
  # shellcheck disable=SC2046
  expect "$r" pgv "$(larger $(m pgv))"
  set -- $(s 0.2)
  expect "$r" psa_02 "$(larger "$1" "$2")"
  set -- $(s 1)
  expect "$r" psa_10 "$(larger "$1" "$2")"
  expect "$r" rotd50_10 "$3"
  [ -n "$3" ] || fail "$r: no RotD50 at 1 s in spectra.csv"
  # EAS at 1 Hz: the 1 Hz row of fas.csv, text for text; at 5 Hz (no row
  # there) a positive number.
  expect "$r" eas_1hz "$(eas_at 1 "$d/fas.csv")"
  [ -n "$(col "$r" eas_1hz "$sum")" ] || fail "$r: no EAS at 1 Hz"
  awk -v v="$(col "$r" eas_5hz "$sum")" 'BEGIN { exit !(v + 0 > 0) }' || fail "$r: EAS at 5 Hz '$(col "$r" eas_5hz "$sum")'"
  # The warnings column: the report's titles, joined.
  expect "$r" warnings "$(cut -f 2 "$d/warnings.tsv" | awk 'NR > 1 { printf "; " } { printf "%s", $0 }')"
done
expect in/volts.txt measured ""
expect in/volts.txt pga ""
expect in/volts.txt eas_1hz ""
expect in/volts.txt eas_5hz ""
# The 5 Hz cell is what wavefft-measures gives for an output frequency of 5 Hz.
measures=$(dirname "$batch")/wavefft-measures
printf '5\n' >five.txt
"$measures" --unit g --dt 0.01 --frequencies five.txt --out hand-five out/sample.txt/wave.csv >/dev/null
expect in/sample.txt eas_5hz "$(eas_at 5 hand-five/fas.csv)"
expect in/volts.txt warnings "no unit: measures not computed (give --unit)"
[ ! -e out/volts.txt/measures.csv ] || fail "volts.txt: measures without a unit"
[ -f out/volts.txt/report.html ] || fail "volts.txt: no report page"
# notes_are_warnings SUMMARY OUTDIR REC...: every line "wavefft-import:
# note: TEXT" of a record's import.stderr is the warning "import: TEXT".
notes_are_warnings() {
  table=$1 dir=$2
  shift 2
  for r in "$@"; do
    w=$(col "$r" warnings "$table")
    while IFS= read -r line; do
      case $line in "wavefft-import: note: "*) text=${line#wavefft-import: note: } ;; *) continue ;; esac
      case "; $w;" in *"; import: $text;"*) ;; *) fail "$r: the import's note '$text' is not among the warnings '$w'" ;; esac
    done <"$dir/${r##*/}/import.stderr"
  done
}
notes_are_warnings "$sum" out in/CHB002 downloads/NGNH31_kik downloads/WPWS in/NSMN_0921

# The processed files are those of a direct run with the same options.
mkdir direct direct2
(cd direct && "$wavefft" $opts ../in/sample.txt >console.txt)
(cd direct2 && "$wavefft" $opts ../out/CHB002/record.txt >console.txt)
for f in wave.csv amp3.csv; do
  cmp -s direct/$f out/sample.txt/$f || fail "sample.txt/$f differs from a direct run"
  cmp -s direct2/$f out/CHB002/$f || fail "CHB002/$f differs from a direct run"
done
grep -q 'CHB002/report.html' out/index.html || fail "the index does not link CHB002's page"
grep -q '^1 import-failed$' log.txt && grep -q '^6 normal$' log.txt && grep -q '^1 missing$' log.txt ||
  fail "tally: '$(cat log.txt)'"
grep -q "^index: $work/out/index.html\$" log.txt || fail "no index line in '$(cat log.txt)'"
grep -q "^flatfile: $work/out/flatfile.csv\$" log.txt || fail "no flatfile line in '$(cat log.txt)'"

# One record at a time: the same table.
set -- in/CHB002 in/RSN763_GIL in/sample.txt in/broken.txt in/missing.txt in/volts.txt downloads/ in/NSMN_0921
"$batch" -j 1 -o out1 $opts "$@" >/dev/null 2>&1 || true
cmp -s out/summary.tsv out1/summary.tsv || fail "-j 1 and -j 2 give different summaries"

# An integrated run is measured on its input; --skip K measures the
# processed record at (K+1)*dt. Compared with wavefft-measures run by hand.
mkdir hand-input hand-thin
"$measures" --unit g --out hand-input in/sample.txt >/dev/null
if "$batch" -o integ --integrate --skip 1 --output vel.csv --unit g in/sample.txt >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "integrated run: exit status $rc"
[ "$(col in/sample.txt measured integ/summary.tsv)" = input ] || fail "integrated run: measured '$(col in/sample.txt measured integ/summary.tsv)'"
[ -f integ/sample.txt/vel.csv ] || fail "integrated run: no vel.csv"
cmp -s hand-input/measures.csv integ/sample.txt/measures.csv || fail "integrated run: not the input's measures"
[ "$(col in/sample.txt eas_1hz integ/summary.tsv)" = "$(eas_at 1 hand-input/fas.csv)" ] ||
  fail "integrated run: EAS at 1 Hz '$(col in/sample.txt eas_1hz integ/summary.tsv)' is not the input's"
if "$batch" -o thin --skip 1 in/sample.txt >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "thinned run: exit status $rc"
[ "$(col in/sample.txt measured thin/summary.tsv)" = processed ] || fail "thinned run: measured"
"$measures" --unit g --dt 0.02 --out hand-thin thin/sample.txt/wave.csv >/dev/null
cmp -s hand-thin/spectra.csv thin/sample.txt/spectra.csv || fail "thinned run: spectra not at a step of 0.02 s"
[ "$(col in/sample.txt eas_1hz thin/summary.tsv)" = "$(eas_at 1 hand-thin/fas.csv)" ] ||
  fail "thinned run: EAS at 1 Hz '$(col in/sample.txt eas_1hz thin/summary.tsv)' is not that at a step of 0.02 s"

# The import options, handed to every import: PEER files of two
# horizontals (with --zero-vertical; a copy has its first horizontal scaled
# by 10, so that the two peaks differ widely) and SAC files that state no
# unit (with --source-unit g). record.txt is what wavefft-import makes of the
# folder with the same options.
import=$(dirname "$batch")/wavefft-import
mkdir in2
cp -R "$raw/peer-at2/RSN763_GIL" in2/RSN763_GIL
cp -R "$raw/peer-at2/RSN763_GIL" in2/RSN763_X10
awk 'NR <= 4 { print; next } { line = ""; for (i = 1; i <= NF; i++) line = line sprintf("%15.7E", $i * 10); print line }' \
  "$raw/peer-at2/RSN763_GIL/RSN763_LOMAP_GIL067.AT2" >in2/RSN763_X10/RSN763_LOMAP_GIL067.AT2
cp -R "$raw/sac/CJ_T001230" in2/CJ_T001230
set -- in2/RSN763_GIL in2/RSN763_X10 in2/CJ_T001230
if "$batch" -o imp --zero-vertical --source-unit g "$@" >imp.log 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "import options: exit status $rc, expected 0: $(cat imp.log)"
for r in "$@"; do
  name=${r##*/}
  [ "$(col "$r" status imp/summary.tsv)" = normal ] ||
    fail "import options: $r is '$(col "$r" status imp/summary.tsv)': $(col "$r" diagnostic imp/summary.tsv)"
  [ "$(col "$r" measured imp/summary.tsv)" = input ] || fail "import options: $r: not the input measured (wavefft changed nothing)"
  [ -n "$(col "$r" pga imp/summary.tsv)" ] || fail "import options: $r has no pga"
  "$import" --zero-vertical --source-unit g -o "direct-$name.txt" "$r" 2>/dev/null || fail "import options: direct import of $r"
  cmp -s "direct-$name.txt" "imp/$name/record.txt" || fail "import options: $r: record.txt is not the import's with the options"
done
for r in in2/RSN763_GIL in2/RSN763_X10; do
  case "; $(col "$r" warnings imp/summary.tsv);" in
    *"; import: no vertical component: value 11 is zero throughout (--zero-vertical);"*) ;;
    *) fail "import options: $r: no warning of the zero vertical in '$(col "$r" warnings imp/summary.tsv)'" ;;
  esac
done
notes_are_warnings imp/summary.tsv imp "$@"
case $(col in2/RSN763_X10 warnings imp/summary.tsv) in
  *"; import: the peaks of the two horizontals differ by a factor of "*) ;;
  *) fail "import options: RSN763_X10: no warning of the peaks in '$(col in2/RSN763_X10 warnings imp/summary.tsv)'" ;;
esac
# --unit: the unit the import writes, and the unit of the measures.
if "$batch" -o gal --unit gal --source-unit g in2/CJ_T001230 >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "--unit gal with a folder: exit status $rc"
"$import" --unit gal --source-unit g -o direct-gal.txt in2/CJ_T001230 2>/dev/null || fail "direct import in gal"
cmp -s direct-gal.txt gal/CJ_T001230/record.txt || fail "--unit gal: record.txt is not the import's in gal"
[ "$(head -n 1 gal/CJ_T001230/record.txt | cut -d ' ' -f 4)" = gal ] || fail "--unit gal: record.txt is not in gal"
# The same PGA in g as the run in g, to the digits the record keeps (the
# values are written to four or five significant digits, in g or in gal):
# the measures read the record in gal, not 980.665 times off.
awk -v a="$(col in2/CJ_T001230 pga gal/summary.tsv)" -v b="$(col in2/CJ_T001230 pga imp/summary.tsv)" \
  'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a > 0 && d <= 1e-3 * b) }' ||
  fail "--unit gal: pga $(col in2/CJ_T001230 pga gal/summary.tsv) g, in g it is $(col in2/CJ_T001230 pga imp/summary.tsv) g"

# Two batches joined: every row, the pages relative to the joined folder.
if "$batch" --join -o joined out integ >join.log 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "join: exit status $rc, expected 1 (not every record normal)"
[ "$(wc -l <joined/summary.tsv)" -eq 11 ] || fail "join: $(wc -l <joined/summary.tsv) lines, expected 11"
[ "$(col in/CHB002 page joined/summary.tsv)" = ../out/CHB002/report.html ] || fail "join: page '$(col in/CHB002 page joined/summary.tsv)'"
[ -f joined/index.html ] || fail "join: no index page"
grep -q '^7 normal$' join.log || fail "join: tally '$(cat join.log)'"
if "$batch" --join out integ >/dev/null 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 2 ] || fail "join without -o: exit status $rc"

# On a terminal: a progress line; not without one (checked above).
script -qec "'$batch' -o prog in/sample.txt in/volts.txt in/broken.txt in/missing.txt" /dev/null >tty.txt 2>&1 || true
grep -q 'wavefft-batch: [0-9]*/4 done, [0-9]* failed, [0-9]*:[0-9][0-9] elapsed' tty.txt || fail "no progress line on a terminal: '$(cat tty.txt)'"
grep -q 'wavefft-batch: 4/4 done, 2 failed' tty.txt || fail "the progress line does not reach 4/4 with 2 failed"
[ -f prog/summary.tsv ] || fail "the run on a terminal wrote no summary"

# Terminated while running: the records not started are not-run, the
# summary and the index are still written, exit status 143.
mkdir many
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do ln -s ../in/sample.txt many/$i.txt; done
"$batch" -j 1 -o term many/*.txt >term.log 2>&1 &
pid=$!
waited=0
while [ ! -e term/01.txt/report.status ] && [ "$waited" -lt 600 ]; do
  sleep 0.1
  waited=$((waited + 1))
done
kill -TERM "$pid"
if wait "$pid"; then rc=0; else rc=$?; fi
[ "$rc" -eq 143 ] || fail "terminated: exit status $rc, expected 143"
[ "$(wc -l <term/summary.tsv)" -eq 13 ] || fail "terminated: summary has $(wc -l <term/summary.tsv) lines"
expect_in() { [ "$(col "$1" "$2" term/summary.tsv)" = "$3" ] || fail "terminated: $1 $2 is '$(col "$1" "$2" term/summary.tsv)', expected '$3'"; }
expect_in many/01.txt status normal
expect_in many/12.txt status not-run
expect_in many/12.txt folder ""
[ ! -e term/12.txt ] || fail "terminated: the last record was started"
[ -f term/index.html ] || fail "terminated: no index page"
grep -q 'not-run$' term.log || fail "terminated: no tally of not-run records in '$(cat term.log)'"

# Refused before anything runs: a bad processing option, an output name that
# is the batch's own file, two records of the same name.
refused() {
  label=$1
  shift
  if "$batch" -o refused "$@" >/dev/null 2>err.txt; then rc=0; else rc=$?; fi
  [ "$rc" -eq 2 ] || fail "refused ($label): exit status $rc, expected 2"
  is_usage_error "$batch" err.txt || fail "refused ($label): not a usage error: '$(cat err.txt)'"
  [ ! -e refused ] || fail "refused ($label): the output folder was made"
  rm -rf refused
}
refused "bad --skip" --skip x in/sample.txt
grep -q -- '--skip' err.txt || fail "the refusal of --skip x does not name the option: '$(cat err.txt)'"
refused "bad --bandpass" --bandpass 1,2,3 in/sample.txt
refused "--output with a folder" --output a/b.csv in/sample.txt
refused "--output record.txt" --output record.txt in/CHB002
refused "bad --unit" --unit furlongs in/sample.txt
refused "same name twice" in/CHB002 downloads/WPWS "$raw/knet/CHB002"
refused "-j 0" -j 0 in/sample.txt
printf "0\n1\n0.1 0.2 20 25\n" >notes.txt
refused "not a record" --unit g notes.txt
refused "no record, an answer file alone" notes.txt
refused "no record" --bandpass 0.1,0.2,20,25
refused "bad --source-unit" --source-unit counts in/CHB002
refused "bad --level" --level final in/CHB002
refused "--channels without a name" --channels , in/CHB002
refused "--pad with a value" --pad=1 in/CHB002
# An import option makes it the records form: an answer file is no record.
refused "import option with an answer file" --zero-vertical notes.txt in/sample.txt

finish catalogue
