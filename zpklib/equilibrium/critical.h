// Critical points of a mixture of fixed composition (Heidemann and Khalil
// 1980, in the reduced formulation of Michelsen 1980; see docs/critical.md).
//
// A critical point is a state (T, V) on the stability limit, where the
// smallest eigenvalue of the scaled Hessian of the Helmholtz energy
//     M_ij = delta_ij + sqrt(z_i z_j) d2(A_res/RT)/dn_i dn_j     (T, V fixed)
// is zero, and where the cubic form of A/RT along the corresponding
// eigenvector vanishes as well.  The search walks the volume axis, finds the
// stability-limit temperature at each volume and locates every sign change
// of the cubic form, so mixtures with several critical points on the
// highest-temperature stability limit report all of them.
//
// Works for every phase model that offers residualDerivatives() and
// volumeScale() (the equations of state).
#pragma once

#include <limits>
#include <vector>

#include "equilibrium/system.h"
#include "models/phase_model.h"

namespace zpk::equilibrium {

struct CriticalPoint {
    double T = 0, P = 0, V = 0; // K, Pa, m3/mol
    // False when the feed at (T, P) is unstable (a phase split lowers its
    // Gibbs energy): such a point lies inside the two-phase region and
    // cannot be observed.  Set by orderByStability.
    bool stable = true;
};

struct CriticalSearch {
    int volumeSteps = 48;         // grid points on the volume axis
    double minVolumeRatio = 1.15; // V / volumeScale at the dense end of the grid
    double maxVolumeRatio = 25;   // V / volumeScale at the dilute end
    // The stability limit is searched downwards from twice this temperature
    // (K); 0: found from the model.  The largest critical temperature of the
    // components present is a good choice.
    double temperatureScale = 0;
};

// All critical points of composition z (n entries, need not be normalised;
// zero entries are left out), ordered by increasing temperature.  Points
// with a non-positive pressure are dropped.  Empty when the model is no
// equation of state or the composition is empty.
std::vector<CriticalPoint> criticalPoints(const models::PhaseModel& model, const double* z, int n,
                                          const CriticalSearch& search = {});

// Tests the feed at every point with the tangent-plane analysis of sys
// (whose fluid models must be the one the points were found with) and
// orders the points: stable ones first, each group by increasing temperature.
void orderByStability(const FluidSystem& sys, const double* z, std::vector<CriticalPoint>& points);

// Quantities of the search at one state, for tests: the smallest eigenvalue
// of M at (T, V) for one mole of composition z, and the stability-limit
// temperature at V (NaN when there is none), searched from the expected
// limit hint as on the volume grid, or without one.
double smallestEigenvalue(const models::PhaseModel& model, const double* z, int n, double T, double V);
double stabilityLimitTemperature(const models::PhaseModel& model, const double* z, int n, double V,
                                 double hint = std::numeric_limits<double>::quiet_NaN());

} // namespace zpk::equilibrium
