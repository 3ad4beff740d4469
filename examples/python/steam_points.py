"""Saturation of water: boiling point at 1 atm with IAPWS-95.

Check: 373.1243 K (IAPWS-95, the normal boiling point on ITS-90), within 1 mK.
"""
import zelta

water = zelta.Fluid({"water": 1.0}, model="IAPWS95")
boil = water.bubble_point(P=101325.0)
print("water boils at %.4f K at 1 atm" % boil.T)
assert abs(boil.T - 373.1243) < 1e-3
