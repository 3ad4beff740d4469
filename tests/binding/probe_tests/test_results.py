"""Result conversion: ints, floats and texts as the library returned them."""
import math

import pytest

import _zelta


@pytest.mark.parametrize("value", [0, -5, 2**31 - 1, -2**31])
def test_int_results_keep_their_value(probe, value):
    probe.returns("getErrFlag", value)
    r = _zelta.xerr()
    assert r == value and type(r) is int


@pytest.mark.parametrize("value", [0.12, -0.0, 1e-300, 5e-324, 1.7976931348623157e308, math.inf])
def test_double_results_keep_their_bits(probe, value):
    probe.returns("getBIP", value)
    r = _zelta.xsbip(1, 1, 0)
    assert type(r) is float and r == value and math.copysign(1, r) == math.copysign(1, value)


def test_nan_result_is_a_float_nan(probe):
    probe.returns("CompTc", math.nan)
    assert math.isnan(_zelta.xctc(1))


@pytest.mark.parametrize("data, text", [
    (b"methane", "methane"), (b"", ""), ("\u00b0C".encode(), "\u00b0C"),
    (b"T\xb0C", "T\udcb0C"), (b"\xff\xfe", "\udcff\udcfe"), (b"\xe2\x82", "\udce2\udc82"),
    (b"ab\0cd", "ab"),
])
def test_text_results_decode_utf8_with_surrogateescape(probe, data, text):
    probe.returns_text("ErrMsg", data)
    assert _zelta.xerrmsg() == text


def test_null_text_result_is_none(probe):
    probe.returns_text("StrN", None)
    assert _zelta.xsn(1) is None
    probe.returns_text("getMDBN", None)
    assert _zelta.xmdbn(1, 2, 3) is None


def test_escaped_text_cannot_be_passed_back(probe):
    probe.returns_text("StrN", b"T\xb0C")
    name = _zelta.xsn(1)
    assert name.encode("utf-8", "surrogateescape") == b"T\xb0C"
    with pytest.raises(TypeError, match=r"^in method 'xsetsn', argument 2 of type 'char \*'$"):
        _zelta.xsetsn(1, name)
    assert probe.count("putN") == 0
