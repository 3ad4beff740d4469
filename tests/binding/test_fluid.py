"""The Pythonic layer: Fluid, State, flashes, points, envelopes, tables, command line."""
import math
import subprocess
import sys
import threading

import pytest

import _zelta
import zelta
from zelta import Fluid, ZeltaError

GAS = {"methane": 0.85, "ethane": 0.10, "propane": 0.05}


@pytest.fixture(scope="module")
def gas():
    with Fluid(GAS, model="PR") as fluid:
        yield fluid


def test_components_by_name_alias_formula_and_cas_give_one_code():
    codes = {zelta.components.code(c) for c in ("methane", "Methane", "C1", "CH4", "74-82-8", 74828)}
    assert len(codes) == 1
    assert zelta.components.cas(codes.pop()) == "74-82-8"
    with pytest.raises(ZeltaError, match="close: .*methane"):
        zelta.components.code("methan")
    with pytest.raises(ValueError, match="check digit"):
        zelta.components.code("74-82-9")
    with pytest.raises(ZeltaError, match="9999999"):
        zelta.components.code(9999999)


def test_models_by_name_and_unknown_model():
    assert zelta.models.lookup("pr") == zelta.models.lookup("Peng-Robinson")
    assert "GERG2008" in zelta.models.names()
    with pytest.raises(ZeltaError, match="unknown model 'PR2'"):
        Fluid(GAS, model="PR2")


def test_bad_compositions_are_refused_before_the_library():
    with pytest.raises(ValueError, match="finite"):
        Fluid({"methane": float("nan"), "ethane": 1})
    with pytest.raises(ValueError, match="positive sum"):
        Fluid({"methane": 0.0})
    with pytest.raises(ValueError, match="twice"):
        Fluid({"methane": 0.5, "CH4": 0.5})


def test_mass_basis_normalises_through_molar_masses():
    f = Fluid({"methane": 1.0, "n-decane": 1.0}, basis="mass")
    m1, m10 = 16.043, 142.28
    assert f.z[0] == pytest.approx((1 / m1) / (1 / m1 + 1 / m10), rel=1e-3)
    f.close()


def test_tp_flash_state_is_consistent(gas):
    s = gas.flash(T=250.0, P=50e5)
    assert s.T == pytest.approx(250.0) and s.P == pytest.approx(50e5)
    assert sum(p.fraction for p in s.phases) == pytest.approx(1.0)
    for name, z in gas.composition.items():  # material balance
        assert sum(p.fraction * p.composition[name] for p in s.phases) == pytest.approx(z, abs=1e-10)
    assert s.h == pytest.approx(sum(p.fraction * p.h for p in s.phases), rel=1e-9, abs=1e-6)
    assert s.molar_mass == pytest.approx(sum(p.fraction * p.molar_mass for p in s.phases), rel=1e-9)
    v = s.phases[0]
    assert v.kind == "vapour" and 0.5 < v.Z < 1.0 and v.density > 0
    with pytest.raises(Exception):
        s.T = 1.0  # immutable


def test_two_phase_state_reads_each_phase_on_its_own(gas):
    dew = gas.dew_point(P=30e5)
    s = gas.flash(T=dew.T - 20.0, P=30e5)
    assert [p.kind for p in s.phases] == ["vapour", "liquid"]
    vap, liq = s.phases
    assert liq.density > 2 * vap.density and liq.Z < vap.Z
    assert s.surface_tension is not None and s.surface_tension > 0


def test_state_function_flashes_return_to_the_tp_state(gas):
    s = gas.flash(T=230.0, P=40e5)
    for spec in ({"P": s.P, "H": s.h}, {"P": s.P, "S": s.s}, {"T": s.T, "H": s.h}):
        again = gas.flash(**spec)
        assert again.T == pytest.approx(s.T, rel=1e-7) and again.P == pytest.approx(s.P, rel=1e-7)


def test_dew_and_bubble_points_carry_the_incipient_phase(gas):
    dew = gas.dew_point(P=30e5)
    assert dew.vapour_fraction == pytest.approx(1.0, abs=1e-9)
    bub = gas.bubble_point(P=30e5)
    assert bub.T < dew.T
    again = gas.dew_point(T=dew.T)
    assert again.P == pytest.approx(30e5, rel=1e-6)


def test_library_failures_raise_with_the_root_cause(gas):
    with pytest.raises(ZeltaError) as info:
        gas.flash(T=-5.0, P=1e5)
    assert "setOp" in str(info.value)
    with pytest.raises(ValueError, match="exactly two"):
        gas.flash(T=300.0)
    with pytest.raises(ValueError, match="finite"):
        gas.flash(T=float("nan"), P=1e5)
    _zelta.xseterr(0)


def test_process_unit_selection_does_not_change_results(gas):
    before = gas.flash(T=250.0, P=50e5)
    old_t, old_p = _zelta.xumc(15), _zelta.xumc(17)
    try:
        _zelta.xsetumc(15, 2)   # Celsius
        _zelta.xsetumc(17, 3)   # bar
        after = gas.flash(T=250.0, P=50e5)
    finally:
        _zelta.xsetumc(15, old_t)
        _zelta.xsetumc(17, old_p)
    assert after.h == pytest.approx(before.h, rel=1e-12)
    assert after.T == pytest.approx(250.0) and after.phases[0].density == pytest.approx(before.phases[0].density)


def test_unit_texts():
    assert zelta.units.parse("50bar", "pressure") == pytest.approx(50e5)
    assert zelta.units.parse("25 C", "temperature") == pytest.approx(298.15)
    assert zelta.units.parse("300", "temperature") == 300.0
    with pytest.raises(ValueError, match="unknown pressure unit"):
        zelta.units.parse("5 parsec", "pressure")


def test_threads_share_a_fluid_on_their_own_streams(gas):
    expected = gas.flash(T=240.0, P=60e5).h
    results, errors = [], []

    def work():
        try:
            results.append(gas.flash(T=240.0, P=60e5).h)
        except Exception as e:  # pragma: no cover - reported below
            errors.append(e)

    threads = [threading.Thread(target=work) for _ in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors and results == [expected] * 6


def test_table_matches_single_flashes_serial_and_threaded(gas):
    T, P = [230.0, 260.0, 300.0], [20e5, 50e5]
    threaded = gas.table(T, P, properties=("h", "density", "vapour.density"), threads=2)
    serial = gas.table(T, P, properties=("h", "density", "vapour.density"), threads=1)
    for name in serial:
        assert [list(r) for r in threaded[name]] == [list(r) for r in serial[name]]
    assert threaded["h"][1][1] == gas.flash(T=260.0, P=50e5).h
    with pytest.raises(ValueError, match="unknown property"):
        gas.table(T, P, properties=("enthalpy",))


def test_envelope_has_its_extremes_on_the_lines():
    with Fluid({"methane": 0.9, "propane": 0.1}, model="SRK") as f:
        env = f.envelope(points=60)
        T, P = env["lines"][0]
        assert 10 < len(T) <= 60
        assert env["cricondenbar"][1] >= max(P) * (1 - 1e-6)
        assert env["cricondentherm"][0] >= max(T) * (1 - 1e-6)


def test_command_line_flash_and_errors(tmp_path):
    run = [sys.executable, "-m", "zelta"]
    ok = subprocess.run(run + ["flash", "methane=0.85,ethane=0.10,propane=0.05", "--model", "PR",
                               "-T", "250", "-P", "50bar"], capture_output=True, text=True)
    assert ok.returncode == 0, ok.stderr
    assert "density [kg/m3]" in ok.stdout and "vapour" in ok.stdout
    bad = subprocess.run(run + ["flash", "methan=1", "-T", "250", "-P", "1bar"], capture_output=True, text=True)
    assert bad.returncode == 1 and bad.stderr.count("\n") == 1 and "methane" in bad.stderr
    help_ = subprocess.run(run + ["props", "--help"], capture_output=True, text=True)
    assert help_.returncode == 0 and "component" in help_.stdout


def test_envelope_plot_renders_the_computed_points(tmp_path):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    from zelta import plot
    with Fluid({"methane": 0.9, "propane": 0.1}, model="SRK") as f:
        env = f.envelope(points=40)
        ax = plot.envelope(f, envelope=env)
        T, P = env["lines"][0]
        line = ax.get_lines()[0]
        assert list(line.get_xdata()) == T and list(line.get_ydata()) == [p / 1e5 for p in P]
        out = tmp_path / "envelope.png"
        ax.figure.savefig(out)
        assert out.stat().st_size > 1000


def test_table_on_a_local_dask_cluster_equals_the_serial_table(gas):
    distributed = pytest.importorskip("distributed")
    T, P = [220.0, 250.0, 280.0], [10e5, 40e5, 70e5]
    serial = gas.table(T, P, properties=("h", "vapour_fraction"), threads=1)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        spread = gas.table(T, P, properties=("h", "vapour_fraction"), client=client)
    for name in serial:
        assert [list(r) for r in spread[name]] == [list(r) for r in serial[name]]


def test_extrapolation_warns_and_returns_the_state():
    with Fluid({"methane": 1.0}, model="GERG2008") as methane:
        with pytest.warns(zelta.ExtrapolationWarning, match="GERG"):
            state = methane.flash(T=800.0, P=1e6)   # above the extended range's 700 K
        assert state.phases[0].kind == "vapour" and state.T == pytest.approx(800.0)
