#include "equilibrium/verify.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "equilibrium/stability.h"

namespace zpk::equilibrium {

using models::PhaseProps;
using models::Root;

namespace {

std::string format(const char* fmt, double a, double b = 0) {
    char buf[160];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

double sumOf(const std::vector<double>& x) {
    double s = 0;
    for (double v : x)
        s += v;
    return s;
}

// ln f_i - ln P of one phase on one root (NaN entries where x_i is zero);
// empty when the root cannot be evaluated.
struct RootEval {
    bool ok = false;
    double v = 0;
    std::vector<double> lnf;
};

RootEval evalRoot(const FluidSystem& sys, double T, double P, const std::vector<double>& x, Root root) {
    thread_local PhaseProps p;
    RootEval r;
    if (!evalPhase(sys, T, P, x.data(), root, 0, p)) return r;
    const int n = sys.size();
    const double s = sumOf(x);
    r.lnf.assign(n, std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < n; ++i)
        if (x[i] > 0) r.lnf[i] = std::log(x[i] / s) + p.lnphi[i];
    r.v = p.v;
    r.ok = true;
    return r;
}

// Largest |ln f_i^a - ln f_i^b| over the components present in the feed.
double fugacityGap(const RootEval& a, const RootEval& b, const double* z) {
    double gap = 0;
    for (std::size_t i = 0; i < a.lnf.size(); ++i) {
        if (!(z[i] > 0)) continue;
        const double d = std::fabs(a.lnf[i] - b.lnf[i]);
        if (std::isnan(d)) continue; // a component absent from one phase (underflow)
        gap = std::max(gap, d);
    }
    return gap;
}

} // namespace

std::string equilibriumDefect(const FluidSystem& sys, double T, double P, const double* z,
                              const std::vector<CheckedPhase>& phases, double fugacityTolerance) {
    const int n = sys.size();
    if (phases.empty()) return "the state has no phase";
    if (!(T > 0) || !(P > 0) || !std::isfinite(T) || !std::isfinite(P))
        return format("the state is not a valid temperature and pressure (%g K, %g Pa)", T, P);
    // Material balance.
    double zs = 0;
    for (int i = 0; i < n; ++i)
        zs += std::max(z[i], 0.0);
    double worst = 0;
    for (int i = 0; i < n; ++i) {
        double m = 0;
        for (const auto& ph : phases) {
            if (!(ph.beta >= -kBalanceTolerance) || !(ph.beta <= 1 + kBalanceTolerance))
                return format("a phase fraction (%g) is outside [0, 1]", ph.beta);
            m += ph.beta * (*ph.x)[i] / sumOf(*ph.x);
        }
        worst = std::max(worst, std::fabs(m - std::max(z[i], 0.0) / zs));
    }
    if (!(worst <= kBalanceTolerance)) return format("the material balance is off by %.3g", worst);
    // Equal fugacities and distinct phases, pair by pair.
    std::vector<std::array<RootEval, 2>> ev;
    std::vector<const CheckedPhase*> fluid;
    for (const auto& ph : phases) {
        if (ph.kind != models::kVapour && ph.kind != models::kLiquid) continue;
        fluid.push_back(&ph);
        ev.push_back({evalRoot(sys, T, P, *ph.x, Root::Vapour), evalRoot(sys, T, P, *ph.x, Root::Liquid)});
        if (!ev.back()[0].ok && !ev.back()[1].ok) return "a phase cannot be evaluated by its model";
    }
    for (std::size_t a = 0; a < fluid.size(); ++a)
        for (std::size_t b = a + 1; b < fluid.size(); ++b) {
            double dist = 0;
            const auto &xa = *fluid[a]->x, &xb = *fluid[b]->x;
            const double sa = sumOf(xa), sb = sumOf(xb);
            for (int i = 0; i < n; ++i)
                if (z[i] > 0 && xa[i] > 0 && xb[i] > 0) {
                    const double d = std::log(xa[i] / sa) - std::log(xb[i] / sb);
                    dist += d * d;
                }
            const bool sameComposition = dist <= kDistinctComposition;
            // The pair of roots with the smallest fugacity gap among those
            // that make two distinct phases.
            double best = std::numeric_limits<double>::infinity();
            bool trivialOnly = false;
            for (const auto& ea : ev[a])
                for (const auto& eb : ev[b]) {
                    if (!ea.ok || !eb.ok) continue;
                    const double g = fugacityGap(ea, eb, z);
                    if (sameComposition && std::fabs(ea.v - eb.v) <= kDistinctVolume * std::fabs(ea.v)) {
                        trivialOnly = trivialOnly || g <= fugacityTolerance;
                        continue;
                    }
                    best = std::min(best, g);
                }
            if (best <= fugacityTolerance) continue;
            if (trivialOnly) return "two phases are the same phase (trivial solution)";
            return format("the fugacities of two phases differ (ln f by %.3g)", best);
        }
    return "";
}

double trialDistance(const FluidSystem& sys, double T, double P, const double* z, std::vector<double> w) {
    const int n = sys.size();
    thread_local PhaseProps p;
    if (!evalPhase(sys, T, P, z, Root::Stable, 0, p)) return std::numeric_limits<double>::infinity();
    std::vector<double> d(n, 0.0);
    for (int i = 0; i < n; ++i)
        if (z[i] > 0) d[i] = std::log(z[i]) + p.lnphi[i];
    return minimiseTangentPlane(sys, T, P, z, d.data(), w);
}

} // namespace zpk::equilibrium
