"""Compressing natural gas: outlet temperature and work.

Check: at low pressure the gas is nearly ideal, so an isentropic compression
(efficiency 1) of methane from 1 to 3 bar at 300 K ends near the ideal-gas
temperature T2 = T1 (P2/P1)^(R/cp) with methane's mean ideal-gas cp of 37.0 J/(mol K) between
300 and 380 K (NIST Chemistry WebBook): within 2 K.
"""
import zelta

gas = zelta.Fluid({"methane": 0.9, "ethane": 0.06, "propane": 0.04}, model="PR")
out = gas.compress(T=300.0, P=30e5, P_out=90e5, efficiency=0.78)
print("30 -> 90 bar at eta 0.78: %.2f K, work %.1f kJ/kg" % (out.T, out.inputs["work"] / 1e3))

methane = zelta.Fluid({"methane": 1.0}, model="PR")
ideal = methane.compress(T=300.0, P=1e5, P_out=3e5, efficiency=1.0)
T2 = 300.0 * 3.0 ** (8.314462618 / 37.0)
print("methane 1 -> 3 bar isentropic: %.2f K (ideal gas %.2f K)" % (ideal.T, T2))
assert abs(ideal.T - T2) < 2.0
