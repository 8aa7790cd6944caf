# SPDX-License-Identifier: GPL-3.0-or-later
# How the module takes its arrays: a C-contiguous float64 (3, n) array is
# used in place (a big one costs no copy's worth of memory), every other
# array-like gives what its float64 copy gives, and no input is changed.
import os
import subprocess
import sys
import textwrap

import pytest

import support
from support import Layout, same

np = support.need("numpy")
wavefft = support.need("wavefft")

# Peak memory of one measures() call on a (3, n) array built in a child
# process, without temporaries beforehand; prints "array bytes, growth bytes".
PEAK = textwrap.dedent("""
    import resource, sys
    import numpy as np
    import wavefft
    n, order = int(sys.argv[1]), sys.argv[2]
    a = np.empty((3, n), dtype=np.float64, order=order)
    chunk = 1 << 20
    for s in range(0, n, chunk):
        t = np.arange(s, min(n, s + chunk)) * 0.01
        a[0, s:s + len(t)] = np.sin(t)
        a[1, s:s + len(t)] = np.cos(0.7 * t)
        a[2, s:s + len(t)] = np.sin(1.3 * t) * 0.5
    del t
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    m = wavefft.measures(a, 0.01, "m_s2")
    after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(a.nbytes, (after - before) * 1024, m["pga"][0])
""")


def peak_growth(n, order):
    env = dict(os.environ, PYTHONPATH=os.path.dirname(wavefft.__file__))
    if "asan" in env.get("LD_PRELOAD", ""):  # freed blocks go back at once, as without ASan
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=0"
    p = subprocess.run([sys.executable, "-c", PEAK, str(n), order], capture_output=True, text=True, env=env)
    assert p.returncode == 0, p.stderr
    nbytes, growth, pga = p.stdout.split()
    return int(nbytes), int(growth), float(pga)


class TestInPlace:
    def test_a_big_c_contiguous_array_is_not_copied(self):
        """The same call on the same values, once in place and once through a copy (Fortran order):
        only the second may grow the peak memory by the array's size."""
        n = int(os.environ.get("WAVEFFT_TEST_BIG_SAMPLES", 20_000_000))
        nbytes, in_place, pga_c = peak_growth(n, "C")
        _, copied, pga_f = peak_growth(n, "F")
        print(f"array {nbytes / 2**20:.0f} MiB: peak growth {in_place / 2**20:.0f} MiB in place, "
              f"{copied / 2**20:.0f} MiB through a copy")
        assert pga_c == pga_f
        assert copied - in_place > 0.75 * nbytes, "the peak memory does not show the copy: cannot tell"
        # The library's own work needs a third of the array at most (one component's Husid curve).
        assert in_place < 0.5 * nbytes, "the call on the C-contiguous array needed a copy's worth of memory"


def variants(a):
    """Array-likes whose float64 copy is `a`."""
    wide = np.zeros((3, 2 * a.shape[1]))
    wide[:, ::2] = a
    big = np.zeros((5, a.shape[1] + 7))
    big[1:4, 3:3 + a.shape[1]] = a
    swapped = a.astype(">f8")
    read_only = a.copy()
    read_only.flags.writeable = False
    return {
        "strided": wide[:, ::2],
        "slice of a bigger array": big[1:4, 3:3 + a.shape[1]],
        "fortran order": np.asfortranarray(a),
        "byte-swapped": swapped,
        "read-only": read_only,
        "list": a.tolist(),
        "tuple of arrays": tuple(a),
        "float32": a.astype(np.float32),
        "int": np.rint(a * 1000).astype(np.int64),
    }


def reference(a, name):
    """The float64 values of the variant `name`."""
    return {"float32": a.astype(np.float32).astype(np.float64), "int": np.rint(a * 1000)}.get(name, a)


CALLS = {
    "measures": lambda d, dt, u: wavefft.measures(d, dt, u),
    "spectra": lambda d, dt, u: wavefft.spectra(d, dt, u, periods=[0.05, 0.3, 1.0], damping=[0.05, 0.1]),
    "fas": lambda d, dt, u: wavefft.fas(d, dt, u, frequencies=[0.5, 1, 2, 5, 10]),
    "correct": lambda d, dt, u: dict(zip(("corrected", "summary"), wavefft.correct(d, dt, u))),
}


def assert_same_result(got, want, what):
    assert set(got) == set(want), what
    for key in want:
        if isinstance(want[key], dict):
            assert got[key] == want[key], f"{what}: {key}"
        else:
            assert same(got[key], want[key]), f"{what}: {key}"


class TestConversions:
    @pytest.fixture(scope="class")
    def record(self):
        lay = Layout(support.RECORDS / "SYLMAR_1994_AFTERSHOCK.txt")
        return lay.data, lay.dt, lay.unit

    @pytest.mark.parametrize("call", sorted(CALLS))
    def test_every_array_like_gives_its_float64_copys_result(self, call, record):
        a, dt, unit = record
        for name, value in variants(a).items():
            want = CALLS[call](np.ascontiguousarray(reference(a, name), dtype=np.float64), dt, unit)
            assert_same_result(CALLS[call](value, dt, unit), want, name)

    @pytest.mark.parametrize("call", sorted(CALLS))
    @pytest.mark.parametrize("unit", ["g", "gal", "mm_s2"])
    def test_the_input_is_left_alone(self, call, unit, record):
        a, dt, _ = record
        mine = a.copy()
        CALLS[call](mine, dt, unit)
        assert mine.tobytes() == a.tobytes()
