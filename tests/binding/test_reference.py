"""zelta.describe(): the reference text of every raw function, from the package's copy of the table."""
import filecmp
import os

import pytest

import _zelta
import _zelta_ops
import zelta
from zelta import reference

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
ROWS = reference.functions()


def test_the_package_carries_the_table_of_the_source_tree():
    path = reference.table_path()
    assert os.path.dirname(path) == os.path.dirname(os.path.abspath(reference.__file__))
    assert filecmp.cmp(path, os.path.join(ROOT, "zpk", "functions.tsv"), shallow=False)
    assert "describe" in zelta.__all__ and zelta.describe is reference.describe


def test_every_function_is_described_by_python_and_c_name():
    assert len(ROWS) == 273 and sum(f.exposed for f in ROWS) == 265
    for f in ROWS:
        text = zelta.describe(f.name)
        assert text.startswith(f.c_prototype() + "\n"), f.name
        if f.exposed:
            assert zelta.describe(f.python) == text
            assert "_zelta.%s(" % f.python in text
        elif f.name in reference.OPS_CALLS:
            call = reference.OPS_CALLS[f.name][0]
            assert "\nPython: _zelta_ops.%s -> " % call in text
            # The companion module's own doc string names the same call.
            assert getattr(_zelta_ops, call.split("(")[0]).__doc__.startswith(call), f.name
        else:
            assert "Python: none (C callers only)" in text
        for a in f.arguments:
            assert "%s %s: %s" % (a.c_type, a.name, a.meaning) in text
        assert "Result (%s): %s" % (f.result_type, f.result) in text
        assert "\nFailure value: %s" % f.failure in text
        assert text.endswith("\nThreads: %s" % f.threads)


def test_set_operating_point_in_full():
    units = (_zelta.xsums(15), _zelta.xsums(17))
    assert zelta.describe("setOp") == "\n".join([
        "int setOp(int stream, double T, double P)",
        "Python: _zelta.xftp(stream, T, P) -> int",
        "Arguments:",
        "  1. int stream: stream number 1..getMSNr(), defined (setS)",
        "  2. double T: temperature [quantity 15], > 0",
        "     unit: quantity 15, now %s" % units[0],
        "  3. double P: pressure [quantity 17], > 0",
        "     unit: quantity 17, now %s" % units[1],
        "Result (int): 1; the stream's operating point is (T, P) and the stream then holds the equilibrium",
        "Failure value: 0; a failed call returns it and sets the calling thread's error flag (xerr()) and "
        "message (xerrmsg()); where 0 can also be a valid result, the flag tells the two apart",
        "Threads: any thread, own streams"])


def test_text_arguments_arrays_and_units_are_spelled_out():
    assert zelta.describe("xafopen").startswith("int AFOpen(const char* path)\n")
    fvd = zelta.describe("xsfvd")
    assert "array: ncd(slot) rows of ncd(slot) doubles; may be null" in fvd
    assert "ncd(slot) = getCNr of the stream that DPinit bound to the calling thread's derivative slot slot" in fvd
    assert "array: 2*ncol(feedStreams)+nStages doubles; may be null" in zelta.describe("DCOL")
    assert "getErrFlag()" in zelta.describe("getASNr") and "Failure value: -1;" in zelta.describe("getASNr")
    assert "Failure value: never fails" in zelta.describe("xerrmsg")
    assert "Python: _zelta.xerrmsg() -> str, or None for a null text" in zelta.describe("xerrmsg")
    assert "unit: dimensionless" in zelta.describe("xcac")
    # A result in one of two quantities names both.
    assert "  unit: quantity 15, now %s or dimensionless\n" % _zelta.xsums(15) in zelta.describe("xpolp")


def test_units_named_are_the_ones_selected_now():
    before = _zelta.xumc(15)
    try:
        assert _zelta.xsetumc(15, 2) == 1
        assert "unit: quantity 15, now %s" % _zelta.xsums(15) in zelta.describe("xctc")
    finally:
        _zelta.xsetumc(15, before)
    assert "unit: quantity 15, now %s" % _zelta.xsums(15) in zelta.describe("xctc")


def test_names_are_matched_exactly_first_then_without_case():
    assert zelta.describe("SETOP") == zelta.describe("xftp")
    with pytest.raises(reference.UnknownFunction, match=r"no library function is called 'xtfp'; close matches: .*xftp"):
        zelta.describe("xtfp")
    with pytest.raises(LookupError, match=r"'nothing like it'$"):
        zelta.describe("nothing like it")
    with pytest.raises(TypeError):
        zelta.describe(7)


def test_description_shows_as_its_text():
    text = zelta.describe("xftp")
    assert isinstance(text, str) and repr(text) == str(text)
