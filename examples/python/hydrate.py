"""Hydrate formation temperature of methane, without and with methanol.

Check 1: methane hydrate forms at 50 bar near 279.6 K (Sloan & Koh,
Clathrate Hydrates of Natural Gases, 3rd ed., measured methane data);
within 1.5 K.
Check 2: 20 wt% methanol in the water lowers it by about 10 K
(Hammerschmidt: dT = 1297 W / (M (100 - W)) = 10.1 K for W = 20, M = 32.04);
the model must give a depression between 7 and 13 K.
"""
import zelta

methane = zelta.Fluid({"methane": 1.0}, model="CPA")
T0 = methane.hydrate_temperature(P=50e5)
T1 = methane.hydrate_temperature(P=50e5, inhibitor={"methanol": 0.2}, basis="mass")
print("hydrate at 50 bar: %.2f K without inhibitor, %.2f K with 20 wt%% methanol" % (T0, T1))
assert abs(T0 - 279.6) < 1.5
assert 7.0 < T0 - T1 < 13.0
