// Solid phases in the isothermal flash.  Starting from the converged fluid
// equilibrium, solids are added where they lower the Gibbs energy:
//   * pure solids: solid i is stable against the fluid when its fugacity
//     f_i^S(T, P) is below the fugacity of i in the fluid;
//   * a solid solution: the tangent-plane distance of the ideal solid,
//     1 - sum_i f_i / f_i^S, is negative.
// The fluid and solid phases then share one successive-substitution loop:
// the multiphase split (Michelsen 1994) runs over all phases, a solid phase
// carrying ln phi = kNoSolid for the components that cannot be in it, so it
// takes up only traces of them.  Fluid stability is tested again after each
// solid change (a liquid may vanish or appear), within the stream's limit of
// fluid phases.
#pragma once

#include <vector>

#include "equilibrium/system.h"
#include "equilibrium/tp_flash.h"

namespace zpk::equilibrium {

// Adds, removes and equilibrates solid phases (kind 2) given the converged
// fluid phases of feed z (normalised).  Returns false when no equilibrium is
// found.  Does nothing when sys.solid is null.
bool addSolidPhases(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& phases,
                    int* iterations = nullptr);

} // namespace zpk::equilibrium
