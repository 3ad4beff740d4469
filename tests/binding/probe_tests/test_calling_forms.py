"""Every Python name reaches its own library function; calling forms by arity."""
import pytest

import _zelta

from functable import FUNCTIONS


@pytest.mark.parametrize("fn", FUNCTIONS, ids=str)
def test_each_name_calls_its_library_function_once(probe, fn):
    if fn.result == "char *":
        probe.returns_text(fn.c_name, b"t")
        expected = "t"
    else:
        probe.returns(fn.c_name, 7)
        expected = 7 if fn.result == "int" else 7.0
    result = getattr(_zelta, fn.python)(*fn.valid_args())
    assert result == expected and type(result) is type(expected)
    assert probe.count() == 1 and probe.count(fn.c_name) == 1
    converted = [b"abc" if a == "abc" else a for a in fn.valid_args()]
    assert probe.args(fn.c_name) == converted


@pytest.mark.parametrize("fn", [f for f in FUNCTIONS if f.flag == 1], ids=str)
def test_tuple_form_checks_the_count(probe, fn):
    f = getattr(_zelta, fn.python)
    n = len(fn.args)
    for given in (0, n - 1, n + 1):
        with pytest.raises(TypeError) as e:
            f(*([1] * given))
        assert str(e.value) == "%s expected %d arguments, got %d" % (fn.python, n, given)
    assert probe.count() == 0


def test_tuple_form_message_for_nine_arguments(probe):
    with pytest.raises(TypeError, match=r"^xsfvd expected 9 arguments, got 8$"):
        _zelta.xsfvd(1, 1, 300.0, 1.0, None, None, None, None)
    with pytest.raises(TypeError, match=r"^xsetumc expected 2 arguments, got 3$"):
        _zelta.xsetumc(1, 2, 3)
    assert probe.count() == 0


def test_one_object_form_is_enforced_by_the_interpreter(probe):
    with pytest.raises(TypeError, match=r"xcfgi\(\) takes exactly one argument \(0 given\)"):
        _zelta.xcfgi()
    with pytest.raises(TypeError, match=r"xcfgi\(\) takes exactly one argument \(2 given\)"):
        _zelta.xcfgi(1, 2)
    # A tuple is one object, converted (and rejected) as an int.
    with pytest.raises(TypeError, match=r"^in method 'xcfgi', argument 1 of type 'int'$"):
        _zelta.xcfgi((1,))
    assert probe.count() == 0


def test_no_argument_form_is_enforced_by_the_interpreter(probe):
    with pytest.raises(TypeError, match=r"xerr\(\) takes no arguments \(1 given\)"):
        _zelta.xerr(1)
    with pytest.raises(TypeError, match=r"xpatm\(\) takes no arguments \(2 given\)"):
        _zelta.xpatm(1, 2)
    assert probe.count() == 0


@pytest.mark.parametrize("call", [
    lambda: _zelta.xerr(x=1),
    lambda: _zelta.xcfgi(x=1),
    lambda: _zelta.xsetumc(1, x=2),
    lambda: _zelta.xumau(1.0, 2.0, "m", u=1),
], ids=["none", "one", "tuple", "tuple-with-text"])
def test_keyword_arguments_are_refused(probe, call):
    with pytest.raises(TypeError, match="keyword"):
        call()
    assert probe.count() == 0
