// Critical points of mixtures (Heidemann and Khalil 1980, in the reduced
// formulation of Michelsen 1980): at (T, V) the matrix
//   Q_ij = sqrt(z_i z_j) d2(A/RT)/dn_i dn_j
// has a zero eigenvalue and the cubic form along its eigenvector vanishes.
// Works for any phase model that provides residual Helmholtz derivatives.
#pragma once

#include <vector>

#include "models/phase_model.h"

namespace zpk::equilibrium {

struct CriticalPoint {
    double T = 0, P = 0, V = 0;  // K, Pa, m3/mol
};

// All critical points found for composition z (normalised internally),
// ordered by increasing temperature.  Empty when the model has no
// Helmholtz form or none exists.
std::vector<CriticalPoint> criticalPoints(const models::PhaseModel& model, const double* z, int n);

}  // namespace zpk::equilibrium
