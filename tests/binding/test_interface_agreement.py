"""The interface table, zpk/zpk.h, the SWIG input zelta.i and the built _zelta agree.

apidoc_check compares the table with zpk/zpk.h and check_wrap.py the method
table with the table's names and calling forms; here the remaining links:
the declarations SWIG is given (binding/zelta.i) are the table's, zpk/zpk.h's
argument counts reach _zelta's wrappers, text arguments differ only by const,
and the package's own table reader reads what the tools read.
"""
import os
import re
import sys

import pytest

import _zelta
from zelta import reference

from functable import FUNCTIONS
from test_module import module_def

ROOT = os.path.join(os.path.dirname(__file__), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "apidoc"))
import interface_table  # noqa: E402

TABLE = interface_table.read(os.path.join(ROOT, "zpk", "functions.tsv"))
HEADER = interface_table.header_declarations(os.path.join(ROOT, "zpk", "zpk.h"))


def swig_input():
    """(Python name, C name, declaration) of binding/zelta.i, in declaration order."""
    with open(os.path.join(ROOT, "binding", "zelta.i"), encoding="utf-8") as f:
        text = re.sub(r"/\*.*?\*/", "", f.read(), flags=re.S)
    renames = dict((c, py) for py, c in re.findall(r"^%rename\((\w+)\) (\w+);$", text, flags=re.M))
    declarations = re.findall(r"^((?:int|double|char \*)\s*(\w+)\([^)]*\));$", text, flags=re.M)
    return [(renames.get(name), name, decl) for decl, name in declarations]


def test_table_and_header_list_the_same_functions_in_the_same_order():
    assert interface_table.compare_with_header(TABLE, HEADER) == []
    assert len(HEADER) == len(TABLE) == 273
    exposed = [f for f in TABLE if f.exposed]
    assert [name for name, _, _ in HEADER[:len(exposed)]] == [f.name for f in exposed]


def test_swig_is_given_the_declarations_and_names_of_the_table():
    wanted = [(f.python, f.name, f.declaration) for f in TABLE if f.exposed]
    assert swig_input() == wanted


def test_header_argument_counts_reach_the_wrappers():
    methods = module_def(_zelta).m_methods
    declared = {name: types for name, _, types in HEADER}
    for i, f in enumerate(FUNCTIONS):
        n = len(declared[f.c_name])
        assert methods[i].ml_name.decode() == f.python
        assert methods[i].ml_flags == {0: 4, 1: 8}.get(n, 1), f.python
        if n >= 2:
            # The wrapper counts before it converts anything: the library is not called.
            with pytest.raises(TypeError, match=r"^%s expected %d arguments, got %d$" % (f.python, n, n + 1)):
                getattr(_zelta, f.python)(*([0] * (n + 1)))


def test_text_arguments_are_const_in_the_header_only():
    text_arguments = 0
    for (name, result, types), f in zip(HEADER, TABLE):
        for header_type, table_type in zip(types, f.types):
            if table_type == "char*":
                text_arguments += 1
                assert header_type == "const char*", name
            else:
                assert header_type == table_type, name
        assert "const" not in result, name
    assert text_arguments == 5  # AFOpen, AFSave, UMAU, putPKN, putN


def test_package_reader_reads_what_the_tools_read():
    rows = reference.read_table(reference.table_path())
    assert len(rows) == len(TABLE)
    for mine, theirs in zip(rows, TABLE):
        assert (mine.python, mine.name, mine.result_type, mine.failure, mine.threads) == (
            theirs.python, theirs.name, theirs.result_type, theirs.failure, theirs.threads)
        assert [(a.type, a.name, a.extents, a.optional, a.meaning) for a in mine.arguments] == [
            (a.type, a.name, a.extents, a.optional, a.meaning) for a in theirs.args]
