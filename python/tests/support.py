# SPDX-License-Identifier: GPL-3.0-or-later
# What the module's tests share: finding the module, the commands and the
# shared records (a failure, not a skip, in CI when one is missing), running
# a command, and reading the commands' files back at full precision
# (float() of a shortest decimal is exact; an empty CSV field is NaN).
import importlib
import os
import pathlib
import subprocess

import pytest

IN_CI = os.environ.get("CI") == "true"
REPO = pathlib.Path(__file__).resolve().parents[2]
RAW = REPO / "tests" / "data" / "import" / "raw"
RECORDS = REPO / "tests" / "data" / "records"


def missing(what):
    if IN_CI:
        pytest.fail(f"{what} (CI=true: a failure, not a skip)", pytrace=False)
    pytest.skip(what)


def need(name):
    """Imports `name`; without it the test file is skipped, or in CI the run fails (collection error)."""
    try:
        return importlib.import_module(name)
    except ImportError as e:
        if IN_CI:
            raise
        pytest.skip(f"cannot import {name}: {e}", allow_module_level=True)


def tool(name):
    """Command `name` of WAVEFFT_BUILD, else of the build tree the module is in (<build>/python)."""
    import wavefft
    build = os.environ.get("WAVEFFT_BUILD") or pathlib.Path(wavefft.__file__).resolve().parent.parent
    path = pathlib.Path(build) / name
    if not os.access(path, os.X_OK):
        missing(f"no command {path} (set WAVEFFT_BUILD to the build tree)")
    return str(path)


def shared_dir():
    """WAVEFFT_SHARED_DATA, default ../shared/data/records beside the checkout."""
    return pathlib.Path(os.environ.get("WAVEFFT_SHARED_DATA", REPO.parent / "shared" / "data" / "records"))


def command(name, *args, cwd=None, ok=True):
    p = subprocess.run([tool(name), *map(str, args)], cwd=cwd, capture_output=True, text=True)
    if ok and p.returncode != 0:
        pytest.fail(f"{name} {' '.join(map(str, args))}: status {p.returncode}\n{p.stderr}")
    return p


def refusal(name, *args):
    """The command's own last message line (after notes, before a usage hint), without "name: "."""
    p = command(name, *args, ok=False)
    assert p.returncode != 0, f"{name} accepted {args}"
    prefix = name + ": "
    lines = [line for line in p.stderr.splitlines() if line.startswith(prefix)] or p.stderr.strip().splitlines()
    return lines[-1].removeprefix(prefix)


def array(rows):
    import numpy
    return numpy.array(rows, dtype=numpy.float64)


class Layout:
    """A file in the program's input layout as written: header words, titles, times, values 1, 2, 11."""

    def __init__(self, path):
        lines = pathlib.Path(path).read_text().splitlines()
        header, titles = lines[0].split(), lines[1].split()
        rows = [line.replace(",", " ").split() for line in lines[2:] if line.strip()]
        self.event, self.station, self.unit = header[0], header[1], header[3]
        self.titles = tuple(titles[k] for k in (1, 2, 11))
        self.times = [r[0] for r in rows]
        self.data = array([[float(r[k]) for r in rows] for k in (1, 2, 11)])
        self.dt = float(self.times[1]) - float(self.times[0])  # as the commands' reader takes it


def fixed(text):
    """A number of wavefft's files: 0.1818E+00, 0.1000-100 (E dropped for three exponent digits), *** (NaN)."""
    text = text.strip()
    if "*" in text:
        return float("nan")
    k = max(text.rfind("-"), text.rfind("+"))
    return float(text[:k] + "E" + text[k:] if k > 0 and text[k - 1] not in "Ee" else text)


def wavefft_csv(path):
    """amp3.csv or a waveform file: the first column (n,) and the components (3, n)."""
    rows = [line.split(",") for line in pathlib.Path(path).read_text().splitlines()[1:] if line.strip()]
    return array([fixed(r[0]) for r in rows]), array([[fixed(r[k]) for r in rows] for k in (1, 2, 3)])


def csv_numbers(path, skip=0):
    """The rows of a CSV file (header left out) from field `skip` on, and their first fields."""
    lines = pathlib.Path(path).read_text().splitlines()[1:]
    return [[float(v) if v else float("nan") for v in line.split(",")[skip:]] for line in lines], \
        [line.split(",")[0] for line in lines]


def measures_csv(folder):
    """wavefft-measures' three files as the module's dictionaries, spectra with a leading damping axis."""
    m, names = csv_numbers(folder / "measures.csv", skip=2)
    measures = {n: array(r[:3]) for n, r in zip(names, m)}
    measures["rotd50"] = {n: r[3] for n, r in zip(names, m) if r[3] == r[3]}
    s = csv_numbers(folder / "spectra.csv")[0]
    dampings = list(dict.fromkeys(r[1] for r in s))
    groups = [[r for r in s if r[1] == d] for d in dampings]
    spectra = {"periods": array([r[0] for r in groups[0]]), "damping": array(dampings),
               "psa": array([[[r[2 + c] for r in g] for c in range(3)] for g in groups]),
               "rotd50": array([[r[5] for r in g] for g in groups]),
               "rotd100": array([[r[6] for r in g] for g in groups])}
    f = csv_numbers(folder / "fas.csv")[0]
    fas = {"frequencies": array([r[0] for r in f]), "fas": array([[r[1 + c] for r in f] for c in range(3)]),
           "eas": array([r[4] for r in f])}
    return measures, spectra, fas


def same(a, b):
    """Bit for bit: equal shapes, values and signs (-0.0 is not 0.0), NaN where the other has NaN."""
    import numpy
    a, b = numpy.asarray(a, dtype=numpy.float64), numpy.asarray(b, dtype=numpy.float64)
    if a.shape != b.shape or not numpy.array_equal(a, b, equal_nan=True):
        return False
    numbers = ~numpy.isnan(a)
    return numpy.array_equal(numpy.signbit(a[numbers]), numpy.signbit(b[numbers]))
