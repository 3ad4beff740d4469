"""Unit operations on material flows: mixer, splitter, separators, pipe, nozzle,
compressor, the distillation column and the regression of binary parameters.

    >>> feed = zelta.Flow.at(fluid, 100.0, P=15e5, vapour_fraction=0.0)   # 100 mol/s at its bubble point
    >>> vapour, liquid, water = zelta.separate(feed)

A Flow is a Fluid at an equilibrium State with a molar flow [mol/s].  Every
operation loads its inlets into library streams of the calling thread (each
inlet's state recomputed from its own specifications), calls the library and
reads the outlets back as new Flows; the library streams are released before
it returns.  Units are SI (K, Pa, W, mol/s, kg/s, m, m2); enthalpies are on
the package's reference (ideal gas of each component at 298.15 K and
101325 Pa), so that enthalpy flows of inlets and outlets can be compared
directly.
"""
import math
from dataclasses import dataclass
from types import MappingProxyType
from typing import Mapping, Optional, Tuple

import _zelta
import _zelta_ops

from . import components as _components
from .errors import Sequence as _Calls
from .fluid import _FLASHES, Fluid, State, _rebuild
from .streams import _give_back, _take_number
from .units import QUANTITY as _Q
from .units import from_library as _from
from .units import to_library as _to


@dataclass(frozen=True)
class Flow:
    """A material flow: `fluid` at the equilibrium `state` with molar flow `flow` [mol/s].

    mass_flow [kg/s] and enthalpy_flow [W] (flow times the state's molar
    enthalpy, on the package's reference) follow from them.
    """
    fluid: Fluid
    state: State
    flow: float

    @classmethod
    def at(cls, fluid, flow, **specification):
        """`flow` [mol/s] of `fluid` flashed at two specifications (T [K], P [Pa], H [J/mol], ...; see Fluid.flash)."""
        _positive("flow", flow, zero=True)
        return cls(fluid, fluid.flash(**specification), float(flow))

    @property
    def mass_flow(self):
        """Mass flow [kg/s]."""
        return self.flow * self.state.molar_mass

    @property
    def enthalpy_flow(self):
        """Enthalpy flow [W] on the package's reference state."""
        return self.flow * self.state.h

    @property
    def component_flows(self):
        """Molar flow of each component [mol/s], by name."""
        return MappingProxyType({name: self.flow * z for name, z in self.fluid.composition.items()})


def _positive(name, value, zero=False):
    if not isinstance(value, (int, float)) or not math.isfinite(value) or value < 0 or (value == 0 and not zero):
        raise ValueError("%s must be a finite number %s 0, got %r" % (name, ">=" if zero else ">", value))


def _finite(name, value):
    if not isinstance(value, (int, float)) or not math.isfinite(value):
        raise ValueError("%s must be a finite number, got %r" % (name, value))
    return float(value)


class _Streams:
    """Library stream numbers taken for one operation, released (cleared) on exit."""

    def __init__(self):
        self.numbers = []

    def new(self):
        n = _take_number()
        self.numbers.append(n)
        _zelta.xinits(n)
        return n

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for n in self.numbers:
            _zelta.xinits(n)
            _give_back(n)


def _load(flow, streams, call):
    """A library stream holding `flow`: the fluid flashed at the state's own specifications."""
    if not isinstance(flow, Flow):
        raise TypeError("expected a zelta.Flow, got %s" % type(flow).__name__)
    fluid, state = flow.fluid, flow.state
    spec = {k: v for k, v in state.inputs.items() if k in ("T", "P", "H", "S", "V", "vapour_fraction")}
    if frozenset(spec) not in _FLASHES:
        spec = {"P": state.P, "H": state.h}
    fluid.flash(**spec)
    n = streams.new()
    call(_zelta.xsocopy, n, fluid._stream(), fails=0)
    call(_zelta.xsetswm, n, _to(flow.mass_flow, _Q["mass_flow"]), fails=0)
    return n


def _read(n, template):
    """The Flow in library stream n (None when it carries no flow), as a Fluid like `template`.

    The state is the equilibrium at the stream's pressure and molar
    enthalpy (what the library's outlets are), computed for the outlet's
    composition.
    """
    call = _Calls("outlet")
    mass = _from(call(_zelta.xswm, n), _Q["mass_flow"])
    if not mass > 0:
        return None
    count = call(_zelta.xscnr, n, fails=0)
    codes = [call(_zelta.xscc, n, i, fails=0) for i in range(1, count + 1)]
    z = [call(_zelta.xsz, n, i) for i in range(1, count + 1)]
    total = sum(z)
    names = [_components.name(c) for c in codes]
    composition = {name: x / total for name, x in zip(names, z) if x > 0}
    if tuple(names) == template.names and all(abs(a - b) <= 1e-12 for a, b in zip(z, template.z)):
        fluid = template
    else:
        kij = {pair: v for pair, v in template.interaction_parameters().items()
               if pair[0] in composition and pair[1] in composition}
        fluid = _rebuild(composition, template.model, template._options, kij)
    molar_mass = _from(call(_zelta.xsmw, n), _Q["molar_mass"])
    flow = mass / molar_mass
    P = _from(call(_zelta.xsp, n), _Q["pressure"])
    T = _from(call(_zelta.xst, n), _Q["temperature"])
    h_lib = _from(call(_zelta.xsh, n), _Q["enthalpy_flow"]) / flow  # J/mol on the library's base
    x = [composition.get(name, 0.0) for name in fluid.names]
    h = h_lib - fluid._offsets(x)[0]
    return Flow(fluid, fluid.flash(P=P, H=h, guess=T), flow)


# -- mixer, splitter, separators ------------------------------------------------


def mix(a, b, P=None, heat=0.0):
    """Adiabatic mixer of two Flows (plus `heat` [W] added) at outlet pressure P [Pa].

    P None: the lower inlet pressure. The outlet holds the components of
    both inlets with the model of `a`. Returns the outlet Flow.
    """
    heat = _finite("heat", heat)
    if P is not None:
        _positive("P", P)
    with _Streams() as streams:
        call = _Calls("mix")
        na, nb = _load(a, streams, call), _load(b, streams, call)
        out = streams.new()
        call(_zelta.xmix, out, na, nb, 0.0 if P is None else _to(P, _Q["pressure"]),
             _to(heat, _Q["enthalpy_flow"]), fails=0)
        return _read(out, a.fluid)


def split(flow, fraction):
    """Splitter: (part, rest), `fraction` [-] (0..1) of the molar flow in part, both at the inlet's state."""
    fraction = _finite("fraction", fraction)
    if not 0 <= fraction <= 1:
        raise ValueError("fraction must be within [0, 1], got %r" % (fraction,))
    with _Streams() as streams:
        call = _Calls("split")
        source = _load(flow, streams, call)
        target = streams.new()
        call(_zelta.xdivi, source, target, fraction, fails=0)
        return (Flow(flow.fluid, flow.state, _from(call(_zelta.xswm, target), _Q["mass_flow"]) / flow.state.molar_mass),
                Flow(flow.fluid, flow.state, _from(call(_zelta.xswm, source), _Q["mass_flow"]) / flow.state.molar_mass))


@dataclass(frozen=True)
class Separated:
    """Outlets of a separator: each a Flow, or None where the inlet has no such phase.

    vapour; liquid: the first (lightest) liquid; liquid2: the second liquid
    (a water phase beside a hydrocarbon liquid, for example).
    """
    vapour: Optional[Flow]
    liquid: Optional[Flow]
    liquid2: Optional[Flow]

    def __iter__(self):
        return iter((self.vapour, self.liquid, self.liquid2))


def separate(flow):
    """Vapour-liquid-liquid separator at the inlet's state: Separated(vapour, liquid, liquid2)."""
    with _Streams() as streams:
        call = _Calls("separate")
        feed = _load(flow, streams, call)
        vap, liq1, liq2 = streams.new(), streams.new(), streams.new()
        call(_zelta.xvllsep, feed, vap, liq1, liq2, fails=0)
        return Separated(*(_read(n, flow.fluid) for n in (vap, liq1, liq2)))


# -- pipe and nozzle -------------------------------------------------------------


def pipe(flow, length, diameter, roughness=4.6e-5, rise=0.0, heat=0.0):
    """The Flow at the end of a straight pipe.

    length [m] > 0, diameter: inner diameter [m] > 0, roughness: wall
    roughness [m] (default 4.6e-5, commercial steel), rise: outlet elevation
    above the inlet [m], heat: heat added over the pipe [W].
    Raises ZeltaError when the pipe cannot pass the flow.
    """
    _positive("length", length)
    _positive("diameter", diameter)
    _positive("roughness", roughness, zero=True)
    rise, heat = _finite("rise", rise), _finite("heat", heat)
    with _Streams() as streams:
        call = _Calls("pipe")
        inlet = _load(flow, streams, call)
        out = streams.new()
        L = _Q["length"]
        call(_zelta.xpipe, inlet, out, _to(length, L), _to(diameter, L), _to(roughness, L), _to(rise, L),
             _to(heat, _Q["enthalpy_flow"]), fails=0)
        return _read(out, flow.fluid)


@dataclass(frozen=True)
class Nozzle:
    """Critical or subsonic flow through an ideal nozzle.

    throat_area [m2] that passes the inlet's mass flow; mass_flux [kg/(m2 s)]
    through it; outlet: the Flow at the throat (the outlet state).
    """
    throat_area: float
    mass_flux: float
    outlet: Flow


_NOZZLE_MODELS = {"equilibrium": 1, "non-equilibrium": 2}


def nozzle(flow, P_back, model="equilibrium", boiling_delay=None):
    """Isentropic nozzle from the inlet's (stagnation) state down to P_back [Pa].

    model: "equilibrium" (homogeneous equilibrium) or "non-equilibrium"
    (homogeneous non-equilibrium with the boiling-delay exponent
    `boiling_delay`, default 0.6). Returns a Nozzle.
    """
    _positive("P_back", P_back)
    if model not in _NOZZLE_MODELS:
        raise ValueError("model must be one of %s" % ", ".join(_NOZZLE_MODELS))
    if boiling_delay is not None:
        _positive("boiling_delay", boiling_delay)
    _positive("flow", flow.flow)
    with _Streams() as streams:
        call = _Calls("nozzle")
        n = _load(flow, streams, call)
        area = _from(call(_zelta.xisp, n, _to(P_back, _Q["pressure"]), _NOZZLE_MODELS[model],
                          float(boiling_delay or 0.0)), _Q["area"])
        return Nozzle(throat_area=area, mass_flux=flow.mass_flow / area, outlet=_read(n, flow.fluid))


# -- compressor --------------------------------------------------------------------


@dataclass(frozen=True)
class Compression:
    """A polytropic compression (or expansion).

    outlet: the outlet Flow; power: shaft power [W] (outlet minus inlet
    enthalpy flow, negative for an expander); efficiency: polytropic
    efficiency [-] (given, or found from the outlet temperature).
    """
    outlet: Flow
    power: float
    efficiency: float


_COMPRESSOR_METHODS = {"path": 1, "stepwise": 3, "schultz": 4}


def compressor(flow, P_out, efficiency=1.0, method="path", T_out=None):
    """Polytropic compression of a Flow to P_out [Pa].

    efficiency: polytropic efficiency in (0, 1]; method: "path" (the
    polytropic path integral), "stepwise" (50 isentropic steps) or
    "schultz". With T_out [K] instead, the efficiency that reaches that
    outlet temperature is found (path method). Returns a Compression.
    """
    _positive("P_out", P_out)
    if method not in _COMPRESSOR_METHODS:
        raise ValueError("method must be one of %s" % ", ".join(_COMPRESSOR_METHODS))
    if T_out is None:
        if not (isinstance(efficiency, (int, float)) and 0 < efficiency <= 1):
            raise ValueError("efficiency must be within (0, 1], got %r" % (efficiency,))
        mode, value = _COMPRESSOR_METHODS[method], float(efficiency)
    else:
        _positive("T_out", T_out)
        mode, value = 2, _to(T_out, _Q["temperature"])
    with _Streams() as streams:
        call = _Calls("compressor")
        n = _load(flow, streams, call)
        result = call(_zelta.xpolp, n, _to(P_out, _Q["pressure"]), mode, value)
        outlet = _read(n, flow.fluid)
    found = float(efficiency) if T_out is None else result
    return Compression(outlet=outlet, power=outlet.enthalpy_flow - flow.enthalpy_flow, efficiency=found)


# -- distillation column ------------------------------------------------------------

# Column specifications by keyword: (place, quantity, unit quantity or None,
# takes a component).  Places: 1 condenser, 2 reboiler, 3 bottom product,
# 4 top product; quantities as in docs/column.md.
_COLUMN_SPECS = {
    "reflux_ratio": (1, 1, None, False),          # L/D [-]
    "boilup_ratio": (2, 1, None, False),          # V/B [-]
    "distillate_fraction": (4, 2, None, False),   # D / total feed [mol/mol]
    "bottoms_fraction": (3, 2, None, False),      # B / total feed [mol/mol]
    "internal_reflux": (1, 3, None, False),       # L_N / V_(N-1), in (0, 1)
    "internal_boilup": (2, 3, None, False),       # V_1 / L_2, in (0, 1)
    "top_temperature": (1, 4, "temperature", False),
    "bottom_temperature": (2, 4, "temperature", False),
    "top_mole_fraction": (4, 5, None, True),
    "bottom_mole_fraction": (3, 5, None, True),
    "condenser_duty": (1, 6, "enthalpy_flow", False),  # heat removed [W]
    "reboiler_duty": (2, 6, "enthalpy_flow", False),   # heat added [W]
    "top_recovery": (4, 7, None, True),            # share of a component's feed in the top product
    "bottom_recovery": (3, 7, None, True),
}


@dataclass(frozen=True)
class ColumnResult:
    """A converged column.

    top: the top product (vapour of the partial condenser), bottom: the
    bottom product (liquid of stage 1), draws: side-draw Flows in the order
    given; feeds: the feed Flows; reboiler_duty: heat added [W] (reboiler
    plus fixed stage heats), condenser_duty: heat removed in the condenser
    [W]; stage_temperatures [K] and stage_pressures [Pa] from stage 1
    (bottom) to stage N (top); components: the column's component names.
    """
    top: Flow
    bottom: Flow
    draws: Tuple[Flow, ...]
    feeds: Tuple[Flow, ...]
    reboiler_duty: float
    condenser_duty: float
    stage_temperatures: Tuple[float, ...]
    stage_pressures: Tuple[float, ...]
    components: Tuple[str, ...]

    def recovery(self, component, product="top"):
        """Share [-] of a component's feed that leaves in the "top" or "bottom" product."""
        name = _components.name(_components.code(component))
        fed = sum(f.component_flows.get(name, 0.0) for f in self.feeds)
        if fed <= 0:
            raise ValueError("%r is not fed to the column" % (component,))
        out = getattr(self, product)
        return (out.component_flows.get(name, 0.0) if out is not None else 0.0) / fed

    @property
    def material_balance(self):
        """Largest |in - out| of a component molar flow, relative to its feed [-]."""
        worst = 0.0
        for name in self.components:
            fed = sum(f.component_flows.get(name, 0.0) for f in self.feeds)
            out = sum(p.component_flows.get(name, 0.0) for p in self._products())
            worst = max(worst, abs(fed - out) / fed)
        return worst

    @property
    def energy_balance(self):
        """|enthalpy in + heat added - enthalpy out - heat removed| relative to the larger duty [-]."""
        into = sum(f.enthalpy_flow for f in self.feeds) + self.reboiler_duty
        out = sum(p.enthalpy_flow for p in self._products()) + self.condenser_duty
        return abs(into - out) / max(abs(self.reboiler_duty), abs(self.condenser_duty), 1.0)

    def _products(self):
        return [p for p in (self.top, self.bottom) + self.draws if p is not None]


def _stage_values(name, value, stages, check=None):
    if value is None:
        return None
    values = [float(value)] * stages if isinstance(value, (int, float)) else [float(v) for v in value]
    if len(values) != stages:
        raise ValueError("%s: %d values for %d stages (one per stage, stage 1 at the bottom)"
                         % (name, len(values), stages))
    for v in values:
        if not math.isfinite(v) or (check and not check(v)):
            raise ValueError("%s: %r is not allowed" % (name, v))
    return values


def column(feeds, stages, pressure, draws=(), efficiency=None, heat=None, guess=None, restart=False,
           **specifications):
    """Solve a distillation column of equilibrium stages with a partial condenser.

    feeds: [(Flow, stage), ...]; stages are numbered from the bottom (stage 1,
    the reboiler when there is one) to the top (stage N, the condenser).
    stages: number of stages N (2..500), condenser and reboiler included.
    pressure: stage pressures [Pa]: one value, (top, bottom) for a linear
    profile, or N values from stage 1 up (with N = 2, a pair is read as the
    values of stages 1 and 2).
    draws: [(stage, "liquid" | "vapour", fraction of the total molar feed), ...].
    efficiency: Murphree vapour efficiency (0, 1], one value or N values;
    heat: fixed heat added per stage [W], one value or N values;
    guess: stage temperature estimates [K] (N values, 0 for none).
    restart: start from the calling thread's last converged column.
    Specifications (0, 1 or 2 of them; one on each side gives condenser and
    reboiler): reflux_ratio (L/D [-]), boilup_ratio (V/B [-]),
    distillate_fraction and bottoms_fraction (product / total molar feed [-]),
    internal_reflux, internal_boilup (internal ratios in (0, 1)),
    top_temperature and bottom_temperature [K], condenser_duty (removed [W])
    and reboiler_duty (added [W]), and per component ({"propane": 0.98}):
    top_recovery, bottom_recovery (share of the component's feed [-]),
    top_mole_fraction, bottom_mole_fraction [-].
    Returns a ColumnResult; raises ZeltaError with the library's message when
    the column does not converge or the input is rejected.
    """
    feeds = list(feeds)
    if not feeds:
        raise ValueError("a column needs at least one feed")
    if not isinstance(stages, int) or not 2 <= stages <= 500:
        raise ValueError("stages must be an integer in 2..500, got %r" % (stages,))
    for entry in feeds:
        if not (isinstance(entry, tuple) and len(entry) == 2 and isinstance(entry[0], Flow)):
            raise TypeError("feeds are (Flow, stage) pairs, got %r" % (entry,))
        if not isinstance(entry[1], int) or not 1 <= entry[1] <= stages:
            raise ValueError("feed stage %r is not in 1..%d" % (entry[1], stages))
    if isinstance(pressure, (int, float)):
        profile = [float(pressure)] * stages
    elif len(pressure) == 2 and stages != 2:
        top, bottom = (float(p) for p in pressure)
        profile = [bottom + (top - bottom) * k / (stages - 1) for k in range(stages)]
    else:
        profile = _stage_values("pressure", pressure, stages)
    for p in profile:
        _positive("pressure", p)
    efficiency = _stage_values("efficiency", efficiency, stages, lambda e: 0 < e <= 1)
    heat = _stage_values("heat", heat, stages)
    guess = _stage_values("guess", guess, stages, lambda t: t >= 0)
    kinds = {"vapour": 0, "liquid": 1}
    draws = list(draws)
    for d in draws:
        if len(d) != 3 or not isinstance(d[0], int) or d[1] not in kinds or not 0 < d[2] < 1:
            raise ValueError("a side draw is (stage, 'liquid' | 'vapour', fraction of the feed in (0, 1)), got %r"
                             % (d,))
    names = []
    for flow, _ in feeds:
        names += [n for n in flow.fluid.names if n not in names]
    places, quantities, positions, values = [], [], [], []
    for key, value in specifications.items():
        if key not in _COLUMN_SPECS:
            raise TypeError("column() got an unexpected argument %r (specifications: %s)"
                            % (key, ", ".join(_COLUMN_SPECS)))
        place, quantity, unit, per_component = _COLUMN_SPECS[key]
        position = 0
        if per_component:
            if not isinstance(value, Mapping) or len(value) != 1:
                raise ValueError("%s takes one component and its value, e.g. {\"propane\": 0.98}" % key)
            (component, value), = value.items()
            name = _components.name(_components.code(component))
            if name not in names:
                raise ValueError("%s: %r is not a component of the feeds" % (key, component))
            position = names.index(name) + 1
        value = _finite(key, value)
        places.append(place)
        quantities.append(quantity)
        positions.append(position)
        values.append(_to(value, _Q[unit]) if unit else value)
    if len(values) > 2:
        raise ValueError("a column takes at most two specifications, got %s" % ", ".join(specifications))

    Tq, Pq, Hq = _Q["temperature"], _Q["pressure"], _Q["enthalpy_flow"]
    template = feeds[0][0].fluid
    with _Streams() as streams:
        call = _Calls("column")
        feed_numbers = [_load(flow, streams, call) for flow, _ in feeds]
        top, bottom = streams.new(), streams.new()
        draw_numbers = [streams.new() for _ in draws]
        duties, codes, _, _, temperatures = _zelta_ops.dcol(
            1, 1 if restart else 0, [_to(p, Pq) for p in profile],
            None if heat is None else [_to(q, Hq) for q in heat], efficiency,
            None if guess is None else [_to(t, Tq) if t > 0 else 0.0 for t in guess],
            top, bottom, feed_numbers, [stage for _, stage in feeds], draw_numbers,
            [d[0] for d in draws], [kinds[d[1]] for d in draws], [float(d[2]) for d in draws],
            places, quantities, positions, values)
        return ColumnResult(
            top=_read(top, template), bottom=_read(bottom, template),
            draws=tuple(_read(n, template) for n in draw_numbers),
            feeds=tuple(flow for flow, _ in feeds),
            reboiler_duty=_from(duties[0], Hq), condenser_duty=_from(duties[1], Hq),
            stage_temperatures=tuple(_from(t, Tq) for t in temperatures),
            stage_pressures=tuple(profile),
            components=tuple(_components.name(c) for c in codes))


# -- regression of binary parameters -----------------------------------------------


@dataclass(frozen=True)
class Regression:
    """Binary parameters fitted to vapour-liquid equilibrium data.

    parameters: the five entry parameters of the pair (a_12, a_21 [J/mol],
    the slopes b_12, b_21 [J/(mol K)], alpha [-] for NRTL); sum_of_squares
    of the scaled residuals; iterations; mean_deviation: mean |dT|/T (|dP|/P
    for isothermal data) of the bubble points [-]; mean_y_deviation: their
    mean |dy| [-]; points: points used; x_calc: liquid fraction of the first
    component at the dew point of each measured y (NaN where not found or
    not used); y_calc: vapour fraction at the bubble point of each measured x.
    """
    parameters: Tuple[float, ...]
    sum_of_squares: float
    iterations: int
    mean_deviation: float
    mean_y_deviation: float
    points: int
    x_calc: Tuple[float, ...]
    y_calc: Tuple[float, ...]


def regress(fluid, x, y, T, P, data="isobaric", slopes=False, alpha=False, digits=6, use=None):
    """Fit the binary parameters of a two-component fluid's activity model to VLE data.

    x, y: measured liquid and vapour mole fractions of the fluid's first
    component [-]; T [K] and P [Pa]: measured temperatures and pressures,
    one per point. data: "isobaric" (T-x-y, residuals in bubble and dew
    temperatures) or "isothermal" (P-x-y, residuals in pressures). slopes:
    also fit the temperature slopes; alpha: also fit the NRTL alpha;
    digits: stop when the objective falls by less than 10^-digits
    (relative); use: one flag per point (a point is used when true).
    The fluid itself is not changed (the fit runs on a copy of its
    definition); returns a Regression.
    """
    if len(fluid.codes) != 2:
        raise ValueError("a regression needs a fluid of two components, this one has %d" % len(fluid.codes))
    codes = {"isobaric": 1, "isothermal": 2}
    if data not in codes:
        raise ValueError("data must be 'isobaric' or 'isothermal', not %r" % (data,))
    if not isinstance(digits, int) or not 1 <= digits <= 14:
        raise ValueError("digits must be an integer in 1..14")
    x, y, T, P = ([float(v) for v in seq] for seq in (x, y, T, P))
    flags = None if use is None else [1 if u else 0 for u in use]
    with _Streams() as streams:
        n = streams.new()
        _Calls("regress")(_zelta.xscopy, n, fluid._stream(), fails=0)
        params, x_calc, y_calc = _zelta_ops.bregr(
            n, codes[data], 2 if slopes else 1, 1 if alpha else 0, digits, x, y,
            [_to(t, _Q["temperature"]) for t in T], [_to(p, _Q["pressure"]) for p in P], flags)
    return Regression(parameters=tuple(params[:5]), sum_of_squares=params[5], iterations=int(params[6]),
                      mean_deviation=params[7], mean_y_deviation=params[8], points=int(params[9]),
                      x_calc=x_calc, y_calc=y_calc)
