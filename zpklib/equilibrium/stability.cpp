#include "equilibrium/stability.h"

#include <Eigen/Dense>
#include <cmath>
#include <limits>

namespace zpk::equilibrium {

using models::PhaseProps;
using models::Root;

// Squared ln W change of one substitution step below which a point where no
// Newton step descends counts as converged (rounding noise of ln phi).
constexpr double kStalledChange = 1e-18;
// Length of a Newton step in alpha = 2 sqrt(W) that counts as converged when
// no fraction of it lowers tm.
constexpr double kStalledStep = 1e-7;
// Squared ln W change of a substitution step and |tm| at which a trial
// stops: the sign of tm is decided (its error is of the order of the
// change) and the composition only starts a split.
constexpr double kDecidedChange = 1e-12;
constexpr double kDecidedDistance = 1e-6;
// Squared composition distance at which a trial is taken to run into a
// stationary point another trial found.
constexpr double kSamePoint = 1e-8;

double minimiseTangentPlane(const FluidSystem& sys, double T, double P, const double* z, const double* d,
                            std::vector<double>& w, const std::vector<double>* known,
                            std::size_t knownCount) {
    const int n = sys.size();
    thread_local PhaseProps ph, pt;
    // lw and ltrial hold ln W of w and trial (components of the feed only):
    // a substitution step sets ln W itself, so no logarithm is taken again.
    thread_local std::vector<double> lnw, lw, trial, ltrial, subStep, prevSubStep, sq;
    thread_local Eigen::MatrixXd H;
    thread_local Eigen::VectorXd g, da;
    thread_local Eigen::LDLT<Eigen::MatrixXd> ldlt;
    lnw.resize(n);
    lw.resize(n);
    ltrial.resize(n);
    subStep.resize(n);
    prevSubStep.resize(n);
    sq.resize(n);
    for (int i = 0; i < n; ++i)
        lw[i] = (z[i] > 0 && w[i] > 0) ? std::log(w[i]) : 0.0;
    auto tmOf = [&](const std::vector<double>& W, const std::vector<double>& lW, const PhaseProps& p) {
        double tm = 1.0;
        for (int i = 0; i < n; ++i)
            if (W[i] > 0) tm += W[i] * (lW[i] + p.lnphi[i] - d[i] - 1.0);
        return tm;
    };
    double tm = std::numeric_limits<double>::infinity();
    // True when ph holds the evaluation of w at order 1 (an accepted full
    // Newton step evaluated its point).
    bool evaluated = false;
    // Successive substitution first (robust), then Newton in alpha = 2 sqrt(W).
    for (int it = 0; it < 300; ++it) {
        if (!evaluated && !evalPhase(sys, T, P, w.data(), Root::Stable, it >= 12 ? 1 : 0, ph)) return tm;
        evaluated = false;
        tm = tmOf(w, lw, ph);
        double change = 0, dist = 0, sw = 0;
        for (int i = 0; i < n; ++i)
            sw += w[i];
        const double isw = 1.0 / sw;
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            const double nl = d[i] - ph.lnphi[i];
            change += (nl - lw[i]) * (nl - lw[i]);
            dist += (w[i] * isw - z[i]) * (w[i] * isw - z[i]);
            lnw[i] = nl;
        }
        if (dist < 1e-10 && std::fabs(tm) < 1e-6) return std::numeric_limits<double>::infinity(); // trivial
        if (change < 1e-22 || (change < kDecidedChange && std::fabs(tm) > kDecidedDistance)) break;
        for (std::size_t k = 0; k < knownCount; ++k) {
            double dk = 0;
            for (int i = 0; i < n; ++i)
                dk += (w[i] * isw - known[k][i]) * (w[i] * isw - known[k][i]);
            if (dk < kSamePoint) return std::numeric_limits<double>::infinity();
        }
        if (it >= 12) {
            // Newton step on the modified tangent-plane function (Michelsen's alpha variables).
            H.setIdentity(n, n);
            g.setZero(n);
            for (int i = 0; i < n; ++i)
                sq[i] = (z[i] > 0) ? std::sqrt(w[i]) : 0.0;
            for (int i = 0; i < n; ++i) {
                if (z[i] <= 0) continue;
                const double si = sq[i];
                g(i) = si * (lw[i] + ph.lnphi[i] - d[i]);
                const double* row = ph.dlnphi_dn.data() + static_cast<std::size_t>(i) * n;
                for (int j = 0; j < n; ++j)
                    H(i, j) += si * isw * sq[j] * row[j];
            }
            // dlnphi_dn is per mole of phase total; scaling by 1/sum(W) gives d lnphi / d W.
            ldlt.compute(H);
            da = -ldlt.solve(g);
            if (da.allFinite()) {
                trial.assign(w.begin(), w.end());
                double step = 1.0;
                int accepted = -1;
                for (int ls = 0; ls < 20 && accepted < 0; ++ls, step *= 0.5) {
                    for (int i = 0; i < n; ++i) {
                        if (z[i] <= 0) continue;
                        const double a = 2.0 * sq[i] + step * da(i);
                        trial[i] = std::max(0.25 * a * a, 1e-300);
                        ltrial[i] = std::log(trial[i]);
                    }
                    // The full step is evaluated with the derivatives the
                    // next Newton step needs; shorter ones are not.
                    if (evalPhase(sys, T, P, trial.data(), Root::Stable, ls == 0 ? 1 : 0, pt) &&
                        tmOf(trial, ltrial, pt) <= tm + 1e-14)
                        accepted = ls;
                }
                const bool ok = accepted >= 0;
                if (ok) {
                    w.swap(trial);
                    lw.swap(ltrial);
                    if (accepted == 0) {
                        std::swap(ph, pt);
                        evaluated = true;
                    }
                    if (da.norm() < 1e-11) break;
                    continue;
                }
                // A Newton step this short that cannot lower tm: tm is flat
                // to rounding noise, the stationary point is reached.
                if (da.norm() < kStalledStep) break;
            }
            // No Newton step lowers tm any more while the substitution only
            // moves ln W by rounding noise: the stationary point is reached.
            if (change < kStalledChange) break;
        }
        // Dominant-eigenvalue extrapolation of the substitution every
        // third step: near a stationary point (the trivial solution
        // included) its steps shrink by a nearly constant ratio.
        for (int i = 0; i < n; ++i)
            subStep[i] = (z[i] > 0) ? lnw[i] - lw[i] : 0.0;
        if (it < 12 && it % 3 == 2) {
            double num = 0, den = 0;
            for (int i = 0; i < n; ++i) {
                num += subStep[i] * prevSubStep[i];
                den += prevSubStep[i] * prevSubStep[i];
            }
            const double lam = den > 0 ? num / den : 0;
            if (lam > 0 && lam < 0.95)
                for (int i = 0; i < n; ++i)
                    lnw[i] += subStep[i] * lam / (1 - lam);
        }
        subStep.swap(prevSubStep);
        for (int i = 0; i < n; ++i) {
            w[i] = (z[i] > 0) ? std::exp(lnw[i]) : 0.0;
            lw[i] = (z[i] > 0) ? lnw[i] : 0.0;
        }
    }
    double sw = 0;
    for (int i = 0; i < n; ++i)
        sw += w[i];
    if (!(sw > 0) || !std::isfinite(sw)) return std::numeric_limits<double>::infinity();
    // Collapse check on the final composition.
    double dist = 0;
    for (int i = 0; i < n; ++i)
        dist += (w[i] / sw - z[i]) * (w[i] / sw - z[i]);
    for (int i = 0; i < n; ++i)
        w[i] /= sw;
    if (dist < 1e-10) return std::numeric_limits<double>::infinity();
    return tm;
}

double stabilityTest(const FluidSystem& sys, double T, double P, const double* z, const double* d,
                     std::vector<double>& best) {
    const int n = sys.size();
    int active = 0;
    for (int i = 0; i < n; ++i)
        active += z[i] > 0;
    // Trial compositions in a per-thread pool that keeps its storage.
    thread_local std::vector<std::vector<double>> trials;
    std::size_t count = 0;
    auto next = [&]() -> std::vector<double>& {
        if (trials.size() <= count) trials.emplace_back();
        std::vector<double>& w = trials[count++];
        w.resize(n);
        return w;
    };
    {
        std::vector<double>& w = next();
        for (int i = 0; i < n; ++i)
            w[i] = z[i] > 0 ? z[i] * std::exp(sys.lnWilsonK(i, T, P)) : 0.0;
    }
    {
        std::vector<double>& w = next();
        for (int i = 0; i < n; ++i)
            w[i] = z[i] > 0 ? z[i] * std::exp(-sys.lnWilsonK(i, T, P)) : 0.0;
    }
    auto pure = [&](int j) {
        std::vector<double>& w = next();
        for (int i = 0; i < n; ++i)
            w[i] = z[i] > 0 ? (i == j ? 0.999 : 0.001 / n) : 0.0;
    };
    if (active <= 5) {
        for (int j = 0; j < n; ++j)
            if (z[j] > 0) pure(j);
    } else if (sys.water >= 0 && z[sys.water] > 0) {
        // Nearly pure water condenses out of a wet gas even where no second
        // liquid is asked for (its dew point); the Wilson trials miss it.
        pure(sys.water);
    }
    // Stationary points found so far (normalised), so that a trial running
    // into one of them stops.
    thread_local std::vector<std::vector<double>> found;
    if (found.size() < count) found.resize(count);
    std::size_t nFound = 0;
    double tmMin = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < count; ++k) {
        std::vector<double>& t = trials[k];
        const double tm = minimiseTangentPlane(sys, T, P, z, d, t, found.data(), nFound);
        if (std::isfinite(tm)) found[nFound++].assign(t.begin(), t.end());
        if (tm < tmMin) {
            tmMin = tm;
            best = t;
        }
    }
    return tmMin;
}

} // namespace zpk::equilibrium
