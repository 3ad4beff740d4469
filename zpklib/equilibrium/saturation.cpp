#include "equilibrium/saturation.h"

#include <Eigen/Dense>
#include <cmath>

namespace zpk::equilibrium {

using models::PhaseProps;
using models::Root;

namespace {

// Newton iterations of one start at most, and the rule that gives up a start
// that wanders: after kStallFrom iterations, one whose residual has not
// reached a new low in the last kStallWindow iterations.  Starts far from a
// solution walk there in steps limited in length, the residual falling
// steadily (a cold start reaching the water dew point of a wet gas takes 77
// iterations) or only after a detour (a mixture of methane and hydrogen
// sulfide: 47 iterations above its lowest residual before it converged, 54 in
// all); without a solution the iterates circle with the residual stuck
// (methane with helium below its bubble pressure) until the cap.
constexpr int kMaxIterations = 100;
constexpr int kStallFrom = 50;
constexpr int kStallWindow = 20;

// ln T (or ln P) where the Rachford-Rice residual at fixed beta vanishes for
// Wilson's K-values; bisection (the residual is monotone in both).
double wilsonEstimate(const FluidSystem& sys, const double* z, double beta, bool solveT, double fixed) {
    const int n = sys.size();
    auto g = [&](double u) {
        const double T = solveT ? std::exp(u) : fixed, P = solveT ? fixed : std::exp(u);
        double s = 0;
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            const double K = std::exp(sys.lnWilsonK(i, T, P));
            s += z[i] * (K - 1) / (1 + beta * (K - 1));
        }
        return solveT ? s : -s; // increasing in u either way
    };
    double lo = solveT ? std::log(20.0) : std::log(1.0), hi = solveT ? std::log(5000.0) : std::log(1e10);
    if (g(lo) > 0) return lo;
    if (g(hi) < 0) return hi;
    for (int it = 0; it < 100; ++it) {
        const double mid = 0.5 * (lo + hi);
        (g(mid) > 0 ? hi : lo) = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

bool solveSplitPoint(const FluidSystem& sys, const double* z, double beta, bool solveT, SplitPoint& pt,
                     std::vector<double> lnK) {
    const int n = sys.size();
    std::vector<int> act;
    for (int i = 0; i < n; ++i)
        if (z[i] > 0) act.push_back(i);
    const int m = static_cast<int>(act.size());
    const double fixed = solveT ? pt.P : pt.T;
    double u; // ln of the unknown
    if (static_cast<int>(lnK.size()) != n) {
        u = wilsonEstimate(sys, z, beta, solveT, fixed);
        lnK.assign(n, 0.0);
        const double T = solveT ? std::exp(u) : fixed, P = solveT ? fixed : std::exp(u);
        for (int i = 0; i < n; ++i)
            lnK[i] = sys.lnWilsonK(i, T, P);
    } else {
        u = std::log(solveT ? pt.T : pt.P);
    }
    std::vector<double> x(n, 0.0), y(n, 0.0);
    PhaseProps pv, pl;
    const int dim = m + 1;
    // Residuals, Jacobian (its last diagonal element, the sum's derivative in
    // the unknown, stays 0), its factors and the step, kept over the
    // iterations.
    Eigen::VectorXd F(dim), du(dim);
    Eigen::MatrixXd J = Eigen::MatrixXd::Zero(dim, dim);
    Eigen::PartialPivLU<Eigen::MatrixXd> lu(dim);
    double lastNorm = 1e300;
    double lowestNorm = 1e300;
    int lowestAt = 0;
    for (int it = 0; it < kMaxIterations; ++it) {
        const double T = solveT ? std::exp(u) : fixed, P = solveT ? fixed : std::exp(u);
        for (int i : act) {
            const double K = std::exp(lnK[i]);
            x[i] = z[i] / (1 + beta * (K - 1));
            y[i] = K * x[i];
        }
        double sx = 0, sy = 0;
        for (int i : act) {
            sx += x[i];
            sy += y[i];
        }
        if (!evalPhase(sys, T, P, y.data(), Root::Vapour, 1, pv) ||
            !evalPhase(sys, T, P, x.data(), Root::Liquid, 1, pl))
            return false;
        for (int a = 0; a < m; ++a) {
            const int i = act[a];
            F(a) = lnK[i] + pv.lnphi[i] - pl.lnphi[i];
            for (int b = 0; b < m; ++b) {
                const int j = act[b];
                const double xy = x[j] * y[j] / z[j];
                J(a, b) = (a == b ? 1.0 : 0.0) + pv.dlnphi_dn[i * n + j] / sy * (1 - beta) * xy +
                          pl.dlnphi_dn[i * n + j] / sx * beta * xy;
            }
            J(a, m) =
                solveT ? T * (pv.dlnphi_dT[i] - pl.dlnphi_dT[i]) : P * (pv.dlnphi_dP[i] - pl.dlnphi_dP[i]);
        }
        F(m) = sy - sx;
        for (int b = 0; b < m; ++b)
            J(m, b) = x[act[b]] * y[act[b]] / z[act[b]];
        const double norm = F.cwiseAbs().maxCoeff();
        if (!std::isfinite(norm)) return false;
        if (norm < 1e-10) {
            // A non-trivial split needs distinct phases (one component: distinct
            // roots); near-trivial "solutions" next to a critical point are rejected.
            double d = 0;
            for (int i : act)
                d += lnK[i] * lnK[i];
            if (m > 1 && d < 1e-6) return false;
            if (m == 1 && std::fabs(pv.v - pl.v) < 1e-6 * pv.v) return false;
            pt.T = T;
            pt.P = P;
            pt.beta = beta;
            pt.x.assign(n, 0.0);
            pt.y.assign(n, 0.0);
            for (int i : act) {
                pt.x[i] = x[i] / sx;
                pt.y[i] = y[i] / sy;
            }
            return true;
        }
        if (norm < lowestNorm) {
            lowestNorm = norm;
            lowestAt = it;
        } else if (it >= kStallFrom && it - lowestAt >= kStallWindow) {
            return false;
        }
        lu.compute(J);
        du = lu.solve(-F);
        if (!du.allFinite()) return false;
        // Limit the step of the unknown and of the K-values.
        double scale = 1.0;
        if (std::fabs(du(m)) > 0.1) scale = 0.1 / std::fabs(du(m));
        for (int a = 0; a < m; ++a)
            if (std::fabs(du(a)) * scale > 2.0) scale = 2.0 / std::fabs(du(a));
        if (norm > 10 * lastNorm && it > 5) return false;
        lastNorm = norm;
        for (int a = 0; a < m; ++a)
            lnK[act[a]] += scale * du(a);
        u += scale * du(m);
        if (m > 1) {
            double d = 0;
            for (int i : act)
                d += lnK[i] * lnK[i];
            if (d < 1e-12) return false; // collapsed onto the trivial solution
        }
    }
    return false;
}

} // namespace zpk::equilibrium
