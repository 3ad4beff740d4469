#include "operations/compressor.h"

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "equilibrium/flashes.h"

namespace zpk::operations {

namespace {

using engine::Spec;

// Largest ln P step of the path integration; the classical Runge-Kutta
// scheme is then accurate to far better than 1e-7 in the outlet enthalpy
// for smooth paths (checked against halved steps in the tests).
constexpr double kMaxLnPStep = 0.1;
constexpr int kMinSteps = 8;

std::shared_ptr<EquilibriumCache> atPH(const engine::StreamSystem& sys, double P, double h, double T) {
    return engine::stateFunctionFlash(sys, Spec::H, h, P, true, T);
}

std::shared_ptr<EquilibriumCache> atPS(const engine::StreamSystem& sys, double P, double s, double T) {
    return engine::stateFunctionFlash(sys, Spec::S, s, P, true, T);
}

void checkEfficiency(double eta) {
    if (!isPhysicalEfficiency(eta))
        throw Error("polytropic efficiency " + std::to_string(eta) +
                        " is not in (0, 1] (above 1 the outlet would be colder than the isentropic one)",
                    kBadArgument);
}

// An efficiency found for a given outlet: above 1 the outlet lies beyond
// the isentropic one (colder in compression, warmer in expansion), which no
// adiabatic machine reaches.  Rounding of the path search is allowed for.
void requireReachable(double eta) {
    if (!(eta > 0) || !(eta <= 1.0 + 1e-9))
        throw Error("the outlet needs a polytropic efficiency of " + std::to_string(eta) +
                        ", outside (0, 1]: it lies beyond the isentropic outlet",
                    kBadArgument);
}

// n/(n-1) (P2 v2 - P1 v1) with n = ln(P2/P1) / ln(v1/v2): the head of the
// polytropic process through the two end states; the isothermal limit
// (n -> 1) is P1 v1 ln(P2/P1).
double polytropicHead(double P1, double v1, double P2, double v2) {
    const double lnP = std::log(P2 / P1), lnV = std::log(v1 / v2);
    const double n = lnP / lnV;
    if (!std::isfinite(n) || std::fabs(n - 1.0) < 1e-9) return P1 * v1 * lnP;
    return n / (n - 1.0) * (P2 * v2 - P1 * v1);
}

struct SchultzInlet {
    double P1, v1, h1, P2, f;
};

SchultzInlet schultzInlet(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double P2) {
    SchultzInlet r{};
    r.P1 = inlet.P;
    r.v1 = engine::molarVolume(inlet);
    r.h1 = engine::molarEnthalpy(inlet);
    r.P2 = P2;
    auto iso = atPS(sys, P2, engine::molarEntropy(inlet), inlet.T);
    const double headS = polytropicHead(r.P1, r.v1, P2, engine::molarVolume(*iso));
    r.f = (engine::molarEnthalpy(*iso) - r.h1) / headS;
    if (!std::isfinite(r.f)) throw Error("the isentropic head is zero", kCalculation);
    return r;
}

// Efficiency by Schultz for an outlet of volume v2 and enthalpy h2.
double schultzEfficiency(const SchultzInlet& in, double v2, double h2) {
    const double head = in.f * polytropicHead(in.P1, in.v1, in.P2, v2);
    const double dh = h2 - in.h1;
    return in.P2 >= in.P1 ? head / dh : dh / head;
}

// Secant iteration on a scalar residual with a fallback to bisection once a
// sign change is known.  Returns the root x (|r| small or steps tiny).
template <class R>
double solveSecant(R&& residual, double x0, double x1, double xmin, double xmax, double tol, int maxIt) {
    double r0 = residual(x0), r1 = residual(x1);
    double lo = 0, hi = 0, rlo = 0, rhi = 0;
    bool bracket = false;
    auto note = [&](double x, double r) {
        if (r == 0) return;
        if (!bracket) {
            if ((r0 < 0) != (r1 < 0)) {
                bracket = true;
                lo = x0, rlo = r0, hi = x1, rhi = r1;
            }
            return;
        }
        if ((r < 0) == (rlo < 0))
            lo = x, rlo = r;
        else
            hi = x, rhi = r;
    };
    note(x1, r1);
    for (int it = 0; it < maxIt; ++it) {
        if (r1 == 0 || std::fabs(x1 - x0) <= tol * std::max(1.0, std::fabs(x1))) return x1;
        double x2 = x1 - r1 * (x1 - x0) / (r1 - r0);
        if (bracket && !(x2 > std::min(lo, hi) && x2 < std::max(lo, hi))) x2 = 0.5 * (lo + hi);
        if (!std::isfinite(x2)) throw Error("the compression did not converge", kCalculation);
        x2 = std::clamp(x2, xmin, xmax);
        x0 = x1, r0 = r1;
        x1 = x2, r1 = residual(x1);
        note(x1, r1);
    }
    if (std::fabs(x1 - x0) <= 1e3 * tol * std::max(1.0, std::fabs(x1))) return x1;
    throw Error("the compression did not converge", kCalculation);
}

} // namespace

PathEnd integratePath(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double P2, double eta) {
    checkEfficiency(eta);
    if (!(P2 > 0)) throw Error("outlet pressure must be positive", kBadArgument);
    const double factor = P2 >= inlet.P ? 1.0 / eta : eta;
    const double x1 = std::log(inlet.P), x2 = std::log(P2);
    const int steps = std::max(kMinSteps, static_cast<int>(std::ceil(std::fabs(x2 - x1) / kMaxLnPStep)));
    const double dx = (x2 - x1) / steps;
    const double h1 = engine::molarEnthalpy(inlet);
    double T = inlet.T;
    // dh/d(ln P) = P v(P, h) * factor
    auto slope = [&](double x, double h) {
        const double P = std::exp(x);
        auto st = atPH(sys, P, h, T);
        T = st->T;
        return P * engine::molarVolume(*st) * factor;
    };
    double h = h1;
    double x = x1;
    for (int k = 0; k < steps; ++k) {
        const double k1 = slope(x, h);
        const double k2 = slope(x + 0.5 * dx, h + 0.5 * dx * k1);
        const double k3 = slope(x + 0.5 * dx, h + 0.5 * dx * k2);
        const double k4 = slope(x + dx, h + dx * k3);
        h += dx / 6.0 * (k1 + 2 * k2 + 2 * k3 + k4);
        x = x1 + (k + 1) * dx;
    }
    PathEnd end;
    end.h = h;
    end.work = (h - h1) / factor;
    end.state = atPH(sys, P2, h, T);
    return end;
}

std::shared_ptr<EquilibriumCache> stepwiseOutlet(const engine::StreamSystem& sys,
                                                 const EquilibriumCache& inlet, double P2, double eta,
                                                 int steps) {
    checkEfficiency(eta);
    if (!(P2 > 0)) throw Error("outlet pressure must be positive", kBadArgument);
    if (steps < 1) throw Error("the number of steps must be positive", kBadArgument);
    const bool compression = P2 >= inlet.P;
    std::shared_ptr<EquilibriumCache> st = std::make_shared<EquilibriumCache>(inlet);
    for (int k = 1; k <= steps; ++k) {
        const double P = inlet.P * std::pow(P2 / inlet.P, static_cast<double>(k) / steps);
        const double h = engine::molarEnthalpy(*st);
        auto iso = atPS(sys, P, engine::molarEntropy(*st), st->T);
        const double dhs = engine::molarEnthalpy(*iso) - h;
        st = atPH(sys, P, h + (compression ? dhs / eta : dhs * eta), iso->T);
    }
    return st;
}

std::shared_ptr<EquilibriumCache> polytropicOutlet(const engine::StreamSystem& sys,
                                                   const EquilibriumCache& inlet, double P2, double eta,
                                                   PolytropicMethod method) {
    checkEfficiency(eta);
    if (!(P2 > 0)) throw Error("outlet pressure must be positive", kBadArgument);
    if (method == PolytropicMethod::PathIntegral) return integratePath(sys, inlet, P2, eta).state;
    if (method == PolytropicMethod::Stepwise) return stepwiseOutlet(sys, inlet, P2, eta, kStepwiseSteps);

    const SchultzInlet in = schultzInlet(sys, inlet, P2);
    const bool compression = P2 >= inlet.P;
    double T = inlet.T;
    std::shared_ptr<EquilibriumCache> last;
    // Residual in the head balance: f * head(v2) - eta * (h2 - h1) for
    // compression, eta * f * head(v2) - (h2 - h1) for expansion.
    auto residual = [&](double h2) {
        last = atPH(sys, P2, h2, T);
        T = last->T;
        const double head = in.f * polytropicHead(in.P1, in.v1, P2, engine::molarVolume(*last));
        return compression ? head - eta * (h2 - in.h1) : eta * head - (h2 - in.h1);
    };
    // Start from the isentropic-efficiency estimate.
    auto iso = atPS(sys, P2, engine::molarEntropy(inlet), inlet.T);
    const double dhIso = engine::molarEnthalpy(*iso) - in.h1;
    const double h0 = in.h1 + (compression ? dhIso / eta : dhIso * eta);
    const double scale = std::max(std::fabs(dhIso), 1.0);
    const double h2 =
        solveSecant(residual, h0, h0 + 0.01 * scale, in.h1 - 100 * scale, in.h1 + 100 * scale, 1e-12, 60);
    if (last && engine::molarEnthalpy(*last) == h2) return last;
    return atPH(sys, P2, h2, T);
}

double polytropicEfficiency(const engine::StreamSystem& sys, const EquilibriumCache& inlet,
                            const EquilibriumCache& outlet, PolytropicMethod method) {
    const double P2 = outlet.P;
    const double h1 = engine::molarEnthalpy(inlet), h2 = engine::molarEnthalpy(outlet);
    if (!(std::fabs(h2 - h1) > 0)) throw Error("inlet and outlet have the same enthalpy", kCalculation);
    if (method == PolytropicMethod::Schultz) {
        const double eta = schultzEfficiency(schultzInlet(sys, inlet, P2), engine::molarVolume(outlet), h2);
        requireReachable(eta);
        return eta;
    }
    if (method != PolytropicMethod::PathIntegral)
        throw Error("the efficiency is found for the path integral and the Schultz method only",
                    kBadArgument);

    // The path's end enthalpy falls as the efficiency rises (compression) or
    // rises with it (expansion); a secant search on eta finds the path that
    // ends at h2.  Start: the efficiency of the isentropic path's work.
    const bool compression = P2 >= inlet.P;
    // The efficiency at which a path of the given work would end at h2 if
    // its work did not depend on the efficiency (one fixed-point step).
    auto etaOf = [&](double work) { return compression ? work / (h2 - h1) : (h2 - h1) / work; };
    const double w1 = integratePath(sys, inlet, P2, 1.0).work;
    double eta0 = etaOf(w1);
    if (!(eta0 > 0)) throw Error("the outlet cannot be reached by a polytropic process", kCalculation);
    eta0 = std::clamp(eta0, 0.02, 5.0);
    // The second start of the secant is the next fixed-point step: the path
    // at eta0 runs hotter (colder) than the one at 1 and does more work, which
    // the first step did not see.
    const PathEnd at0 = integratePath(sys, inlet, P2, eta0);
    double eta1 = std::clamp(etaOf(at0.work), 0.01, 10.0);
    if (!std::isfinite(eta1) || eta1 == eta0) eta1 = eta0 * 0.98;
    auto residual = [&](double eta) {
        return (eta == eta0 ? at0.h : integratePath(sys, inlet, P2, eta).h) - h2;
    };
    const double eta = solveSecant(residual, eta0, eta1, 0.01, 10.0, 1e-11, 40);
    requireReachable(eta);
    return eta;
}

} // namespace zpk::operations
