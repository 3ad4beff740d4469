"""Fluids, flashes and states: the library in engineers' terms.

    >>> import zelta
    >>> gas = zelta.Fluid({"methane": 0.85, "ethane": 0.10, "propane": 0.05}, model="PR")
    >>> state = gas.flash(T=250.0, P=50e5)
    >>> state.phases[0].kind, state.phases[0].density

Everything is SI (K, Pa, J/mol, J/kg, kg/m3, ...; see zelta.units).
Enthalpies and entropies are relative to the ideal gas of each component at
298.15 K and 101325 Pa (enthalpy and entropy 0 there), whatever base the
process gives the library with setHB/setSB.
"""
import math
import threading
import weakref
from dataclasses import dataclass, field
from types import MappingProxyType
from typing import Mapping, Optional, Tuple

import _zelta
import _zelta_ops

from . import components as _components
from . import models as _models
from .errors import Sequence as _Calls
from .errors import ZeltaError
from .streams import _give_back, _take_number
from .units import QUANTITY as _Q
from .units import from_library as _from
from .units import to_library as _to

R = 8.314462618  # J/(mol K)

KINDS = {0: "vapour", 1: "liquid", 2: "solid", 3: "hydrate"}

# Option bits of a stream (putKO).
_SECOND_LIQUID, _SOLIDS, _HYDRATES = 1, 2, 4


@dataclass(frozen=True)
class Phase:
    """One phase of an equilibrium state.  Values in SI; None where the library has no model for it.

    kind: "vapour", "liquid", "solid" or "hydrate"
    fraction: mole fraction of the feed in this phase [-]
    mass_fraction: mass fraction of the feed in this phase [-]
    composition: mole fractions by component name [-]
    molar_mass [kg/mol], density [kg/m3], Z: compressibility factor [-]
    h, s: molar enthalpy [J/mol] and entropy [J/(mol K)]
    h_mass, s_mass: specific enthalpy [J/kg] and entropy [J/(kg K)]
    cp, cv: molar heat capacities [J/(mol K)]; cp_mass, cv_mass [J/(kg K)]
    speed_of_sound [m/s], joule_thomson [K/Pa]
    viscosity [Pa s], conductivity: thermal conductivity [W/(m K)]
    """
    kind: str
    fraction: float
    mass_fraction: float
    composition: Mapping[str, float]
    molar_mass: float
    density: Optional[float]
    Z: Optional[float]
    h: Optional[float]
    s: Optional[float]
    h_mass: Optional[float]
    s_mass: Optional[float]
    cp: Optional[float]
    cv: Optional[float]
    cp_mass: Optional[float]
    cv_mass: Optional[float]
    speed_of_sound: Optional[float]
    joule_thomson: Optional[float]
    viscosity: Optional[float]
    conductivity: Optional[float]

    @property
    def x(self):
        """Mole fractions in the fluid's component order."""
        return tuple(self.composition.values())


@dataclass(frozen=True)
class State:
    """An equilibrium state of a fluid.

    T [K], P [Pa]; phases: vapour first, then liquids by increasing density,
    then solids and hydrates; vapour_fraction: mole fraction of the feed in
    the vapour [-]; molar_mass [kg/mol]; h, s: molar enthalpy [J/mol] and
    entropy [J/(mol K)] of the whole fluid, h_mass, s_mass per kg;
    density [kg/m3] of the whole fluid; surface_tension [N/m] between vapour
    and liquid (None unless both exist); inputs: the specifications given.
    """
    T: float
    P: float
    phases: Tuple[Phase, ...]
    vapour_fraction: float
    molar_mass: float
    h: float
    s: float
    h_mass: float
    s_mass: float
    density: float
    surface_tension: Optional[float]
    inputs: Mapping[str, float] = field(default_factory=dict)

    def phase(self, kind):
        """The first phase of a kind ("vapour", "liquid", ...), or None."""
        return next((p for p in self.phases if p.kind == kind), None)

    def __str__(self):
        lines = ["T = %.6g K, P = %.6g Pa, %d phase(s), h = %.6g J/mol, s = %.6g J/(mol K)"
                 % (self.T, self.P, len(self.phases), self.h, self.s)]
        for p in self.phases:
            lines.append("  %-8s fraction %.6g  density %s kg/m3  Z %s" % (
                p.kind, p.fraction, _fmt(p.density), _fmt(p.Z)))
        return "\n".join(lines)


def _fmt(v):
    return "-" if v is None else "%.6g" % v


def _normalised(values, what):
    values = [float(v) for v in values]
    if not values:
        raise ValueError("no components given")
    for v in values:
        if not math.isfinite(v) or v < 0:
            raise ValueError("%s must be finite and >= 0, got %r" % (what, v))
    total = sum(values)
    if total <= 0:
        raise ValueError("%s must have a positive sum" % what)
    return [v / total for v in values]


class Fluid:
    """A mixture with its thermodynamic model.

    Fluid(composition, model="PR", basis="mole", second_liquid=False,
          solids=False, hydrates=False, kij=None)

    composition: {component: amount}; components by database name ("methane",
    "n-hexane"), common alias ("C1", "nC6", "CO2", "water"), formula ("CH4")
    or CAS number ("74-82-8" or 74828). Amounts are normalised.
    model: "SRK", "PR", "PRX", "BWRS", "LKP", "GERG2008", "IAPWS95", "CPA",
    "Regular", the activity models "Wilson", "NRTL", "UNIQUAC", "UNIFAC"
    (with PRX vapour), the gE-mixing cubics ("PR-HV-NRTL", ...): see
    zelta.models.names(). The library's stored interaction parameters are
    used; kij={("methane", "CO2"): 0.1} replaces the cubic k_ij of a pair.
    basis: "mole" or "mass" for the amounts.
    second_liquid, solids, hydrates: let flashes form a second liquid,
    solid phases, and ice/hydrate-related solids.

    A Fluid may be used from several threads at once: each thread gets its
    own library stream.  close() (or a with block) releases them.
    """

    def __init__(self, composition, model="PR", basis="mole", second_liquid=False, solids=False,
                 hydrates=False, kij=None):
        if isinstance(composition, Mapping):
            items = list(composition.items())
        else:
            items = [(c, 1.0) for c in composition] if all(isinstance(c, (str, int)) for c in composition) \
                else list(composition)
        if basis not in ("mole", "mass"):
            raise ValueError("basis must be 'mole' or 'mass', not %r" % (basis,))
        self.codes = tuple(_components.code(c) for c, _ in items)
        if len(set(self.codes)) != len(self.codes):
            raise ValueError("a component is given twice")
        self.names = tuple(_components.name(c) for c in self.codes)
        amounts = _normalised([a for _, a in items], "amounts")
        if basis == "mass":
            moles = [w / _zelta.xcmw(c) for w, c in zip(amounts, self.codes)]
            amounts = _normalised(moles, "amounts")
        self.z = tuple(amounts)
        self.model = model
        self._package, self._model_code = _models.lookup(model)
        self._options = (_SECOND_LIQUID if second_liquid else 0) | (_SOLIDS if solids else 0) | \
            (_HYDRATES if hydrates else 0)
        self._kij = {}
        for (a, b), value in (kij or {}).items():
            i, j = self._position(a), self._position(b)
            if i == j:
                raise ValueError("k_ij needs two different components")
            self._kij[(min(i, j), max(i, j))] = float(value)
        self._local = threading.local()
        self._numbers = []
        self._lock = threading.Lock()
        self._finalizer = weakref.finalize(self, Fluid._release, self._numbers, self._lock)
        self._stream()  # define once now, so a bad definition fails here

    # -- streams -----------------------------------------------------------

    def _position(self, component):
        c = _components.code(component)
        if c not in self.codes:
            raise ValueError("%r is not a component of this fluid" % (component,))
        return self.codes.index(c) + 1

    @staticmethod
    def _release(numbers, lock):
        with lock:
            taken, numbers[:] = list(numbers), []
        for n in taken:
            _zelta.xinits(n)
            _give_back(n)

    def close(self):
        """Release the library streams of every thread."""
        self._finalizer()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _new_number(self):
        n = _take_number()
        with self._lock:
            self._numbers.append(n)
        return n

    def _stream(self):
        """This thread's stream, defined on first use."""
        n = getattr(self._local, "stream", None)
        if n is None:
            n = self._new_number()
            try:
                self._define(n)
            except BaseException:
                _zelta.xinits(n)
                raise
            self._local.stream = n
        return n

    def _scratch(self):
        """This thread's second stream, for properties of single phases."""
        n = getattr(self._local, "scratch", None)
        if n is None:
            n = self._new_number()
            self._local.scratch = n
        return n

    def _define(self, n):
        call = _Calls("Fluid")
        call(_zelta.xinits, n, fails=0)
        call(_zelta.xsetswm, n, _to(1.0, _Q["mass_flow"]), fails=0)
        if self._package is not None:
            call(_zelta.xsetpk, n, self._package, fails=0)
        else:
            call(_zelta.xsetpk, n, 8, fails=0)  # PRX defaults, then the gE fluid model
            for prop in (1, 2, 3, 4):
                for phase in (0, 1):
                    call(_zelta.xsetsm, n, prop, phase, self._model_code, fails=0)
            call(_zelta.xloadsb, n, 0, fails=0)
        for i, (c, z) in enumerate(zip(self.codes, self.z), 1):
            call(_zelta.xsetscc, n, i, c, fails=0)
            call(_zelta.xsetsz, n, i, z, fails=0)
        if self._options:
            call(_zelta.xsetsk, n, call(_zelta.xsk, n) | self._options, fails=0)
        fluid_model = _zelta.xsm(n, 1, 0)
        for e, ((i, j), value) in enumerate(sorted(self._kij.items()), 1):
            call(_zelta.xsetsci, n, e, i, fails=0)
            call(_zelta.xsetscj, n, e, j, fails=0)
            call(_zelta.xsetsmb, n, e, fluid_model, fails=0)
            call(_zelta.xsetsbip, n, e, 0, value, fails=0)
        call(_zelta.xsets, n, fails=0)

    # -- facts ---------------------------------------------------------------

    def _reference(self):
        """Molar h [J/mol] and s [J/(mol K)] of each component as ideal gas at 298.15 K, 101325 Pa.

        The library's own base (setHB/setSB) is process-wide and may be set by
        other callers; subtracting these values puts every state of this
        package on one fixed reference whatever that base is.
        """
        ref = getattr(self, "_ref", None)
        if ref is None:
            call = _Calls("reference state")
            T0, P0 = _to(298.15, _Q["temperature"]), _to(101325.0, _Q["pressure"])
            h, s = [], []
            for c in self.codes:
                m = _from(call(_zelta.xcmw, c), _Q["molar_mass"])
                h.append(_from(call(_zelta.xchg, c, T0, P0), _Q["specific_enthalpy"]) * m)
                s.append(_from(call(_zelta.xcsg, c, T0, P0), _Q["specific_entropy"]) * m)
            ref = self._ref = (tuple(h), tuple(s))
        return ref

    def _offsets(self, x):
        h, s = self._reference()
        return sum(a * b for a, b in zip(x, h)), sum(a * b for a, b in zip(x, s))

    @property
    def composition(self):
        """Mole fractions by component name."""
        return MappingProxyType(dict(zip(self.names, self.z)))

    @property
    def molar_mass(self):
        """Molar mass of the mixture [kg/mol]."""
        n = self._stream()
        return _from(_Calls("molar_mass")(_zelta.xsmw, n), _Q["molar_mass"])

    def interaction_parameters(self):
        """The k_ij given to this fluid, {(name_i, name_j): k_ij}.

        Pairs not listed use the library's stored parameters of the model
        (or 0 where it has none).
        """
        return {(self.names[i - 1], self.names[j - 1]): v for (i, j), v in self._kij.items()}

    def __repr__(self):
        parts = ", ".join("%r: %.6g" % (name, z) for name, z in zip(self.names, self.z))
        return "Fluid({%s}, model=%r)" % (parts, self.model)

    # -- flashes -------------------------------------------------------------

    def _molar_flow(self):
        return 1.0 / self.molar_mass  # mol/s for the stream's 1 kg/s

    def flash(self, T=None, P=None, H=None, S=None, V=None, vapour_fraction=None, guess=None):
        """The equilibrium state at two specifications.

        T [K], P [Pa], H: molar enthalpy [J/mol], S: molar entropy
        [J/(mol K)], V: molar volume [m3/mol], vapour_fraction: mole
        fraction of vapour [-]. Pairs: (T, P), (P, H), (P, S), (P, V),
        (T, H), (T, S), (T, V), (P, vapour_fraction), (T, vapour_fraction),
        (H, S), (H, V), (S, V). guess: an estimate of the unknown
        temperature or pressure (optional).
        Raises ZeltaError with the library's message when there is no solution.
        """
        given = {k: v for k, v in (("T", T), ("P", P), ("H", H), ("S", S), ("V", V),
                                    ("vapour_fraction", vapour_fraction)) if v is not None}
        if len(given) != 2:
            raise ValueError("give exactly two of T, P, H, S, V, vapour_fraction (got %s)"
                             % (", ".join(given) or "none"))
        for k, v in given.items():
            if not isinstance(v, (int, float)) or not math.isfinite(v):
                raise ValueError("%s must be a finite number, got %r" % (k, v))
        n = self._stream()
        call = _Calls("flash")
        flow = None
        if set(given) & {"H", "S", "V"}:
            flow = self._molar_flow()
        Tq, Pq = _Q["temperature"], _Q["pressure"]
        lib = {}
        if "T" in given:
            lib["T"] = _to(T, Tq)
        if "P" in given:
            lib["P"] = _to(P, Pq)
        dh, ds = self._offsets(self.z)
        if "H" in given:
            lib["H"] = _to((H + dh) * flow, _Q["enthalpy_flow"])
        if "S" in given:
            lib["S"] = _to((S + ds) * flow, _Q["entropy_flow"])
        if "V" in given:
            lib["V"] = _to(V * flow, _Q["volume_flow"])
        try:
            name, first, second, extra = _FLASHES[frozenset(given)]
        except KeyError:
            raise ValueError("the pair %s is not a flash specification" % " and ".join(sorted(given))) from None
        function = getattr(_zelta, name)
        nan = float("nan")
        if extra == "fraction":
            _check_fraction(vapour_fraction)
            call(function, n, lib[first], vapour_fraction, 0, 1)
        elif extra in ("temperature", "pressure"):  # the unknown, with the caller's estimate
            call(function, n, lib[first], lib[second], nan if guess is None else _to(guess, _Q[extra]))
        elif extra == "estimates":  # both unknown: the library starts from the stream's state
            call(function, n, lib[first], lib[second], nan, nan, fails=0)
        else:
            call(function, n, lib[first], lib[second], fails=0)
        return self._state(n, given)

    def dew_point(self, P=None, T=None):
        """The dew point (vapour fraction 1) at pressure P [Pa] or temperature T [K], as a State.

        At a pressure it is the upper (hydrocarbon) dew point: the warmest."""
        return self._saturation(1.0, P, T)

    def bubble_point(self, P=None, T=None):
        """The bubble point (vapour fraction 0) at pressure P [Pa] or temperature T [K], as a State."""
        return self._saturation(0.0, P, T)

    def _saturation(self, beta, P, T):
        if (P is None) == (T is None):
            raise ValueError("give either P or T")
        return self.flash(P=P, vapour_fraction=beta) if P is not None else self.flash(T=T, vapour_fraction=beta)

    def envelope(self, points=200, quality=()):
        """The phase envelope: a dict of numpy-free lists.

        lines: [(T list [K], P list [Pa]), ...] (line 1 runs from the dew side at
        low pressure through the critical point down the bubble side);
        cricondenbar: (T [K], P [Pa]); cricondentherm: (T [K], P [Pa]);
        critical: [(T [K], P [Pa]), ...]; quality: {vapour fraction: (T list [K],
        P list [Pa])}, one line of constant molar vapour fraction for each value
        of `quality` (fractions in (0, 1), e.g. quality=[0.1, 0.5, 0.9]).
        points: most points per line (a line traced with more points is sampled
        evenly along its length, interpolating between traced points).
        """
        if not isinstance(points, int) or points < 2:
            raise ValueError("points must be an integer >= 2")
        quality = [float(q) for q in quality]
        for q in quality:
            if not 0.0 < q < 1.0:
                raise ValueError("quality lines need vapour fractions within (0, 1), got %r" % (q,))
        n = self._stream()
        call = _Calls("envelope")
        Tq, Pq = _Q["temperature"], _Q["pressure"]
        lines = []
        for j in range(1, call(_zelta.xpelnr, n) + 1):
            Ts, Ps = [], []
            for k in range(1, points + 1):
                p = _zelta.xpept(n, j, 1, k, points)
                if _zelta.xerr():
                    _zelta.xseterr(0)  # past the line's last point
                    break
                Ts.append(_from(call(_zelta.xpept, n, j, 2, k, points), Tq))
                Ps.append(_from(p, Pq))
            lines.append((Ts, Ps))
        critical = []
        _zelta.xseterr(0)
        count = _zelta.xscpnr(n)
        if _zelta.xerr():
            _zelta.xseterr(0)
            count = 0
        for k in range(1, count + 1):
            critical.append((_from(call(_zelta.xstc, n, k), Tq), _from(call(_zelta.xspc, n, k), Pq)))
        qualities = {}
        for q in quality:
            Ts, Ps = _zelta_ops.pfline(n, 2, q, points)
            qualities[q] = ([_from(t, Tq) for t in Ts], [_from(p, Pq) for p in Ps])
        return {
            "lines": lines,
            "cricondenbar": (_from(call(_zelta.xscbt, n), Tq), _from(call(_zelta.xscbp, n), Pq)),
            "cricondentherm": (_from(call(_zelta.xsctt, n), Tq), _from(call(_zelta.xsctp, n), Pq)),
            "critical": critical,
            "quality": qualities,
        }

    # -- water, hydrates, compression -----------------------------------------

    def _with_water(self, solution, basis):
        """A CPA fluid of this fluid's dry part plus as many moles of an aqueous solution.

        solution: {component: amount} of the water phase added (water and
        inhibitors), on `basis`. The solution's water comes last.
        """
        water = _components.code("water")
        dry = {c: z for c, z in zip(self.codes, self.z) if c != water}
        if not dry:
            raise ValueError("the fluid has no component besides water")
        amounts = {_components.code(k): float(v) for k, v in solution.items()}
        if basis == "mass":
            amounts = {c: w / _zelta.xcmw(c) for c, w in amounts.items()}
        total = sum(amounts.values())
        if total <= 0 or any(v < 0 or not math.isfinite(v) for v in amounts.values()):
            raise ValueError("the aqueous solution needs finite, non-negative amounts with a positive sum")
        gas_total = sum(dry.values())
        mix = {c: 0.5 * z / gas_total for c, z in dry.items()}
        for c, a in amounts.items():
            mix[c] = mix.get(c, 0.0) + 0.5 * a / total
        return Fluid({_zelta.xcid(c): v for c, v in mix.items()}, model="CPA", second_liquid=True)

    def hydrate_temperature(self, P, inhibitor=None, basis="mass"):
        """Temperature [K] below which a gas hydrate forms at pressure P [Pa].

        The fluid's components other than water meet an equal molar amount of
        free water (CPA with the hydrate model), in which `inhibitor`
        ({"methanol": 0.2}) gives the inhibitor fractions of the aqueous
        solution on `basis` ("mass" or "mole"); water makes up the rest.
        Raises ZeltaError when no hydrate forms down to 150 K.
        """
        return self._hydrate(_zelta.xhydt, _to(P, _Q["pressure"]), inhibitor, basis, _Q["temperature"],
                             "no hydrate forms at %g Pa down to 150 K" % P)

    def hydrate_pressure(self, T, inhibitor=None, basis="mass"):
        """Pressure [Pa] above which a gas hydrate forms at temperature T [K]; see hydrate_temperature."""
        return self._hydrate(_zelta.xhydp, _to(T, _Q["temperature"]), inhibitor, basis, _Q["pressure"],
                             "no hydrate forms at %g K up to 500 MPa" % T)

    def _hydrate(self, function, value, inhibitor, basis, quantity, none):
        inhibitor = dict(inhibitor or {})
        if any(_components.code(k) == _components.code("water") for k in inhibitor):
            raise ValueError("give the inhibitors only; water makes up the rest of the solution")
        share = sum(inhibitor.values())
        if not 0 <= share < 1:
            raise ValueError("inhibitor fractions must sum to less than 1, got %g" % share)
        solution = dict(inhibitor, water=1.0 - share)
        with self._with_water(solution, basis) as wet:
            result = _Calls("hydrate")(function, wet._stream(), value, 1)
            if result == 0:
                raise ZeltaError(3, none, "hydrate")
            return _from(result, quantity)

    def water_content(self, T, P):
        """Mole fraction of water in this gas saturated with liquid water at T [K] and P [Pa] (CPA)."""
        with self._with_water({"water": 1.0}, "mole") as wet:
            state = wet.flash(T=T, P=P)
            vapour = state.phase("vapour")
            if vapour is None:
                raise ZeltaError(3, "no vapour phase at %g K and %g Pa" % (T, P), "water_content")
            return vapour.composition[_components.name(_components.code("water"))]

    def compress(self, T, P, P_out, efficiency=1.0, method="path"):
        """Compress (or expand) from (T [K], P [Pa]) to P_out [Pa] at polytropic efficiency (0, 1].

        method: "path" (the polytropic path integral), "stepwise" (50
        isentropic steps) or "schultz". Returns the outlet State; its
        inputs carry the efficiency and the specific work [J/kg].
        """
        modes = {"path": 1, "stepwise": 3, "schultz": 4}
        if method not in modes:
            raise ValueError("method must be one of %s" % ", ".join(modes))
        if not (isinstance(efficiency, (int, float)) and 0 < efficiency <= 1):
            raise ValueError("efficiency must be within (0, 1], got %r" % (efficiency,))
        inlet = self.flash(T=T, P=P)
        n = self._stream()
        call = _Calls("compress")
        call(_zelta.xpolp, n, _to(P_out, _Q["pressure"]), modes[method], float(efficiency))
        outlet = self._state(n, {"T": T, "P": P, "P_out": P_out, "efficiency": efficiency})
        work = outlet.h_mass - inlet.h_mass
        return State(**dict(outlet.__dict__, inputs=MappingProxyType(dict(outlet.inputs, work=work))))

    # -- tables ----------------------------------------------------------------

    def __reduce__(self):
        # A Fluid travels (to threads of other processes, dask workers) as its definition.
        return (_rebuild, (dict(zip(self.names, self.z)), self.model, self._options,
                           self.interaction_parameters()))

    def table(self, T, P, properties=("density", "h", "vapour_fraction"), threads=None, client=None,
              on_error="raise"):
        """Properties on the grid of every T [K] with every P [Pa].

        properties: names of State attributes ("h", "s", "h_mass", "density",
        "vapour_fraction", ...) or "<kind>.<attribute>" for a phase
        ("vapour.density", "liquid.cp_mass"; NaN where the phase is absent).
        Returns {name: array of shape (len(T), len(P))}: numpy arrays when
        numpy is installed, else nested lists; with pandas installed,
        `zelta.table_frame(result, T, P)` makes a DataFrame of it.
        threads: number of threads on this machine (default: all cores);
        the library runs them in parallel. client: a dask.distributed
        Client; the grid is then spread over its workers by rows of T.
        on_error: "raise" (default) or "nan" for states without a solution.
        """
        T = [float(t) for t in T]
        P = [float(p) for p in P]
        properties = tuple(properties)
        for name in properties:
            _check_property(name)
        if on_error not in ("raise", "nan"):
            raise ValueError("on_error must be 'raise' or 'nan'")
        if client is not None:
            futures = client.map(_table_row, [self] * len(T), T, [P] * len(T), [properties] * len(T),
                                 [on_error] * len(T))
            rows = client.gather(futures)
        else:
            import concurrent.futures
            import os
            workers = threads or os.cpu_count() or 1
            with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
                rows = list(pool.map(lambda t: _table_row(self, t, P, properties, on_error), T))
        result = {name: [row[k] for row in rows] for k, name in enumerate(properties)}
        try:
            import numpy
        except ImportError:
            return result
        return {name: numpy.array(v, dtype=float) for name, v in result.items()}

    # -- reading states ------------------------------------------------------

    def _state(self, n, given):
        call = _Calls("state")
        T = _from(call(_zelta.xst, n), _Q["temperature"])
        P = _from(call(_zelta.xsp, n), _Q["pressure"])
        count = _zelta.xpnr()
        mw = self.molar_mass
        kinds = [call(_zelta.xspt, n, k) for k in range(1, count + 1)]
        fractions = [call(_zelta.xspf, n, k) for k in range(1, count + 1)]
        compositions = [tuple(call(_zelta.xsw, n, k, i) for i in range(1, len(self.codes) + 1))
                        for k in range(1, count + 1)]
        phases = []
        for k in range(count):
            if count == 1:
                props = _phase_properties(n, kinds[k], T, P)
            else:
                props = self._single_phase_properties(n, compositions[k], kinds[k], T, P)
            pmw = props.pop("molar_mass")
            if pmw is None:
                pmw = sum(x * _zelta.xcmw(c) for x, c in zip(compositions[k], self.codes)) * 1e-3
            dh, ds = self._offsets(compositions[k])
            if props["h"] is not None:
                props["h"] -= dh
                props["h_mass"] = props["h"] / pmw
            if props["s"] is not None:
                props["s"] -= ds
                props["s_mass"] = props["s"] / pmw
            phases.append(Phase(kind=KINDS.get(kinds[k], str(kinds[k])), fraction=fractions[k],
                                mass_fraction=fractions[k] * pmw / mw,
                                composition=MappingProxyType(dict(zip(self.names, compositions[k]))),
                                molar_mass=pmw, **props))
        h_mass = _from(call(_zelta.xsh, n), _Q["enthalpy_flow"])  # W for 1 kg/s = J/kg
        s_mass = _from(call(_zelta.xss, n), _Q["entropy_flow"])
        volume = _from(call(_zelta.xsv, n), _Q["volume_flow"])     # m3/s for 1 kg/s = m3/kg
        vapour = sum(p.fraction for p in phases if p.kind == "vapour")
        st = None
        if any(p.kind == "vapour" for p in phases) and any(p.kind == "liquid" for p in phases):
            value = _zelta.xsst(n)
            st = None if _zelta.xerr() or value != value else _from(value, _Q["surface_tension"])
            _zelta.xseterr(0)
        dh, ds = self._offsets(self.z)
        h, s = h_mass * mw - dh, s_mass * mw - ds
        return State(T=T, P=P, phases=tuple(phases), vapour_fraction=vapour, molar_mass=mw,
                     h=h, s=s, h_mass=h / mw, s_mass=s / mw, density=1.0 / volume,
                     surface_tension=st, inputs=MappingProxyType(dict(given)))

    def _single_phase_properties(self, n, x, kind, T, P):
        """Properties of one phase of a multiphase state, as the phase alone at T and P.

        A phase in equilibrium is stable on its own at the same temperature and
        pressure, so a flash of its composition returns that phase.
        """
        m = self._scratch()
        call = _Calls("state")
        call(_zelta.xscopy, m, n, fails=0)
        for i, xi in enumerate(x, 1):
            call(_zelta.xsetsz, m, i, max(xi, 0.0), fails=0)
        call(_zelta.xftp, m, _to(T, _Q["temperature"]), _to(P, _Q["pressure"]), fails=0)
        return _phase_properties(m, kind, T, P)


# Flash of each pair of specifications: the library function, its two
# specification arguments in order, and what follows them ("temperature" or
# "pressure": an estimate of that unknown; "estimates": estimates of both;
# "fraction": the first argument with the vapour fraction, kind 0, solution 1).
_FLASHES = {
    frozenset(("T", "P")): ("xftp", "T", "P", None),
    frozenset(("P", "H")): ("xfhp", "P", "H", "temperature"),
    frozenset(("P", "S")): ("xfsp", "P", "S", "temperature"),
    frozenset(("P", "V")): ("xfvp", "P", "V", "temperature"),
    frozenset(("T", "H")): ("xfht", "T", "H", "pressure"),
    frozenset(("T", "S")): ("xfst", "T", "S", "pressure"),
    frozenset(("T", "V")): ("xfvt", "T", "V", "pressure"),
    frozenset(("P", "vapour_fraction")): ("xfpfp", "P", None, "fraction"),
    frozenset(("T", "vapour_fraction")): ("xfpft", "T", None, "fraction"),
    frozenset(("H", "S")): ("xfhs", "H", "S", "estimates"),
    frozenset(("H", "V")): ("xfhv", "H", "V", "estimates"),
    frozenset(("S", "V")): ("xfsv", "S", "V", "estimates"),
}


def _check_fraction(f):
    if not 0.0 <= f <= 1.0:
        raise ValueError("vapour_fraction must be within [0, 1], got %r" % (f,))


# Getters of the library by phase kind: vapour (G), liquid (L), solid (S).
_GETTERS = {
    0: dict(density=_zelta.xsgd, cp=_zelta.xsgcp, cv=_zelta.xsgcv, sound=_zelta.xsgss, jt=_zelta.xsgjt,
            h=_zelta.xssgh, s=_zelta.xssgs, mw=_zelta.xsgmw, mu=_zelta.xsgv, k=_zelta.xsgc),
    1: dict(density=_zelta.xsld, cp=_zelta.xslcp, cv=_zelta.xslcv, sound=_zelta.xslss, jt=_zelta.xsljt,
            h=_zelta.xsslh, s=_zelta.xssls, mw=_zelta.xslmw, mu=_zelta.xslv, k=_zelta.xslc),
    2: dict(density=_zelta.xssd, cp=_zelta.xsscp, h=_zelta.xsssh, s=_zelta.xssss),
}

_UNITS = dict(density="density", cp="specific_heat", cv="specific_heat", sound="speed_of_sound",
              jt="joule_thomson", h="specific_enthalpy", s="specific_entropy", mw="molar_mass",
              mu="viscosity", k="conductivity")


def _read(n, getters, name):
    f = getters.get(name)
    if f is None:
        return None
    _zelta.xseterr(0)
    value = f(n)
    if _zelta.xerr() or value is None or value != value:
        _zelta.xseterr(0)
        return None
    return _from(value, _Q[_UNITS[name]])


def _phase_properties(n, kind, T, P):
    g = _GETTERS.get(kind, {})
    v = {name: _read(n, g, name) for name in _UNITS}
    mw = v["mw"]
    if mw is None and kind == 2:
        mw = None
    rho = v["density"]

    def per_mol(x):
        return None if x is None or mw is None else x * mw

    return dict(
        molar_mass=mw, density=rho,
        Z=None if rho is None or mw is None else P * mw / (rho * R * T),
        h=per_mol(v["h"]), s=per_mol(v["s"]), h_mass=v["h"], s_mass=v["s"],
        cp=per_mol(v["cp"]), cv=per_mol(v["cv"]), cp_mass=v["cp"], cv_mass=v["cv"],
        speed_of_sound=v["sound"], joule_thomson=v["jt"], viscosity=v["mu"], conductivity=v["k"])


def _rebuild(composition, model, options, kij):
    return Fluid(composition, model=model, second_liquid=bool(options & _SECOND_LIQUID),
                 solids=bool(options & _SOLIDS), hydrates=bool(options & _HYDRATES), kij=kij)


_STATE_FIELDS = ("T", "P", "vapour_fraction", "molar_mass", "h", "s", "h_mass", "s_mass", "density",
                 "surface_tension")
_PHASE_FIELDS = ("fraction", "mass_fraction", "molar_mass", "density", "Z", "h", "s", "h_mass", "s_mass",
                 "cp", "cv", "cp_mass", "cv_mass", "speed_of_sound", "joule_thomson", "viscosity",
                 "conductivity")


def _check_property(name):
    if "." in name:
        kind, attribute = name.split(".", 1)
        if kind not in KINDS.values() or attribute not in _PHASE_FIELDS:
            raise ValueError("unknown phase property %r (kinds: %s; attributes: %s)"
                             % (name, ", ".join(KINDS.values()), ", ".join(_PHASE_FIELDS)))
    elif name not in _STATE_FIELDS:
        raise ValueError("unknown property %r (state: %s; phases: <kind>.<attribute>)"
                         % (name, ", ".join(_STATE_FIELDS)))


def _value(state, name):
    if "." in name:
        kind, attribute = name.split(".", 1)
        phase = state.phase(kind)
        value = None if phase is None else getattr(phase, attribute)
    else:
        value = getattr(state, name)
    return float("nan") if value is None else value


def _table_row(fluid, T, Ps, properties, on_error):
    row = [[] for _ in properties]
    for P in Ps:
        try:
            state = fluid.flash(T=T, P=P)
            values = [_value(state, name) for name in properties]
        except ZeltaError:
            if on_error == "raise":
                raise
            values = [float("nan")] * len(properties)
        for k, v in enumerate(values):
            row[k].append(v)
    return row


def table_frame(result, T, P):
    """A pandas DataFrame (one row per (T, P)) of a Fluid.table result."""
    import pandas
    rows = []
    for i, t in enumerate(T):
        for j, p in enumerate(P):
            rows.append(dict({"T": t, "P": p}, **{k: v[i][j] for k, v in result.items()}))
    return pandas.DataFrame(rows)
