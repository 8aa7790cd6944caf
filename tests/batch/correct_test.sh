#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-batch --correct end to end: a K-NET folder (imported, then
# corrected) and a PEER record in the input layout (corrected as given,
# flagged) go through with status normal; record.txt stays the raw import;
# corrected.txt and correct.json are what wavefft-correct makes of the
# record; wavefft, wavefft-measures and the EAS cells take corrected.txt;
# the corner and flag cells are those of correct.json. A record the
# correction refuses is correct-failed with the tool's message, and the
# rest of its chain does not run. A second batch without --correct into the
# same folder leaves none of the correction's files and empty cells.
#
#   correct_test.sh WAVEFFT_BATCH SOURCE_DIR
set -eu
batch=$1 src=$2
bin=$(dirname "$batch")
. "$(dirname "$0")/../lib.sh"
enter_scratch correct
tab=$(printf '\t')

mkdir in
cp -R "$src/tests/data/import/raw/knet/CHB002" in/CHB002
cp "$src/tests/data/records/SYLMAR_1994_AFTERSHOCK.txt" in/sylmar.txt

# Column NAME of the row of record REC in the summary TABLE.
col() {
  awk -F "$tab" -v rec="$1" -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next }
    $1 == rec { print $(c[name]); found = 1 } END { if (!found) print "<no row>" }' "$3"
}
# The cells that correct.json FILE gives: hp1 hp2 hp3 lp1 lp2 lp3 (null
# as empty) and the flags "compN:WORD ...", one per line.
cells_of_json() {
  awk '/"highpass_hz"/ {
      n++
      hp[n] = $0; sub(/.*"highpass_hz": /, "", hp[n]); sub(/,.*/, "", hp[n])
      lp[n] = $0; sub(/.*"lowpass_hz": /, "", lp[n]); sub(/,.*/, "", lp[n]); if (lp[n] == "null") lp[n] = ""
      f = $0; sub(/.*"flags": \[/, "", f); sub(/\].*/, "", f); gsub(/[" ]/, "", f)
      k = split(f, w, ",")
      for (i = 1; i <= k; i++) flags = flags (flags == "" ? "" : " ") "comp" n ":" w[i]
    }
    END { for (i = 1; i <= 3; i++) print hp[i]; for (i = 1; i <= 3; i++) print lp[i]; print flags }' "$1"
}
cells_of_row() {  # REC TABLE
  for c in hp1_hz hp2_hz hp3_hz lp1_hz lp2_hz lp3_hz flags; do col "$1" "$c" "$2"; done
}

# The integration makes the measures those of the input, which is then
# corrected.txt.
opts="--integrate --output vel.csv"
if "$batch" -j 2 --correct -o out $opts in/CHB002 in/sylmar.txt >log.txt 2>err.txt; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "exit status $rc, expected 0 (flagged records are normal): $(cat log.txt err.txt)"
sum=out/summary.tsv
[ -f "$sum" ] || { echo "FAIL: no summary.tsv: $(cat log.txt err.txt)"; exit 1; }

# A direct import of the folder: the raw record the batch must keep.
"$bin/wavefft-import" -o direct-CHB002.txt in/CHB002 2>/dev/null || fail "direct import of CHB002"
cmp -s direct-CHB002.txt out/CHB002/record.txt || fail "CHB002: record.txt is not the raw import"
cp in/sylmar.txt sylmar-given.txt
for r in in/CHB002 in/sylmar.txt; do
  name=${r##*/} d=out/${r##*/}
  raw=$d/record.txt
  [ "$name" = sylmar.txt ] && raw=in/sylmar.txt
  [ "$(col "$r" status "$sum")" = normal ] || fail "$r: status '$(col "$r" status "$sum")': $(col "$r" diagnostic "$sum")"
  [ "$(col "$r" exit "$sum")" = 0 ] || fail "$r: exit '$(col "$r" exit "$sum")'"
  for f in corrected.txt correct.json correct.stdout correct.stderr correct.status vel.csv measures.csv report.html; do
    [ -f "$d/$f" ] || fail "$r: no $f"
  done
  [ "$(cat "$d/correct.status")" = 0 ] || fail "$r: correct.status '$(cat "$d/correct.status")'"
  # What wavefft-correct itself makes of the raw record.
  mkdir "direct-$name"
  "$bin/wavefft-correct" --summary "direct-$name/correct.json" -o "direct-$name/corrected.txt" "$raw" 2>/dev/null ||
    fail "$r: direct correction"
  cmp -s "direct-$name/corrected.txt" "$d/corrected.txt" || fail "$r: corrected.txt is not the correction of the raw record"
  cmp -s "direct-$name/correct.json" "$d/correct.json" || fail "$r: correct.json is not the correction's summary"
  # wavefft read corrected.txt.
  (cd "direct-$name" && "$bin/wavefft" $opts corrected.txt >console.txt 2>&1) || fail "$r: direct wavefft run"
  cmp -s "direct-$name/vel.csv" "$d/vel.csv" || fail "$r: vel.csv is not wavefft's on corrected.txt"
  # So did wavefft-measures, and the EAS cell is that of its fas.csv.
  unit=$(head -n 1 "$raw" | cut -d ' ' -f 4)
  "$bin/wavefft-measures" --unit "$unit" --out "direct-$name" "$d/corrected.txt" >/dev/null 2>&1 || fail "$r: direct measures"
  cmp -s "direct-$name/measures.csv" "$d/measures.csv" || fail "$r: measures.csv is not that of corrected.txt"
  [ "$(col "$r" measured "$sum")" = corrected ] || fail "$r: measured '$(col "$r" measured "$sum")'"
  eas=$(awk -F, '$1 == 1 { print $5 }' "direct-$name/fas.csv")
  [ -n "$eas" ] && [ "$(col "$r" eas_1hz "$sum")" = "$eas" ] ||
    fail "$r: eas_1hz '$(col "$r" eas_1hz "$sum")', corrected.txt's is '$eas'"
  # The corner and flag cells are correct.json's, text for text.
  [ "$(cells_of_row "$r" "$sum")" = "$(cells_of_json "$d/correct.json")" ] ||
    fail "$r: cells '$(cells_of_row "$r" "$sum" | tr '\n' '|')', correct.json gives '$(cells_of_json "$d/correct.json" | tr '\n' '|')'"
  [ -n "$(col "$r" hp1_hz "$sum")" ] && [ -n "$(col "$r" hp3_hz "$sum")" ] || fail "$r: no high-pass corner"
done
cmp -s sylmar-given.txt in/sylmar.txt || fail "sylmar.txt: the record given was changed"
[ ! -e out/sylmar.txt/record.txt ] || fail "sylmar.txt: a record.txt for a record given as a file"
# At 1 Hz the Sylmar record stands less than 3 times above its pre-event
# noise: flagged low-snr, and still normal (checked above).
case " $(col in/sylmar.txt flags "$sum") " in
  *" comp1:low-snr "*) ;;
  *) fail "sylmar.txt: flags '$(col in/sylmar.txt flags "$sum")' do not say comp1:low-snr" ;;
esac
grep -q '^2 normal$' log.txt || fail "tally '$(cat log.txt)'"
grep -qF '>Corners (Hz)</button>' out/index.html || fail "index.html has no column of corners"
grep -qF "<div class=\"flags\">$(col in/sylmar.txt flags "$sum")</div>" out/index.html ||
  fail "index.html does not show sylmar.txt's flags"

# Refused by the correction: too short a record and a unit that is no
# acceleration. The chain stops there.
head -n 3 in/sylmar.txt >short.txt
sed '1s/ g$/ volts/' in/sylmar.txt >volts.txt
if "$batch" --correct -o bad short.txt volts.txt in/sylmar.txt >bad.log 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 1 ] || fail "refused records: exit status $rc, expected 1"
for r in short.txt volts.txt; do
  [ "$(col "$r" status bad/summary.tsv)" = correct-failed ] || fail "$r: status '$(col "$r" status bad/summary.tsv)'"
  [ "$(col "$r" exit bad/summary.tsv)" = "$(cat "bad/$r/correct.status")" ] && [ "$(col "$r" exit bad/summary.tsv)" != 0 ] ||
    fail "$r: exit '$(col "$r" exit bad/summary.tsv)'"
  diag=$(col "$r" diagnostic bad/summary.tsv)
  [ -n "$diag" ] && [ "$diag" = "$(head -n 1 "bad/$r/correct.stderr")" ] || fail "$r: diagnostic '$diag' is not the tool's message"
  [ ! -e "bad/$r/wavefft.status" ] && [ ! -e "bad/$r/corrected.txt" ] || fail "$r: the chain went on after the correction failed"
  [ "$(cells_of_row "$r" bad/summary.tsv | tr -d '\n')" = "" ] || fail "$r: correction cells of a refused record"
done
case $(col volts.txt diagnostic bad/summary.tsv) in
  *volts*) ;;
  *) fail "volts.txt: the diagnostic does not name the unit: '$(col volts.txt diagnostic bad/summary.tsv)'" ;;
esac
[ "$(col in/sylmar.txt status bad/summary.tsv)" = normal ] || fail "a refused record stopped another"
grep -q '^2 correct-failed$' bad.log || fail "refused records: tally '$(cat bad.log)'"

# The same folder again without --correct: no correction file is left,
# the cells are empty, and the measures are those of the raw import.
if "$batch" -o out $opts in/CHB002 in/sylmar.txt >again.log 2>&1; then rc=0; else rc=$?; fi
[ "$rc" -eq 0 ] || fail "without --correct: exit status $rc: $(cat again.log)"
for f in corrected.txt correct.json correct.stdout correct.stderr correct.status; do
  [ ! -e "out/CHB002/$f" ] && [ ! -e "out/sylmar.txt/$f" ] || fail "without --correct: $f left from the first batch"
done
for r in in/CHB002 in/sylmar.txt; do
  [ "$(cells_of_row "$r" "$sum" | tr -d '\n')" = "" ] || fail "without --correct: $r has correction cells"
done
"$bin/wavefft-measures" --unit gal --out direct-raw out/CHB002/record.txt >/dev/null 2>&1 || fail "measures of the raw import"
cmp -s direct-raw/measures.csv out/CHB002/measures.csv || fail "without --correct: the measures are not those of record.txt"

finish correct
