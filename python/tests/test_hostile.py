# SPDX-License-Identifier: GPL-3.0-or-later
# Hostile arguments for every function: a catalogue of calls that must each
# raise ValueError, TypeError or OSError, and a random loop (fixed seed) of
# good and bad arguments mixed, each call returning or raising one of those.
# Every call runs in this process: a crash ends the test run.
import pytest

import support

support.need("numpy")
support.need("wavefft")
import hostile  # noqa: E402  (needs the two above)

CATALOGUE = hostile.catalogue()


@pytest.mark.parametrize("call", [c for _, c in CATALOGUE], ids=[n for n, _ in CATALOGUE])
def test_hostile_call_raises(call):
    with pytest.raises(hostile.ALLOWED):
        call()


def test_random_hostile_calls():
    seen, wrong = hostile.random_calls(seed=20261209, count=1500)
    print(seen)
    assert not wrong, "\n".join(f"{what} raised {outcome}" for outcome, what in wrong.items())
    assert seen.get("returned", 0) > 100 and seen.get("ValueError", 0) > 100  # both sides exercised
