// Invariants of an equilibrium state, checked independently of the engine's
// own convergence tests: material balance, equal fugacities, Gibbs energy
// not above that of the single-phase feed, and every phase stable by a
// tangent-plane test of its own (successive substitution from Wilson
// vapour- and liquid-like trials, every pure component and the other
// phases).  The fugacity models are those of the stream.
#pragma once

#include <string>
#include <vector>

#include "equilibrium/engine.h"

namespace robustness {

struct Tolerances {
    double balance = 1e-9;      // |sum beta x - z|
    double fugacity = 1e-9;     // |ln f^a - ln f^b|
    double gibbs = 1e-9;        // G/RT per mole above the single phase
    double tangentPlane = 1e-8; // tm below -this: the phase is unstable
};

// Which root a phase is evaluated on: its lower-Gibbs root (isothermal
// flash results) or the root of its kind (saturation points, where the
// incipient phase may be metastable on its own).
enum class RootRule { Stable, OfKind };

// "" when the state of stream system sys passes every invariant, else the
// first one it fails.
std::string invariantFailure(const zpk::engine::StreamSystem& sys, const zpk::EquilibriumCache& st,
                             RootRule rule, const Tolerances& tol = {});

// The smallest tangent-plane distance of phase composition x (evaluated on
// root) at (T, P) found from the trial starts above plus the extra starts.
double smallestTangentPlaneDistance(const zpk::equilibrium::FluidSystem& sys, double T, double P,
                                    const std::vector<double>& x,
                                    const std::vector<std::vector<double>>& extra, zpk::models::Root root);

} // namespace robustness
