// Verification of equilibrium results before they are returned: every
// iterative calculation (phase-fraction points, state-function flashes,
// critical points, envelope extrema) hands its answer to these checks and
// fails instead of returning a state that is not what it claims to be.
//
// The checks re-evaluate the fugacity models once per phase and root, which
// is cheap next to the iterations that produced the state.
#pragma once

#include <string>
#include <vector>

#include "equilibrium/system.h"

namespace zpk::equilibrium {

// Largest difference of ln f_i between two coexisting fluid phases.
inline constexpr double kFugacityTolerance = 1e-9;
// Largest difference between sum_k beta_k x_ik and z_i (both normalised).
inline constexpr double kBalanceTolerance = 1e-9;
// Two phases of one composition are distinct only when their molar
// volumes differ by more than this relative amount (pure components).
inline constexpr double kDistinctVolume = 1e-6;
// Two phases are distinct when sum_i (ln x_i^a - ln x_i^b)^2 exceeds this.
inline constexpr double kDistinctComposition = 1e-8;

struct CheckedPhase {
    int kind = models::kVapour; // 0 vapour, 1 liquid, 2 solid (solids enter the balance only)
    double beta = 0;            // mole fraction of the feed
    const std::vector<double>* x = nullptr;
};

// What is wrong with the state (T, P, phases) of feed z ("" when nothing):
// the material balance, equal fugacities of every pair of fluid phases (each
// phase on the root of its model that matches the other phase best) and
// distinct phases (no trivial split).  Phases with zero fraction (incipient
// phases) take part in the fugacity and distinctness checks.
// fugacityTolerance: largest accepted |ln f^a - ln f^b|.
std::string equilibriumDefect(const FluidSystem& sys, double T, double P, const double* z,
                              const std::vector<CheckedPhase>& phases,
                              double fugacityTolerance = kFugacityTolerance);

// Tangent-plane distance of the feed z at (T, P) towards a trial phase
// started from w (one minimisation): negative when a phase near w would
// lower the Gibbs energy, +inf when the trial collapses onto the feed.
double trialDistance(const FluidSystem& sys, double T, double P, const double* z, std::vector<double> w);

} // namespace zpk::equilibrium
