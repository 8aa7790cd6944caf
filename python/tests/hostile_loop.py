#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The random hostile calls of test_hostile.py for as long as asked:
#
#   PYTHONPATH=build/python /usr/bin/python3 python/tests/hostile_loop.py SECONDS [--seed S] [--trace FILE]
#
# Call i uses random.Random(f"{S}:{i}"), so "--seed S --start i --count 1"
# repeats it. Before each call its description goes to FILE (default
# hostile-last-call.txt in the temporary folder): a crash, which ends the
# process with its signal, leaves the call that crashed there. Each kind of
# exception other than ValueError, TypeError and OSError is printed with the
# first call that raised it; the exit status is then 1.
import argparse
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hostile  # noqa: E402


def main():
    ap = argparse.ArgumentParser(description="Random hostile calls of the wavefft module.")
    ap.add_argument("seconds", type=float)
    ap.add_argument("--seed", default="1")
    ap.add_argument("--start", type=int, default=0)
    ap.add_argument("--count", type=int, default=None, help="stop after this many calls")
    ap.add_argument("--trace", default=os.path.join(tempfile.gettempdir(), "hostile-last-call.txt"))
    a = ap.parse_args()
    seen, wrong = hostile.random_calls(a.seed, a.start, a.count, a.seconds, a.trace)
    print(f"{sum(seen.values())} calls from {a.start} (seed {a.seed}): {seen}")
    for outcome, what in wrong.items():
        print(f"{what} raised {outcome}")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
