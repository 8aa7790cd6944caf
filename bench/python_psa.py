#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# How much the Python module adds to the response spectra: wavefft.spectra
# on a record's arrays against the same library call from C++
# (bench/psa_call, started as a child in the same run), best of RUNS
# each, and their ratio (target: at most 1.05); then four records' spectra
# and measures in two Python threads against the same four in one thread
# (the module releases the GIL, so two threads must not be slower, and the
# measures, one thread each in the library, should take about half the
# time on two cores; each record's measures are computed 20 times).
# Prints figures; never fails on timing.
#
#   PYTHONPATH=BUILD/python /usr/bin/python3 bench/python_psa.py \
#       [--build BUILD] [--runs N] RECORD [RECORD...]
#
# RECORD: files in the program's input layout; the first is timed against
# C++, the first four (repeated when fewer) go to the threads.
import argparse
import os
import subprocess
import sys
import threading
import time

import numpy as np


def best_of(runs, call):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        call()
        best = min(best, time.perf_counter() - start)
    return best


def in_threads(jobs, threads):
    """Runs the callables `jobs` shared among `threads` threads; the wall time."""
    parts = [jobs[k::threads] for k in range(threads)]
    workers = [threading.Thread(target=lambda p=p: [job() for job in p]) for p in parts]
    start = time.perf_counter()
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", default="build", help="the build folder (default build)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("records", nargs="+")
    args = parser.parse_args()
    sys.path.insert(0, os.path.abspath(os.path.join(args.build, "python")))
    import wavefft

    rec = wavefft.read_record(args.records[0])
    print(f"record {args.records[0]}: {rec.data.shape[1]} samples, dt {rec.dt} s, {rec.unit}")
    py_best = best_of(args.runs, lambda: wavefft.spectra(rec.data, rec.dt, rec.unit))
    psa = wavefft.spectra(rec.data, rec.dt, rec.unit)["psa"]
    child = os.path.abspath(os.path.join(args.build, "bench", "psa_call"))
    if not os.access(child, os.X_OK):
        print(f"no {child}: build the target psa_call")
        return 0
    out = subprocess.run([child, args.records[0], str(args.runs)], capture_output=True, text=True)
    if out.returncode != 0:
        print(f"psa_call failed: {out.stderr.strip()}")
        return 0
    cpp_best = float(out.stdout.split("best_seconds=")[1])
    same = f"psa[0][0] = {float(psa[0][0])!r}"
    print(f"C++ {out.stdout.splitlines()[0].split('; ')[1]}, Python {same}")
    print(f"spectra, best of {args.runs}: Python {py_best:.4f} s, C++ {cpp_best:.4f} s, "
          f"ratio {py_best / cpp_best:.3f} (target <= 1.05)")

    names = (args.records * 4)[:4]
    recs = [wavefft.read_record(n) for n in names]
    # The measures take a few milliseconds a record: each is computed 20 times.
    for what, call, times in (("spectra", wavefft.spectra, 1), ("measures", wavefft.measures, 20)):
        jobs = [lambda r=r: call(r.data, r.dt, r.unit) for r in recs] * times
        one = min(in_threads(jobs, 1) for _ in range(2))
        two = min(in_threads(jobs, 2) for _ in range(2))
        label = f"4 records' {what}" + (f" (x{times})" if times > 1 else "")
        print(f"{label}: one thread {one:.3f} s, two threads {two:.3f} s, ratio two/one {two / one:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
