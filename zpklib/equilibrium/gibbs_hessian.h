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
    auto A = [&](int k, int a, int b) {
        const int i = act[a], j = act[b];
        const double nk = ph[k].beta;
        return ((a == b) ? 1.0 / (nk * ph[k].x[i]) : 0.0) - 1.0 / nk + pr[k].dlnphi_dn[i * n + j] / nk;
    };
    H.resize((p - 1) * m, (p - 1) * m);
    for (int k = 1; k < p; ++k)
        for (int a = 0; a < m; ++a)
            for (int l = 1; l < p; ++l)
                for (int b = 0; b < m; ++b)
                    H((k - 1) * m + a, (l - 1) * m + b) = A(0, a, b) + (k == l ? A(k, a, b) : 0.0);
}

} // namespace zpk::equilibrium
