// The corresponding-states method of Chung, Ajlan, Lee and Starling (Ind.
// Eng. Chem. Res. 27 (1988) 671) for the viscosity and thermal conductivity
// of gases and dense fluids, pure or mixed.  Its inputs are critical
// temperature and volume, acentric factor, molar mass, dipole moment and an
// association factor kappa per component, plus temperature and molar density
// of the phase (and, for conductivity, its ideal-gas heat capacity).  The
// mixing rules are Chung's one-fluid rules (van der Waals-type averages of
// the Lennard-Jones-like size and energy parameters, no binary corrections).
// Typical accuracy: dilute gases 1-3 %; dense gases and supercritical fluids
// 5-10 %; liquids 10-30 % (better for light, non-polar liquids).
#pragma once

#include <vector>

namespace zpk::transport {

struct ChungComponent {
    double tc = 0;     // K
    double vc = 0;     // m3/kmol (= cm3/mol / 1000)
    double omega = 0;  // -
    double mw = 0;     // kg/kmol
    double dipole = 0; // debye
    double kappa = 0;  // association factor (0 for non-polar and most polar fluids)
};

// One-fluid pseudo component of a mixture (or a pure component).
struct ChungFluid {
    double tc = 0, vc = 0, omega = 0, mw = 0; // K, cm3/mol, -, g/mol
    double mur = 0, kappa = 0;                // reduced dipole moment, association factor
    double fc = 0;                            // shape and polarity factor
};

// Mixing rules; x need not be normalised (zero fractions are skipped).
ChungFluid chungMix(const std::vector<ChungComponent>& comps, const double* x);

// Viscosity, Pa s, at T (K) and molar density rho (mol/m3).
double chungViscosity(const ChungFluid& f, double T, double rho);
// Thermal conductivity, W/(m K), at T (K), molar density rho (mol/m3) and
// the ideal-gas isochoric heat capacity cv0 (J/(mol K)).
double chungConductivity(const ChungFluid& f, double T, double rho, double cv0);

} // namespace zpk::transport
