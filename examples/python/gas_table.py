"""A property table of a natural gas over temperature and pressure.

Check: at 1 atm and 15 C the gas is nearly ideal; its density must agree
with P M / (Z R T) for the second-virial Z of methane (B = -44.5 cm3/mol at
288 K, Dymond & Smith) within 0.2 %.
"""
import zelta

gas = zelta.Fluid({"methane": 1.0}, model="GERG2008")
T = [273.15, 288.15, 313.15]
P = [1.01325e5, 50e5, 100e5]
table = gas.table(T, P, properties=("density", "h_mass", "vapour.cp_mass", "vapour.Z"))
for i, t in enumerate(T):
    for j, p in enumerate(P):
        print("%7.2f K %8.3f bar  rho %9.4f kg/m3  cp %8.1f J/(kg K)  Z %.5f" % (
            t, p / 1e5, table["density"][i][j], table["vapour.cp_mass"][i][j], table["vapour.Z"][i][j]))
R, M, B = 8.314462618, 0.016043, -44.5e-6
Z = 1 + B * 1.01325e5 / (R * 288.15)
rho = 1.01325e5 * M / (Z * R * 288.15)
print("virial estimate %.5f kg/m3" % rho)
assert abs(table["density"][1][0] / rho - 1) < 0.002
