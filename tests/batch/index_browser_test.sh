#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The catalogue page of wavefft-batch in a real browser: two batch output
# folders made by hand in the form written before the EAS columns (normal
# and failed records, numbers of different magnitudes, empty cells, names
# with blanks and '#'), joined with `wavefft-batch --join`, and the joined index.html opened in headless
# Chromium with a probe that records the rows as rendered, clicks headings
# and records the order after each click. Then a catalogue of 5000 records:
# it must render and sort right (empty cells last both ways); the times it
# took are printed.
#
#   index_browser_test.sh WAVEFFT_BATCH ENSURE_TOOLS
#
# Exit status 77 (skipped) when no browser is installed and none can be,
# except when CI is set: then the test fails with the reason.
set -eu
batch=$1 ensure_tools=$2

. "$(dirname "$0")/../report/browser_env.sh"
. "$(dirname "$0")/../lib.sh"
find_browser "$ensure_tools"
enter_scratch index

tab=$(printf '\t')
# row RECORD STATUS EXIT DIAGNOSTIC FOLDER PGA PGV: one line of summary.tsv
# (the other measures are made from PGA; a failed record has no folder).
row() {
  page=
  [ -n "$5" ] && page="$5/report.html"
  psa=
  [ -n "$6" ] && psa="2$6"
  printf '%s\t%s\t%s\t%s\t%s\tEv1 2020\tST%s\tNS EW UD\t0.01\t81.92\tprocessed\t%s\t%s\t%s\t%s\t%s\t\t%s\n' \
    "$1" "$2" "$3" "$4" "$5" "$1" "$6" "$7" "$psa" "$6" "$6" "$page"
}
header="record${tab}status${tab}exit${tab}diagnostic${tab}folder${tab}event${tab}station${tab}components${tab}dt"
header="$header${tab}duration${tab}measured${tab}pga${tab}pgv${tab}psa_02${tab}psa_10${tab}rotd50_10${tab}warnings${tab}page"
# Today's header: the EAS columns, the correction's corners and its flags
# before the warnings.
today_header=$(printf '%s' "$header" |
  sed "s/${tab}warnings${tab}/${tab}eas_1hz${tab}eas_5hz${tab}hp1_hz${tab}hp2_hz${tab}hp3_hz${tab}lp1_hz${tab}lp2_hz${tab}lp3_hz${tab}flags${tab}warnings${tab}/")
mkdir b1 b2
{
  echo "$header"
  row 'rec a.txt' normal 0 '' 'rec a.txt' 0.25 30.5
  row zeta.txt import-failed 1 'no samples in <zeta.txt>' '' '' ''
  row 'beta #2.txt' normal 0 '' 'beta #2.txt' 0.0031 0.4
  row gamma.txt normal 0 '' gamma.txt 1.5 150
} >b1/summary.tsv
{
  echo "$header"
  row alpha.txt normal 0 '' alpha.txt 0.047 5
  row delta.txt signal 143 '' delta.txt '' ''
  row eta.txt normal 0 '' eta.txt 12 1200
  row mu.txt normal 0 '' mu.txt 9.5 980
  row nu.txt normal 0 '' nu.txt 3.2e-05 0.002
} >b2/summary.tsv
for d in 'b1/rec a.txt' 'b1/beta #2.txt' b1/gamma.txt b2/alpha.txt b2/delta.txt b2/eta.txt b2/mu.txt b2/nu.txt; do
  mkdir -p "$d"
  printf '<!DOCTYPE html><title>%s</title><p>report of %s</p>\n' "$d" "$d" >"$d/report.html"
done
# join BATCH... : wavefft-batch --join into OUT; its exit status is 1 when
# some record is not normal, as here.
join() {
  out=$1
  shift
  status=0
  "$batch" --join -o "$out" "$@" >"$out.log" 2>&1 || status=$?
  if [ "$status" -gt 1 ] || [ ! -f "$out/index.html" ]; then
    echo "FAIL: wavefft-batch --join -o $out $* ended with status $status"
    cat "$out.log"
    exit 1
  fi
}
join out b1 b2

# The probe, appended to a copy of the page: the first column's texts in
# order before and after each click (on the PGA heading twice, then on the
# Record and Status headings), the aria-sort of the clicked heading, and
# where the first row's link leads. Results go into attributes of <body>.
probe='<script>
(function () {
  var t = document.getElementById("catalogue"), b = document.body;
  function order() {
    return Array.prototype.map.call(t.tBodies[0].rows, function (r) { return r.cells[0].textContent; }).join("|");
  }
  function heading(text) {
    return Array.prototype.filter.call(t.tHead.rows[0].cells, function (th) { return th.textContent === text; })[0];
  }
  b.setAttribute("data-rows", String(t.tBodies[0].rows.length));
  b.setAttribute("data-failed-rows", String(t.querySelectorAll("tbody tr.failed").length));
  b.setAttribute("data-order0", order());
  b.setAttribute("data-link", t.tBodies[0].rows[0].cells[0].querySelector("a").href);
  b.setAttribute("data-buttons", String(t.querySelectorAll("thead th button").length));
  var pga = heading("PGA (g)");
  pga.click();
  b.setAttribute("data-order1", order());
  b.setAttribute("data-sort1", pga.getAttribute("aria-sort"));
  pga.querySelector("button").click();
  b.setAttribute("data-order2", order());
  b.setAttribute("data-sort2", pga.getAttribute("aria-sort"));
  var rec = heading("Record");
  rec.click();
  b.setAttribute("data-order3", order());
  b.setAttribute("data-sort3", rec.getAttribute("aria-sort") + "," + pga.getAttribute("aria-sort"));
  heading("Status").click();
  b.setAttribute("data-order4", order());
  b.setAttribute("data-probe", "done");
})();
</script></body>'

# Large: 5000 records, PGA from a scrambled sequence, every seventh failed
# with an empty PGA.
mkdir b3
{
  echo "$header"
  i=0
  while [ $i -lt 5000 ]; do
    echo $i
    i=$((i + 1))
  done | awk '{
    i = $1; v = (i * 7919) % 5000
    if (i % 7 == 3) { st = "diagnostic"; pga = "" } else { st = "normal"; pga = sprintf("%.6g", (v + 1) / 1000) }
    printf "r%04d.txt\t%s\t0\t\tr%04d.txt\tEv\tST\tNS EW UD\t0.01\t40.96\tinput\t%s\t1\t1\t1\t1\t\tr%04d.txt/report.html\n", i, st, i, pga, i
  }'
} >b3/summary.tsv
join big b3
big_probe='<script>
(function () {
  var t = document.getElementById("catalogue"), b = document.body, rows = t.tBodies[0].rows;
  var pga = t.tHead.rows[0].cells[8];
  var t0 = performance.now();
  pga.click();
  var t1 = performance.now();
  b.setAttribute("data-asc", rows[0].cells[0].textContent + "," + rows[4285].cells[0].textContent + "," +
                 rows[4286].cells[0].textContent + "," + rows[4999].cells[0].textContent);
  pga.click();
  var t2 = performance.now();
  b.setAttribute("data-desc", rows[0].cells[0].textContent + "," + rows[4285].cells[0].textContent + "," +
                 rows[4286].cells[0].textContent + "," + rows[4999].cells[0].textContent);
  b.setAttribute("data-rows", String(rows.length));
  b.setAttribute("data-ms", Math.round(t1 - t0) + "," + Math.round(t2 - t1));
  b.setAttribute("data-probe", "done");
})();
</script></body>'

# Layout: a real batch of one record in g whose NS component sits on an
# offset of 0.1 g under a burst of 0.3 g, band-passed (its report warns of
# edge transients, and the batch's warnings column must show that), joined
# with rows of long texts: a record name no window could show on one line,
# a diagnostic naming a long path, warnings of many words, the corners and
# flags of a correction (a column of corners, the flags under the status).
awk 'BEGIN {
  printf "Synth2026 GEN acceleration g\nTIME NS EW"
  for (j = 3; j <= 42; j++) printf (j == 11 ? " UD" : " V%02d"), j
  printf "\n"
  pi = 3.141592653589793
  for (i = 0; i < 3000; i++) {
    t = i * 0.01; e = exp(-((t - 12) / 4) ^ 2)
    v[1] = 0.1 + 0.3 * e * sin(2 * pi * 2 * t); v[2] = 0.25 * e * sin(2 * pi * 3.1 * t + 1)
    v[11] = 0.1 * e * sin(2 * pi * 5.3 * t)
    printf "%.2f", t
    for (j = 1; j <= 42; j++) printf " %.6e", (j in v ? v[j] : 0)
    printf "\n"
  }
}' >offset.txt
status=0
"$batch" -o real --bandpass 0.1,0.2,20,25 offset.txt >real.log 2>&1 || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: wavefft-batch on offset.txt ended with status $status"; cat real.log; exit 1; }
# Column NAME of the first row of summary.tsv FILE.
first_row() {
  awk -F "$tab" -v name="$1" 'NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i } NR == 2 { print $(c[name]) }' "$2"
}
[ "$(first_row warnings real/summary.tsv)" = "Edge transients" ] ||
  fail "offset.txt: the warnings column of summary.tsv is '$(first_row warnings real/summary.tsv)'"
mkdir b4
long_name=catalogue-of-the-2011-sequence-station-CHB0021103111446-east-west-component-corrected.txt
long_warnings='Edge transients; Displacement drifts; Integration with energy at the lowest lines; no unit: measures not computed (give --unit)'
# EAS values and corners in their widest form on the page ("1.926e-05",
# "0.1259"), and the flags of a record flagged on every component.
corners='0.12589254117941673\t0.12589254117941673\t0.5754399373371569\t33.11311214825911\t33.11311214825911\t38.607054321538115'
long_flags='comp1:no-noise comp1:drift comp1:residual comp2:no-noise comp2:drift comp2:residual comp3:no-noise comp3:drift comp3:residual'
{
  echo "$today_header"
  printf '%s\tnormal\t0\t\t%s\t20110311144618M9.0\tCHB002\tN-S E-W U-D\t0.01\t300\tprocessed\t0.1234567\t12.345678\t0.3456789\t0.0987654\t0.0876543\t1.9260195918762994e-05\t0.0005691698555547587\t%b\t%s\t%s\t%s/report.html\n' \
    "$long_name" "$long_name" "$corners" "$long_flags" "$long_warnings" "$long_name"
  printf 'failed.txt\treport-failed\t1\twavefft-report: /very/long/path/to/some/folder/of/records/failed.txt/amp3.csv line 5: field 2 is not a number: "garbage"\tfailed.txt\tEv\tST\tNS EW UD\t0.005\t120\tinput\t0.5\t50\t1.2\t0.3\t0.25\t\t\t\t\t\t\t\t\t\tAliasing; Edge transients\t\n'
} >b4/summary.tsv
join layout real b4

# The probe of the layout: the table's right edge and the page's width
# against the window, the warnings cell of offset.txt (its text, its right
# edge), then the page scrolled sideways as far as it goes and where the
# first record's cell is then, and where it was before.
layout_probe='<script>
(function () {
  var t = document.getElementById("catalogue"), b = document.body, page = document.scrollingElement;
  var heads = Array.prototype.map.call(t.tHead.rows[0].cells, function (th) { return th.textContent; });
  var warned = Array.prototype.filter.call(t.tBodies[0].rows, function (r) { return r.cells[0].textContent === "offset.txt"; })[0];
  var w = warned.cells[heads.indexOf("Warnings")];
  b.setAttribute("data-window", String(window.innerWidth));
  b.setAttribute("data-table-right", String(Math.ceil(t.getBoundingClientRect().right)));
  b.setAttribute("data-page-width", String(page.scrollWidth));
  b.setAttribute("data-warning-cell", w.textContent);
  b.setAttribute("data-eas-cell", warned.cells[heads.indexOf("EAS 1 Hz (g·s)")].textContent);
  b.setAttribute("data-warning-right", String(Math.ceil(w.getBoundingClientRect().right)));
  var first = t.tBodies[0].rows[0].cells[0];
  b.setAttribute("data-record-right-before", String(Math.ceil(first.getBoundingClientRect().right)));
  page.scrollLeft = page.scrollWidth;
  var r = first.getBoundingClientRect();
  b.setAttribute("data-scrolled", String(page.scrollLeft));
  b.setAttribute("data-record-cell", Math.floor(r.left) + "," + Math.ceil(r.right));
  b.setAttribute("data-probe", "done");
})();
</script></body>'

one_line() { printf '%s' "$1" | tr '\n' ' '; }
sed "s#</body>#$(one_line "$probe")#" out/index.html >out/probe.html
sed "s#</body>#$(one_line "$big_probe")#" big/index.html >big/probe.html
sed "s#</body>#$(one_line "$layout_probe")#" layout/index.html >layout/probe.html

run_browser 1 --virtual-time-budget=5000 --dump-dom "file://$work/out/probe.html" >dom.html 2>browser1.log || {
  echo "FAIL: the browser did not dump the page"; cat browser1.log; exit 1
}
started=$(date +%s)
run_browser 2 --virtual-time-budget=5000 --dump-dom "file://$work/big/probe.html" >big.html 2>browser2.log || {
  echo "FAIL: the browser did not dump the page of 5000 records"; cat browser2.log; exit 1
}
seconds=$(($(date +%s) - started))
for width in 1400 800; do
  window=$width,900 run_browser "3-$width" --virtual-time-budget=5000 --dump-dom "file://$work/layout/probe.html" \
    >"layout-$width.html" 2>"browser3-$width.log" || {
    echo "FAIL: the browser did not dump the layout page at $width pixels"; cat "browser3-$width.log"; exit 1
  }
done

# The value of attribute $1 of <body> in dumped DOM $2.
attr() {
  grep -o "<body[^>]*>" "$2" | grep -o " $1=\"[^\"]*\"" | sed 's/^[^"]*"//; s/"$//' || true
}
expect() {
  got=$(attr "$1" "$2")
  [ "$got" = "$3" ] || fail "$2 $1: expected '$3', got '$got'"
}
grep -q 'data-probe="done"' dom.html || fail "the probe script did not run on the joined page"
expect data-rows dom.html 9
expect data-failed-rows dom.html 2
# No record of these batches was corrected: no column of corners.
expect data-buttons dom.html 16
expect data-order0 dom.html 'rec a.txt|zeta.txt|beta #2.txt|gamma.txt|alpha.txt|delta.txt|eta.txt|mu.txt|nu.txt'
# Numbers compare as numbers (9.5 before 12, 3.2e-05 first); empty cells
# last in both directions, keeping their order.
expect data-order1 dom.html 'nu.txt|beta #2.txt|alpha.txt|rec a.txt|gamma.txt|mu.txt|eta.txt|zeta.txt|delta.txt'
expect data-sort1 dom.html ascending
expect data-order2 dom.html 'eta.txt|mu.txt|gamma.txt|rec a.txt|alpha.txt|beta #2.txt|nu.txt|zeta.txt|delta.txt'
expect data-sort2 dom.html descending
expect data-order3 dom.html 'alpha.txt|beta #2.txt|delta.txt|eta.txt|gamma.txt|mu.txt|nu.txt|rec a.txt|zeta.txt'
expect data-sort3 dom.html ascending,none
# Equal statuses keep the order of the Record sort.
expect data-order4 dom.html 'zeta.txt|alpha.txt|beta #2.txt|eta.txt|gamma.txt|mu.txt|nu.txt|rec a.txt|delta.txt'
# OUT is beside the batches: the link leads up and into b1, to a page there.
expect data-link dom.html "file://$work/b1/rec%20a.txt/report.html"
grep -q '<h1>wavefft-batch: joined 2 batches</h1>' dom.html || fail "the joined page's title is missing"
grep -q 'no samples in &lt;zeta.txt&gt;' dom.html || fail "the failed record's diagnostic is not shown"

grep -q 'data-probe="done"' big.html || fail "the probe script did not run on the page of 5000 records"
expect data-rows big.html 5000
# 714 records of the 5000 (i % 7 == 3) have no PGA; the others hold PGA
# (v + 1) / 1000 for distinct v, so r0000 (v 0) is the smallest, r2321
# (v 4999: 2321 * 7919 % 5000) the largest; rows 4286 to 5000 are the
# empty ones in the order of the records, r0003 first, r4994 last.
expect data-asc big.html r0000.txt,r2321.txt,r0003.txt,r4994.txt
expect data-desc big.html r2321.txt,r0000.txt,r0003.txt,r4994.txt
# The times are printed, never checked: a busy machine must not fail this.
ms=$(attr data-ms big.html)

# 1400 pixels: the whole table in the window, the warnings too; the report's
# warning in the warnings column.
for width in 1400 800; do
  grep -q 'data-probe="done"' "layout-$width.html" || fail "the probe script did not run on the layout page at $width pixels"
  expect data-window "layout-$width.html" "$width"
done
expect data-warning-cell layout-1400.html "Edge transients"
# The EAS at 1 Hz of the real record, to 4 digits, under its heading.
eas=$(first_row eas_1hz real/summary.tsv)
[ -n "$eas" ] || fail "offset.txt: no EAS at 1 Hz in summary.tsv"
expect data-eas-cell layout-1400.html "$(awk -v v="$eas" 'BEGIN { printf "%.4g", v }')"
[ "$(attr data-table-right layout-1400.html)" -le 1400 ] && [ "$(attr data-page-width layout-1400.html)" -le 1400 ] ||
  fail "1400 pixels: the table ends at $(attr data-table-right layout-1400.html), the page is $(attr data-page-width layout-1400.html) wide"
[ "$(attr data-warning-right layout-1400.html)" -le 1400 ] ||
  fail "1400 pixels: the warnings cell ends at $(attr data-warning-right layout-1400.html)"
expect data-scrolled layout-1400.html 0
# 800 pixels: the page scrolls sideways past where the first record's cell
# ended, and the cell is still there, at the window's left edge.
scrolled=$(attr data-scrolled layout-800.html) before=$(attr data-record-right-before layout-800.html)
[ "$scrolled" -gt "$before" ] || fail "800 pixels: the page scrolled $scrolled pixels sideways, the record cell ended at $before"
cell=$(attr data-record-cell layout-800.html)
[ "${cell%,*}" -ge 0 ] && [ "${cell%,*}" -le 1 ] && [ "${cell#*,}" -le 800 ] && [ "${cell#*,}" -gt 50 ] ||
  fail "800 pixels, scrolled sideways: the record cell spans $cell, not at the left edge of the window"

if [ "$fails" -ne 0 ]; then
  echo "$fails checks failed"
  exit 1
fi
echo "joined page: 9 rows sorted by number, text and status; 5000 rows sorted in ${ms} ms, page run in ${seconds} s"
