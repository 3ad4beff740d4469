"""The interpreter lock is released while the library works."""
import threading

import _zelta


def run_in_threads(count, target):
    threads = [threading.Thread(target=target) for _ in range(count)]
    for t in threads:
        t.start()
    return threads


def test_two_threads_are_inside_the_library_at_once(probe):
    # Calls of getBIP wait at the probe's gate until this thread opens it.
    # Both workers can only be waiting there together if each wrapper
    # released the interpreter lock before calling the library.
    probe.lib.probe_set_gate(b"getBIP", 1)
    probe.returns("getBIP", 0.5)
    results = []
    threads = run_in_threads(2, lambda: results.append(_zelta.xsbip(1, 2, 3)))
    try:
        while probe.lib.probe_in_flight() < 2 and all(t.is_alive() for t in threads):
            _zelta.xpnr()  # other library calls go on meanwhile
    finally:
        probe.lib.probe_open_gate()
        for t in threads:
            t.join()
    assert probe.lib.probe_peak() == 2
    assert results == [0.5, 0.5]


def test_a_waiting_call_does_not_stop_python_code(probe):
    probe.lib.probe_set_gate(b"AFOpen", 1)
    probe.returns("AFOpen", 1)
    results = []
    (worker,) = run_in_threads(1, lambda: results.append(_zelta.xafopen("archive")))
    try:
        while probe.lib.probe_in_flight() < 1 and worker.is_alive():
            pass
        counted = sum(range(100000))  # pure Python work while the call waits
        assert worker.is_alive() and probe.lib.probe_in_flight() == 1
    finally:
        probe.lib.probe_open_gate()
        worker.join()
    assert counted == 4999950000 and results == [1]


def test_conversion_errors_in_many_threads(probe):
    errors = []

    def work():
        for _ in range(2000):
            try:
                _zelta.xumau(1.0, 2.0, "unit", "bad")
            except TypeError as e:
                errors.append(str(e))
            _zelta.xsetsn(1, "name")

    for t in run_in_threads(4, work):
        t.join()
    assert len(errors) == 8000 and set(errors) == {"in method 'xumau', argument 4 of type 'int'"}
    assert probe.count("putN") == 8000 and probe.count("UMAU") == 0
