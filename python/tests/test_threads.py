# SPDX-License-Identifier: GPL-3.0-or-later
# The module in several threads: two threads computing spectra at once give
# what one thread gives, and a computation lets other Python threads run
# (the GIL is released while it computes).
import threading
import time

import support
from support import Layout, same

np = support.need("numpy")
wavefft = support.need("wavefft")

DAMPINGS = [0.02, 0.05, 0.1]


def spectra(lay):
    return wavefft.spectra(lay.data, lay.dt, lay.unit, damping=DAMPINGS)


def both_at_once(jobs):
    """Runs the jobs in threads of their own, started together; their results and the wall time."""
    results, start = [None] * len(jobs), threading.Barrier(len(jobs))

    def work(k):
        start.wait()
        results[k] = jobs[k]()

    threads = [threading.Thread(target=work, args=(k,)) for k in range(len(jobs))]
    t0 = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results, time.perf_counter() - t0


def assert_same_spectra(got, want):
    for key in ("periods", "damping", "psa", "rotd50", "rotd100"):
        assert same(got[key], want[key]), key


def test_two_threads_give_what_one_gives():
    a, b = Layout(support.RECORDS / "ELCENTRO_1940.txt"), Layout(support.RECORDS / "SYLMAR_1994_AFTERSHOCK.txt")
    t0 = time.perf_counter()
    alone = [spectra(a), spectra(b)]
    serial = time.perf_counter() - t0
    (ta, tb), parallel = both_at_once([lambda: spectra(a), lambda: spectra(b)])
    assert_same_spectra(ta, alone[0])
    assert_same_spectra(tb, alone[1])
    (t1, t2), _ = both_at_once([lambda: spectra(a), lambda: spectra(a)])  # the same input at once
    assert_same_spectra(t1, alone[0])
    assert_same_spectra(t2, alone[0])
    print(f"one after the other {serial:.3f} s, in two threads {parallel:.3f} s")


def test_other_threads_run_while_it_computes():
    """With the GIL held through the call this thread would stand still for the whole call."""
    lay = Layout(support.RECORDS / "ELCENTRO_1940.txt")
    data = np.tile(lay.data, 8)  # long enough to take a good fraction of a second
    done = threading.Event()
    took = []

    def work():
        t0 = time.perf_counter()
        wavefft.spectra(data, lay.dt, lay.unit, damping=DAMPINGS)
        took.append(time.perf_counter() - t0)
        done.set()

    worker = threading.Thread(target=work)
    last, longest = time.perf_counter(), 0.0
    worker.start()
    while not done.is_set():  # this thread's longest wait between two of its steps
        now = time.perf_counter()
        last, longest = now, max(longest, now - last)
    worker.join()
    print(f"call {took[0]:.3f} s, this thread's longest wait meanwhile {longest:.4f} s")
    assert took[0] > 0.1, "the call is too short to tell"
    assert longest < 0.5 * took[0]
