"""Calls from several Python threads take turns in the host and each gets
its own results and warnings."""
import threading

import numpy as np
import pytest

import kyhost
from conftest import random_points


# catch_warnings is not thread-safe: the warnings are ignored for the test.
@pytest.mark.filterwarnings("ignore::kyhost.KyWarning")
def test_threads_take_turns():
    x, y = random_points(2000, seed=21)
    expected = kyhost.sweeptri(x, y)
    failures = []
    lock = threading.Lock()

    def work():
        try:
            for _ in range(10):
                assert np.array_equal(kyhost.sweeptri(x, y), expected)
                assert kyhost.sweeptri([0.0, 1.0, 2.0], [0.0, 0.0, 0.0]).shape == (0, 3)
                try:
                    kyhost.sweeptri([0.0], [0.0, 1.0])
                except kyhost.CallError as error:
                    assert str(error) == "X and Y must be the same size."
        except Exception as error:  # reported by the main thread
            with lock:
                failures.append(error)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=120)
    assert not any(thread.is_alive() for thread in threads)
    assert failures == []
