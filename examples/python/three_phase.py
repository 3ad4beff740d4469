"""Gas, oil and water: a three-phase flash.

Check: the water phase is almost pure water (hydrocarbons dissolve in it
at the ppm level: mole fraction of water above 0.999), and the material
balance closes to 1e-10.
"""
import zelta

fluid = zelta.Fluid({"methane": 0.5, "n-hexane": 0.2, "n-decane": 0.1, "water": 0.2}, model="SRK",
                    second_liquid=True)
state = fluid.flash(T=320.0, P=20e5)
print(state)
aqueous = state.phases[-1]
print("aqueous phase: water %.6f" % aqueous.composition["water"])
assert [p.kind for p in state.phases] == ["vapour", "liquid", "liquid"]
assert aqueous.composition["water"] > 0.999
for name, z in fluid.composition.items():
    assert abs(sum(p.fraction * p.composition[name] for p in state.phases) - z) < 1e-10
