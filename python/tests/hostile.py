# SPDX-License-Identifier: GPL-3.0-or-later
# Hostile calls of every function of the module: a catalogue (each call
# must raise ValueError, TypeError or OSError) and a random generator
# mixing good and bad arguments (each call returns or raises one of those).
# Used by test_hostile.py and hostile_loop.py.
import math
import os
import random
import tempfile
import time

import numpy as np

import wavefft

ALLOWED = (ValueError, TypeError, OSError)
HERE = os.path.dirname(os.path.abspath(__file__))
RECORD = os.path.join(HERE, "..", "..", "tests", "data", "records", "SYLMAR_1994_AFTERSHOCK.txt")
RAW = os.path.join(HERE, "..", "..", "tests", "data", "import", "raw", "knet", "CHB002")
MISSING = os.path.join(tempfile.gettempdir(), "wavefft-hostile-no-such-folder", "rec.txt")
NAN, INF = math.nan, math.inf


def good(n=400):
    t = np.arange(n) * 0.01
    return np.array([np.sin(3 * t) * np.exp(-t), np.cos(5 * t) * np.exp(-t), 0.3 * np.sin(7 * t)])


def objects():
    a = np.empty((3, 4), dtype=object)
    a[:] = "x"
    return a


def one_bad(value):
    a = np.ones((3, 50))
    a[1, 17] = value
    return a


BAD_DATA = {"(2, n)": lambda: np.ones((2, 50)), "(3,)": lambda: np.ones(3), "(3, 0)": lambda: np.ones((3, 0)),
            "(3, 1)": lambda: np.ones((3, 1)), "(4, n)": lambda: np.ones((4, 50)), "3-D": lambda: np.ones((3, 50, 2)),
            "0-D": lambda: np.float64(1), "empty": lambda: np.array([]), "[]": lambda: [],
            "NaN": lambda: one_bad(NAN), "inf": lambda: one_bad(-INF), "str": lambda: "abc", "dict": lambda: {"a": 1},
            "None": lambda: None, "objects": objects, "ragged": lambda: [[1.0, 2.0], [1.0], [1.0, 2.0]]}
BAD_DT = [0.0, -0.01, NAN, INF, -0.0, "0.01", None]
BAD_UNIT = ["x", "", "counts", 3, "g\0"]
BAD = {  # keyword -> bad values, per function
    "spectra": {"periods": [[-1.0], [0.0, 1.0], [NAN], [INF], [], [1e-300], [[0.1, 0.2]], "abc", {"a": 1}],
                "damping": [0.0, 1.0, NAN, -0.05, [], "x", [0.05, 1.5], [[0.05]]]},
    "fas": {"frequencies": [[-1.0], [0.0], [NAN], [INF], [], "abc"], "bandwidth": [0.0, -40.0, NAN, INF, "40", None],
            "window": ["side", "", None, 1]},
    "correct": {"highpass": [0.0, -0.1, NAN, "high"], "lowpass": [NAN, INF, -1.0, "low"],
                "order": [0, 101, 2**70, 2.5], "taper": [0.5, -0.1, NAN], "baseline": ["poly7", None],
                "onset": [-1.0, 1e9, NAN, "soon"], "titles": [["a"], "abc"]},
}
BAD_PATHS = [HERE, MISSING, "/dev/null", MISSING.encode(), "", None, 3, "rec\0.txt"]
BAD_RUN = [{"skip": -1}, {"skip": 1.5}, {"bandpass": (1, 2, 3)}, {"bandpass": (0.1, NAN, 20, 25)}, {"flip": (4,)},
           {"flip": "13"}, {"cut": (1,)}, {"output": "a/b.csv"}, {"output": ""}, {"highpass": 1.0}, {"integrate": 1}]
FUNCTIONS = {"measures": wavefft.measures, "spectra": wavefft.spectra, "fas": wavefft.fas,
             "correct": wavefft.correct, "Record": wavefft.Record}


def run_or_raise(path, **keywords):
    """run() reports the program's refusal in Run.status: a refusal counts as raising."""
    if wavefft.run(path, **keywords).status != 0:
        raise OSError("refused")


def catalogue():
    """(name, call) pairs: each call must raise one of ALLOWED."""
    d = good()
    out = [(f"{f} data {k}", lambda f=f, k=k: FUNCTIONS[f](BAD_DATA[k](), 0.01, "gal"))
           for f in FUNCTIONS for k in BAD_DATA]
    out += [(f"{f} dt {v!r}", lambda f=f, v=v: FUNCTIONS[f](d, v, "gal")) for f in FUNCTIONS for v in BAD_DT]
    out += [(f"{f} unit {v!r}", lambda f=f, v=v: FUNCTIONS[f](d, 0.01, v)) for f in FUNCTIONS for v in BAD_UNIT]
    out += [(f"{f} {k}={v!r}", lambda f=f, k=k, v=v: FUNCTIONS[f](d, 0.01, "gal", **{k: v}))
            for f, table in BAD.items() for k, values in table.items() for v in values]
    out += [(f"read_record unit {v!r}", lambda v=v: wavefft.read_record(RECORD, unit=v)) for v in BAD_UNIT]
    out += [(f"read {k} {v!r}", lambda k=k, v=v: wavefft.read(RAW, **{k: v}))
            for k in ("unit", "source_unit") for v in BAD_UNIT]
    out += [(f"{f.__name__} path {p!r}", lambda f=f, p=p: f(p))
            for f in (wavefft.read, wavefft.read_record, run_or_raise) for p in BAD_PATHS]
    out += [(f"run {k!r}", lambda k=k: run_or_raise(RECORD, **k)) for k in BAD_RUN]
    out += [("spectra dt 1e300", lambda: wavefft.spectra(d, 1e300, "gal")),
            ("read nothing", lambda: wavefft.read()), ("read an input-layout file", lambda: wavefft.read(RECORD)),
            ("read channels XX", lambda: wavefft.read(RAW, channels=["XX"])),
            ("read channels []", lambda: wavefft.read(RAW, channels=[])),
            ("read channels str", lambda: wavefft.read(RAW, channels="EW")),
            ("read level", lambda: wavefft.read(RAW, level="cooked")),
            ("Record titles 2", lambda: wavefft.Record(d, 0.01, "gal", titles=["a", "b"]))]
    out += [(f"write {p!r}", lambda p=p: wavefft.Record(d, 0.01, "gal").write(p))
            for p in (HERE, RECORD + "/x.txt", None, "", 3)]
    return out


def random_data(rng):
    if rng.random() < 0.3:
        return rng.choice(list(BAD_DATA.values()))()
    n = rng.choice([2, 3, 7, 64, 257, 1000])
    a = np.random.default_rng(rng.getrandbits(32)).standard_normal((3, n)) * 10 ** rng.uniform(-300, 300)
    if rng.random() < 0.2:
        a[rng.randrange(3), rng.randrange(n)] = rng.choice([NAN, INF, -INF])
    if rng.random() < 0.2:
        with np.errstate(over="ignore"):
            a = rng.choice([np.asfortranarray(a), a.astype(np.float32), a.tolist(), np.zeros_like(a)])
    return a


def random_call(rng):
    """(description, call) with a mix of good and bad arguments, drawn from `rng` (random.Random)."""
    data = random_data(rng)
    dt = rng.choice([0.01, 0.005, 1e-300, 1e300, 5e-324, 1e-9, 1e6] if rng.random() < 0.5 else BAD_DT)
    unit = rng.choice(["g", "gal", "m_s2", "mm_s2"] if rng.random() < 0.7 else BAD_UNIT)
    which = rng.choice([*FUNCTIONS, "read_record"])
    if which == "read_record":
        path = rng.choice([RECORD, *BAD_PATHS])
        return f"read_record({path!r}, unit={unit!r})", lambda: wavefft.read_record(path, unit=unit)
    keywords = {k: rng.choice(values) for k, values in BAD.get(which, {}).items() if rng.random() < 0.3}
    shape = getattr(data, "shape", type(data).__name__)
    return (f"{which}(data {shape}, dt={dt!r}, unit={unit!r}, **{keywords!r})",
            lambda: FUNCTIONS[which](data, dt, unit, **keywords))


def random_calls(seed, start=0, count=None, seconds=None, trace=None):
    """Calls i = start, start + 1, ... of random_call(random.Random(f"{seed}:{i}")) until `count` calls or
    `seconds` have passed, each described in the file `trace` first (a crash leaves it there). Returns the
    count of each outcome and, for each wrong exception ("Type: message"), the first call that raised it."""
    end = None if seconds is None else time.monotonic() + seconds
    seen, wrong, i = {}, {}, start
    while (count is None or i < start + count) and (end is None or time.monotonic() < end):
        what, call = random_call(random.Random(f"{seed}:{i}"))
        what = f"seed {seed} call {i}: {what}"
        if trace:
            with open(trace, "w") as f:
                f.write(what + "\n")
        try:
            call()
            outcome = "returned"
        except ALLOWED as e:
            outcome = type(e).__name__
        except Exception as e:  # noqa: BLE001  (what the caller reports)
            wrong.setdefault(f"{type(e).__name__}: {str(e)[:100]}", what)
            outcome = "wrong exception"
        seen[outcome] = seen.get(outcome, 0) + 1
        i += 1
    return seen, wrong
