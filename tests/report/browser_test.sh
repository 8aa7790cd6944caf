#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The report page in a real browser: runs wavefft on the generated sample
# record (band-pass, no integration, so the result is still an acceleration),
# makes the page with wavefft-report, opens it in headless Chromium and
# checks that all thirteen plots were laid out at full size with their
# traces drawn (one in each of the nine plots of the records and spectra,
# four in each of the two response-spectrum plots, seven in each of the two
# FAS plots: three faint, three smoothed and the EAS), that their titles
# name the record's channels and their axes its unit, and that a screenshot of the
# page holds a picture. Then the same record on an offset, band-passed:
# its page shows the warning of edge transients.
#
#   browser_test.sh WAVEFFT MAKE_SAMPLE WAVEFFT_REPORT ENSURE_TOOLS
#
# Exit status 77 (skipped) when no browser is installed and none can be,
# except when CI is set: then the test fails with the reason.
set -eu
wavefft=$1 make_sample=$2 report=$3 ensure_tools=$4

. "$(dirname "$0")/browser_env.sh"
find_browser "$ensure_tools"

work=$(mktemp -d "${TMPDIR:-/tmp}/wavefft-browser.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$make_sample" sample.txt
printf 'sample.txt\n0\n1\n0.1 0.2 20 25\n0\n0\n1\nacc.csv\n\n' | "$wavefft" >console.txt
"$report" --out report.html . >/dev/null
# 0.1 g added to comp1 and 0.06 g taken from comp2 (peaks near 0.3 g): a
# step at both ends of the record, which the band-pass turns into swings.
mkdir offset
awk 'NR <= 2 { print; next } { $2 += 0.1; $3 -= 0.06; print }' sample.txt >offset/offset.txt
(cd offset && printf 'offset.txt\n0\n1\n0.1 0.2 20 25\n0\n0\n0\nacc.csv\n\n' | "$wavefft" >console.txt &&
  "$report" --out report.html . >/dev/null)

# A copy of the page with a probe at the end: it writes the laid-out size of
# every plot, how many of its traces drew something wider than 50 and
# taller than 5 pixels, its title and the text and drawn height of its y
# axis label, and of every warning its kind, title and laid-out height,
# into attributes that the dumped DOM shows.
probe='<script>
document.querySelectorAll("svg.plot").forEach(function (s) {
  var r = s.getBoundingClientRect(), drawn = 0;
  s.querySelectorAll("polyline.trace, path.trace").forEach(function (p) {
    var b = p.getBBox();
    if (b.width > 50 \&\& b.height > 5) drawn++;
  });
  var y = s.querySelector("text[transform]");
  s.setAttribute("data-box", Math.round(r.width) + "x" + Math.round(r.height));
  s.setAttribute("data-drawn", String(drawn));
  s.setAttribute("data-title", s.querySelector("text.title").textContent);
  s.setAttribute("data-y", y.textContent + "/" + Math.round(y.getBBox().width));
});
document.body.setAttribute("data-warnings", Array.prototype.map.call(document.querySelectorAll("li[data-warning]"),
  function (li) {
    return li.getAttribute("data-warning") + "/" + li.querySelector("b").textContent + "/" + Math.round(li.getBoundingClientRect().height);
  }).join("|"));
document.body.setAttribute("data-probe", "done");
</script></body>'
probe_one_line=$(printf '%s' "$probe" | tr '\n' ' ')
sed "s#</body>#$probe_one_line#" report.html >probe.html
sed "s#</body>#$probe_one_line#" offset/report.html >offset/probe.html

run_browser 1 --virtual-time-budget=5000 --dump-dom "file://$work/probe.html" >dom.html 2>browser1.log || {
  echo "FAIL: the browser did not dump the page"; cat browser1.log; exit 1
}
run_browser 2 --screenshot="$work/shot.png" "file://$work/report.html" >/dev/null 2>browser2.log || {
  echo "FAIL: the browser did not take a screenshot"; cat browser2.log; exit 1
}
run_browser 3 --virtual-time-budget=5000 --dump-dom "file://$work/offset/probe.html" >offset.html 2>browser3.log || {
  echo "FAIL: the browser did not dump the page of offset.txt"; cat browser3.log; exit 1
}

fails=0
fail() {
  echo "FAIL: $*"
  fails=$((fails + 1))
}
grep -q 'data-probe="done"' dom.html || fail "the probe script did not run"
boxes=$(grep -o 'data-box="[0-9]*x[0-9]*"' dom.html | sed 's/data-box="\(.*\)"/\1/')
count=$(printf '%s\n' "$boxes" | grep -c x || true)
[ "$count" -eq 13 ] || fail "expected 13 plots laid out, found $count"
for box in $boxes; do
  w=${box%x*} h=${box#*x}
  [ "$w" -gt 100 ] && [ "$h" -gt 100 ] || fail "a plot was laid out at ${w}x${h} pixels"
done
drawn=$(grep -o 'data-drawn="[0-9]*"' dom.html | grep -c 'data-drawn="1"' || true)
[ "$drawn" -eq 9 ] || fail "expected a drawn trace in each of 9 plots, found $drawn"
# The response spectra: comp1 to comp3 and RotD50 in each; the FAS: the
# unsmoothed comp1 to comp3, the smoothed ones and the EAS.
for plot in psa-input/4 psa-processed/4 fas-input/7 fas-processed/7; do
  id=${plot%/*} traces=${plot#*/}
  tag=$(grep -o "<svg [^>]*id=\"$id\"[^>]*>" dom.html || true)
  case $tag in
  *"data-drawn=\"$traces\""*) ;;
  *) fail "$id: expected $traces drawn traces: ${tag:-no such plot}" ;;
  esac
done
# The sample's column titles are N00E, N90E and UP, its unit g (header):
# the acceleration in g, its amplitude spectrum in g·s; each y label drawn
# at least 5 pixels long (rotated: the width of its box before rotation).
# svg TITLE Y: the attributes of the plot with id $1 in dom.html.
svg() {
  tag=$(grep -o "<svg [^>]*id=\"$1\"[^>]*>" dom.html || true)
  case $tag in
  *"data-title=\"$2\""*"data-y=\"$3/"*) ;;
  *) fail "$1: expected the title '$2' and the y label '$3': ${tag:-no such plot}" ;;
  esac
  width=$(printf '%s' "$tag" | sed -n 's/.*data-y="[^"]*\/\([0-9]*\)".*/\1/p')
  [ "${width:-0}" -ge 5 ] || fail "$1: the y label is drawn ${width:-0} pixels long"
}
svg input-comp1 "N00E input" g
svg output-comp2 "N90E processed" g
svg spectrum-comp3 "UP amplitude" "g·s"
svg fas-processed "processed FAS" "g·s"
grep -q 'data-warnings=""' dom.html || fail "sample.txt: warnings on the page: $(grep -o 'data-warnings="[^"]*"' dom.html)"
# The offset record: the one warning, shown with its title.
grep -q 'data-probe="done"' offset.html || fail "the probe script did not run on the page of offset.txt"
shown=$(grep -o 'data-warnings="[^"]*"' offset.html | sed 's/^[^"]*"//; s/"$//')
case $shown in
edge-transients/"Edge transients."/[1-9]*) ;;
*) fail "offset.txt: expected the one warning 'Edge transients.' laid out, got '$shown'" ;;
esac
grep -q 'remove the mean or taper before filtering' offset.html || fail "offset.txt: the warning gives no advice"
# A blank page of this size compresses to a few kilobytes.
size=$(wc -c <shot.png)
[ "$size" -gt 30000 ] || fail "the screenshot is only $size bytes"
[ "$(head -c 8 shot.png | od -An -c | tr -d ' \n')" = '211PNG\r\n032\n' ] || fail "the screenshot is not a PNG"

if [ "$fails" -ne 0 ]; then
  echo "$fails checks failed; plot boxes: $(echo $boxes)"
  exit 1
fi
echo "13 plots rendered ($(echo $boxes)), screenshot $size bytes"
