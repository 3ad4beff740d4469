"""Water content of a natural gas saturated with liquid water.

Check: at 25 C and 10 bar the water mole fraction is close to Raoult's law
with water's vapour pressure (3.1699 kPa at 25 C, IAPWS-95) times the
Poynting and non-ideality correction, which at 10 bar is within 3 %:
y = 3169.9 / 1e6 = 3.17e-3.
"""
import zelta

gas = zelta.Fluid({"methane": 0.9, "ethane": 0.07, "propane": 0.03}, model="CPA")
for P in (10e5, 50e5, 100e5):
    y = gas.water_content(T=298.15, P=P)
    print("%5.0f bar: water %.4g mol/mol (%.0f ppm)" % (P / 1e5, y, y * 1e6))
y10 = gas.water_content(T=298.15, P=10e5)
assert abs(y10 / 3.1699e-3 - 1) < 0.05
