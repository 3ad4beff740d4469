"""The build step that checks and cleans SWIG's output refuses what the module must not have."""
import os
import subprocess
import sys

import pytest

HERE = os.path.dirname(__file__)
SCRIPT = os.path.join(HERE, "..", "..", "binding", "check_wrap.py")
TABLE = os.path.join(HERE, "..", "..", "zpk", "functions.tsv")
BUILD = os.environ.get("ZELTA_BUILD_DIR")
RAW = os.path.join(BUILD or "", "binding", "zelta_wrap_raw.cxx")

pytestmark = pytest.mark.skipif(not os.path.isfile(RAW), reason="needs the generated wrapper in the build tree")


def run(tmp_path, text):
    src, out = tmp_path / "in.cxx", tmp_path / "out.cxx"
    src.write_text(text)
    r = subprocess.run([sys.executable, SCRIPT, "--table", TABLE, str(src), str(out)], capture_output=True,
                       text=True)
    return r, (out.read_text() if out.exists() else None)


@pytest.fixture(scope="module")
def raw():
    with open(RAW) as f:
        return f.read()


def test_generated_source_passes_and_only_the_comparison_is_mended(tmp_path, raw):
    r, out = run(tmp_path, raw)
    assert r.returncode == 0, r.stderr
    assert "265 functions" in r.stdout
    assert "!SwigPyObject_Check((PyObject *)w)" in out and out.count("\n") == raw.count("\n") + 2


def test_generator_entries_are_removed(tmp_path, raw):
    head = "static PyMethodDef SwigMethods[] = {\n"
    extra = ('\t { "SWIG_PyInstanceMethod_New", SWIG_PyInstanceMethod_New, METH_O, NULL},\n'
             '\t { "SWIG_PyStaticMethod_New", SWIG_PyStaticMethod_New, METH_O, NULL},\n')
    r, out = run(tmp_path, raw.replace(head, head + extra))
    assert r.returncode == 0 and "2 generator entries removed" in r.stdout
    assert "SWIG_PyInstanceMethod_New\"" not in out and "SWIG_PyStaticMethod_New\"" not in out


@pytest.mark.parametrize("old, new, complaint", [
    ('\t { "xcfgi", _wrap_xcfgi, METH_O, NULL},\n', "", "264 entries"),
    ('{ "xerr", _wrap_xerr, METH_NOARGS, NULL}', '{ "xerr", _wrap_xerr, METH_VARARGS, NULL}', "entry 6"),
    ('{ "xcfgr", _wrap_xcfgr, METH_O, NULL},\n\t { "xafopen", _wrap_xafopen, METH_O, NULL}',
     '{ "xafopen", _wrap_xafopen, METH_O, NULL},\n\t { "xcfgr", _wrap_xcfgr, METH_O, NULL}', "entry 2"),
    ('{ "xsdef", _wrap_xsdef, METH_O, NULL}', '{ "xsdef", _wrap_xsdef, METH_O, "doc"}', "documentation"),
    ("{0, 0, 0, 0.0, 0, 0}};", '{SWIG_PY_INT, "ANSWER", 42, 0, 0, 0},\n{0, 0, 0, 0.0, 0, 0}};', "constants"),
    ('static swig_type_info _swigt__p_p_double = {"_p_p_double", "double **", 0, 0, (void*)0, 0};',
     'static swig_type_info _swigt__p_p_double = {"_p_p_double", "double **", 0, 0, (void*)0, 0};\n'
     'static swig_type_info _swigt__p_int = {"_p_int", "int *", 0, 0, (void*)0, 0};', "pointer types"),
])
def test_deviations_stop_the_build(tmp_path, raw, old, new, complaint):
    assert raw.count(old) == 1
    r, _ = run(tmp_path, raw.replace(old, new))
    assert r.returncode == 1 and complaint in r.stderr, r.stderr
