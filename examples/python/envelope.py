"""Phase envelope of a natural gas with its cricondenbar and cricondentherm.

Check: a gas that is almost pure propane (0.1 % ethane) has its envelope collapse onto the
vapour-pressure curve, so its cricondenbar lies at propane's critical
pressure, 4.2512 MPa (NIST Chemistry WebBook), within the equation's own
fit (about 1 %).
"""
import zelta

gas = zelta.Fluid({"methane": 0.80, "ethane": 0.10, "propane": 0.06, "n-butane": 0.04}, model="SRK")
env = gas.envelope(points=80)
T, P = env["cricondenbar"]
print("cricondenbar   %.2f bar at %.2f K" % (P / 1e5, T))
T, P = env["cricondentherm"]
print("cricondentherm %.2f K at %.2f bar" % (T, P / 1e5))
for T, P in env["critical"]:
    print("critical point %.2f K, %.2f bar" % (T, P / 1e5))

almost_propane = zelta.Fluid({"propane": 0.999, "ethane": 0.001}, model="SRK")
pcb = almost_propane.envelope()["cricondenbar"][1]
print("near-pure propane cricondenbar %.4f MPa (propane Pc 4.2512 MPa)" % (pcb / 1e6))
assert abs(pcb / 4.2512e6 - 1) < 0.01
