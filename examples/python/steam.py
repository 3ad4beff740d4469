"""Water and steam with IAPWS-95.

Check: density and enthalpy difference against the independent IAPWS-95
implementation of the python3-iapws package, where installed (else against
the formulation's own verification value: 996.5560 kg/m3 at 300 K and
0.0992418352 MPa, within 1e-6).
"""
import zelta

water = zelta.Fluid({"water": 1.0}, model="IAPWS95")
liquid = water.flash(T=300.0, P=1e6)
steam = water.flash(T=500.0, P=1e6)
print("300 K, 10 bar: %.6f kg/m3, cp %.2f J/(kg K)" % (liquid.density, liquid.phases[0].cp_mass))
print("500 K, 10 bar: %.6f kg/m3 (%s)" % (steam.density, steam.phases[0].kind))
print("enthalpy rise %.1f kJ/kg" % ((steam.h_mass - liquid.h_mass) / 1e3))
try:
    from iapws import IAPWS95
except ImportError:
    IAPWS95 = None
if IAPWS95 is not None:
    ref_l, ref_g = IAPWS95(T=300.0, P=1.0), IAPWS95(T=500.0, P=1.0)
    print("python3-iapws: %.6f and %.6f kg/m3" % (ref_l.rho, ref_g.rho))
    assert abs(liquid.density / ref_l.rho - 1) < 1e-6
    assert abs((steam.h_mass - liquid.h_mass) / 1e3 / (ref_g.h - ref_l.h) - 1) < 1e-6
else:
    assert abs(water.flash(T=300.0, P=0.0992418352e6).density / 996.5560 - 1) < 1e-6
