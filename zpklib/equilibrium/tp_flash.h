// Isothermal (T, P) multiphase flash: stability analysis, successive
// substitution with acceleration, then second-order Gibbs-energy minimisation.
#pragma once

#include <vector>

#include "equilibrium/system.h"

namespace zpk::equilibrium {

struct Phase {
    int kind = models::kVapour;  // 0 vapour, 1 liquid, 2 solid, 3 hydrate
    double beta = 1;             // mole fraction of the feed in this phase
    double v = 0;                // molar volume, m3/mol
    std::vector<double> x;       // composition
    int pureSolid = -1;          // solid of one component (its position), -1: solid solution
    int structure = -1;          // hydrate structure (0 I, 1 II)
};

struct FlashResult {
    std::vector<Phase> phases;  // vapour first, then liquids by increasing density
    int iterations = 0;
};

// Flash of the feed z (normalised internally) at T (K) and P (Pa).  Returns
// false, leaving result empty, when no converged state is found.
bool flashTP(const FluidSystem& sys, double T, double P, const double* z, FlashResult& result);

// The same flash started from the phases of a neighbouring state (guess: at
// least two fluid phases, e.g. the result at a nearby T or P): their
// equilibrium at (T, P) is solved first and then tested for stability as
// after the first split of the flash from the feed.  Falls back to flashTP
// when the guess is unusable or does not converge to two or more phases.
bool flashTPFrom(const FluidSystem& sys, double T, double P, const double* z, const std::vector<Phase>& guess,
                 FlashResult& result);

// Equilibrium between the given phases at (T, P) starting from their
// compositions and fractions (successive substitution, then Newton).
// Phases that vanish are removed.  Returns false when not converged.
bool solveEquilibrium(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& phases,
                      int* iterations = nullptr);

// Labels and orders converged phases: vapour first, liquids by increasing mass density.
void orderPhases(const FluidSystem& sys, double T, double P, std::vector<Phase>& phases);

}  // namespace zpk::equilibrium
