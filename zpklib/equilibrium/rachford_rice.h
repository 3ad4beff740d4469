// Phase-split equations at given fugacity coefficients.
#pragma once

#include <limits>
#include <vector>

namespace zpk::equilibrium {

// Two-phase Rachford-Rice: vapour fraction beta solving sum z (K-1)/(1+beta(K-1)) = 0
// inside the window of Leibovici and Neoschil, by safeguarded Newton on the
// convex form of Leibovici and Nichita.  Returns beta, which may lie outside
// [0, 1] (negative flash) when allowNegative; otherwise it is clamped to [0, 1].
// Newton's method starts from start when that lies inside the window (a
// previous solution), else from the window's middle.
double rachfordRice(const double* z, const double* K, int n, bool allowNegative = false,
                    double start = std::numeric_limits<double>::quiet_NaN());

// Multiphase split (Michelsen 1994): minimises the convex function
// Q(beta) = sum beta_k - sum_i z_i ln(sum_k beta_k theta_ik), theta_ik = 1 / phi_ik,
// over beta_k >= 0.  lnphi[k * n + i]; beta holds a start on entry (may be empty)
// and the solution on return; x[k * n + i] receives the phase compositions.
// Returns false when it does not converge.
bool multiphaseSplit(const double* z, const double* lnphi, int n, int phases, std::vector<double>& beta,
                     std::vector<double>& x);

} // namespace zpk::equilibrium
