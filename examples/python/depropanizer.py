"""A depropanizer: propane and lighter overhead, butanes and heavier at the bottom.

22 equilibrium stages (stage 1 the reboiler, stage 22 the partial condenser),
feed of 100 mol/s of a light-hydrocarbon liquid at its bubble point on stage
11, 16 bar throughout, SRK. The column is specified by its reflux ratio and
the share of the feed's propane recovered overhead.

Checks:
1. The overall material balance of every component and the energy balance
   (feed enthalpy + reboiler duty = product enthalpies + condenser duty)
   close to 1e-9.
2. Fenske's equation (a hand calculation): at total reflux a column of N
   equilibrium stages splits the light key (propane) and the heavy key
   (isobutane) so that N = ln[(d/b)_LK (b/d)_HK] / ln(alpha), alpha the
   mean relative volatility of the keys (geometric mean of the top and the
   bottom, from dew and bubble points of the products). Run near total
   reflux (reflux ratio 100), the column's split must give N within 5 %.
"""
import math

import zelta

feed_fluid = zelta.Fluid({"ethane": 0.02, "propane": 0.30, "isobutane": 0.15, "n-butane": 0.25,
                          "isopentane": 0.10, "n-pentane": 0.10, "n-hexane": 0.08}, model="SRK")
feed = zelta.Flow.at(feed_fluid, 100.0, P=17e5, vapour_fraction=0.0)  # mol/s, bubble point at 17 bar
print("feed: %.1f mol/s, %.3f kg/s at %.2f K" % (feed.flow, feed.mass_flow, feed.state.T))

N = 22
design = zelta.column([(feed, 11)], stages=N, pressure=16e5, reflux_ratio=3.0, top_recovery={"propane": 0.95})
print("top:    %.2f mol/s at %.2f K, propane %.4f" % (design.top.flow, design.top.state.T,
                                                      design.top.fluid.composition["propane"]))
print("bottom: %.2f mol/s at %.2f K, isobutane recovered %.4f" % (design.bottom.flow, design.bottom.state.T,
                                                                  design.recovery("isobutane", "bottom")))
print("condenser %.3f MW removed, reboiler %.3f MW added" % (design.condenser_duty / 1e6, design.reboiler_duty / 1e6))
print("balances: material %.1e, energy %.1e" % (design.material_balance, design.energy_balance))
assert design.material_balance < 1e-9 and design.energy_balance < 1e-9
assert abs(design.recovery("propane") - 0.95) < 1e-6


def key_volatility(state):
    """K(propane) / K(isobutane) between the phases of a two-phase state."""
    y, x = state.phase("vapour").composition, state.phase("liquid").composition
    return (y["propane"] / x["propane"]) / (y["isobutane"] / x["isobutane"])


# Near total reflux with the same stages and the feed's propane-and-lighter share overhead.
total = zelta.column([(feed, 11)], stages=N, pressure=16e5, reflux_ratio=100.0, distillate_fraction=0.32)
lk, hk = total.recovery("propane"), total.recovery("isobutane")
alpha = math.sqrt(key_volatility(total.top.fluid.dew_point(P=16e5)) *
                  key_volatility(total.bottom.fluid.bubble_point(P=16e5)))
n_fenske = math.log(lk / (1 - lk) * (1 - hk) / hk) / math.log(alpha)
print("reflux 100: propane overhead %.5f, isobutane overhead %.5f, alpha %.3f -> Fenske N = %.2f (column %d)"
      % (lk, hk, alpha, n_fenske, N))
assert abs(n_fenske - N) < 0.05 * N
