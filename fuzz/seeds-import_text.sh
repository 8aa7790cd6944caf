#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of import_text_fuzz in OUT: the head (first 16 KB) of every text
# agency file of the test data, each prefixed with the byte that picks its
# reader (the layout's position among the text layouts of kFormats), and
# the same again with the bit 0x80 of that byte set (--pad).
#
#   fuzz/seeds-import_text.sh OUT
set -euo pipefail
out=${1:?usage: fuzz/seeds-import_text.sh OUT}
root=$(cd "$(dirname "$0")/.." && pwd)
raw=$root/tests/data/import/raw
mkdir -p "$out"

# The text layouts in the order of kFormats (import/formats.cpp) without the
# binary ones, and the raw folders that hold each.
layouts=(cosmos csmip geonet smc peer knet esm turkish cwb unam renadic bhrc usc)
folders() {
  case $1 in
    cosmos) echo cosmos ;;  csmip) echo csmip ;;  geonet) echo geonet ;;
    smc) echo other/smc_0111 ;;  peer) echo peer-at2 ;;  knet) echo knet ;;
    esm) echo esm-asc ;;  turkish) echo afad ;;  cwb) echo cwb ;;
    unam) echo other/unam_CUP5 ;;  renadic) echo other/renadic_altohosp ;;
    bhrc) echo other/bhrc_5529 ;;  usc) echo other/usc_017m30lw ;;
  esac
}

for i in "${!layouts[@]}"; do
  for dir in $(folders "${layouts[$i]}"); do
    [ -d "$raw/$dir" ] || continue
    find "$raw/$dir" -type f ! -name README.md ! -name .gitattributes | sort | while read -r f; do
      name=$(basename "$f")
      { printf "\\$(printf '%03o' "$i")"; head -c 16384 "$f"; } > "$out/${layouts[$i]}-$name"
      { printf "\\$(printf '%03o' $((i + 128)))"; head -c 16384 "$f"; } > "$out/${layouts[$i]}-pad-$name"
    done
  done
done

# A whole small PEER file (12 values), so that assembly and the writer are
# reached from the start: layout 4 among the text layouts.
peer_small=$'PEER NGA STRONG MOTION DATABASE RECORD\nLoma Prieta, 10/18/1989, Gilroy - Gavilan Coll., 67\nACCELERATION TIME SERIES IN UNITS OF G\nNPTS=     12, DT=   .0050 SEC,\n  -.8075668E-03  -.8063926E-03  -.8051829E-03  -.8039424E-03  -.8026800E-03\n  -.8013834E-03  -.8000500E-03  -.7986933E-03  -.7973354E-03  -.7959652E-03\n   .3284790E-03   .3294436E-03\n'
{ printf '\004'; printf '%s' "$peer_small"; } > "$out/peer-small"
{ printf '\204'; printf '%s' "$peer_small"; } > "$out/peer-pad-small"
