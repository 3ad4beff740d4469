"""Hydrocarbon dew point of a lean gas at pipeline pressure.

Check: at 1 bar the dew point of a methane/n-butane gas with 1 % butane is
where butane alone condenses: its vapour pressure equals its partial
pressure, 1 kPa. Butane's vapour pressure is 1 kPa at 187.0 K (Antoine
constants of NIST Chemistry WebBook, Das et al. 1973: log10(P/bar) =
4.35576 - 1175.581/(T - 2.071)). Cubic equations reproduce vapour pressures
to about 1 % in temperature near 0.7 Tc only; at 0.45 Tc, as here, Peng-Robinson
puts butane's 1 kPa point 4 K warmer, so the check allows 3 %.
"""
import zelta

gas = zelta.Fluid({"methane": 0.99, "n-butane": 0.01}, model="PR")
for P in (1e5, 20e5, 50e5):
    dew = gas.dew_point(P=P)
    print("dew point at %5.1f bar: %.2f K" % (P / 1e5, dew.T))

T_antoine = 1175.581 / (4.35576 - (-2.0)) + 2.071   # P = 0.01 bar
print("Antoine estimate at 1 bar: %.2f K" % T_antoine)
assert abs(gas.dew_point(P=1e5).T / T_antoine - 1) < 0.03
