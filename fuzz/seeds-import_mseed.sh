#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Seeds of import_mseed_fuzz in OUT. Byte 0 picks the reader: 0x00 for
# miniSEED (the first records of the test data's Steim-1 4096-byte and
# Steim-2 512-byte files, two records, a record cut short), 0x01 for
# StationXML (the test data's documents and a small hand-written one).
#
#   fuzz/seeds-import_mseed.sh OUT
set -euo pipefail
out=${1:?usage: fuzz/seeds-import_mseed.sh OUT}
root=$(cd "$(dirname "$0")/.." && pwd)
src=$root/tests/data/import/raw/mseed
mkdir -p "$out"
n=0
for f in "$src"/CI_CLC/*.mseed; do
  n=$((n + 1))
  { printf '\x00'; head -c 4096 "$f"; } > "$out/ci-$n-one"
  { printf '\x00'; head -c 8192 "$f"; } > "$out/ci-$n-two"
  { printf '\x00'; head -c 3000 "$f"; } > "$out/ci-$n-cut"
done
n=0
for f in "$src"/TA_M04C/*.mseed; do
  n=$((n + 1))
  { printf '\x00'; head -c 512 "$f"; } > "$out/ta-$n-one"
  { printf '\x00'; head -c 2048 "$f"; } > "$out/ta-$n-four"
done
for f in "$src"/*/*.xml; do
  { printf '\x01'; cat "$f"; } > "$out/xml-$(basename "$f" .xml)"
done
{
  printf '\x01'
  printf '<?xml version="1.0"?>\n<FDSNStationXML schemaVersion="1.1"><Network code="XX"><Station code="S">'
  printf '<Channel code="HNZ" locationCode="00" startDate="2020-01-01T00:00:00.5Z" endDate="2021-01-01">'
  printf '<Azimuth>0</Azimuth><Dip>-90</Dip><Response><InstrumentSensitivity><Value>-4e5</Value>'
  printf '<InputUnits><Name>m/s**2</Name></InputUnits></InstrumentSensitivity></Response></Channel>'
  printf '</Station></Network></FDSNStationXML>\n'
} > "$out/xml-small"
