#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The catalogue's flatfile, shards and resumed batches, end to end:
#  - flatfile.csv of a batch of records and agency folders (one failing
#    its import), with and without --correct, checked cell by cell against
#    each record's measures.csv, spectra.csv, fas.csv and correct.json by
#    flatfile_check.py; the failed record has no row;
#  - which record is measured: the input when wavefft changes nothing, the
#    processed record otherwise, the corrected one with --correct; the
#    page made from the measures handed to the report is the one it
#    computes itself;
#  - shards 1, 2 and 5 of one catalogue joined: the flatfile byte-identical
#    to one batch's, the summary and page equal but for the record links;
#  - --shard refused with status 2 for I >= N, N < 1 or a malformed value;
#  - a batch killed with SIGKILL part-way and run again with --resume: the
#    same summary, page and flatfile as an uninterrupted batch, and every
#    record finished before the kill run once.
#
#   flatfile_test.sh WAVEFFT_BATCH SOURCE_DIR
set -eu
batch=$1 src=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib.sh"
enter_scratch flatfile
tab=$(printf '\t')

python=/usr/bin/python3
[ -x "$python" ] || python=python3
# The flatfile is loaded with pandas as users load it (scripts/ensure-tools
# installs python3-pandas); only outside CI may that part be left out.
if ! "$python" -c 'import pandas' 2>/dev/null; then
  if [ "${CI:-}" = true ]; then
    fail "no pandas for $python (scripts/ensure-tools installs python3-pandas)"
  else
    echo "note: no pandas for $python: the pandas load check is left out (scripts/ensure-tools installs it)"
  fi
  export FLATFILE_PANDAS=0
fi
check_flatfile() {  # OUTDIR WHAT
  "$python" "$here/flatfile_check.py" "$1" >check.out 2>&1 || { cat check.out; fail "$2: the flatfile disagrees with the record files"; }
}
# Column NAME of record REC in summary TABLE.
col() {
  awk -F "$tab" -v rec="$1" -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next }
    $1 == rec { print $(c[name]) }' "$3"
}

mkdir in
cp "$src/tests/data/records/ELCENTRO_1940.txt" "$src/tests/data/records/SYLMAR_1994_AFTERSHOCK.txt" in/
for d in knet/CHB002 knet/NGNH31_kik geonet/WPWS cwb/EAS csmip/CE89146; do
  cp -R "$src/tests/data/import/raw/$d" "in/$(basename "$d")"
done
mkdir in/broken && echo "not a record" >in/broken/readme.txt
records="in/ELCENTRO_1940.txt in/SYLMAR_1994_AFTERSHOCK.txt in/CHB002 in/NGNH31_kik in/WPWS in/EAS in/CE89146 in/broken"

# 1. Flatfiles of plain, processed and corrected batches.
"$batch" -j 2 -o plain $records >/dev/null 2>&1 || true
check_flatfile plain "no processing"
[ "$(col in/CHB002 measured plain/summary.tsv)" = input ] || fail "wavefft changed nothing: the input is not what was measured"
grep -q '^in/broken,' plain/flatfile.csv && fail "a record that failed its import has a flatfile row"
[ "$(col in/broken status plain/summary.tsv)" = import-failed ] || fail "in/broken is not import-failed"
[ "$(wc -l <plain/flatfile.csv)" -eq 8 ] || fail "plain: $(wc -l <plain/flatfile.csv) lines, not a header and 7 rows"

"$batch" -j 2 -o band --bandpass 0.1,0.2,20,25 $records >/dev/null 2>&1 || true
check_flatfile band "band-passed"
[ "$(col in/CHB002 measured band/summary.tsv)" = processed ] || fail "band-passed: the processed record is not what was measured"
grep -q '^in/CHB002,.*,processed,0.1 0.2 20 25,' band/flatfile.csv || fail "band-passed: no bandpass_hz cell"
# The report took the processed record's measures from its files: the page
# is the one it computes itself.
(cd band/CHB002 && "$(dirname "$batch")/wavefft-report" --out ../../computed.html --wave wave.csv \
  --warnings ../../computed.tsv --unit gal --input record.txt . >/dev/null 2>&1) || fail "band-passed: the report alone"
cmp -s band/CHB002/report.html computed.html || fail "band-passed: the page from the handed measures is not the computed one"
[ "$(col in/CHB002 status band/summary.tsv)" = normal ] || fail "band-passed: CHB002 is not normal (the report refused its measures?)"

"$batch" -j 2 -o corr --correct in/CHB002 in/SYLMAR_1994_AFTERSHOCK.txt >/dev/null 2>&1 || true
check_flatfile corr "corrected"
[ "$(col in/CHB002 measured corr/summary.tsv)" = corrected ] || fail "--correct: the corrected record is not what was measured"

# 2. Shards joined in the catalogue's order.
for n in 1 2 5; do
  i=0
  while [ $i -lt $n ]; do
    "$batch" -j 2 --shard $i/$n -o "shards$n/task-$i" --bandpass 0.1,0.2,20,25 $records >/dev/null 2>&1 || true
    i=$((i + 1))
  done
  "$batch" --join -o "joined$n/band" shards$n/task-* >/dev/null 2>&1 || true
  cmp -s band/flatfile.csv "joined$n/band/flatfile.csv" || fail "$n shards: the joined flatfile differs from one batch's"
  for f in summary.tsv index.html; do
    sed "s#\(\.\./\)*shards$n/task-[0-9]*/##g" "joined$n/band/$f" >unlinked
    cmp -s "band/$f" unlinked || fail "$n shards: the joined $f differs from one batch's beyond the links"
  done
done
[ "$(ls shards5/task-*/ -d | wc -l)" -eq 5 ] || fail "5 shards did not make 5 folders"

for bad in 3/3 0/0 -1/2 1 a/b 1/2/3 "" " 1/2" 1/1000001; do
  set +e
  "$batch" --shard "$bad" -o refused in/CHB002 >out.txt 2>err.txt
  code=$?
  set -e
  [ $code -eq 2 ] || fail "--shard '$bad': status $code, not 2"
  is_usage_error "$batch" err.txt || fail "--shard '$bad': not a usage error: $(head -n 1 err.txt)"
done
[ -e refused ] && fail "a refused --shard made its output folder"

# 3. Killed with SIGKILL part-way, then resumed.
real=$(dirname "$batch")/wavefft
cat >slow-wavefft <<EOF
#!/bin/sh
echo "\$PWD" >>"$work/runs.log"
sleep 0.3
exec "$real" "\$@"
EOF
chmod +x slow-wavefft
"$batch" -j 1 -p "$work/slow-wavefft" -o whole/cat --bandpass 0.1,0.2,20,25 $records >/dev/null 2>&1 || true
: >runs.log
"$batch" -j 1 -p "$work/slow-wavefft" -o killed/cat --bandpass 0.1,0.2,20,25 $records >/dev/null 2>&1 &
pid=$!
tries=0
while [ "$(ls killed/cat/*/record.done 2>/dev/null | wc -l)" -lt 3 ] && [ $tries -lt 600 ]; do
  sleep 0.05
  tries=$((tries + 1))
done
kill -9 $pid
wait $pid 2>/dev/null || true
done_before=$(ls killed/cat/*/record.done | xargs -n 1 dirname | xargs -n 1 basename | sort)
[ -f killed/cat/summary.tsv ] && fail "the killed batch wrote its summary"
"$batch" -j 1 -p "$work/slow-wavefft" -o killed/cat --resume --bandpass 0.1,0.2,20,25 $records >/dev/null 2>&1 || true
for f in summary.tsv index.html flatfile.csv; do
  cmp -s "whole/cat/$f" "killed/cat/$f" || fail "resumed: $f differs from the uninterrupted batch's"
done
for rec in $done_before; do
  runs=$(grep -c "/$rec\$" runs.log || true)
  [ "$runs" -eq 1 ] || fail "$rec was finished before the kill but ran $runs times"
done
[ "$(echo "$done_before" | wc -w)" -ge 3 ] || fail "fewer than 3 records finished before the kill"
# Another setting is another catalogue: nothing is kept.
: >runs.log
"$batch" -j 1 -p "$work/slow-wavefft" -o killed/cat --resume $records >/dev/null 2>&1 || true
[ "$(sort -u runs.log | wc -l)" -eq 7 ] || fail "--resume with other options kept records of the earlier ones"

finish flatfile
