# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a batch's flatfile.csv against the files of its record folders,
# read independently of the batch (Python's csv and json modules): every
# measured record has exactly one row, in the order of summary.tsv, and
# every cell equals, as text, the cell of measures.csv, spectra.csv (5 %
# damping), fas.csv or correct.json it comes from. Prints what differs and
# exits 1; prints "flatfile ok: N rows" and exits 0 otherwise. Then loads
# it with pandas.read_csv, as users do: the same rows and columns, every
# measure a number equal to its text (FLATFILE_PANDAS=0 leaves this out).
#
#   flatfile_check.py OUTDIR
import csv
import json
import os
import sys

out = sys.argv[1]
faults = []


def table(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


def by_name(rows):
    head = rows[0]
    return [dict(zip(head, r)) for r in rows[1:]]


def shortest(x):
    # Python's repr is the shortest decimal that reads back to the same double.
    r = repr(float(x))
    return r[:-2] if r.endswith(".0") else r


with open(os.path.join(out, "summary.tsv")) as f:
    summary = [line.rstrip("\n").split("\t") for line in f]
summary = [dict(zip(summary[0], r)) for r in summary[1:]]
flat = table(os.path.join(out, "flatfile.csv"))
head, rows = flat[0], flat[1:]
if len(head) != 19 + 24 + 5 * 111 + 401:
    faults.append("header has %d columns" % len(head))
measured = [s for s in summary if s["measured"]]
if [r[0] for r in rows] != [s["record"] for s in measured]:
    faults.append("rows %s, measured records %s" % ([r[0] for r in rows], [s["record"] for s in measured]))

components = {"h1": "comp1", "h2": "comp2", "v": "comp3", "rotd50": "rotd50", "rotd100": "rotd100"}


def expected_cells(folder):
    """Column name -> text, from the record folder's files."""
    want = {}
    for m in by_name(table(os.path.join(folder, "measures.csv"))):
        for c in ("h1", "h2", "v", "rotd50"):
            unit = m["unit"].replace("/", "_")
            if components[c] in m and (c != "rotd50" or m["measure"] in ("pga", "pgv", "pgd")):
                want["%s_%s_%s" % (m["measure"], c, unit)] = m[components[c]]
    for s in by_name(table(os.path.join(folder, "spectra.csv"))):
        if float(s["damping"]) == 0.05:
            for c in ("rotd50", "rotd100", "h1", "h2", "v"):
                want["psa_%s_T%.3fS_g" % (c, float(s["period_s"]))] = s[components[c]]
    for e in by_name(table(os.path.join(folder, "fas.csv"))):
        want["eas_f%.4fHz_g_s" % float(e["frequency_hz"])] = e["eas"]
    return want


def correction_cells(folder):
    path = os.path.join(folder, "correct.json")
    if not os.path.exists(path):
        return {k: "" for k in ("hp_h1_hz", "lp_h1_hz", "lowest_usable_hz", "flags")}
    with open(path) as f:
        s = json.load(f)
    want, flags = {}, []
    for i, (c, comp) in enumerate(zip(("h1", "h2", "v"), s["components"])):
        want["hp_%s_hz" % c] = shortest(comp["highpass_hz"])
        lp = comp["lowpass_hz"]
        want["lp_%s_hz" % c] = "" if lp is None else shortest(lp)
        flags += ["comp%d:%s" % (i + 1, w) for w in comp["flags"]]
    want["lowest_usable_hz"] = shortest(max(c["lowest_usable_hz"] for c in s["components"][:2]))
    want["flags"] = " ".join(flags)
    return want


checked = 0
for row, s in zip(rows, measured):
    got = dict(zip(head, row))
    folder = os.path.join(out, s["folder"])
    want = expected_cells(folder)
    want.update(correction_cells(folder))
    want.update({"event": s["event"], "station": s["station"], "measured": s["measured"]})
    missing = [k for k in want if k not in got]
    if missing:
        faults.append("%s: no columns %s" % (s["record"], missing[:5]))
    for k, v in want.items():
        if k in got and got[k] != v:
            faults.append("%s: %s is %r, the files give %r" % (s["record"], k, got[k], v))
    if len([k for k in head if k.startswith(("psa_", "eas_", "pg", "arias", "cav", "d5"))]) != len(
            [k for k in want if k.startswith(("psa_", "eas_", "pg", "arias", "cav", "d5"))]):
        faults.append("%s: the files give another set of measures than the header" % s["record"])
    n, dt = int(got["npts"]), float(got["dt_s"])
    if got["duration_s"] != shortest(n * dt):
        faults.append("%s: duration_s %s is not npts * dt_s" % (s["record"], got["duration_s"]))
    checked += 1

# As users load it: pandas reads every row, every measure as a number.
if os.environ.get("FLATFILE_PANDAS", "1") == "1":
    import pandas
    # The round-trip parser: pandas' default one may miss the last bit.
    frame = pandas.read_csv(os.path.join(out, "flatfile.csv"), float_precision="round_trip")
    if list(frame.columns) != head or len(frame) != len(rows):
        faults.append("pandas reads %d columns and %d rows" % (len(frame.columns), len(frame)))
    numeric = [c for c in head[19:] if frame[c].notna().any()]
    wrong = [c for c in numeric if frame[c].dtype.kind != "f"]
    if wrong:
        faults.append("pandas reads these as text, not numbers: %s" % wrong[:5])
    for r, (_, got) in zip(rows, frame.iterrows()):
        for k in range(19, len(head)):
            if r[k] and float(r[k]) != got.iloc[k]:
                faults.append("%s: pandas reads %s as %r, not %s" % (r[0], head[k], got.iloc[k], r[k]))
                break

for f in faults[:20]:
    print(f)
if faults:
    sys.exit(1)
print("flatfile ok: %d rows" % checked)
