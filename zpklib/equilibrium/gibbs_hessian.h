// The Newton matrix of the isothermal flash, shared by the flash and by the
// equilibrium slopes of the state-function flashes.
#pragma once

#include <Eigen/Dense>
#include <vector>

#include "models/phase_model.h"

namespace zpk::equilibrium {

// Hessian of the Gibbs energy / RT in the mole numbers of phases 1..p-1
// (phase 0 takes the rest of the feed), over the components present in the
// feed z, whose indices are written to act: block (k, l) is
// A^0 + [k == l] A^k, A^k_ij = d ln f_i / d n_j within phase k holding
// beta_k moles.  ph[k] has beta and x; pr[k] holds its composition
// derivatives of ln phi (order 1).
template <class PhaseList>
void gibbsHessian(const PhaseList& ph, const std::vector<models::PhaseProps>& pr, const double* z, int n,
                  std::vector<int>& act, Eigen::MatrixXd& H) {
    const int p = static_cast<int>(ph.size());
    act.clear();
    for (int i = 0; i < n; ++i)
        if (z[i] > 0) act.push_back(i);
    const int m = static_cast<int>(act.size());
    // A^k without its diagonal term, and the diagonal 1 / (beta_k x_i) apart.
    thread_local std::vector<double> Ak, diag;
    Ak.resize(static_cast<std::size_t>(p) * m * m);
    diag.resize(static_cast<std::size_t>(p) * m);
    for (int k = 0; k < p; ++k) {
        const double inv = 1.0 / ph[k].beta;
        const double* dn = pr[k].dlnphi_dn.data();
        double* a = Ak.data() + static_cast<std::size_t>(k) * m * m;
        for (int r = 0; r < m; ++r) {
            const int i = act[r];
            diag[static_cast<std::size_t>(k) * m + r] = inv / ph[k].x[i];
            for (int c = 0; c < m; ++c)
                a[r * m + c] = (dn[static_cast<std::size_t>(i) * n + act[c]] - 1.0) * inv;
        }
    }
    H.resize((p - 1) * m, (p - 1) * m);
    const double* a0 = Ak.data();
    for (int k = 1; k < p; ++k)
        for (int l = 1; l < p; ++l) {
            const double* ak = Ak.data() + static_cast<std::size_t>(k) * m * m;
            for (int r = 0; r < m; ++r)
                for (int c = 0; c < m; ++c) {
                    double h = a0[r * m + c] + (k == l ? ak[r * m + c] : 0.0);
                    if (r == c) h += diag[r] + (k == l ? diag[static_cast<std::size_t>(k) * m + r] : 0.0);
                    H((k - 1) * m + r, (l - 1) * m + c) = h;
                }
        }
}

} // namespace zpk::equilibrium
