#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-report on real runs of wavefft: generated records processed with
# different answers, and the warnings each page must (and must not) give;
# the unit, the measures, the response spectra and the Fourier amplitude
# spectra; the correction of a record corrected before the run; then the
# failures of wavefft-report itself (missing files, two waveform files, a
# page in new folders and one that cannot be written, an --input file that
# is not the run's input).
#
#   pages_test.sh WAVEFFT MAKE_SAMPLE WAVEFFT_REPORT WAVEFFT_CORRECT
set -eu
wavefft=$1 make_sample=$2 report=$3 correct=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/wavefft-pages.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$make_sample" sample.txt
# The first 4096 records: a power of two, so nothing is padded.
head -n 4098 sample.txt >pow2.txt

fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}

# run NAME RECORD ANSWERS...: one run in folder NAME, then its page.
run() {
  name=$1 record=$2
  shift 2
  mkdir "$name"
  (
    cd "$name"
    { echo "../$record"; printf '%s\n' "$@"; echo; } | "$wavefft" >console.txt
    "$report" >report.out 2>report.err
  ) || fail "$name: wavefft or wavefft-report failed: $(cat "$name/report.err" 2>/dev/null)"
}

# warnings NAME: the kinds of warning on the page, sorted, on one line.
warnings() {
  grep -o 'data-warning="[a-z-]*"' "$1/report.html" | sed 's/.*="\(.*\)"/\1/' | sort | tr '\n' ' ' | sed 's/ $//'
}

expect_warnings() {
  got=$(warnings "$1")
  [ "$got" = "$2" ] || fail "$1: warnings '$got', expected '$2'"
}

# Band-pass 0.1-0.2-20-25 Hz, integration, every 2nd sample: a sound run.
run sound sample.txt 0 1 "0.1 0.2 20 25" 1 0 1 vel.csv
expect_warnings sound ""
grep -q '<p class="no-warnings">None.</p>' sound/report.html || fail "sound: no 'None.' under Warnings"
grep -q '<td>single integration</td>' sound/report.html || fail "sound: the integration was not recognised"
grep -q 'gain 1 from 0.2075 to 20.0' sound/report.html || fail "sound: the flat part of the band was not found"
[ "$(cat sound/report.out)" = "wrote ./report.html (0 warnings)" ] || fail "sound: report said '$(cat sound/report.out)'"
# No warnings: --warnings leaves an empty file, replacing what was there.
echo old >sound.tsv
"$report" --warnings sound.tsv --out sound-again.html sound >/dev/null || fail "sound: --warnings failed"
[ -f sound.tsv ] && [ ! -s sound.tsv ] || fail "sound: --warnings file is not empty: '$(cat sound.tsv)'"
# Nine plots, each trace thinned to at most 2000 points but not empty.
[ "$(grep -o '<svg ' sound/report.html | wc -l)" -eq 9 ] || fail "sound: not 9 plots"
for n in $(grep -o 'data-points="[0-9]*"' sound/report.html | sed 's/[^0-9]//g'); do
  [ "$n" -gt 100 ] && [ "$n" -le 2000 ] || fail "sound: a trace of $n points"
done
# Self-contained: nothing is fetched from elsewhere.
if grep -Eq '(src|href)=' sound/report.html; then fail "sound: the page refers to other files"; fi

# The record sits in the parent folder: no unit, so no measures, and one
# line that says how to give the unit.
grep -q '<p class="no-unit">' sound/report.html || fail "sound: no line about the missing unit"
grep -q '<td>none found in the folder (name it with --input FILE)</td>' sound/report.html ||
  fail "sound: the input record row"
if grep -q 'class="measures"' sound/report.html; then fail "sound: a table of measures without a unit"; fi
if grep -q 'id="fas-' sound/report.html; then fail "sound: a FAS plot without a unit"; fi
# With --unit g: the input's measures (from fort.99), its response spectra
# and its FAS; none for the processed record, a velocity.
"$report" --unit g --out unit.html sound >/dev/null || fail "--unit g failed"
grep -q '<td>g (from --unit)</td>' unit.html || fail "--unit g: the unit row"
grep -q '<td class="name">input (fort.99)</td>' unit.html || fail "--unit g: no input measures from fort.99"
grep -q 'id="psa-input"' unit.html || fail "--unit g: no response spectra of the input"
grep -q 'id="fas-input"' unit.html || fail "--unit g: no FAS of the input"
if grep -q 'psa-processed\|fas-processed\|data-record="processed"' unit.html; then fail "--unit g: measures of a velocity"; fi
# A record that is not the run's input: exit 1, and what disagrees.
if "$report" --input ../pow2.txt --out no.html sound >out.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "--input of another record: exit status $rc"
grep -q 'pow2.txt line 4099: the file holds 4096 samples but fort.99 6000 records: not the input of this run' err.txt ||
  fail "--input of another record: message '$(cat err.txt)'"

# The record in the run folder, no operation: measures, response spectra and
# FAS of the input and of the processed acceleration, the unit from the
# header. The PGA of comp1 is the largest |value| of the record's second
# column (g).
mkdir here
cp sample.txt here/
(cd here && { printf 'sample.txt\n0\n1\n0.1 0.2 20 25\n0\n0\n0\nacc.csv\n\n'; } | "$wavefft" >console.txt &&
  "$report" >report.out 2>report.err) || fail "here: wavefft or wavefft-report failed: $(cat here/report.err)"
expect_warnings here ""
grep -q '<td>sample.txt (found in the folder)</td>' here/report.html || fail "here: the input file was not found"
grep -q '<td>g (from the header of sample.txt)</td>' here/report.html || fail "here: the unit row"
pga=$(awk 'NR > 2 { v = $2 < 0 ? -$2 : $2; if (v > m) m = v } END { printf "%.4g", m }' sample.txt)
grep -q "<tr data-record=\"input\" data-comp=\"1\"><td class=\"name\">input (sample.txt)</td><td class=\"name\">comp1</td><td>$pga</td>" here/report.html ||
  fail "here: the PGA of comp1 is not $pga g"
grep -q 'data-record="processed" data-comp="3"' here/report.html || fail "here: no measures of the processed record"
for id in psa-input psa-processed fas-input fas-processed; do
  grep -q "id=\"$id\"" here/report.html || fail "here: no plot $id"
done
# Thirteen plots, two of them FAS plots of 3 x 3000 lines: thinned, the
# page stays near 140 kB (the 18000 unsmoothed lines alone, unthinned,
# would take some 200 kB).
size=$(wc -c <here/report.html)
[ "$size" -lt 180000 ] || fail "here: the page is $size bytes"

# No filter, no operation, every 4th sample: the spectrum above 12.5 Hz
# aliases, and the double integral of the raw input drifts.
run alias sample.txt 0 0 0 0 3 acc.csv
expect_warnings alias "aliasing drift"
grep -q 'up to 12.5 Hz only' alias/report.html || fail "alias: the new Nyquist frequency is not named"
grep -q 'The double integral of the input acceleration (fort.99) grows steadily to the end of the record' alias/report.html ||
  fail "alias: the drift warning does not say what drifts"
grep -q 'so filter before integrating' alias/report.html || fail "alias: the drift warning gives no advice"

# A velocity with an offset: its integral grows to the end of the record.
awk 'NR <= 2 { print; next } { $2 += 0.005; print }' sample.txt >offset.txt
run offset offset.txt 0 0 1 0 0 vel.csv
expect_warnings offset "drift low-lines"
grep -q 'The integral of the processed velocity (vel.csv) grows steadily.* in comp1\.' offset/report.html ||
  fail "offset: the drift warning does not name comp1"

# --warnings FILE: the page's warnings as lines "kind<TAB>title<TAB>text",
# in the page's order (the processing's, then the ground motion's), the
# titles as the page shows them; FILE is relative to the current folder.
tab=$(printf '\t')
"$report" --warnings alias.tsv --out alias-again.html alias >/dev/null || fail "--warnings: the run failed"
[ "$(cut -f1 alias.tsv | tr '\n' ' ')" = "aliasing drift " ] || fail "--warnings: kinds '$(cut -f1 alias.tsv | tr '\n' ' ')'"
[ "$(awk -F "$tab" 'NF != 3' alias.tsv | wc -l)" -eq 0 ] || fail "--warnings: a line without three fields"
page_titles=$(grep -o 'data-warning="[a-z-]*"><b>[^<]*\.</b>' alias-again.html | sed 's/.*<b>\(.*\)\.<\/b>/\1/')
[ "$(cut -f2 alias.tsv)" = "$page_titles" ] || fail "--warnings: titles '$(cut -f2 alias.tsv)', the page shows '$page_titles'"
grep -q "^drift$tab[^$tab]*${tab}The double integral of the input acceleration (fort.99) grows steadily" alias.tsv ||
  fail "--warnings: the drift line does not carry its text"
[ "$(tail -c 1 alias.tsv | od -An -tx1 | tr -d ' ')" = 0a ] || fail "--warnings: the last line has no line end"
# A tab and a line end inside a field (here the waveform's name, which the
# drift warning quotes) become blanks, so each warning stays one line.
cp -r offset tabbed
odd=$(printf 'v\te\nl.csv')
mv tabbed/vel.csv "tabbed/$odd"
"$report" --warnings tabbed.tsv tabbed >/dev/null || fail "--warnings: the run on tabbed failed"
[ "$(cut -f1 tabbed.tsv | tr '\n' ' ')" = "low-lines drift " ] || fail "--warnings: tabbed kinds '$(cut -f1 tabbed.tsv | tr '\n' ' ')'"
grep -q "^drift$tab[^$tab]*${tab}The integral of the processed velocity (v e l.csv) grows steadily" tabbed.tsv ||
  fail "--warnings: the name with a tab and a line end was not made blanks: '$(cat tabbed.tsv)'"

# Edge transients: the sample with 0.1 g added to comp1 and 0.06 g taken
# from comp2, band-passed as `here` (which has no warning): each step at the
# ends of the record rings through the filter. Cut to 10-30 s, the same
# record is not tested (the ends of a cut lie inside the motion), nor once
# integrated (an integral from the frequency domain does not start at zero
# by itself: `sound`, the sample integrated, starts at 11% of its peak).
awk 'NR <= 2 { print; next } { $2 += 0.1; $3 -= 0.06; print }' sample.txt >steps.txt
run edge steps.txt 0 1 "0.1 0.2 20 25" 0 0 0 acc.csv
expect_warnings edge "edge-transients"
grep -q '<b>Edge transients.</b> The first or last 2% of the processed record (acc.csv) reaches more than 10% of the component&#39;s peak, up to [0-9]*%, in comp1 (start and end), comp2 (start and end)\. ' edge/report.html ||
  fail "edge: the warning does not name comp1 and comp2 at both ends"
grep -q 'remove the mean or taper before filtering\.</li>' edge/report.html || fail "edge: the warning gives no advice"
run edgecut steps.txt 0 1 "0.1 0.2 20 25" 0 1 10 20 0 acc.csv
expect_warnings edgecut ""
run edgevel steps.txt 0 1 "0.1 0.2 20 25" 1 0 0 vel.csv
expect_warnings edgevel ""

# The same keeping every 2nd sample and cutting at 20 Hz: nothing aliases.
run noalias sample.txt 0 1 "0 0 18 20" 0 0 1 acc.csv
expect_warnings noalias ""

# Integration without a band-pass: the lowest lines dominate.
run drift sample.txt 0 0 1 0 0 vel.csv
expect_warnings drift "low-lines"
grep -q 'duration/2π = 13.04' drift/report.html || fail "drift: the amplification duration/2π is not given"

# 4096 records: no zero padding.
run nopad pow2.txt 0 1 "0.1 0.2 20 25" 0 0 0 acc.csv
expect_warnings nopad "no-padding"
grep -q '<td>4096 (no padding)</td>' nopad/report.html || fail "nopad: the transform length line"

# A corrected record as wavefft-batch --correct leaves it: the raw
# record.txt, corrected.txt that wavefft ran on, and the summary
# correct.json. The sample has some 10 s of quiet before its onset: the
# onset on the three input plots, a signal and noise plot per component
# with the summary's corners, and no warning.
mkdir corrected
cp sample.txt corrected/record.txt
(
  cd corrected &&
    "$correct" -o corrected.txt --summary correct.json record.txt &&
    { echo corrected.txt; printf '%s\n' 0 1 "0.1 0.2 20 25" 0 0 1 acc.csv; echo; } | "$wavefft" >console.txt &&
    "$report" >report.out 2>report.err
) || fail "corrected: wavefft-correct, wavefft or wavefft-report failed: $(cat corrected/report.err 2>/dev/null)"
expect_warnings corrected ""
onset=$(sed -n 's/^ *"onset_s": \([0-9.]*\),$/\1/p' corrected/correct.json)
[ "$(grep -o "<title>onset at $(printf %.6g "$onset") s (correct.json)</title></line><text class=\"mark\"[^>]*>onset<" \
  corrected/report.html | wc -l)" -eq 3 ] || fail "corrected: the onset at $onset s is not marked on three plots"
hp=$(sed -n 's/.*"highpass_hz": \([0-9.]*\),.*/\1/p' corrected/correct.json | head -n 1)
grep -q "<text class=\"mark\"[^>]*>high-pass $(printf %.4g "$hp") Hz</text>" corrected/report.html ||
  fail "corrected: no high-pass line at $hp Hz"
for c in 1 2 3; do
  grep -q "id=\"snr-comp$c\"" corrected/report.html || fail "corrected: no signal and noise plot of comp$c"
done
grep -q 'correct.json and record.txt.</p>' corrected/report.html || fail "corrected: the foot does not name them"
# A summary that cannot be read: one warning, the page without the section.
printf '{"onset_s": x}\n' >corrected/correct.json
"$report" --warnings corrected.tsv --out unreadable.html corrected >/dev/null || fail "corrected: unreadable summary"
[ "$(cut -f1,2 corrected.tsv)" = "correction${tab}Correction summary unreadable" ] ||
  fail "corrected: warnings '$(cat corrected.tsv)'"
if grep -q 'Signal and noise\|class="mark"' unreadable.html; then fail "corrected: a section without a summary"; fi

# A folder without the run's files: exit 1, both missing files named.
mkdir empty
if "$report" empty >out.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "empty folder: exit status $rc, expected 1"
grep -q 'missing fort.99, amp3.csv' err.txt || fail "empty folder: message '$(cat err.txt)'"
[ ! -s out.txt ] || fail "empty folder: something on standard output"
[ ! -e empty/report.html ] || fail "empty folder: a page was written"
# No page, no warnings file.
if "$report" --warnings empty.tsv empty >out.txt 2>err.txt; then fail "empty folder: --warnings: exit status 0"; fi
[ ! -e empty.tsv ] || fail "empty folder: a warnings file without a page"

# Two waveform files: exit 1 unless --wave chooses one.
cp sound/vel.csv sound/vel2.csv
if "$report" sound >out.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "two waveform files: exit status $rc"
grep -q 'more than one waveform file (vel.csv vel2.csv)' err.txt || fail "two waveform files: message '$(cat err.txt)'"
"$report" --wave vel2.csv --out chosen.html sound >/dev/null || fail "--wave vel2.csv failed"
grep -q 'Processed (vel2.csv)' chosen.html || fail "--wave: the page does not show vel2.csv"

# A page in folders that do not exist yet: they are made.
"$report" --out no/such/folder/r.html nopad >out.txt 2>err.txt || fail "--out in new folders: '$(cat err.txt)'"
[ "$(cat out.txt)" = "wrote no/such/folder/r.html (1 warning)" ] || fail "--out in new folders: said '$(cat out.txt)'"
grep -q 'data-warning="no-padding"' no/such/folder/r.html || fail "--out in new folders: not the page of nopad"
# A page that cannot be written, here because a folder has its name: the
# system's reason, and nothing left beside it.
if "$report" --out no/such nopad >out.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "page named as a folder: exit status $rc"
[ "$(cat err.txt)" = "wavefft-report: no/such: cannot replace it: Is a directory" ] ||
  fail "page named as a folder: message '$(cat err.txt)'"
[ "$(ls -A no)" = such ] || fail "page named as a folder: left '$(ls -A no | tr '\n' ' ')' in no/"

# A broken spectrum file: the line is named.
cp -r nopad broken
sed -i '5s/.*/  0.0732,  garbage,  0.1E+01,  0.1E+01,/' broken/amp3.csv
if "$report" broken >out.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "broken amp3.csv: exit status $rc"
grep -q 'amp3.csv line 5: field 2 is not a number: "garbage"' err.txt || fail "broken amp3.csv: message '$(cat err.txt)'"

if [ "$fails" -ne 0 ]; then
  echo "$fails checks failed"
  exit 1
fi
echo "all page checks passed"
