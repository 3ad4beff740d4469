"""Caller arrays against the real library: sizes are checked before the call.

A buffer made by zelta_arrays (or the zelta package) that is too small for
what the library reads or writes is refused with the function's failure value
and a message; the library never sees it.  Buffers of unknown origin pass.
"""
import ctypes
import math
import re
import subprocess
import sys
import textwrap

import pytest

import _zelta
import zelta
import zelta_arrays as za

METHANE, ETHANE, PROPANE = 74828, 74840, 74986
X3 = [0.85, 0.10, 0.05]


@pytest.fixture
def slot():
    """Slot 1 of this thread bound to a three-component gas (SRK)."""
    with zelta.stream([METHANE, ETHANE, PROPANE], X3, models=6) as s:
        assert _zelta.xspi(1, s.number) == 1
        _zelta.xseterr(0)
        yield 1
    _zelta.xseterr(0)


def run_isolated(code):
    """Run code in a fresh interpreter (a crash must not take pytest down)."""
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=120)


def test_too_small_output_buffer_does_not_crash_the_process():
    out = run_isolated("""
        import _zelta, zelta, zelta_arrays as za
        with zelta.stream([74828, 74840, 74986], [0.85, 0.10, 0.05], models=6) as s:
            _zelta.xspi(1, s.number)
            x3 = za.new_doubles(3)
            for i, v in enumerate([0.85, 0.10, 0.05]):
                za.doubles_setitem(x3, i, v)
            f1 = za.new_doubles(1)
            za.doubles_setitem(f1, 0, -7.0)
            _zelta.xseterr(0)
            code = _zelta.xsfv(1, 0, 250.0, 5e6, x3, f1)
            print(code, _zelta.xerr(), za.doubles_getitem(f1, 0))
            print(_zelta.xerrmsg())
            za.delete_doubles(x3)
            za.delete_doubles(f1)
    """)
    assert out.returncode == 0, out.stderr
    first, message = out.stdout.splitlines()
    assert first == "0 1 -7.0"  # failure value, flag "bad argument", buffer untouched
    assert re.fullmatch(r"xsfv: argument 6 \(\w+\) holds 1 double, the stream has 3 components", message)


def test_every_array_argument_of_the_fugacity_derivatives_is_checked(slot):
    names = []
    for bad in range(4):  # x, F, dT, dP one element short in turn
        arrays = [za.new_doubles(2 if i == bad else 3) for i in range(4)]
        for i in range(za.doubles_size(arrays[0])):
            za.doubles_setitem(arrays[0], i, X3[i])
        m = za.new_matrix(3, 3)
        try:
            _zelta.xseterr(0)
            assert _zelta.xsfvd(slot, 0, 250.0, 5e6, *arrays, m) == 0
            assert _zelta.xerr() == 1
            msg = _zelta.xerrmsg()
            match = re.fullmatch(r"xsfvd: argument %d \((\w+)\) holds 2 doubles, the stream has 3 components"
                                 % (5 + bad), msg)
            assert match, msg
            names.append(match.group(1))
        finally:
            for a in arrays:
                za.delete_doubles(a)
            za.delete_matrix(m)
    assert len(set(names)) == 4  # each argument by its own name


@pytest.mark.parametrize("rows, cols", [(2, 3), (3, 2), (0, 0)])
def test_derivative_matrix_needs_n_rows_of_n(slot, rows, cols):
    with zelta.DoubleArray(X3) as x, zelta.DoubleArray(3) as f, zelta.Matrix(rows, cols) as m:
        _zelta.xseterr(0)
        assert _zelta.xsfvd(slot, 0, 250.0, 5e6, x, f, None, None, m) == 0
        assert _zelta.xerr() == 1
        assert re.fullmatch(r"xsfvd: argument 9 \(\w+\) holds %d rows? of %d doubles?, the stream has 3 components"
                            % (rows, cols), _zelta.xerrmsg())
        assert f.tolist() == [0.0, 0.0, 0.0]


@pytest.mark.parametrize("name", ["xshv", "xssv", "xsvv"])
def test_single_value_functions_need_one_double_and_n_fractions(slot, name):
    fn = getattr(_zelta, name)
    with zelta.DoubleArray(X3) as x, zelta.DoubleArray(0) as empty, zelta.DoubleArray(2) as x2:
        _zelta.xseterr(0)
        assert fn(slot, 0, 250.0, 5e6, x, empty) == 0
        assert re.fullmatch(r"%s: argument 6 \(\w+\) holds 0 doubles, the call writes 1" % name, _zelta.xerrmsg())
        _zelta.xseterr(0)
        with zelta.DoubleArray(1) as out:
            assert fn(slot, 0, 250.0, 5e6, x2, out) == 0
            assert re.fullmatch(r"%s: argument 5 \(\w+\) holds 2 doubles, the stream has 3 components" % name,
                                _zelta.xerrmsg())
            assert out[0] == 0.0


@pytest.mark.parametrize("name", ["xshvd", "xssvd", "xsvvd"])
def test_single_value_derivatives_need_n_composition_derivatives(slot, name):
    fn = getattr(_zelta, name)
    with zelta.DoubleArray(X3) as x, zelta.DoubleArray(1) as v, zelta.DoubleArray(2) as dx:
        _zelta.xseterr(0)
        assert fn(slot, 0, 250.0, 5e6, x, v, None, None, dx) == 0
        assert re.fullmatch(r"%s: argument 9 \(\w+\) holds 2 doubles, the stream has 3 components" % name,
                            _zelta.xerrmsg())


def test_large_enough_buffers_are_used_as_before(slot):
    with zelta.DoubleArray(X3 + [99.0]) as x, zelta.DoubleArray(5) as f:
        _zelta.xseterr(0)
        assert _zelta.xsfv(slot, 0, 250.0, 5e6, x, f) == 1 and _zelta.xerr() == 0
        values = f.tolist()
        assert all(v > 0 for v in values[:3]) and values[3:] == [0.0, 0.0]


def test_buffers_of_unknown_origin_pass_unchecked(slot):
    # A pointer object for an address that zelta_arrays did not hand out
    # (here: a ctypes array, wrapped by the module's own pointer type).
    x = (ctypes.c_double * 3)(*X3)
    f = (ctypes.c_double * 3)()
    with zelta.DoubleArray(1) as probe:
        pointer_type = type(probe.this)
    px, pf = foreign_pointer(ctypes.addressof(x)), foreign_pointer(ctypes.addressof(f))
    assert type(px) is pointer_type
    _zelta.xseterr(0)
    assert _zelta.xsfv(slot, 0, 250.0, 5e6, px, pf) == 1 and _zelta.xerr() == 0
    assert all(v > 0 for v in f)


def foreign_pointer(address):
    """A "_p_double" pointer object for an arbitrary address, through a matrix row slot."""
    m = za.new_matrix(1, 1)
    row = za.matrix_row(m, 0)
    # Build the object from a known one: same type, other address (SwigPyObject.ptr is the first field
    # after the object header).
    ctypes.c_void_p.from_address(id(row) + 2 * ctypes.sizeof(ctypes.c_void_p)).value = address
    keep.append(m)
    return row


keep = []


def test_unbound_slot_is_left_to_the_library(slot):
    with zelta.DoubleArray(X3) as x, zelta.DoubleArray(1) as f:
        _zelta.xseterr(0)
        assert _zelta.xsfv(7, 0, 250.0, 5e6, x, f) == 0
        assert "not bound" in _zelta.xerrmsg()


def test_freed_buffer_is_no_longer_known():
    p = za.new_doubles(1)
    za.delete_doubles(p)
    with pytest.raises(ValueError, match="not a live"):
        za.doubles_size(p)


def test_fugacities_refuses_a_composition_of_the_wrong_length(slot):
    with pytest.raises(zelta.ZeltaError, match=r"2 .*3 components"):
        zelta.fugacities(slot, 0, 250.0, 5e6, [0.8, 0.2])
    assert _zelta.xerr() == 0
    good = zelta.fugacities(slot, 0, 250.0, 5e6, X3)
    assert good.code == 1 and len(good.F) == 3 and all(v > 0 and math.isfinite(v) for v in good.F)


def test_stream_no_longer_defined_is_left_to_the_library(slot):
    with zelta.stream([METHANE], [1.0]) as s:
        assert _zelta.xspi(2, s.number) == 1
        _zelta.xinits(s.number)  # the slot's stream loses its definition
        with zelta.DoubleArray(1) as x, zelta.DoubleArray(0) as f:
            _zelta.xseterr(0)
            assert _zelta.xsfv(2, 0, 250.0, 5e6, x, f) == 0
            assert _zelta.xerrmsg().startswith("StrFv: ") and "not defined" in _zelta.xerrmsg()
    _zelta.xseterr(0)


def test_sizes_follow_the_slot_of_the_calling_thread():
    import threading

    results = {}

    def work(name, components, fractions):
        with zelta.stream(components, fractions) as s, zelta.DoubleArray(fractions) as x, \
                zelta.DoubleArray(2) as f:
            _zelta.xspi(1, s.number)
            _zelta.xseterr(0)
            results[name] = [(_zelta.xsfv(1, 0, 250.0, 5e6, x, f), _zelta.xerr()) for _ in range(50)]
            _zelta.xseterr(0)

    threads = [threading.Thread(target=work, args=("two", [METHANE, ETHANE], [0.9, 0.1])),
               threading.Thread(target=work, args=("three", [METHANE, ETHANE, PROPANE], X3))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert set(results["two"]) == {(1, 0)} and set(results["three"]) == {(0, 1)}
