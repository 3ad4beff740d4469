"""Argument conversion: what the library receives, and what is refused."""
import math

import pytest

import _zelta
import zelta_arrays


def message(name, position, ctype):
    return r"^in method '%s', argument %d of type '%s'$" % (name, position, ctype.replace("*", r"\*"))


class IntSubclass(int):
    pass


class FloatSubclass(float):
    pass


class StrSubclass(str):
    pass


class Indexable:
    def __index__(self):
        return 3

    def __int__(self):
        return 3

    def __float__(self):
        return 3.0


# --- int -------------------------------------------------------------------

@pytest.mark.parametrize("value, received", [
    (True, 1), (False, 0), (0, 0), (2**31 - 1, 2**31 - 1), (-2**31, -2**31), (IntSubclass(42), 42),
])
def test_int_accepts_ints_and_their_subclasses(probe, value, received):
    _zelta.xcfgi(value)
    assert probe.args("CFGInt") == [received]


@pytest.mark.parametrize("value", [1.0, 1.5, "1", None, b"1", Indexable(), [1], 1j])
def test_int_refuses_other_types_with_type_error(probe, value):
    with pytest.raises(TypeError, match=message("xcfgi", 1, "int")):
        _zelta.xcfgi(value)
    assert probe.count() == 0


@pytest.mark.parametrize("value", [2**31, -2**31 - 1, 2**63, -2**64, 10**100])
def test_int_out_of_range_is_overflow_error_with_the_argument_message(probe, value):
    with pytest.raises(OverflowError, match=message("xcfgi", 1, "int")) as e:
        _zelta.xcfgi(value)
    assert e.value.__context__ is None  # the interpreter's own overflow error was cleared
    assert probe.count() == 0


def test_int_position_in_the_message(probe):
    with pytest.raises(OverflowError, match=message("xpept", 5, "int")):
        _zelta.xpept(1, 2, 3, 4, 2**40)
    with pytest.raises(TypeError, match=message("xumcr", 3, "int")):
        _zelta.xumcr(5.0, 1, 2.0)
    assert probe.count() == 0


# --- double ----------------------------------------------------------------

@pytest.mark.parametrize("value, received", [
    (5, 5.0), (True, 1.0), (2**53 + 1, 9007199254740992.0), (-7, -7.0), (1e308, 1e308),
    (FloatSubclass(2.5), 2.5), (IntSubclass(3), 3.0), (float("inf"), math.inf), (2**1023, 2.0**1023),
])
def test_double_accepts_floats_and_ints(probe, value, received):
    _zelta.xumcr(value, 1, 2)
    got = probe.args("UMCR")
    assert got[0] == received and got[1:] == [1, 2]


def test_double_nan_and_negative_zero_pass_unchanged(probe):
    _zelta.xumcr(float("nan"), 1, 2)
    assert math.isnan(probe.args("UMCR")[0])
    _zelta.xumcr(-0.0, 1, 2)
    assert math.copysign(1.0, probe.args("UMCR")[0]) == -1.0


@pytest.mark.parametrize("value", [10**400, -10**400, 2**1024])
def test_double_refuses_ints_too_large_with_type_error(probe, value):
    with pytest.raises(TypeError, match=message("xumcr", 1, "double")):
        _zelta.xumcr(value, 1, 2)
    assert probe.count() == 0


@pytest.mark.parametrize("value", ["1.0", None, b"1", Indexable(), 1j, [1.0]])
def test_double_refuses_other_types(probe, value):
    with pytest.raises(TypeError, match=message("xstph", 2, "double")):
        _zelta.xstph(1, value, 1e5)
    assert probe.count() == 0


# --- char * ----------------------------------------------------------------

@pytest.mark.parametrize("value, received", [
    ("def.zpk", b"def.zpk"), ("", b""), ("Me\u00dfwert \u00b0C", "Me\u00dfwert \u00b0C".encode()),
    ("\U0001F600", "\U0001F600".encode()), ("ab\0cd", b"ab"), (StrSubclass("sub"), b"sub"), (None, None),
])
def test_text_arguments_are_strict_utf8_copies_or_null(probe, value, received):
    _zelta.xafopen(value)
    assert probe.args("AFOpen") == [received]


@pytest.mark.parametrize("value", [b"def.zpk", bytearray(b"x"), 1, 1.0, ["a"], object()])
def test_text_refuses_bytes_and_other_objects(probe, value):
    with pytest.raises(TypeError, match=message("xafopen", 1, "char *")):
        _zelta.xafopen(value)
    assert probe.count() == 0


@pytest.mark.parametrize("value", ["\udcb0", "abc\ud800", "\udfff tail"])
def test_text_with_lone_surrogates_is_type_error_not_encoding_error(probe, value):
    with pytest.raises(TypeError, match=message("xsetsn", 2, "char *")) as e:
        _zelta.xsetsn(1, value)
    assert not isinstance(e.value, UnicodeError)
    assert probe.count() == 0


def test_text_accepts_a_char_pointer_object_by_address(probe):
    buf = zelta_arrays.new_chars(3)
    try:
        for i, b in enumerate(b"\xb0C\xff"):
            zelta_arrays.chars_setitem(buf, i, b)
        _zelta.xsetsn(4, buf)
        assert probe.args("putN") == [4, b"\xb0C\xff"]
    finally:
        zelta_arrays.delete_chars(buf)


def test_text_refuses_a_pointer_object_of_another_type(probe):
    arr = zelta_arrays.new_doubles(1)
    try:
        with pytest.raises(TypeError, match=message("xafsave", 1, "char *")):
            _zelta.xafsave(arr)
    finally:
        zelta_arrays.delete_doubles(arr)
    assert probe.count() == 0


def test_first_failing_argument_wins_and_later_ones_are_not_looked_at(probe):
    # Argument 3 (a text) was converted and copied before argument 4 failed.
    with pytest.raises(TypeError, match=message("xumau", 4, "int")):
        _zelta.xumau(1.0, 2.0, "unit", "1")
    with pytest.raises(TypeError, match=message("xumau", 1, "double")):
        _zelta.xumau("1.0", object(), b"not even looked at", 2**99)
    with pytest.raises(OverflowError, match=message("xumau", 4, "int")):
        _zelta.xumau(1.0, 2.0, None, 2**31)
    assert probe.count() == 0
    _zelta.xumau(1.0, 2.0, "unit", 3)
    assert probe.args("UMAU") == [1.0, 2.0, b"unit", 3]


# --- double * and double ** -------------------------------------------------

def test_array_arguments_take_none_as_null(probe):
    _zelta.xsfv(1, 1, 300.0, 1.0, None, None)
    assert probe.args("StrFv") == [1, 1, 300.0, 1.0, None, None]


def test_array_arguments_take_pointer_objects_by_address(probe):
    x, f = zelta_arrays.new_doubles(2), zelta_arrays.new_doubles(2)
    m = zelta_arrays.new_matrix(2, 2)
    try:
        _zelta.xsfvd(1, 2, 85.0, 5e5, x, f, f, None, m)
        assert probe.args("StrFvd") == [1, 2, 85.0, 5e5, int(x), int(f), int(f), None, int(m)]
        row = zelta_arrays.matrix_row(m, 1)
        _zelta.xshv(1, 0, 300.0, 1e5, row, x)
        assert probe.args("StrHv")[4:] == [int(row), int(x)]
    finally:
        zelta_arrays.delete_matrix(m)
        zelta_arrays.delete_doubles(x)
        zelta_arrays.delete_doubles(f)


@pytest.mark.parametrize("value", [[1.0, 2.0], (1.0,), 1.0, 0, bytearray(16), memoryview(b"12345678"), "x"])
def test_array_arguments_refuse_python_containers_and_numbers(probe, value):
    with pytest.raises(TypeError, match=message("xsfv", 5, "double *")):
        _zelta.xsfv(1, 1, 300.0, 1.0, value, None)
    assert probe.count() == 0


def test_array_arguments_check_the_pointer_type(probe):
    d, m = zelta_arrays.new_doubles(1), zelta_arrays.new_matrix(1, 1)
    c = zelta_arrays.new_chars(1)
    try:
        with pytest.raises(TypeError, match=message("xsfv", 6, "double *")):
            _zelta.xsfv(1, 1, 300.0, 1.0, d, m)
        with pytest.raises(TypeError, match=message("xsvvd", 9, "double *")):
            _zelta.xsvvd(1, 1, 300.0, 1.0, d, d, d, d, c)
        with pytest.raises(TypeError, match=message("xsfvd", 9, "double **")):
            _zelta.xsfvd(1, 1, 300.0, 1.0, d, d, d, d, d)
    finally:
        zelta_arrays.delete_doubles(d)
        zelta_arrays.delete_matrix(m)
        zelta_arrays.delete_chars(c)
    assert probe.count() == 0


def test_array_arguments_follow_the_this_attribute_and_the_chain(probe):
    class Holder:
        def __init__(self, this):
            self.this = this

    a, b = zelta_arrays.new_doubles(1), zelta_arrays.new_matrix(1, 1)
    try:
        _zelta.xsfv(1, 1, 300.0, 1.0, Holder(a), None)
        assert probe.args("StrFv")[4] == int(a)
        # A double ** object chained behind a double * object is found through the chain.
        carrier = zelta_arrays.new_doubles(1)
        try:
            carrier.append(b)
            _zelta.xsfvd(1, 1, 300.0, 1.0, None, None, None, None, Holder(carrier))
            assert probe.args("StrFvd")[8] == int(b)
        finally:
            zelta_arrays.delete_doubles(carrier)
    finally:
        zelta_arrays.delete_doubles(a)
        zelta_arrays.delete_matrix(b)
