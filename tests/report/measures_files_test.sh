#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-report --measures: the page made from the files wavefft-measures
# wrote for the input and for the processed record is the page the report
# computes itself, byte for byte, whichever records the files cover and in
# whichever order they are given, with five or six columns in
# measures.csv; then the refusals: a missing folder or file, a malformed
# number, another period set or row count, files of another record, of
# another unit, of two records mixed, a value above the Nyquist frequency,
# and the usage errors. A refused page is not written.
#
#   measures_files_test.sh WAVEFFT MAKE_SAMPLE WAVEFFT_REPORT WAVEFFT_MEASURES
set -eu
wavefft=$1 make_sample=$2 report=$3 measures=$4
. "$(dirname "$0")/../lib.sh"
enter_scratch measures-files

"$make_sample" sample.txt
unit=$(head -n 1 sample.txt | awk '{ print $4 }')
# 3000 samples: records of two lengths, neither a power of two.
head -n 3002 sample.txt >short.txt

# run NAME RECORD ANSWERS...: wavefft in folder NAME on a copy of RECORD.
run() {
  name=$1 record=$2
  shift 2
  mkdir "$name"
  cp "$record" "$name/record.txt"
  (cd "$name" && { echo record.txt; printf '%s\n' "$@"; echo; } | "$wavefft" >console.txt) ||
    fail "$name: wavefft failed"
}

# page NAME OUT [OPTIONS...]: the report of run NAME into OUT, as the batch
# asks for it.
page() {
  name=$1 out=$2
  shift 2
  "$report" --out "$out" --wave wave.csv --unit "$unit" --input record.txt "$@" "$name"
}

# A band-pass on the acceleration, every sample kept: the page measures the
# input and the processed record.
run band sample.txt 0 1 "0.1 0.2 20 25" 0 0 0 wave.csv
dt=$(awk 'NR == 4 { t1 = $1 } NR == 3 { t0 = $1 } END { printf "%.10g", t1 - t0 }' sample.txt)
"$measures" --unit "$unit" --out band/m-input band/record.txt >/dev/null || fail "measures of the input"
"$measures" --unit "$unit" --dt "$dt" --out band/m-processed band/wave.csv >/dev/null || fail "measures of the processed"
page band computed.html >/dev/null || fail "band: the computed page"
grep -q 'id="psa-processed"' computed.html && grep -q 'id="fas-input"' computed.html ||
  fail "band: the page lacks the spectra of both records"

# Every way of handing the files gives the computed page.
for given in "input" "processed" "input processed" "processed input"; do
  set --
  for g in $given; do set -- "$@" --measures "band/m-$g"; done
  page band handed.html "$@" >/dev/null || fail "band, files of $given: refused: $(page band handed.html "$@" 2>&1)"
  cmp -s computed.html handed.html || fail "band, files of $given: the page differs from the computed one"
done

# measures.csv with five columns and with the sixth, rotd50.
mkdir five six
for f in spectra.csv fas.csv; do cp "band/m-input/$f" five/ && cp "band/m-input/$f" six/; done
cut -d, -f1-5 band/m-input/measures.csv >five/measures.csv
awk -F, 'NR == 1 { print $1 "," $2 "," $3 "," $4 "," $5 ",rotd50"; next }
         { r = ($1 == "pga" || $1 == "pgv" || $1 == "pgd") ? "1.5" : ""; print $1 "," $2 "," $3 "," $4 "," $5 "," r }' \
  five/measures.csv >six/measures.csv
for cols in five six; do
  page band handed.html --measures "$cols" >/dev/null || fail "$cols columns: refused"
  cmp -s computed.html handed.html || fail "$cols columns: the page differs"
done

# A single integration keeping every second sample: only the input is
# measured, and the files of the input give the computed page.
run integrated short.txt 0 1 "0.1 0.2 20 25" 1 0 1 wave.csv
"$measures" --unit "$unit" --out integrated/m-input integrated/record.txt >/dev/null || fail "measures of the short input"
page integrated computed2.html >/dev/null || fail "integrated: the computed page"
page integrated handed2.html --measures integrated/m-input >/dev/null || fail "integrated: refused"
cmp -s computed2.html handed2.html || fail "integrated: the page differs from the computed one"

# refused NAME PATTERN OPTIONS...: the band page with OPTIONS ends with
# status 1 and a message matching PATTERN, and writes no page.
refused() {
  what=$1 pattern=$2
  shift 2
  rm -f refused.html
  if page band refused.html "$@" >out.txt 2>err.txt; then rc=0; else rc=$?; fi
  [ "$rc" -eq 1 ] || fail "$what: exit status $rc, expected 1"
  grep -Eq "$pattern" err.txt || fail "$what: message '$(cat err.txt)'"
  [ ! -e refused.html ] || fail "$what: a page was written"
}

# broken NAME: a copy of the input's files to spoil, in folder NAME.
broken() {
  rm -rf "$1"
  cp -r band/m-input "$1"
}

refused "no folder" "nowhere: no such folder" --measures nowhere
broken nofas && rm nofas/fas.csv
refused "no fas.csv" "nofas/fas.csv: cannot read the file" --measures nofas
broken badnumber && sed -i '5s/^\([^,]*,[^,]*,[^,]*\),[^,]*/\1,0.1x/' badnumber/spectra.csv
refused "malformed number" 'badnumber/spectra.csv line 5: comp2 is not a number: "0.1x"' --measures badnumber
broken noperiod && sed -i '7d' noperiod/spectra.csv
refused "a period missing" "noperiod/spectra.csv line 7: period .* s where the default set has .* s" --measures noperiod
broken extra && tail -n 1 extra/spectra.csv >>extra/spectra.csv
refused "a row too many" "extra/spectra.csv line 113: more rows than the 111 periods" --measures extra
broken damping && sed -i 's/^\([^,]*\),0.05,/\1,0.02,/' damping/spectra.csv
refused "another damping" "damping/spectra.csv line 2: damping 0.02, not 0.05" --measures damping
broken fewer && sed -i '300,$d' fewer/fas.csv
refused "fas.csv cut short" "fewer/fas.csv: 298 rows, not one per default frequency \(401\)" --measures fewer
broken twice && grep '^pgv,' band/m-input/measures.csv >>twice/measures.csv
refused "a measure twice" "twice/measures.csv line 9: pgv a second time \(first on line 3\)" --measures twice
broken header && sed -i '1s/comp3/comp4/' header/fas.csv
refused "another header" 'header/fas.csv line 1: the header is not "frequency_hz,comp1,comp2,comp3,eas"' --measures header

# Files of another record, of another unit, of two records mixed.
mkdir other
cp short.txt other/record.txt
"$measures" --unit "$unit" --out other/m other/record.txt >/dev/null || fail "measures of the short record"
refused "another record" "other/m/measures.csv: the measures of no record on the page; line [0-9]+: [a-z0-9_]+ comp[123] is .* but .* for the input \(record.txt\); line [0-9]+: .* for the processed record \(wave.csv\)" \
  --measures other/m
other_unit=gal
[ "$unit" = gal ] && other_unit=g
"$measures" --unit "$other_unit" --out band/m-unit band/record.txt >/dev/null || fail "measures in another unit"
refused "another unit" "band/m-unit/measures.csv: the measures of no record on the page" --measures band/m-unit
broken mixed && cp band/m-processed/spectra.csv mixed/
refused "two records mixed" "mixed/spectra.csv line [0-9]+: comp1 at 1 s is .* but .* for the input \(record.txt\)" --measures mixed
refused "the same record twice" "band/m-input/measures.csv: the measures of no record on the page; line 2: pga comp1 is .* for the processed" \
  --measures band/m-input --measures band/m-input
# The last frequency, 100 Hz, lies above the Nyquist frequency of a record
# sampled more coarsely than every 5 ms: its row is empty there.
if awk -v dt="$dt" 'BEGIN { exit !(dt > 0.005) }'; then
  broken nyquist && sed -i '$s/.*/100,1,1,1,1/' nyquist/fas.csv
  refused "a value above the Nyquist frequency" "nyquist/fas.csv line 402: comp1 has a value at 100 Hz, above the Nyquist frequency" \
    --measures nyquist
else
  fail "the sample record's step $dt leaves no frequency above its Nyquist frequency"
fi

# Usage errors: status 2.
for args in "--measures" "--measures= band" "--measures a --measures b --measures c band"; do
  # shellcheck disable=SC2086
  if "$report" $args >out.txt 2>err.txt; then rc=0; else rc=$?; fi
  [ "$rc" -eq 2 ] || fail "'$args': exit status $rc, expected 2"
  is_usage_error "$report" err.txt || fail "'$args': not a usage error: $(cat err.txt)"
done

finish "--measures"
