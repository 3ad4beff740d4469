"""_zelta driving the real library: the same answers as direct C calls."""
import ctypes
import math
import os
import re
import struct
import subprocess
import sys

import pytest

import _zelta
import zelta
import libzpk

METHANE, ETHANE, PROPANE = 74828, 74840, 74986


@pytest.fixture(scope="module")
def c():
    lib = libzpk.load()
    # ctypes must reach the very library instance that _zelta uses (one error state).
    _zelta.xseterr(0)
    lib.setErrFlag(3)
    assert _zelta.xerr() == 3
    _zelta.xseterr(0)
    return lib


def same(a, b):
    """Equal to the last bit (NaN equals NaN)."""
    if isinstance(a, float) or isinstance(b, float):
        return struct.pack("<d", a) == struct.pack("<d", b)
    return a == b


@pytest.fixture
def gas():
    with zelta.stream([METHANE, ETHANE, PROPANE], [0.85, 0.10, 0.05], models=6) as s:
        yield s.number


def test_units_round_trip(c):
    saved = _zelta.xumc(16)
    try:
        for unit in (1, 2):
            assert _zelta.xsetumc(16, unit) == c.setUMC(16, unit)
            assert _zelta.xumc(16) == c.getUMC(16) == unit
    finally:
        _zelta.xsetumc(16, saved)
    for args in ((300.0, 15, 1), (5, 16, 2), (1e5, 16, 3)):
        assert same(_zelta.xumcr(*args), c.UMCR(*args))
        assert same(_zelta.xumcs(*args), c.UMCS(*args))
    assert same(_zelta.xpatm(), c.getPatm())
    text, raw = _zelta.xums(15, 1), c.getUMS(15, 1)
    assert text == (None if raw is None else raw.decode("utf-8", "surrogateescape"))


def test_component_data(c):
    code = _zelta.xidc(METHANE)
    assert code == c.CompCID(METHANE) and code > 0
    assert _zelta.xcn(code) == c.CompN(code).decode("utf-8", "surrogateescape")
    for name in ("CompMw", "CompTc", "CompPc", "CompAc", "CompVc", "CompHf"):
        py = {"CompMw": _zelta.xcmw, "CompTc": _zelta.xctc, "CompPc": _zelta.xcpc, "CompAc": _zelta.xcac,
              "CompVc": _zelta.xcvc, "CompHf": _zelta.xchf}[name]
        assert same(py(code), getattr(c, name)(code)), name
    assert 16.0 < _zelta.xcmw(code) < 16.1 and 190.0 < _zelta.xctc(code) < 191.0


def test_error_state_is_the_libraries(c):
    _zelta.xseterr(0)
    assert _zelta.xidc(-5) == 0
    assert _zelta.xerr() != 0
    message = _zelta.xerrmsg()
    assert isinstance(message, str) and "-5" in message
    assert message == c.ErrMsg().decode("utf-8", "surrogateescape")
    with pytest.raises(zelta.ZeltaError) as e:
        zelta.checked(_zelta.xidc, -5)
    assert e.value.code != 0 and e.value.function == "xidc"
    assert "-5" in str(e.value) and _zelta.xerr() == 0


def test_stream_definition_reads_back(c, gas):
    assert _zelta.xsdef(gas) == c.isSDef(gas) != 0
    assert _zelta.xscnr(gas) == c.getCNr(gas) == 3
    for i in (1, 2, 3):
        assert same(_zelta.xsz(gas, i), c.getZ(gas, i))
        assert _zelta.xscc(gas, i) == c.getCC(gas, i)
    assert _zelta.xsetsn(gas, "feed gas") == 1 and _zelta.xsn(gas) == "feed gas"


def test_flash_and_properties_match_c(c, gas):
    _zelta.xftp(gas, 250.0, 5e6)
    for py, cname in (("xst", "getT"), ("xsp", "getP"), ("xsh", "StrH"), ("xss", "StrS"), ("xsmw", "StrMw"),
                      ("xsv", "StrV"), ("xsgd", "StrGD"), ("xszv", "StrZv")):
        assert same(getattr(_zelta, py)(gas), getattr(c, cname)(gas)), py
    assert same(_zelta.xstph(gas, 300.0, 2e6), c.EStrH(gas, 300.0, 2e6))


def test_invalid_utf8_from_the_library_arrives_escaped(c, gas):
    # A name stored as raw bytes comes back through StrN.
    with zelta.Buffer(b"T\xb0C \xff") as raw:
        assert _zelta.xsetsn(gas, raw) == 1
    assert _zelta.xsn(gas) == "T\udcb0C \udcff"
    assert c.StrN(gas) == b"T\xb0C \xff"
    # And through the error message, which quotes the bad archive path.
    _zelta.xseterr(0)
    with zelta.Buffer(b"/nonexistent/\xb0.zpk") as path:
        assert _zelta.xafopen(path) == 0
    message = _zelta.xerrmsg()
    assert message == c.ErrMsg().decode("utf-8", "surrogateescape")
    assert "\udcb0" in message
    with pytest.raises(TypeError, match=r"^in method 'xsetsn', argument 2 of type 'char \*'$"):
        _zelta.xsetsn(gas, message)
    _zelta.xseterr(0)


def c_array(values):
    return (ctypes.c_double * len(values))(*values)


@pytest.mark.parametrize("phase", [0, 1])
def test_derivative_functions_give_the_numbers_of_a_c_call(c, gas, phase):
    x, T, P, n, fill = [0.85, 0.10, 0.05], 250.0, 5e6, 3, -1.25
    assert _zelta.xspi(1, gas) == c.DPinit(1, gas)

    # StrFvd: arrays from the companion module on one side, ctypes arrays on the other.
    with zelta.DoubleArray(x) as xs, zelta.DoubleArray([fill] * n) as F, zelta.DoubleArray([fill] * n) as dT, \
            zelta.DoubleArray([fill] * n) as dP, zelta.Matrix(n, n) as dx:
        for i in range(n):
            for j in range(n):
                dx[i, j] = fill
        code = _zelta.xsfvd(1, phase, T, P, xs, F, dT, dP, dx)
        ours = (code, F.tolist(), dT.tolist(), dP.tolist(), dx.tolist())
    cx, cF, cdT, cdP = c_array(x), c_array([fill] * n), c_array([fill] * n), c_array([fill] * n)
    rows = [c_array([fill] * n) for _ in range(n)]
    crows = (ctypes.POINTER(ctypes.c_double) * n)(*[ctypes.cast(r, ctypes.POINTER(ctypes.c_double)) for r in rows])
    ccode = c.StrFvd(1, phase, T, P, cx, cF, cdT, cdP, crows)
    theirs = (ccode, list(cF), list(cdT), list(cdP), [list(r) for r in rows])
    assert ours[0] == theirs[0]
    for a, b in zip(ours[1:], theirs[1:]):
        flat_a = [v for row in a for v in (row if isinstance(row, list) else [row])]
        flat_b = [v for row in b for v in (row if isinstance(row, list) else [row])]
        assert all(same(p, q) for p, q in zip(flat_a, flat_b)) and len(flat_a) == len(flat_b)

    # The package helper returns the same as the plain call.
    helper = zelta.fugacity_derivatives(1, phase, T, P, x)
    assert helper.code == ccode

    # StrHvd / StrSvd / StrVvd and the plain functions.
    for py, cname in (("xshvd", "StrHvd"), ("xssvd", "StrSvd"), ("xsvvd", "StrVvd")):
        with zelta.DoubleArray(x) as xs, zelta.DoubleArray([fill]) as v, zelta.DoubleArray([fill]) as vT, \
                zelta.DoubleArray([fill]) as vP, zelta.DoubleArray([fill] * n) as vx:
            code = getattr(_zelta, py)(1, phase, T, P, xs, v, vT, vP, vx)
            ours = [code, v[0], vT[0], vP[0]] + vx.tolist()
        cv, cvT, cvP, cvx = c_array([fill]), c_array([fill]), c_array([fill]), c_array([fill] * n)
        ccode = getattr(c, cname)(1, phase, T, P, c_array(x), cv, cvT, cvP, cvx)
        theirs = [ccode, cv[0], cvT[0], cvP[0]] + list(cvx)
        assert all(same(p, q) for p, q in zip(ours, theirs)), py
    for py, cname in (("xsfv", "StrFv"), ("xshv", "StrHv"), ("xssv", "StrSv"), ("xsvv", "StrVv")):
        m = n if py == "xsfv" else 1
        with zelta.DoubleArray(x) as xs, zelta.DoubleArray([fill] * m) as out:
            ours = [getattr(_zelta, py)(1, phase, T, P, xs, out)] + out.tolist()
        cout = c_array([fill] * m)
        theirs = [getattr(c, cname)(1, phase, T, P, c_array(x), cout)] + list(cout)
        assert all(same(p, q) for p, q in zip(ours, theirs)), py


README = os.path.join(os.path.dirname(__file__), "..", "..", "README.md")


def test_readme_example_runs_as_written(tmp_path):
    with open(README, encoding="utf-8") as f:
        text = f.read()
    blocks = re.findall(r"```python\n(.*?)```", text, re.S)
    assert len(blocks) == 1, "README.md should hold one Python example"
    env = dict(os.environ, MPLBACKEND="Agg")
    out = subprocess.run([sys.executable, "-c", blocks[0]], capture_output=True, text=True, timeout=300,
                         cwd=str(tmp_path), env=env)
    assert out.returncode == 0, out.stderr
    flash, dew = out.stdout.splitlines()
    kind, density, h = flash.split()
    assert kind == "vapour" and 50 < float(density) < 80 and abs(float(h)) < 1e4
    assert 200 < float(dew) < 260
    assert (tmp_path / "envelope.png").stat().st_size > 1000
