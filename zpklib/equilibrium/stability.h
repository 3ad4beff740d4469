// Tangent-plane stability analysis (Michelsen 1982).
#pragma once

#include <cstddef>
#include <vector>

#include "equilibrium/system.h"

namespace zpk::equilibrium {

// Tests the phase of composition z whose fugacity terms are
// d_i = ln z_i + ln phi_i(z).  Trial phases: Wilson vapour-like and
// liquid-like, and pure-component trials (every component for small systems,
// water whenever the feed holds it).  Returns the smallest tangent-plane
// distance found; w receives that trial's normalised composition.
double stabilityTest(const FluidSystem& sys, double T, double P, const double* z, const double* d,
                     std::vector<double>& w);

// Minimises the tangent-plane distance from the start w (unnormalised on
// entry, normalised on return).  Returns tm, or +inf when the trial collapsed
// onto the reference composition or, when known points are given (count,
// normalised compositions), onto one of them (a stationary point another
// trial found).  A trial stops once its ln W move by less than 1e-6 with
// |tm| above 1e-6 (the sign is decided; the composition only starts a
// split), else when the substitution has converged to rounding.
double minimiseTangentPlane(const FluidSystem& sys, double T, double P, const double* z, const double* d,
                            std::vector<double>& w, const std::vector<double>* known = nullptr,
                            std::size_t knownCount = 0);

} // namespace zpk::equilibrium
