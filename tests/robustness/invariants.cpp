#include "invariants.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace robustness {

using zpk::equilibrium::FluidSystem;
using zpk::models::PhaseProps;
using zpk::models::Root;

namespace {

std::vector<double> normalised(std::vector<double> x) {
    double s = 0;
    for (double v : x)
        s += v;
    for (double& v : x)
        v /= s;
    return x;
}

bool lnFugacity(const FluidSystem& sys, double T, double P, const std::vector<double>& x, Root root,
                std::vector<double>& lnf, double* g = nullptr) {
    PhaseProps p;
    if (!zpk::equilibrium::evalPhase(sys, T, P, x.data(), root, 0, p)) return false;
    lnf.assign(x.size(), 0.0);
    double gs = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        lnf[i] = x[i] > 0 ? std::log(x[i]) + p.lnphi[i] : -std::numeric_limits<double>::infinity();
        if (x[i] > 0) gs += x[i] * lnf[i];
    }
    if (g) *g = gs;
    return true;
}

Root rootOf(const zpk::engine::PhaseState& ph, RootRule rule) {
    if (rule == RootRule::Stable) return Root::Stable;
    return ph.kind == zpk::models::kVapour ? Root::Vapour : Root::Liquid;
}

bool isFluid(const zpk::engine::PhaseState& ph) {
    return ph.kind == zpk::models::kVapour || ph.kind == zpk::models::kLiquid;
}

} // namespace

double smallestTangentPlaneDistance(const FluidSystem& sys, double T, double P, const std::vector<double>& x,
                                    const std::vector<std::vector<double>>& extra, Root root) {
    const int n = sys.size();
    std::vector<double> d;
    if (!lnFugacity(sys, T, P, x, root, d)) return std::numeric_limits<double>::quiet_NaN();
    std::vector<std::vector<double>> starts = extra;
    std::vector<double> w(n);
    for (int sign : {1, -1}) {
        for (int i = 0; i < n; ++i)
            w[i] = x[i] > 0 ? x[i] * std::exp(sign * sys.lnWilsonK(i, T, P)) : 0.0;
        starts.push_back(w);
    }
    for (int j = 0; j < n; ++j) {
        if (!(x[j] > 0)) continue;
        for (int i = 0; i < n; ++i)
            w[i] = x[i] > 0 ? (i == j ? 1.0 : 1e-6 * x[i]) : 0.0;
        starts.push_back(w);
    }
    double best = std::numeric_limits<double>::infinity();
    std::vector<double> lnf;
    for (auto W : starts) {
        // Successive substitution on ln W_i = d_i - ln phi_i(W); tm of the
        // unnormalised trial: 1 + sum W_i (ln W_i + ln phi_i - d_i - 1).
        double tm = std::numeric_limits<double>::infinity();
        for (int it = 0; it < 400; ++it) {
            double sw = 0;
            for (double v : W)
                sw += v;
            if (!(sw > 0) || !std::isfinite(sw)) break;
            std::vector<double> xw(n);
            for (int i = 0; i < n; ++i)
                xw[i] = W[i] / sw;
            PhaseProps p;
            if (!zpk::equilibrium::evalPhase(sys, T, P, xw.data(), Root::Stable, 0, p)) break;
            tm = 1.0;
            double change = 0;
            for (int i = 0; i < n; ++i) {
                if (!(x[i] > 0)) continue;
                tm += W[i] * (std::log(W[i]) + p.lnphi[i] - d[i] - 1.0);
                const double next = d[i] - p.lnphi[i];
                change = std::max(change, std::fabs(next - std::log(W[i])));
                W[i] = std::exp(next);
            }
            if (change < 1e-12) break;
        }
        if (std::isfinite(tm)) best = std::min(best, tm);
    }
    return best;
}

std::string invariantFailure(const zpk::engine::StreamSystem& system, const zpk::EquilibriumCache& st,
                             RootRule rule, const Tolerances& tol) {
    const FluidSystem& sys = system.fluid();
    const int n = sys.size();
    const std::vector<double>& z = system.feed();
    std::ostringstream why;
    if (st.phases.empty()) return "no phase";
    // Material balance.
    for (int i = 0; i < n; ++i) {
        double m = 0;
        for (const auto& ph : st.phases)
            m += ph.beta * normalised(ph.x)[i];
        if (!(std::fabs(m - z[i]) <= tol.balance)) {
            why << "material balance of component " << i + 1 << " off by " << m - z[i];
            return why.str();
        }
    }
    // Equal fugacities of the fluid phases, and their Gibbs energy.
    std::vector<std::vector<double>> lnf;
    std::vector<std::vector<double>> comps;
    double g = 0;
    for (const auto& ph : st.phases) {
        if (!isFluid(ph)) continue;
        std::vector<double> f;
        double gp = 0;
        const auto x = normalised(ph.x);
        if (!lnFugacity(sys, st.T, st.P, x, rootOf(ph, rule), f, &gp)) return "a phase cannot be evaluated";
        g += ph.beta * gp;
        lnf.push_back(f);
        comps.push_back(x);
    }
    for (std::size_t a = 1; a < lnf.size(); ++a)
        for (int i = 0; i < n; ++i) {
            if (!(z[i] > 0)) continue;
            const double d = std::fabs(lnf[a][i] - lnf[0][i]);
            if (!(d <= tol.fugacity)) {
                why << "ln fugacity of component " << i + 1 << " differs by " << d << " between phases 1 and "
                    << a + 1;
                return why.str();
            }
        }
    bool solids = false;
    for (const auto& ph : st.phases)
        solids = solids || !isFluid(ph);
    if (!solids) {
        std::vector<double> f;
        double g1 = 0;
        if (lnFugacity(sys, st.T, st.P, z, Root::Stable, f, &g1) && g > g1 + tol.gibbs) {
            why << "Gibbs energy " << g - g1 << " RT above the single phase";
            return why.str();
        }
    }
    // Each fluid phase present (incipient phases are only compared) stable
    // by the tangent-plane test.
    std::size_t a = 0;
    for (const auto& ph : st.phases) {
        if (!isFluid(ph)) continue;
        if (!(ph.beta > 1e-12)) {
            ++a;
            continue;
        }
        const double tm = smallestTangentPlaneDistance(sys, st.T, st.P, comps[a], comps, rootOf(ph, rule));
        ++a;
        if (tm < -tol.tangentPlane) {
            why << "phase " << a << " is unstable (tangent-plane distance " << tm << ")";
            return why.str();
        }
    }
    return "";
}

} // namespace robustness
