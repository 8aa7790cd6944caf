#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# wavefft-correct on real agency files, imported by wavefft-import and
# measured by wavefft-measures:
#  - the CSMIP record CE89146: its uncorrected Volume 1 corrected with the
#    corners its Volume 2 states (order 4, poly6 baseline) gives each
#    component's peak acceleration and velocity within 2 % and its peak
#    displacement within 10 % of the Volume 2 header's;
#  - the K-NET, KiK-net, GeoNet and miniSEED records with `auto` corners:
#    high-pass corners between 0.02 and 1 Hz, low-pass corners between 5 and
#    40 Hz, no record left with `residual`; the KiK-net M2.4 record gets its
#    narrow band (horizontals near 0.7-7.4 Hz); K-NET CHB002's raw PGV (an
#    offset integrated, hundreds of cm/s) falls to about 0.1 cm/s;
#  - every one of these corrections agrees with reference.py, an independent
#    NumPy reading of the definitions (onset, corners, drift flags, every
#    sample to 1e-9 of the peak).
#
#   agency_test.sh WAVEFFT_IMPORT WAVEFFT_CORRECT WAVEFFT_MEASURES RAW_DIR
set -eu
import=$1 correct=$2 measures=$3 raw=$4
. "$(dirname "$0")/../lib.sh"
here=$(cd "$(dirname "$0")" && pwd)
enter_scratch correct-agency

# A Python with NumPy for the reference (scripts/ensure-tools installs it).
python=
for py in python3 /usr/bin/python3; do
  if "$py" -c 'import numpy' 2>/dev/null; then python=$py; break; fi
done
# reference RECORD CORRECTED SUMMARY [OPTIONS]: the independent reading agrees.
reference() {
  if [ -z "$python" ]; then
    fail "no python3 with NumPy for the reference check (scripts/ensure-tools installs python3-numpy)"
  elif ! "$python" "$here/reference.py" "$@" > ref.txt; then
    fail "$1: the reference disagrees: $(grep FAIL ref.txt | tr '\n' ' ')"
  fi
}

# measure NAME FILE ROW: the three components of row ROW of measures.csv.
measure() {
  "$measures" --out "m-$1" "$2" >/dev/null
  awk -F, -v row="$3" '$1 == row { print $3, $4, $5 }' "m-$1/measures.csv"
}

# within VALUE REFERENCE PERCENT: |VALUE / REFERENCE - 1| <= PERCENT / 100.
within() {
  awk -v v="$1" -v r="$2" -v p="$3" 'BEGIN { d = v / r - 1; if (d < 0) d = -d; exit !(d <= p / 100) }'
}

# --- CSMIP: Volume 1 corrected as Volume 2 was --------------------------
v1=$raw/csmip/CE89146/CE89146.V1
v2=$raw/csmip/CE89146/CE89146.V2
"$import" -o v1.txt "$v1"
corners=$(sed -n 's/.*3 dB pts at *\([0-9.]*\) and *\([0-9.]*\) cyc.*/\1 \2/p' "$v2" | head -n 1)
set -- $corners
"$correct" --highpass "0$1" --lowpass "$2" --order 4 --baseline poly6 --summary v1.json -o v1c.txt v1.txt
reference v1.txt v1c.txt v1.json --highpass "0$1" --lowpass "$2" --order 4
# The Volume 2 peaks in channel order (360, Up, 90); the import writes 360, 90, Up.
peaks() { sed -n "s/^Peak *$1 *= *\([-0-9.]*\).*/\1/p" "$v2" | awk '{ print ($1 < 0 ? -$1 : $1) }' | tr '\n' ' '; }
for row in pga:acceleration:2 pgv:velocity:2 pgd:displacement:10; do
  name=${row%%:*} rest=${row#*:}
  word=${rest%%:*} percent=${rest#*:}
  set -- $(peaks "$word")
  ref1=$1 ref3=$2 ref2=$3
  set -- $(measure v1c v1c.txt "$name")
  got1=$1 got2=$2 got3=$3
  if [ "$name" = pga ]; then  # measures.csv has g, the header gal
    got1=$(awk -v g="$got1" 'BEGIN { print g * 980.665 }')
    got2=$(awk -v g="$got2" 'BEGIN { print g * 980.665 }')
    got3=$(awk -v g="$got3" 'BEGIN { print g * 980.665 }')
  fi
  for k in 1 2 3; do
    eval "got=\$got$k ref=\$ref$k"
    echo "CE89146 $name comp$k: $got (Volume 2: $ref)"
    within "$got" "$ref" "$percent" || fail "CE89146 $name of comp$k is $got, Volume 2 says $ref (more than $percent %)"
  done
done

# --- auto corners on the bundled raw records ------------------------------
# field JSON KEY: the values of KEY, one component per line.
field() { sed -n "s/.*\"$2\": \([^,]*\),.*/\1/p" "$1"; }
for rec in knet/CHB002 knet/NGNH31_kik geonet/WPWS mseed/CI_CLC mseed/TA_M04C; do
  name=$(basename "$rec")
  "$import" -o "$name.txt" "$raw/$rec"
  "$correct" --summary "$name.json" -o "$name-c.txt" "$name.txt"
  reference "$name.txt" "$name-c.txt" "$name.json"
  for hp in $(field "$name.json" highpass_hz); do
    awk -v f="$hp" 'BEGIN { exit !(f >= 0.02 && f <= 1) }' || fail "$name: high-pass corner $hp Hz"
  done
  for lp in $(field "$name.json" lowpass_hz); do
    awk -v f="$lp" 'BEGIN { exit !(f >= 5 && f <= 40) }' || fail "$name: low-pass corner $lp Hz"
  done
  ! grep -q '"residual"' "$name.json" || fail "$name keeps the residual flag"
  echo "$name corners: $(field "$name.json" highpass_hz | tr '\n' ' ')/ $(field "$name.json" lowpass_hz | tr '\n' ' ')"
done

# The M2.4 KiK-net record: a narrow band on the horizontals.
set -- $(field NGNH31_kik.json highpass_hz) $(field NGNH31_kik.json lowpass_hz)
awk -v h="$1" -v l="$4" 'BEGIN { exit !(h > 0.6 && h < 0.8 && l > 6.5 && l < 8.5) }' ||
  fail "NGNH31 horizontals: $1 - $4 Hz, expected near 0.7 - 7.4 Hz"

# CHB002: the offset integrated, then removed.
set -- $(measure raw CHB002.txt pgv)
awk -v v="$1" 'BEGIN { exit !(v > 300) }' || fail "CHB002 raw PGV $1 cm/s: expected hundreds"
set -- $(measure corrected CHB002-c.txt pgv)
for v in "$@"; do
  awk -v v="$v" 'BEGIN { exit !(v > 0.03 && v < 0.3) }' || fail "CHB002 corrected PGV $v cm/s: expected about 0.1"
done
echo "CHB002 corrected PGV: $*"

finish "agency correction"
