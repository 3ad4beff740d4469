"""Pointer objects (SwigPyObject) as a Python user of _zelta sees them."""
import subprocess
import sys

import pytest

import zelta_arrays as za


@pytest.fixture
def arrays():
    made = []

    def make(n=1):
        p = za.new_doubles(n)
        made.append(p)
        return p

    yield make
    for p in made:
        za.delete_doubles(p)


def test_type_name_and_documentation(arrays):
    t = type(arrays())
    assert t.__name__ == "SwigPyObject"
    assert t.__doc__ == "Swig object carries a C/C++ instance pointer"
    docs = {name: getattr(t, name).__doc__ for name in ("disown", "acquire", "own", "append", "next")}
    assert docs == {
        "disown": "releases ownership of the pointer",
        "acquire": "acquires ownership of the pointer",
        "own": "returns/sets ownership of the pointer",
        "append": "appends another 'this' object",
        "next": "returns the next 'this' object",
    }


def test_repr_str_and_int(arrays):
    a = arrays()
    text = "<Swig Object of type 'double *' at 0x%x>" % id(a)
    assert repr(a) == str(a) == a.__repr__() == text
    assert int(a) > 0 and int(a) % 8 == 0
    m = za.new_matrix(1, 1)
    try:
        assert repr(m) == "<Swig Object of type 'double **' at 0x%x>" % id(m)
        assert repr(za.matrix_row(m, 0)).startswith("<Swig Object of type 'double *' at ")
    finally:
        za.delete_matrix(m)
    c = za.new_chars(0)
    try:
        assert repr(c).startswith("<Swig Object of type 'char *' at ")
    finally:
        za.delete_chars(c)


def test_ownership_flag(arrays):
    a = arrays()
    assert a.own() is False
    assert a.own(1) is False
    assert a.own() is True
    assert a.own(0) is True and a.own() is False
    assert a.acquire() is None and a.own() is True
    assert a.disown() is None and a.own() is False
    a.own([1])  # any true object
    assert a.own() is True
    a.own("")
    assert a.own() is False
    with pytest.raises(TypeError):
        a.own(1, 2)


def test_append_and_next_chain_objects(arrays):
    a, b, c = arrays(), arrays(), arrays()
    assert a.next() is None
    assert a.append(b) is None
    assert a.next() is b
    assert repr(a) == "<Swig Object of type 'double *' at 0x%x>" % id(a) + repr(b)
    a.append(c)  # c goes directly behind a, ahead of b
    assert a.next() is c and c.next() is b and b.next() is None
    assert repr(a) == "".join("<Swig Object of type 'double *' at 0x%x>" % id(x) for x in (a, c, b))
    assert str(a) == repr(a)
    with pytest.raises(TypeError, match="^Attempt to append a non SwigPyObject$"):
        a.append(1)
    with pytest.raises(TypeError):
        a.append()


def test_equality_compares_addresses_only(arrays):
    a, b = arrays(), arrays()
    m = za.new_matrix(2, 1)
    try:
        row1, row1_again = za.matrix_row(m, 1), za.matrix_row(m, 1)
        assert row1 is not row1_again and row1 == row1_again and not (row1 != row1_again)
        assert a != b and not (a == b)
        assert a == a
        for other in (None, 0, int(a), float(int(a)), "x"):
            assert a != other and not (a == other)
        for op in ("<", "<=", ">", ">="):
            with pytest.raises(TypeError):
                eval("a %s b" % op)
        assert a.__lt__(b) is NotImplemented and a.__eq__(None) is NotImplemented
    finally:
        za.delete_matrix(m)


def test_owning_object_without_destructor_reports_a_leak():
    code = "import zelta_arrays as za\np = za.new_doubles(1)\np.acquire()\ndel p\nprint('after')\n"
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert out == "swig/python detected a memory leak of type 'double *', no destructor found.\nafter\n"


def test_companion_checks_bounds_and_kinds(arrays):
    a = arrays(2)
    za.doubles_setitem(a, 1, 2.5)
    assert [za.doubles_getitem(a, i) for i in range(2)] == [0.0, 2.5] and za.doubles_size(a) == 2
    with pytest.raises(IndexError):
        za.doubles_getitem(a, 2)
    with pytest.raises(IndexError):
        za.doubles_setitem(a, -1, 0.0)
    with pytest.raises(ValueError):
        za.new_doubles(-1)
    m = za.new_matrix(2, 3)
    try:
        with pytest.raises(ValueError, match="freed with its matrix"):
            za.delete_doubles(za.matrix_row(m, 0))
        za.matrix_setitem(m, 1, 2, 4.0)
        assert za.doubles_getitem(za.matrix_row(m, 1), 2) == 4.0
        assert (za.matrix_rows(m), za.matrix_cols(m)) == (2, 3)
    finally:
        za.delete_matrix(m)
    c = za.new_chars(2)
    try:
        with pytest.raises(ValueError):
            za.chars_setitem(c, 0, 256)
        with pytest.raises(TypeError):
            za.chars_setitem("str is not a buffer", 0, 1)
    finally:
        za.delete_chars(c)
