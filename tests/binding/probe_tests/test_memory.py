"""Text copies are freed on success and on failure."""
import _zelta


def resident_kib():
    with open("/proc/self/statm") as f:
        pages = int(f.read().split()[1])
    import resource
    return pages * resource.getpagesize() // 1024


def test_a_million_text_calls_do_not_grow_the_process(probe):
    probe.lib.probe_set_logging(0)
    name = "a stream name long enough to need its own heap block " * 4

    def loop(n):
        for i in range(n):
            _zelta.xsetsn(1, name)  # converted, library called, copy freed
            try:
                _zelta.xumau(1.0, 2.0, name, None)  # copy made, then argument 4 fails
            except TypeError:
                pass

    loop(20000)  # warm up allocator pools
    before = resident_kib()
    loop(500000)
    grown = resident_kib() - before
    # A leak of one 217-byte copy per call would be over 200 MiB.
    assert grown < 4096, "resident size grew by %d KiB" % grown
