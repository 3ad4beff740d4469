#include "equilibrium/rachford_rice.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zpk::equilibrium {

double rachfordRice(const double* z, const double* K, int n, bool allowNegative, double start) {
    auto f = [&](double b, double* df) {
        double s = 0, d = 0;
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            const double km = K[i] - 1.0;
            const double t = km / (1.0 + b * km);
            s += z[i] * t;
            d -= z[i] * t * t;
        }
        if (df) *df = d;
        return s;
    };
    // Window of physically admissible beta (all phase fractions positive).
    double lo = -std::numeric_limits<double>::infinity(), hi = std::numeric_limits<double>::infinity();
    bool anyAbove = false, anyBelow = false;
    for (int i = 0; i < n; ++i) {
        if (z[i] <= 0) continue;
        if (K[i] > 1.0) {
            anyAbove = true;
            lo = std::max(lo, (K[i] * z[i] - 1.0) / (K[i] - 1.0));
        } else if (K[i] < 1.0) {
            anyBelow = true;
            hi = std::min(hi, (1.0 - z[i]) / (1.0 - K[i]));
        }
    }
    if (!anyAbove) return 0.0;
    if (!anyBelow) return 1.0;
    if (!allowNegative) {
        if (f(0.0, nullptr) <= 0) return 0.0;
        if (f(1.0, nullptr) >= 0) return 1.0;
        lo = std::max(lo, 0.0);
        hi = std::min(hi, 1.0);
    }
    double b = (start > lo && start < hi) ? start : 0.5 * (lo + hi);
    for (int it = 0; it < 200; ++it) {
        double df;
        const double v = f(b, &df);
        if (v > 0)
            lo = b;
        else
            hi = b;
        if (v == 0) return b;
        const double step = v / df;
        // Converged: checked before the bracket, since a step below the
        // rounding of b leaves b on the bracket's end.
        if (std::fabs(step) < 1e-15 * std::max(1.0, std::fabs(b))) return b - step;
        double nb = b - step;
        if (!(nb > lo && nb < hi)) nb = 0.5 * (lo + hi);
        if (std::fabs(nb - b) < 1e-15 * std::max(1.0, std::fabs(b))) return nb;
        b = nb;
        if (hi - lo < 1e-16) break;
    }
    return b;
}

namespace {

// Two phases and sum z = 1: the minimum of Q lies on beta_0 + beta_1 = 1
// (stationarity gives sum beta = sum z, a phase at zero leaves the other at
// one), where dQ/dbeta_1 - dQ/dbeta_0 = 0 is the Rachford-Rice equation in
// K_i = phi_i0 / phi_i1: the same minimum without a logarithm per step.
// False when it does not apply (then the general minimisation runs).
bool twoPhaseSplit(const double* z, const double* lnphi, int n, std::vector<double>& beta,
                   std::vector<double>& x) {
    thread_local std::vector<double> K;
    K.resize(n);
    double zs = 0;
    for (int i = 0; i < n; ++i) {
        if (z[i] <= 0) {
            K[i] = 1.0;
            continue;
        }
        zs += z[i];
        K[i] = std::exp(lnphi[i] - lnphi[n + i]);
        if (!(K[i] > 0) || !std::isfinite(K[i])) return false;
    }
    if (std::fabs(zs - 1.0) > 1e-12) return false;
    const double start = beta.size() == 2 ? beta[1] : std::numeric_limits<double>::quiet_NaN();
    const double b = rachfordRice(z, K.data(), n, false, start);
    beta.assign({1.0 - b, b});
    x.assign(static_cast<std::size_t>(2) * n, 0.0);
    double s0 = 0, s1 = 0;
    for (int i = 0; i < n; ++i) {
        if (z[i] <= 0) continue;
        const double x0 = z[i] / (1.0 + b * (K[i] - 1.0));
        x[i] = x0;
        x[n + i] = K[i] * x0;
        s0 += x[i];
        s1 += x[n + i];
    }
    for (int i = 0; i < n; ++i) {
        x[i] /= s0;
        x[n + i] /= s1;
    }
    return true;
}

// Solves A s = -g for a small symmetric positive definite A (m x m, row
// major, overwritten) by LDL^T without pivoting.  False when m is large or
// a pivot is not clearly positive (then the pivoting factorisation runs).
bool solveSmallDefinite(int m, double* A, const double* g, double* s) {
    constexpr int kMax = 8;
    if (m > kMax) return false;
    double scale = 0;
    for (int k = 0; k < m; ++k)
        scale = std::max(scale, A[k * m + k]);
    if (!(scale > 0) || !std::isfinite(scale)) return false;
    double D[kMax];
    for (int j = 0; j < m; ++j) {
        double d = A[j * m + j];
        for (int k = 0; k < j; ++k)
            d -= A[j * m + k] * A[j * m + k] * D[k];
        if (!(d > 1e-12 * scale)) return false;
        D[j] = d;
        for (int i = j + 1; i < m; ++i) {
            double v = A[i * m + j];
            for (int k = 0; k < j; ++k)
                v -= A[i * m + k] * A[j * m + k] * D[k];
            A[i * m + j] = v / d;
        }
    }
    for (int i = 0; i < m; ++i) {
        double v = -g[i];
        for (int k = 0; k < i; ++k)
            v -= A[i * m + k] * s[k];
        s[i] = v;
    }
    for (int i = m - 1; i >= 0; --i) {
        double v = s[i] / D[i];
        for (int k = i + 1; k < m; ++k)
            v -= A[k * m + i] * s[k];
        s[i] = v;
    }
    for (int i = 0; i < m; ++i)
        if (!std::isfinite(s[i])) return false;
    return true;
}

} // namespace

bool multiphaseSplit(const double* z, const double* lnphi, int n, int phases, std::vector<double>& beta,
                     std::vector<double>& x) {
    const int p = phases;
    if (p == 2 && twoPhaseSplit(z, lnphi, n, beta, x)) return true;
    // theta scaled per component so that the largest equals one (invariant minimiser).
    thread_local std::vector<double> th, E, w1, w2;
    th.resize(static_cast<std::size_t>(p) * n);
    E.resize(n);
    w1.resize(n);
    w2.resize(n);
    for (int i = 0; i < n; ++i) {
        double mn = lnphi[i];
        for (int k = 1; k < p; ++k)
            mn = std::min(mn, lnphi[k * n + i]);
        for (int k = 0; k < p; ++k)
            th[k * n + i] = std::exp(mn - lnphi[k * n + i]);
    }
    if (static_cast<int>(beta.size()) != p) beta.assign(p, 1.0 / p);
    for (double& b : beta)
        b = std::max(b, 0.0);
    double bs = 0;
    for (double b : beta)
        bs += b;
    if (!(bs > 0)) beta.assign(p, 1.0 / p);
    auto Q = [&](const std::vector<double>& b) {
        double q = 0;
        for (int k = 0; k < p; ++k)
            q += b[k];
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            double e = 0;
            for (int k = 0; k < p; ++k)
                e += b[k] * th[k * n + i];
            if (!(e > 0)) return std::numeric_limits<double>::infinity();
            q -= z[i] * std::log(e);
        }
        return q;
    };
    bool converged = false;
    // Per-thread workspace: no heap allocation per iteration once sized.
    thread_local std::vector<char> freeSet;
    thread_local std::vector<double> trial, small;
    thread_local std::vector<int> idx;
    thread_local Eigen::VectorXd g, gf, step;
    thread_local Eigen::MatrixXd H, Hf;
    thread_local Eigen::LDLT<Eigen::MatrixXd> ldlt;
    freeSet.assign(p, 1);
    trial.resize(p);
    bool haveQ = false;
    double qBeta = 0;
    g.resize(p);
    H.resize(p, p);
    for (int it = 0; it < 200; ++it) {
        for (int i = 0; i < n; ++i) {
            E[i] = 0;
            for (int k = 0; k < p; ++k)
                E[i] += beta[k] * th[k * n + i];
        }
        // g_k = 1 - sum z th_k / E, H_kl = sum z th_k th_l / E^2.
        for (int i = 0; i < n; ++i) {
            w1[i] = z[i] > 0 ? z[i] / E[i] : 0.0;
            w2[i] = z[i] > 0 ? w1[i] / E[i] : 0.0;
        }
        for (int k = 0; k < p; ++k) {
            const double* tk = th.data() + static_cast<std::size_t>(k) * n;
            double s = 0;
            for (int i = 0; i < n; ++i)
                if (z[i] > 0) s += w1[i] * tk[i];
            g(k) = 1.0 - s;
            for (int l = 0; l <= k; ++l) {
                const double* tl = th.data() + static_cast<std::size_t>(l) * n;
                double h = 0;
                for (int i = 0; i < n; ++i)
                    if (z[i] > 0) h += w2[i] * tk[i] * tl[i];
                H(k, l) = H(l, k) = h;
            }
        }
        // Active set: a phase at zero with a positive gradient stays at zero.
        // A phase left with a rounding-level amount (below 1e-15 of the
        // total) and a positive gradient is put at zero: a step towards zero
        // from there is too short to lower Q measurably.
        double bsum = 0;
        for (int k = 0; k < p; ++k)
            bsum += beta[k];
        for (int k = 0; k < p; ++k)
            if (beta[k] > 0 && beta[k] < 1e-15 * bsum && g(k) > 0) beta[k] = 0;
        double gmax = 0;
        for (int k = 0; k < p; ++k) {
            freeSet[k] = !(beta[k] <= 0 && g(k) >= 0);
            if (freeSet[k]) gmax = std::max(gmax, std::fabs(g(k)));
        }
        if (gmax < 1e-14) {
            converged = true;
            break;
        }
        idx.clear();
        for (int k = 0; k < p; ++k)
            if (freeSet[k]) idx.push_back(k);
        const int m = static_cast<int>(idx.size());
        Hf.resize(m, m);
        gf.resize(m);
        step.resize(m);
        small.resize(static_cast<std::size_t>(m) * m);
        for (int a = 0; a < m; ++a) {
            gf(a) = g(idx[a]);
            for (int b = 0; b < m; ++b)
                small[a * m + b] = Hf(a, b) = H(idx[a], idx[b]);
        }
        if (!solveSmallDefinite(m, small.data(), gf.data(), step.data())) {
            ldlt.compute(Hf);
            step = -ldlt.solve(gf);
            if (!step.allFinite()) step = -gf;
        }
        // Largest step keeping every beta non-negative.
        double amax = 1.0;
        for (int a = 0; a < m; ++a)
            if (step(a) < 0 && beta[idx[a]] > 0) amax = std::min(amax, -beta[idx[a]] / step(a));
        // A phase reaching zero leaves; the rest of the step is projected.
        double alpha = (amax > 1e-3) ? amax : 1.0;
        // Q at beta is known from the step that accepted beta.
        const double q0 = haveQ ? qBeta : Q(beta);
        bool moved = false;
        for (int ls = 0; ls < 40; ++ls) {
            trial = beta;
            for (int a = 0; a < m; ++a)
                trial[idx[a]] = std::max(0.0, beta[idx[a]] + alpha * step(a));
            const double qt = Q(trial);
            if (qt <= q0 + 1e-15 * std::fabs(q0)) {
                moved = true;
                qBeta = qt;
                break;
            }
            alpha *= 0.5;
        }
        if (!moved) {
            converged = gmax < 1e-9;
            break;
        }
        double change = 0;
        for (int k = 0; k < p; ++k)
            change = std::max(change, std::fabs(trial[k] - beta[k]));
        std::copy(trial.begin(), trial.end(), beta.begin());
        haveQ = true;
        if (change < 1e-16) {
            converged = gmax < 1e-9;
            break;
        }
    }
    x.assign(static_cast<std::size_t>(p) * n, 0.0);
    for (int i = 0; i < n; ++i) {
        E[i] = 0;
        for (int k = 0; k < p; ++k)
            E[i] += beta[k] * th[k * n + i];
    }
    for (int k = 0; k < p; ++k) {
        double s = 0;
        for (int i = 0; i < n; ++i) {
            x[k * n + i] = (z[i] > 0) ? z[i] * th[k * n + i] / E[i] : 0.0;
            s += x[k * n + i];
        }
        if (s > 0)
            for (int i = 0; i < n; ++i)
                x[k * n + i] /= s;
    }
    return converged;
}

} // namespace zpk::equilibrium
