// Phase-fraction points: the temperature at given pressure (or the pressure
// at given temperature) where the feed splits into a vapour of molar
// fraction beta and a liquid; beta = 1 is the dew point, beta = 0 the bubble
// point.  Newton's method on (ln K, ln T or ln P) from Wilson or supplied
// estimates (Michelsen's saturation-point formulation).
#pragma once

#include <vector>

#include "equilibrium/system.h"

namespace zpk::equilibrium {

struct SplitPoint {
    double T = 0, P = 0;
    double beta = 0;           // vapour fraction
    std::vector<double> x, y;  // liquid and vapour compositions
};

// Solves for T (solveT) or P at the fixed other variable.  pt.T / pt.P hold
// the fixed value and, when lnK is not empty, the estimate of the unknown.
// lnK: estimates of ln(y/x) or empty for Wilson's.  Returns false when no
// non-trivial solution was found.
bool solveSplitPoint(const FluidSystem& sys, const double* z, double beta, bool solveT, SplitPoint& pt,
                     std::vector<double> lnK = {});

}  // namespace zpk::equilibrium
