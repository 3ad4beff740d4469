// The fluid system an equilibrium calculation works on: the phase models of a
// stream's components plus the constants the algorithms need for their
// starting values.  Algorithms are generic over the phase models.
#pragma once

#include <array>
#include <vector>

#include "models/phase_model.h"

namespace zpk::hydrate {
class HydratePhaseModel;
}

namespace zpk::equilibrium {

struct FluidSystem {
    const models::PhaseModel* vapour = nullptr;  // model of the vapour phase
    const models::PhaseModel* liquid = nullptr;  // model of the liquid phases (may equal vapour)
    std::vector<double> tc, pc, omega, mw;       // K, Pa, -, kg/kmol
    int maxPhases = 2;                           // 3 when a second liquid is allowed
    int water = -1;                              // position of water, -1 when absent
    // Solid phases the isothermal flash may form (nullptr: none): pure
    // solids of the freezing components, or one solid solution.
    const models::PhaseModel* solid = nullptr;
    bool solidSolution = false;
    // Hydrate phases of structures I and II the isothermal flash may form
    // (nullptr: none; see equilibrium/hydrate_phase.h).
    std::array<const hydrate::HydratePhaseModel*, 2> hydrate{};
    bool hydratesAllowed() const { return hydrate[0] != nullptr; }

    int size() const { return static_cast<int>(tc.size()); }
    // Wilson's estimate ln K_i = ln(Pc/P) + 5.373 (1 + omega)(1 - Tc/T).
    double lnWilsonK(int i, double T, double P) const;
};

// Evaluates the fluid phase of composition x on the branch with the lower
// Gibbs energy (or the requested branch), choosing between the vapour and the
// liquid model when they differ.  Returns false when neither can be evaluated.
bool evalPhase(const FluidSystem& sys, double T, double P, const double* x, models::Root root, int order,
               models::PhaseProps& out);

}  // namespace zpk::equilibrium
