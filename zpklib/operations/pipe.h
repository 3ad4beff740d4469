// Steady flow of a stream through a straight pipe of constant diameter.
//
// The pipe is marched in equal segments.  Over each segment the pressure
// falls by friction (Darcy-Weisbach, Churchill's friction factor for all
// Reynolds numbers) and by the rise (hydrostatic head of the homogeneous
// fluid), and the energy balance h + u^2/2 + g z = const + q fixes the
// enthalpy (q: heat added per kg, spread evenly along the pipe).  The fluid
// is homogeneous and in phase equilibrium at every point; the viscosity of a
// two-phase fluid is the McAdams mass-fraction mean 1/mu = sum w_k / mu_k.
// Each segment is a predictor-corrector (Heun) step.
#pragma once

#include <memory>

#include "equilibrium/engine.h"

namespace zpk::operations {

struct PipeSpec {
    double length = 0;    // m
    double diameter = 0;  // m (inner)
    double roughness = 0; // m (absolute)
    double rise = 0;      // m, outlet above inlet
    double heat = 0;      // W, added to the fluid over the whole pipe
};

inline constexpr int kPipeSegments = 100;
inline constexpr double kGravity = 9.80665; // m/s2

// Darcy friction factor (Churchill 1977), laminar through turbulent.
double darcyFriction(double reynolds, double relativeRoughness);

// Viscosity (Pa s) of the homogeneous fluid of a state.
double homogeneousViscosity(const engine::StreamSystem& sys, const EquilibriumCache& st);

// Outlet state for a mass flow (kg/s); throws zpk::Error when the pipe cannot
// pass the flow (the pressure would fall to zero).
std::shared_ptr<EquilibriumCache> pipeOutlet(const engine::StreamSystem& sys, const EquilibriumCache& inlet,
                                             double massFlow, const PipeSpec& pipe);

} // namespace zpk::operations
