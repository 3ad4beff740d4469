// Viscosity, thermal conductivity and surface tension of fluid phases.
//
// Method selection (docs/transport.md gives the reasons and accuracies):
// - a phase of pure water (CAS 7732-18-5): the IAPWS formulations of
//   transport/water.h at the phase's temperature and density;
// - a liquid of which at least half (mole fraction) are components below
//   their critical temperature with liquid correlations (DIPPR forms of the
//   component database): viscosity from the log-mole-fraction average
//   (Grunberg-Nissan without interaction term) of the saturated-liquid
//   viscosities with the Lucas compressed-liquid correction; conductivity
//   from the Li mixing rule; the remaining components (solutes, typically
//   supercritical) enter with Chung's value of the pure component at the
//   liquid's packing fraction;
// - every other phase (gases, dense and supercritical fluids, liquids with
//   more solutes): Chung et al. (1988) at the phase's
//   density; for such liquids corrected by the ratio of correlated to Chung
//   values of their subcritical components (liquidCorrection);
// - surface tension: IAPWS 1994 for water; Weinaug-Katz (Macleod-Sugden with
//   parachors) with the equilibrium vapour and liquid densities; otherwise a
//   quarter-power mole-fraction average of the pure-component surface
//   tensions at T (DIPPR correlation, else Brock-Bird).
// All values SI: K, Pa, mol, m3, Pa s, W/(m K), N/m.
#pragma once

#include <functional>
#include <vector>

#include "components/database.h"

namespace zpk::transport {

using Components = std::vector<const components::Component*>;

// One fluid phase as the transport methods see it.
struct Phase {
    int kind = 0;          // 0 vapour-like, 1 liquid-like
    double T = 0, P = 0;   // K, Pa
    std::vector<double> x; // mole fractions (need not be normalised)
    double v = 0;          // molar volume, m3/mol
    double cv0 = 0;        // ideal-gas isochoric heat capacity, J/(mol K)
    double mw = 0;         // molar mass of the phase, kg/kmol (0: from the components' database values)
    // Optional: molar volume (m3/mol) that the phase's own volume model gives
    // pure component i as a liquid at (T, p).  With it, Chung's method for a
    // liquid outside the correlation path is evaluated at the phase density
    // corrected by the model's volume bias on the subcritical components
    // (liquidDensityScale), since the method is very sensitive to density.
    std::function<double(int, double)> pureLiquidVolume;
};

double viscosity(const Components& comps, const Phase& ph);
double conductivity(const Components& comps, const Phase& ph);
// Surface tension between the liquid and the vapour (either may be null):
// 0 when there is no liquid or the liquid is above its critical temperature.
double surfaceTension(const Components& comps, const Phase* vapour, const Phase* liquid);

// Building blocks (exposed for tests).
// Index of water when the composition is pure water, else -1.
int pureWaterIndex(const Components& comps, const std::vector<double>& x);
// Pure-component surface tension, N/m (0 at and above Tc, NaN when unknown).
double pureSurfaceTension(const components::Component& c, double T);
// Correlation-based liquid viscosity / conductivity; NaN when not applicable.
double correlatedLiquidViscosity(const Components& comps, const Phase& ph);
double correlatedLiquidConductivity(const Components& comps, const Phase& ph);
// Factor applied to Chung's value for a liquid outside the correlation
// path: exp(sum x_i ln r_i), r_i the ratio of the correlated to Chung's
// value of subcritical component i at its saturated-liquid density.
double liquidCorrection(const Components& comps, const Phase& ph, bool forViscosity);
// Ratio of the model to the database liquid volumes, sum x_i V_model,i /
// sum x_i V_db,i over the subcritical components with a saturated-density
// correlation (model volumes at the phase pressure, raised to 1.05 times the
// component's vapour pressure where that is higher, so that the pure
// component is liquid); 1 without pureLiquidVolume or without such
// components; kept within [0.7, 1.4].
double liquidDensityScale(const Components& comps, const Phase& ph);
// Chung et al. for the phase (any kind).
double chungPhaseViscosity(const Components& comps, const Phase& ph);
double chungPhaseConductivity(const Components& comps, const Phase& ph);

} // namespace zpk::transport
