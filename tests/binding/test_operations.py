"""_zelta_ops and the unit operations of zelta: checks before the call, root-cause errors,
round trips and balances."""
import math

import pytest

import _zelta
import _zelta_ops
import zelta

LIGHT = {"ethane": 0.05, "propane": 0.45, "n-butane": 0.5}


@pytest.fixture(scope="module")
def fluid():
    return zelta.Fluid(LIGHT, model="SRK")


@pytest.fixture(scope="module")
def feed(fluid):
    return zelta.Flow.at(fluid, 10.0, P=10e5, vapour_fraction=0.0)


# -- _zelta_ops -----------------------------------------------------------------


def test_ops_lengths_are_checked_before_the_library_is_called(fluid):
    n = fluid._stream()
    _zelta.xseterr(0)
    with pytest.raises(zelta.LengthError, match="y holds 2 values, needs 1"):
        _zelta_ops.bregr(n, 1, 1, 0, 0, [0.1], [0.2, 0.3], [300.0], [1e5], None)
    with pytest.raises(zelta.LengthError, match="stage pressures hold 1 values"):
        _zelta_ops.dcol(1, 0, [1e5], None, None, None, 3, 4, [n], [1], (), (), (), (), (), (), (), ())
    with pytest.raises(zelta.LengthError, match="feed stages holds 2 values, needs 1"):
        _zelta_ops.dcol(1, 0, [1e5, 1e5], None, None, None, 3, 4, [n], [1, 2], (), (), (), (), (), (), (), ())
    with pytest.raises(zelta.LengthError, match="3 specifications"):
        _zelta_ops.dcol(1, 0, [1e5, 1e5], None, None, None, 3, 4, [n], [1], (), (), (), (), [1, 1, 1], [1, 1, 1],
                        [0, 0, 0], [1.0, 1.0, 1.0])
    with pytest.raises(zelta.LengthError, match="capacity 0"):
        _zelta_ops.pfline(n, 2, 0.5, 0)
    with pytest.raises(TypeError, match=r"x\[1\] must be a number"):
        _zelta_ops.bregr(n, 1, 1, 0, 0, [0.1, "a"], [0.2, 0.3], [300.0] * 2, [1e5] * 2, None)
    assert _zelta.xerr() == 0  # nothing reached the library


def test_ops_library_failures_raise_with_the_root_cause(fluid):
    n = fluid._stream()
    with pytest.raises(zelta.ZeltaError, match="PFLine: fraction kind 3") as info:
        _zelta_ops.pfline(n, 3, 0.5, 10)
    assert info.value.code == 1 and info.value.function == "PFLine"
    with pytest.raises(zelta.ZeltaError, match="exactly two components"):
        _zelta_ops.bregr(n, 1, 1, 0, 0, [0.1], [0.2], [300.0], [1e5], None)
    assert _zelta.xerr() == 0  # the flag is cleared once raised
    assert _zelta_ops.getdataf().endswith("/")
    assert _zelta_ops.strmdt(n) == pytest.approx(_zelta.xsctt(n), rel=1e-12)


def test_envelope_lines_of_ops_are_those_of_the_point_functions(fluid):
    n = fluid._stream()
    T, P = _zelta_ops.peline(n, 1, 40)
    for k in (1, 10, len(T)):
        assert P[k - 1] == _zelta.xpept(n, 1, 1, k, 40)
        assert T[k - 1] == _zelta.xpept(n, 1, 2, k, 40)


# -- envelope quality lines -----------------------------------------------------------


def test_quality_lines_hold_their_vapour_fraction(fluid):
    # All traced points (capacity above their number): each is an equilibrium at the fraction.
    T, P = _zelta_ops.pfline(fluid._stream(), 2, 0.75, 100000)
    Tq, Pq = zelta.units.QUANTITY["temperature"], zelta.units.QUANTITY["pressure"]
    # (Away from the critical point, which the line ends in: there the flash's stability
    # test may call the nearly identical phases one.)
    for t, p in [(t, p) for t, p in zip(T, P) if p < 0.9 * max(P)][::7]:
        state = fluid.flash(T=zelta.units.from_library(t, Tq), P=zelta.units.from_library(p, Pq))
        assert state.vapour_fraction == pytest.approx(0.75, abs=1e-7)
    # Fewer points: interpolated between traced ones.
    env = fluid.envelope(points=30, quality=[0.25, 0.75])
    for q, (T, P) in env["quality"].items():
        assert len(T) == len(P) == 30
        for t, p in list(zip(T, P))[2:-2:5]:
            assert fluid.flash(T=t, P=p).vapour_fraction == pytest.approx(q, abs=5e-3)
    with pytest.raises(ValueError, match="within"):
        fluid.envelope(quality=[1.0])


def test_nearly_pure_propane_has_its_cricondenbar():
    env = zelta.Fluid({"propane": 1 - 1e-4, "ethane": 1e-4}, model="SRK").envelope(points=20)
    T, P = env["cricondenbar"]
    assert 369 < T < 371 and 42e5 < P < 43e5


# -- flows and unit operations ----------------------------------------------------------


def test_flow_mixer_splitter_separator_balances(fluid, feed):
    other = zelta.Flow.at(zelta.Fluid({"propane": 0.2, "n-butane": 0.3, "n-pentane": 0.5}, model="SRK"), 5.0,
                          T=330.0, P=12e5)
    mixed = zelta.mix(feed, other, P=10e5)
    assert mixed.fluid.names[:3] == fluid.names and "n-pentane" in mixed.fluid.names
    assert mixed.flow == pytest.approx(15.0, rel=1e-12)
    for name in mixed.fluid.names:
        fed = feed.component_flows.get(name, 0.0) + other.component_flows.get(name, 0.0)
        assert mixed.component_flows[name] == pytest.approx(fed, rel=1e-9)
    assert mixed.enthalpy_flow == pytest.approx(feed.enthalpy_flow + other.enthalpy_flow, rel=1e-8, abs=1e-3)

    part, rest = zelta.split(mixed, 0.3)
    assert (part.flow, rest.flow) == pytest.approx((4.5, 10.5), rel=1e-12)
    assert part.state is mixed.state

    two_phase = zelta.Flow.at(fluid, 10.0, T=300.0, P=5e5)
    vapour, liquid, liquid2 = zelta.separate(two_phase)
    assert liquid2 is None
    assert vapour.flow + liquid.flow == pytest.approx(10.0, rel=1e-9)
    for name, x in liquid.fluid.composition.items():
        assert x == pytest.approx(two_phase.state.phase("liquid").composition[name], abs=1e-8)
    with pytest.raises(ValueError, match="fraction"):
        zelta.split(mixed, 1.5)
    with pytest.raises(TypeError, match="zelta.Flow"):
        zelta.separate(fluid)


def test_pipe_and_nozzle(fluid):
    gas = zelta.Flow.at(zelta.Fluid({"methane": 0.9, "ethane": 0.1}, model="PR"), 500.0, T=300.0, P=50e5)
    out = zelta.pipe(gas, length=5000.0, diameter=0.3)
    assert out.flow == pytest.approx(gas.flow, rel=1e-12)
    assert out.state.P < gas.state.P
    with pytest.raises(ValueError, match="diameter"):
        zelta.pipe(gas, length=10.0, diameter=0.0)
    with pytest.raises(zelta.ZeltaError):
        zelta.pipe(gas, length=1e5, diameter=0.01)  # cannot pass the flow
    jet = zelta.nozzle(gas, P_back=10e5)
    assert jet.throat_area > 0 and jet.outlet.state.P < gas.state.P
    assert jet.mass_flux * jet.throat_area == pytest.approx(gas.mass_flow, rel=1e-12)
    with pytest.raises(zelta.ZeltaError, match="back pressure"):
        zelta.nozzle(gas, P_back=60e5)
    with pytest.raises(ValueError, match="model"):
        zelta.nozzle(gas, P_back=10e5, model="frozen")


# -- column ------------------------------------------------------------------------------


def test_column_balances_and_specifications(feed):
    col = zelta.column([(feed, 5)], stages=10, pressure=(10e5, 10.3e5), reflux_ratio=2.0,
                       top_recovery={"propane": 0.95})
    assert col.components == feed.fluid.names
    assert col.recovery("propane") == pytest.approx(0.95, abs=1e-7)
    assert col.material_balance < 1e-9 and col.energy_balance < 1e-9
    assert col.condenser_duty > 0 and col.reboiler_duty > 0
    T = col.stage_temperatures
    assert len(T) == 10 and all(a > b for a, b in zip(T, T[1:]))  # hotter at the bottom
    assert col.top.state.T == pytest.approx(T[-1], abs=1e-6)
    assert col.stage_pressures[0] == 10.3e5 and col.stage_pressures[-1] == pytest.approx(10e5)
    # The same column specified by what it gave: the same products.
    again = zelta.column([(feed, 5)], stages=10, pressure=(10e5, 10.3e5), reflux_ratio=2.0,
                         distillate_fraction=col.top.flow / feed.flow)
    assert again.recovery("propane") == pytest.approx(0.95, abs=1e-6)


def test_column_errors(feed):
    with pytest.raises(TypeError, match="unexpected argument 'reflux'"):
        zelta.column([(feed, 5)], stages=10, pressure=10e5, reflux=2.0)
    with pytest.raises(ValueError, match="feed stage 11"):
        zelta.column([(feed, 11)], stages=10, pressure=10e5, reflux_ratio=2.0)
    with pytest.raises(ValueError, match="at most two"):
        zelta.column([(feed, 5)], stages=10, pressure=10e5, reflux_ratio=2.0, boilup_ratio=1.0,
                     distillate_fraction=0.5)
    with pytest.raises(ValueError, match="pressure: 3 values for 10 stages"):
        zelta.column([(feed, 5)], stages=10, pressure=[1e6] * 3, reflux_ratio=2.0)
    with pytest.raises(ValueError, match="not a component"):
        zelta.column([(feed, 5)], stages=10, pressure=10e5, top_recovery={"water": 0.9})
    with pytest.raises(zelta.ZeltaError, match="DCOL"):
        zelta.column([(feed, 5)], stages=10, pressure=10e5, internal_reflux=1.5)


# -- regression ---------------------------------------------------------------------------


def test_regression_reproduces_its_own_data():
    mixture = zelta.Fluid({"water": 0.5, "methanol": 0.5}, model="NRTL")
    x, y, T, P = [], [], [], []
    for xw in (0.1, 0.3, 0.5, 0.7, 0.9):
        liquid = zelta.Fluid({"water": xw, "methanol": 1 - xw}, model="NRTL")
        bubble = liquid.bubble_point(P=101325.0)
        x.append(xw)
        y.append(bubble.phase("vapour").composition["water"])
        T.append(bubble.T)
        P.append(101325.0)
    fit = zelta.regress(mixture, x, y, T, P)
    assert fit.points == 5 and fit.mean_deviation < 1e-4
    for measured, computed in zip(y, fit.y_calc):
        assert computed == pytest.approx(measured, abs=1e-4)
    with pytest.raises(zelta.LengthError):
        zelta.regress(mixture, x, y[:-1], T, P)
    with pytest.raises(ValueError, match="two components"):
        zelta.regress(zelta.Fluid(LIGHT, model="NRTL"), x, y, T, P)
    assert math.isfinite(mixture.flash(T=350.0, P=101325.0).h)  # the fluid itself is unchanged and usable


# -- compressor -------------------------------------------------------------------------


def test_compressor_round_trip_and_agreement_with_fluid_compress():
    gas = zelta.Fluid({"methane": 0.9, "ethane": 0.06, "propane": 0.04}, model="PR")
    inlet = zelta.Flow.at(gas, 100.0, T=300.0, P=30e5)
    run = zelta.compressor(inlet, P_out=90e5, efficiency=0.78)
    assert run.outlet.flow == pytest.approx(100.0, rel=1e-12) and run.outlet.state.P == pytest.approx(90e5)
    # The same compression as Fluid.compress, whose work is per kg.
    same = gas.compress(T=300.0, P=30e5, P_out=90e5, efficiency=0.78)
    assert run.outlet.state.T == pytest.approx(same.T, abs=1e-6)
    assert run.power == pytest.approx(same.inputs["work"] * inlet.mass_flow, rel=1e-6)
    # The efficiency that reaches that outlet temperature is the one given.
    back = zelta.compressor(inlet, P_out=90e5, T_out=run.outlet.state.T)
    assert back.efficiency == pytest.approx(0.78, abs=1e-6)
    with pytest.raises(ValueError, match="efficiency"):
        zelta.compressor(inlet, P_out=90e5, efficiency=1.2)


# -- threads ----------------------------------------------------------------------------


def test_columns_in_threads_equal_the_serial_ones(feed):
    import concurrent.futures

    def run(reflux):
        col = zelta.column([(feed, 5)], stages=10, pressure=10e5, reflux_ratio=reflux, distillate_fraction=0.5)
        return col.stage_temperatures, col.condenser_duty

    refluxes = [1.5, 2.0, 2.5, 3.0]
    serial = [run(r) for r in refluxes]
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        parallel = list(pool.map(run, refluxes))
    assert parallel == serial
