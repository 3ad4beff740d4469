#include "operations/nozzle.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "core/error.h"
#include "equilibrium/flashes.h"

namespace zpk::operations {

namespace {

using engine::Spec;

constexpr int kScanPoints = 48; // ln P grid between inlet and back pressure
constexpr double kGolden = 0.6180339887498949;
// Width in ln P to which the throat is refined: the mass flux is flat at its
// maximum, so it is then known to about the square of this, far below the
// states' own tolerances.
constexpr double kThroatTolerance = 1e-7;

// Specific (per kg) enthalpy and volume of the fluid at one pressure of the
// expansion, and the equilibrium state there.
struct Point {
    double P = 0, h = 0, v = 0, G = 0;
    std::shared_ptr<EquilibriumCache> st;
};

double massFlux(double h0, double h, double v) {
    return h < h0 && v > 0 ? std::sqrt(2.0 * (h0 - h)) / v : 0.0;
}

// Largest mass flux of fluxAt(P) for P in [backP, P0]: a scan on a ln P
// grid, then golden-section refinement around the best grid point to an
// interval of kThroatTolerance in ln P.
Point throatOf(const std::function<Point(double)>& fluxAt, double P0, double backP, bool& choked) {
    const double x0 = std::log(P0), x1 = std::log(backP);
    std::vector<Point> grid;
    grid.reserve(kScanPoints);
    int best = -1;
    for (int k = 1; k <= kScanPoints; ++k) {
        try {
            grid.push_back(fluxAt(std::exp(x0 + (x1 - x0) * k / kScanPoints)));
        } catch (const Error&) {
            // Far below a clear maximum (deep in the expansion, where the
            // equilibrium may be out of the models' reach) the scan ends;
            // otherwise the failure stands.
            if (best < 0 || best == static_cast<int>(grid.size()) - 1) throw;
            break;
        }
        if (best < 0 || grid.back().G > grid[best].G) best = k - 1;
    }
    choked = best < kScanPoints - 1;
    if (!choked) return grid.back();
    double a = best == 0 ? x0 : std::log(grid[best - 1].P), b = std::log(grid[best + 1].P);
    double c = b - kGolden * (b - a), d = a + kGolden * (b - a);
    Point pc = fluxAt(std::exp(c)), pd = fluxAt(std::exp(d));
    while (std::fabs(b - a) > kThroatTolerance) {
        if (pc.G > pd.G) {
            b = d, d = c, pd = pc;
            c = b - kGolden * (b - a);
            pc = fluxAt(std::exp(c));
        } else {
            a = c, c = d, pc = pd;
            d = a + kGolden * (b - a);
            pd = fluxAt(std::exp(d));
        }
    }
    Point t = pc.G > pd.G ? pc : pd;
    return t.G >= grid[best].G ? t : grid[best];
}

struct Inlet {
    double P0, T0, h0, s0, M; // h0 J/kg, s0 J/(mol K) internal base, M kg/mol
};

Inlet inletOf(const engine::StreamSystem& sys, const EquilibriumCache& in) {
    Inlet r{};
    r.P0 = in.P;
    r.T0 = in.T;
    r.M = sys.feedMw() * 1e-3;
    r.h0 = engine::molarEnthalpy(in) / r.M;
    r.s0 = engine::molarEntropy(in);
    return r;
}

Point equilibriumPoint(const engine::StreamSystem& sys, const Inlet& in, double P, double& T) {
    Point p;
    p.P = P;
    p.st = engine::stateFunctionFlash(sys, Spec::S, in.s0, P, true, T);
    T = p.st->T;
    p.h = engine::molarEnthalpy(*p.st) / in.M;
    p.v = engine::molarVolume(*p.st) / in.M;
    p.G = massFlux(in.h0, p.h, p.v);
    return p;
}

void finish(const engine::StreamSystem& sys, const Inlet& in, double backP, NozzleFlow& f,
            const Point& throat) {
    f.massFlux = throat.G;
    f.throatP = throat.P;
    f.throat = throat.st;
    if (!(f.massFlux > 0))
        throw Error("no flow: the back pressure is not below the stream's pressure", kCalculation);
    // Downstream of the throat the jet keeps the throat's kinetic energy.
    const double hOut = in.h0 - 0.5 * f.massFlux * f.massFlux * throat.v * throat.v;
    f.outlet = engine::stateFunctionFlash(sys, Spec::H, hOut * in.M, backP, true, throat.st->T);
}

void checkPressures(const EquilibriumCache& inlet, double backP) {
    if (!(backP > 0)) throw Error("back pressure must be positive", kBadArgument);
    if (!(backP < inlet.P)) throw Error("back pressure must be below the stream's pressure", kBadArgument);
}

// Inlet phase k expanded at its own composition to pressure P and the inlet
// phase's molar entropy (no mass transfer).
engine::PhaseState frozenPhase(const engine::StreamSystem& sys, const engine::PhaseState& ph, double P,
                               double& T) {
    // Newton on T with (ds/dT)_P = cp / T.
    double t = T;
    engine::PhaseState st = sys.phaseState(t, P, ph.x, ph.kind, false);
    for (int it = 0; it < 30; ++it) {
        const double r = st.s - ph.s;
        if (std::fabs(r) < 1e-9 * std::max(1.0, std::fabs(ph.s))) break;
        if (!(st.cp > 0)) throw Error("frozen expansion failed", kCalculation);
        const double next = std::clamp(t - r * t / st.cp, 0.7 * t, 1.3 * t);
        if (!std::isfinite(next)) throw Error("frozen expansion failed", kCalculation);
        t = next;
        st = sys.phaseState(t, P, ph.x, ph.kind, false);
    }
    T = t;
    return st;
}

} // namespace

NozzleFlow equilibriumNozzle(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double backP) {
    checkPressures(inlet, backP);
    const Inlet in = inletOf(sys, inlet);
    double T = inlet.T;
    NozzleFlow f;
    auto at = [&](double P) { return equilibriumPoint(sys, in, P, T); };
    const Point throat = throatOf(at, in.P0, backP, f.choked);
    finish(sys, in, backP, f, throat);
    return f;
}

NozzleFlow nonEquilibriumNozzle(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double backP,
                                double exponent, double fixedDelay) {
    checkPressures(inlet, backP);
    if (!(exponent > 0) || !std::isfinite(exponent))
        throw Error("non-equilibrium exponent must be positive", kBadArgument);
    const Inlet in = inletOf(sys, inlet);

    // Inlet phases as mass fractions.
    std::vector<double> w;
    for (const auto& ph : inlet.phases)
        w.push_back(ph.beta * ph.mw * 1e-3 / in.M);
    double x0 = 0;
    for (std::size_t k = 0; k < inlet.phases.size(); ++k)
        if (inlet.phases[k].kind == models::kVapour) x0 += w[k];

    // Vapour/liquid differences: at the inlet when both kinds are present,
    // otherwise where the equilibrium expansion first boils.
    double T = inlet.T;
    auto eq = [&](double P) { return equilibriumPoint(sys, in, P, T); };
    const EquilibriumCache* boil = nullptr;
    std::shared_ptr<EquilibriumCache> boilState;
    const bool hasV = engine::phaseOfKind(inlet, models::kVapour),
               hasL = engine::phaseOfKind(inlet, models::kLiquid);
    if (hasV && hasL) {
        boil = &inlet;
    } else if (hasL) {
        const double x0l = std::log(in.P0), x1l = std::log(backP);
        for (int k = 1; k <= kScanPoints && !boil; ++k) {
            Point p;
            try {
                p = eq(std::exp(x0l + (x1l - x0l) * k / kScanPoints));
            } catch (const Error&) {
                break; // no boiling found within the models' reach
            }
            if (engine::phaseOfKind(*p.st, models::kVapour) && engine::phaseOfKind(*p.st, models::kLiquid)) {
                boilState = p.st;
                boil = boilState.get();
            }
        }
    }
    double delayBase = -1; // x0 + cp_l T0 P0 v_lg / dh_lg^2 times ln(P0/Pt) is added below
    double delaySlope = 0;
    if (boil) {
        const engine::PhaseState g = engine::combined(*boil, models::kVapour);
        const engine::PhaseState l = engine::combined(*boil, models::kLiquid);
        const engine::PhaseState l0 = hasL ? engine::combined(inlet, models::kLiquid) : l;
        const double vlg = g.v / (g.mw * 1e-3) - l.v / (l.mw * 1e-3);
        const double hlg = g.h / (g.mw * 1e-3) - l.h / (l.mw * 1e-3);
        const double cpl = l0.cp / (l0.mw * 1e-3);
        if (hlg > 0 && vlg > 0) {
            delayBase = x0;
            delaySlope = cpl * in.T0 * in.P0 * vlg / (hlg * hlg);
        }
    }

    // Equilibrium and frozen parts at pressure P; both are independent of N,
    // so they are kept for the repeated throat searches.
    struct Parts {
        Point eq;
        double hf = 0, vf = 0;
        bool frozen = false;
    };
    std::map<double, Parts> parts;
    std::vector<double> frozenT(inlet.phases.size(), inlet.T);
    auto partsAt = [&](double P, bool needFrozen) -> const Parts& {
        Parts& q = parts[P];
        if (!q.eq.st) q.eq = eq(P);
        if (needFrozen && !q.frozen) {
            try {
                for (std::size_t k = 0; k < inlet.phases.size(); ++k) {
                    const engine::PhaseState& ph = inlet.phases[k];
                    const engine::PhaseState fr = frozenPhase(sys, ph, P, frozenT[k]);
                    const double m = ph.mw * 1e-3;
                    q.hf += w[k] * fr.h / m;
                    q.vf += w[k] * fr.v / m;
                }
            } catch (const Error&) {
                // Beyond the limit of metastability (no superheated-liquid
                // root): the fluid cannot stay frozen and flashes fully.
                q.hf = q.eq.h;
                q.vf = q.eq.v;
            }
            q.frozen = true;
        }
        return q;
    };
    // Frozen-plus-equilibrium blend at pressure P for boiling delay N.
    double N = 1;
    auto blend = [&](double P) {
        const Parts& q = partsAt(P, N < 1);
        Point p = q.eq;
        if (N >= 1) return p;
        p.h = q.hf + N * (p.h - q.hf);
        p.v = q.vf + N * (p.v - q.vf);
        p.G = massFlux(in.h0, p.h, p.v);
        return p;
    };

    NozzleFlow f;
    // The equilibrium throat first; its states are kept for the blends.
    auto eqKept = [&](double P) { return partsAt(P, false).eq; };
    Point throat = throatOf(eqKept, in.P0, backP, f.choked);
    if (fixedDelay >= 0) {
        N = std::min(1.0, fixedDelay);
        if (N < 1) throat = throatOf(blend, in.P0, backP, f.choked);
    } else if (delayBase >= 0) {
        // N sets the throat pressure, which sets N: solve N = F(N), with
        // F(N) = coefficient at the throat of the flow with delay N.  F falls
        // as N rises (less boiling moves the throat downstream), so the root
        // in [0, 1] is unique; Illinois regula falsi on g = F(N) - N.  The
        // throat may jump between two flux maxima, then the search ends at
        // the jump.
        bool choked = f.choked;
        auto g = [&](double n, Point& t) {
            N = n;
            t = n >= 1 ? throat : throatOf(blend, in.P0, backP, choked);
            return std::min(1.0, std::pow(delayBase + delaySlope * std::log(in.P0 / t.P), exponent)) - n;
        };
        Point tb = throat;
        double b = 1, gb = g(1, tb);
        if (gb < 0) {
            Point ta;
            double a = 0, ga = g(0, ta);
            Point tm = ta;
            int side = 0;
            for (int it = 0; it < 40 && ga > 0 && b - a > 1e-5; ++it) {
                const double m = (a * gb - b * ga) / (gb - ga);
                const double gm = g(m, tm);
                if (std::fabs(gm) < 1e-7) {
                    a = b = m, ta = tb = tm;
                    break;
                }
                if (gm > 0) {
                    a = m, ga = gm, ta = tm;
                    if (side == 1) gb *= 0.5;
                    side = 1;
                } else {
                    b = m, gb = gm, tb = tm;
                    if (side == -1) ga *= 0.5;
                    side = -1;
                }
            }
            N = ga > 0 ? b : a;
            throat = ga > 0 ? tb : ta;
            f.choked = throat.P > backP;
        } else {
            N = 1;
        }
    }
    f.boilingDelay = N;
    finish(sys, in, backP, f, throat);
    return f;
}

} // namespace zpk::operations
