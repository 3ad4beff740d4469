"""Bubble point pressure of an LPG (propane/n-butane) at 20 C.

Check: propane and n-butane form a nearly ideal solution, so Raoult's law
with their vapour pressures at 20 C (propane 8.36 bar, n-butane 2.08 bar,
NIST Chemistry WebBook) gives 0.6 * 8.36 + 0.4 * 2.08 = 5.85 bar; the
equation of state must agree within 5 %.
"""
import zelta

lpg = zelta.Fluid({"propane": 0.6, "n-butane": 0.4}, model="PR")
bubble = lpg.bubble_point(T=293.15)
dew = lpg.dew_point(T=293.15)
print("at 20 C: bubble point %.3f bar, dew point %.3f bar" % (bubble.P / 1e5, dew.P / 1e5))
raoult = 0.6 * 8.36 + 0.4 * 2.08
assert abs(bubble.P / 1e5 / raoult - 1) < 0.05
