"""The optional zelta package: owned arrays, stream context, checked calls."""
import gc

import pytest

import _zelta
import zelta


def test_double_array_copies_and_reads_values():
    with zelta.DoubleArray([1, 2.5, -3]) as a:
        assert len(a) == 3 and a.tolist() == [1.0, 2.5, -3.0]
        a[-1] = 7
        a[0:2] = [4, 5]
        assert a[:] == [4.0, 5.0, 7.0] and a[1] == 5.0 and a[::2] == [4.0, 7.0]
        with pytest.raises(IndexError):
            a[3]
        with pytest.raises(ValueError):
            a[0:2] = [1.0]
    assert zelta.DoubleArray(2).tolist() == [0.0, 0.0]


def test_closed_objects_refuse_use_and_close_twice_is_harmless():
    a = zelta.DoubleArray(1)
    a.close()
    a.close()
    with pytest.raises(ValueError, match="closed"):
        len(a)
    m = zelta.Matrix(2)
    assert m.shape == (2, 2)
    m.close()
    with pytest.raises(ValueError):
        m[0, 0]


def test_owned_objects_pass_as_array_arguments_through_this():
    with zelta.DoubleArray([0.5, 0.5]) as x, zelta.DoubleArray(2) as f, zelta.Matrix(2) as dx:
        _zelta.xsfvd(1, 1, 300.0, 1e5, x, f, f, f, dx)  # accepted; the result is the library's
        with pytest.raises(TypeError, match="argument 9 of type 'double \\*\\*'"):
            _zelta.xsfvd(1, 1, 300.0, 1e5, x, f, f, f, x)


def test_matrix_rows_and_values():
    with zelta.Matrix(2, 3) as m:
        m[1, 2] = 6.5
        assert m.tolist() == [[0.0, 0.0, 0.0], [0.0, 0.0, 6.5]]


def test_buffer_keeps_bytes():
    with zelta.Buffer(b"a\xb0\x00z") as b:
        assert len(b) == 4 and b.tobytes() == b"a\xb0\x00z"


def test_garbage_collection_frees_the_native_block(monkeypatch):
    freed = []
    original = zelta.DoubleArray._delete
    monkeypatch.setattr(zelta.DoubleArray, "_delete", staticmethod(lambda p: freed.append(int(p)) or original(p)))
    a = zelta.DoubleArray(4)
    address = int(a.this)
    del a
    gc.collect()
    assert freed == [address]


def test_stream_context_reserves_defines_and_frees_its_number():
    with zelta.stream([74828, 74840], [0.9, 0.1]) as a, zelta.stream([74828], [1.0], models=7) as b:
        assert a.number != b.number
        assert _zelta.xsdef(a.number) and _zelta.xsdef(b.number)
        assert _zelta.xscnr(a.number) == 2 and _zelta.xsm(b.number, 1, 0) == 50
        first = a.number
    assert not _zelta.xsdef(first)
    with zelta.stream([74828], [1.0]) as again:
        assert again.number == first  # the number went back to the pool


def test_failed_stream_definition_raises_and_frees_the_number():
    with zelta.stream([74828], [1.0]) as probe:
        lowest = probe.number
    with pytest.raises(zelta.ZeltaError):
        zelta.stream([74828, 1234567], [0.5, 0.5])  # unknown CAS number
    with pytest.raises(ValueError):
        zelta.stream([74828], [0.5, 0.5])
    with zelta.stream([74828], [1.0]) as s:
        assert s.number == lowest
    assert _zelta.xerr() == 0


def test_checked_returns_results_and_raises_library_failures():
    assert zelta.checked(_zelta.xidc, 74828) > 0
    _zelta.xseterr(0)
    _zelta.xidc(-1)
    with pytest.raises(zelta.ZeltaError) as e:
        zelta.raise_on_error()
    assert e.value.code != 0 and "-1" in e.value.message
    assert _zelta.xerr() == 0
    zelta.raise_on_error()  # nothing pending: no exception


def test_streams_defined_from_many_threads_get_distinct_numbers():
    import threading

    in_use, clashes, failures = set(), [], []
    guard = threading.Lock()

    def work():
        for _ in range(25):
            try:
                with zelta.stream([74828, 74840], [0.5, 0.5]) as s:
                    with guard:
                        if s.number in in_use:
                            clashes.append(s.number)
                        in_use.add(s.number)
                    ok = _zelta.xscnr(s.number) == 2
                    with guard:
                        in_use.discard(s.number)
                    if not ok:
                        failures.append(s.number)
            except Exception as e:  # reported below
                failures.append(repr(e))

    threads = [threading.Thread(target=work) for _ in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert clashes == [] and failures == []
