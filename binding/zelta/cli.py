"""The `zelta` command: flashes, phase envelopes and properties from the shell.

    zelta flash "methane=0.85,ethane=0.10,propane=0.05" --model PR -T 250 -P 50bar
    zelta envelope "methane=0.9,propane=0.1" --model SRK --plot envelope.png
    zelta props water -T 300 -P 1MPa
    zelta models

Values take a unit from the library's unit tables ("25C", "50bar", "1MPa");
without one they are SI.  Errors are one line on standard error and a
non-zero exit status.
"""
import argparse
import sys

from . import models as _models
from . import units as _units
from .errors import ZeltaError
from .fluid import Fluid


def _composition(text):
    parts = [p for p in text.split(",") if p.strip()]
    if len(parts) == 1 and "=" not in parts[0]:
        return {parts[0].strip(): 1.0}
    result = {}
    for p in parts:
        if "=" not in p:
            raise ValueError("composition %r: write component=amount, separated by commas" % text)
        name, amount = p.split("=", 1)
        result[name.strip()] = float(amount)
    return result


def _fluid(args):
    return Fluid(_composition(args.fluid), model=args.model, basis=args.basis,
                 second_liquid=args.second_liquid)


def _row(label, values, fmt="%14.6g"):
    cells = "".join("%14s" % "-" if v is None else fmt % v for v in values)
    return "%-26s%s" % (label, cells)


def print_state(state, out=sys.stdout):
    """A phase table with units."""
    print("T = %.6g K, P = %.6g Pa, vapour fraction %.6g" % (state.T, state.P, state.vapour_fraction), file=out)
    print("%-26s%s" % ("", "".join("%14s" % p.kind for p in state.phases)), file=out)
    ph = state.phases
    print(_row("mole fraction [-]", [p.fraction for p in ph]), file=out)
    print(_row("mass fraction [-]", [p.mass_fraction for p in ph]), file=out)
    print(_row("molar mass [g/mol]", [p.molar_mass * 1e3 for p in ph]), file=out)
    print(_row("density [kg/m3]", [p.density for p in ph]), file=out)
    print(_row("Z [-]", [p.Z for p in ph]), file=out)
    print(_row("h [kJ/kg]", [None if p.h_mass is None else p.h_mass * 1e-3 for p in ph]), file=out)
    print(_row("s [kJ/(kg K)]", [None if p.s_mass is None else p.s_mass * 1e-3 for p in ph]), file=out)
    print(_row("cp [kJ/(kg K)]", [None if p.cp_mass is None else p.cp_mass * 1e-3 for p in ph]), file=out)
    print(_row("speed of sound [m/s]", [p.speed_of_sound for p in ph]), file=out)
    print(_row("viscosity [mPa s]", [None if p.viscosity is None else p.viscosity * 1e3 for p in ph]), file=out)
    for name in state.phases[0].composition:
        print(_row("x %s [-]" % name[:22], [p.composition[name] for p in ph]), file=out)


def _flash(args):
    spec = {}
    for key, quantity in (("T", "temperature"), ("P", "pressure")):
        value = getattr(args, key)
        if value is not None:
            spec[key] = _units.parse(value, quantity)
    if args.H is not None:
        spec["H"] = float(args.H)
    if args.S is not None:
        spec["S"] = float(args.S)
    if args.vapour_fraction is not None:
        spec["vapour_fraction"] = float(args.vapour_fraction)
    with _fluid(args) as fluid:
        print_state(fluid.flash(**spec))


def _envelope(args):
    with _fluid(args) as fluid:
        env = fluid.envelope(points=args.points)
        T, P = env["cricondenbar"]
        print("cricondenbar   %.6g K  %.6g Pa" % (T, P))
        T, P = env["cricondentherm"]
        print("cricondentherm %.6g K  %.6g Pa" % (T, P))
        for T, P in env["critical"]:
            print("critical point %.6g K  %.6g Pa" % (T, P))
        for j, (Ts, Ps) in enumerate(env["lines"], 1):
            print("line %d: %d points" % (j, len(Ts)))
            if not args.plot:
                for t, p in zip(Ts, Ps):
                    print("  %.6g K  %.6g Pa" % (t, p))
        if args.plot:
            from . import plot
            import matplotlib
            matplotlib.use("Agg")
            ax = plot.envelope(fluid, envelope=env)
            ax.figure.savefig(args.plot)
            print("written %s" % args.plot)


def _props(args):
    args.fluid = args.component
    args.basis = "mole"
    args.second_liquid = False
    _flash(args)


def _list_models(args):
    for name, text in _models.names().items():
        print("%-18s %s" % (name, text))


def parser():
    p = argparse.ArgumentParser(prog="zelta", description="Thermodynamic properties and phase equilibria.")
    sub = p.add_subparsers(dest="command", required=True)

    def fluid_args(q):
        q.add_argument("fluid", help='components and amounts, e.g. "methane=0.85,ethane=0.15"')
        q.add_argument("--model", default="PR", help="model name (see `zelta models`), default PR")
        q.add_argument("--basis", default="mole", choices=("mole", "mass"), help="amounts are mole or mass")
        q.add_argument("--second-liquid", action="store_true", help="allow a second liquid phase")

    def spec_args(q):
        q.add_argument("-T", help="temperature (K, or with a unit: 25C)")
        q.add_argument("-P", help="pressure (Pa, or with a unit: 50bar)")
        q.add_argument("-H", help="molar enthalpy [J/mol]")
        q.add_argument("-S", help="molar entropy [J/(mol K)]")
        q.add_argument("--vapour-fraction", help="vapour mole fraction [-]")

    f = sub.add_parser("flash", help="equilibrium state at two specifications")
    fluid_args(f)
    spec_args(f)
    f.set_defaults(run=_flash)
    e = sub.add_parser("envelope", help="phase envelope, cricondenbar and cricondentherm")
    fluid_args(e)
    e.add_argument("--points", type=int, default=100, help="most points per line (default 100)")
    e.add_argument("--plot", help="write a plot to this file (needs matplotlib)")
    e.set_defaults(run=_envelope)
    r = sub.add_parser("props", help="properties of one component")
    r.add_argument("component", help="component name, alias or CAS number")
    r.add_argument("--model", default="PR", help="model name, default PR (water: IAPWS95)")
    spec_args(r)
    r.set_defaults(run=_props)
    m = sub.add_parser("models", help="list the model names")
    m.set_defaults(run=_list_models)
    return p


def main(argv=None):
    args = parser().parse_args(argv)
    try:
        args.run(args)
    except (ZeltaError, ValueError, TypeError) as error:
        print("zelta: %s" % error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
