"""Size checks of caller arrays, for every exposed function with array arguments.

The extents come from the interface table; the probe library reports a
programmed stream size for every derivative slot and records what the
binding reports through its error entry.
"""
import ctypes
import math
import os
import re
import subprocess
import sys
import textwrap

import pytest

import _zelta
import zelta_arrays as za

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "tools", "apidoc"))
import interface_table  # noqa: E402

TABLE = os.path.join(os.path.dirname(__file__), "..", "..", "..", "zpk", "functions.tsv")
N = 3  # components of the stream behind every slot
ARRAY_FUNCTIONS = [f for f in interface_table.read(TABLE)
                   if f.exposed and any(a.type in ("double*", "double**") for a in f.args)]


def extent(text, args):
    """Value of an extent of the table for the given call (ncd(...) is N)."""
    total = 0
    for part in text.split("+"):
        value = 1
        for term in part.split("*"):
            term = term.strip()
            value *= int(term) if term.isdigit() else N if term.startswith("ncd(") else args[term]
        total += value
    return total


class Call:
    """A call of one function with registered arrays of the sizes its extents ask for."""

    def __init__(self, function, short=None):
        self.function = function
        self.blocks = []
        scalars = {"int": 1, "double": 1.5}
        names = {a.name: scalars.get(a.type) for a in function.args}
        self.args = []
        for pos, a in enumerate(function.args, 1):
            if a.type == "double*":
                n = extent(a.extents[0], names) - (1 if pos == short else 0)
                p = za.new_doubles(n)
                self.blocks.append((za.delete_doubles, p))
            elif a.type == "double**":
                rows = extent(a.extents[0], names) - (1 if pos == short else 0)
                p = za.new_matrix(rows, extent(a.extents[1], names))
                self.blocks.append((za.delete_matrix, p))
            else:
                p = scalars[a.type] if a.type in scalars else "t"
            self.args.append(p)

    def run(self):
        return getattr(_zelta, self.function.python)(*self.args)

    def close(self):
        for delete, p in self.blocks:
            delete(p)


def failure(function):
    return {"0": 0, "-1": -1, "NULL": None}.get(function.failure, function.failure)


def same_failure(value, function):
    if function.failure == "NaN":
        return isinstance(value, float) and math.isnan(value)
    return value == failure(function)


def binding_error(probe):
    buf = ctypes.create_string_buffer(512)
    code = probe.lib.probe_binding_error(buf, len(buf))
    return code, buf.value.decode()


@pytest.fixture
def sized(probe):
    probe.lib.probe_set_slot_positions(N)
    yield probe


def test_the_table_has_array_functions():
    assert {f.python for f in ARRAY_FUNCTIONS} >= {"xsfv", "xsfvd", "xshv", "xshvd", "xssv", "xssvd", "xsvv",
                                                    "xsvvd"}


@pytest.mark.parametrize("function", ARRAY_FUNCTIONS, ids=lambda f: f.python)
def test_arrays_of_the_sizes_of_the_table_reach_the_library(sized, function):
    call = Call(function)
    try:
        sized.returns(function.name, 1)
        assert call.run() == 1
        assert sized.count(function.name) == 1 and binding_error(sized) == (0, "")
    finally:
        call.close()


@pytest.mark.parametrize("function", ARRAY_FUNCTIONS, ids=lambda f: f.python)
def test_each_array_one_short_is_refused_before_the_call(sized, function):
    for pos, a in enumerate(function.args, 1):
        if a.type not in ("double*", "double**"):
            continue
        sized.reset()
        sized.lib.probe_set_slot_positions(N)
        call = Call(function, short=pos)
        try:
            assert same_failure(call.run(), function)
            assert sized.count(function.name) == 0
            code, message = binding_error(sized)
            assert code == 1
            assert re.match(r"^%s: argument %d \(%s\) holds \d+ (double|row)s?\b.*, (the stream has %d components|the call )"
                            % (function.python, pos, a.name, N), message), message
        finally:
            call.close()


def test_unknown_stream_size_leaves_the_call_to_the_library(probe):
    probe.lib.probe_set_slot_positions(-1)
    f, x = za.new_doubles(0), za.new_doubles(0)
    try:
        _zelta.xsfv(1, 0, 300.0, 1e5, x, f)
        assert probe.count("StrFv") == 1 and binding_error(probe)[0] == 0
    finally:
        za.delete_doubles(f)
        za.delete_doubles(x)


def test_null_and_unknown_pointers_pass_unchecked(sized):
    freed = za.new_doubles(1)
    za.delete_doubles(freed)  # no longer registered: of unknown origin now
    _zelta.xsfv(1, 0, 300.0, 1e5, None, freed)
    assert sized.count("StrFv") == 1 and binding_error(sized)[0] == 0
    assert sized.args("StrFv")[4:] == [None, int(freed)]


def test_matrix_rows_and_row_length_are_both_checked(sized):
    x, f = za.new_doubles(N), za.new_doubles(N)
    try:
        for rows, cols, ok in ((N, N, True), (N + 1, N + 2, True), (N, N - 1, False), (N - 1, N, False)):
            sized.reset()
            sized.lib.probe_set_slot_positions(N)
            m = za.new_matrix(rows, cols)
            try:
                _zelta.xsfvd(1, 0, 300.0, 1e5, x, f, None, None, m)
                assert (sized.count("StrFvd") == 1) == ok, (rows, cols)
            finally:
                za.delete_matrix(m)
    finally:
        za.delete_doubles(x)
        za.delete_doubles(f)


def run_isolated(code):
    env = dict(os.environ)
    return subprocess.run([sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True,
                          timeout=120, env=env)


def test_arrays_imported_after_the_module_are_still_checked():
    out = run_isolated("""
        import ctypes, os, sys
        import _zelta
        probe = ctypes.CDLL(os.environ["ZELTA_PROBE_LIB"])
        probe.probe_set_slot_positions(3)
        _zelta.xsfv(1, 0, 300.0, 1e5, None, None)      # before zelta_arrays exists
        assert "zelta_arrays" not in sys.modules
        import zelta_arrays as za
        f = za.new_doubles(2)
        print(_zelta.xsfv(1, 0, 300.0, 1e5, None, f))
        buf = ctypes.create_string_buffer(200)
        print(probe.probe_binding_error(buf, 200), buf.value.decode())
    """)
    assert out.returncode == 0, out.stderr
    assert out.stdout.splitlines() == ["0", "1 xsfv: argument 6 (F) holds 2 doubles, the stream has 3 components"]


def test_registry_is_reached_through_the_capsule_only():
    assert type(za._capacity_registry).__name__ == "PyCapsule"
    assert "zelta_arrays._capacity_registry" in repr(za._capacity_registry)
    assert not hasattr(_zelta, "_capacity_registry")


def test_blocks_made_and_freed_in_many_threads_are_registered_exactly(sized):
    import threading

    errors = []

    def work():
        try:
            for i in range(300):
                p = za.new_doubles(i % 5)
                assert za.doubles_size(p) == i % 5
                za.delete_doubles(p)
        except Exception as e:  # reported below
            errors.append(repr(e))

    threads = [threading.Thread(target=work) for _ in range(6)]
    for t in threads:
        t.start()
    x, f = za.new_doubles(N), za.new_doubles(N - 1)
    try:
        for _ in range(200):
            assert _zelta.xsfv(1, 0, 300.0, 1e5, x, f) == 0
    finally:
        for t in threads:
            t.join()
        za.delete_doubles(x)
        za.delete_doubles(f)
    assert errors == [] and sized.count("StrFv") == 0
