#include "equilibrium/flashes.h"
#include "models/solid.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/error.h"
#include "equilibrium/saturation.h"

namespace zpk::engine {

using equilibrium::Phase;
using equilibrium::SplitPoint;

namespace {

int activeCount(const StreamSystem& sys) {
    int a = 0;
    for (double v : sys.feed()) a += v > 0;
    return a;
}

std::shared_ptr<EquilibriumCache> fromSplit(const StreamSystem& sys, const SplitPoint& sp) {
    std::vector<Phase> ph(2);
    ph[0].kind = models::kVapour;
    ph[0].beta = sp.beta;
    ph[0].x = sp.y;
    ph[1].kind = models::kLiquid;
    ph[1].beta = 1 - sp.beta;
    ph[1].x = sp.x;
    // A pure component evaluates each phase on its own root.
    auto st = std::make_shared<EquilibriumCache>();
    st->T = sp.T;
    st->P = sp.P;
    for (auto& p : ph) {
        PhaseState s = sys.phaseState(sp.T, sp.P, p.x, p.kind, false);
        s.beta = p.beta;
        st->phases.push_back(std::move(s));
    }
    return st;
}

// Saturation point of a single-component feed: from the fugacity model's
// own saturation curve when it has one (both phases on the same equation),
// else Newton's method on the split (start: sp and lnK, or Wilson).
bool pureSplitPoint(const StreamSystem& sys, bool fixedIsP, double beta, SplitPoint& sp, std::vector<double> lnK = {}) {
    const models::PhaseModel& m = sys.model(1, 0);
    if (&m == &sys.model(1, 1) && activeCount(sys) == 1) {
        double T = sp.T, P = sp.P;
        if (m.pureSaturation(fixedIsP, T, P)) {
            sp.T = T;
            sp.P = P;
            sp.beta = beta;
            sp.x = sp.y = sys.feed();
            return true;
        }
    }
    return equilibrium::solveSplitPoint(sys.fluid(), sys.feed().data(), beta, fixedIsP, sp, std::move(lnK));
}

std::shared_ptr<EquilibriumCache> flashAt(const StreamSystem& sys, double u, bool fixedIsP, double fixed) {
    return fixedIsP ? sys.flash(u, fixed) : sys.flash(fixed, u);
}

// Scan of the unknown for the k-th change of (Lf >= f), refined by bisection
// with isothermal flashes, then polished with Newton's method.
std::shared_ptr<EquilibriumCache> scanLiquidFraction(const StreamSystem& sys, double fixed, bool fixedIsP, double f,
                                                     int k) {
    const auto& fl = sys.fluid();
    const double* z = sys.feed().data();
    auto side = [&](const EquilibriumCache& st) {
        const double lf = liquidFraction(st);
        return f >= 0.5 ? lf >= f - 1e-12 : lf > f + 1e-12;
    };
    // Range of the unknown from Wilson estimates of the dew and bubble points.
    SplitPoint a, b;
    a.P = b.P = fixed;
    a.T = b.T = fixed;
    double lo, hi;
    if (fixedIsP) {
        double tmin = 1e9, tmax = 0;
        for (int i = 0; i < sys.size(); ++i)
            if (z[i] > 0) {
                const double ts = fl.tc[i] / (1 - std::log(fixed / fl.pc[i]) / (5.373 * (1 + fl.omega[i])));
                if (ts > 0) {
                    tmin = std::min(tmin, ts);
                    tmax = std::max(tmax, ts);
                }
            }
        if (tmax <= 0) tmax = 1000, tmin = 50;
        lo = std::max(10.0, 0.5 * tmin);
        hi = std::min(5000.0, 1.6 * tmax);
    } else {
        double pmin = 1e12, pmax = 0;
        for (int i = 0; i < sys.size(); ++i)
            if (z[i] > 0) {
                const double ps = fl.pc[i] * std::exp(5.373 * (1 + fl.omega[i]) * (1 - fl.tc[i] / fixed));
                pmin = std::min(pmin, ps);
                pmax = std::max(pmax, ps);
            }
        lo = std::max(1.0, 0.2 * pmin);
        hi = std::min(1e9, 20.0 * std::max(pmax, 1e5));
    }
    // Grid in the log of the unknown; at fixed pressure from high T down.
    const int N = 160;
    const double l0 = std::log(lo), l1 = std::log(hi);
    std::vector<double> grid(N + 1);
    for (int i = 0; i <= N; ++i) grid[i] = fixedIsP ? std::exp(l1 - (l1 - l0) * i / N) : std::exp(l0 + (l1 - l0) * i / N);
    int found = 0;
    bool prev = false;
    double uPrev = 0;
    for (int i = 0; i <= N; ++i) {
        std::shared_ptr<EquilibriumCache> st;
        try {
            st = flashAt(sys, grid[i], fixedIsP, fixed);
        } catch (const Error&) {
            continue;
        }
        const bool s = side(*st);
        if (i > 0 && s != prev && ++found == k) {
            double ua = uPrev, ub = grid[i];
            bool sa = prev;
            for (int it = 0; it < 60 && std::fabs(ub - ua) > 1e-13 * ub; ++it) {
                const double um = std::sqrt(ua * ub);
                const bool sm = side(*flashAt(sys, um, fixedIsP, fixed));
                if (sm == sa)
                    ua = um;
                else
                    ub = um;
            }
            // The state on the two-phase side, then Newton on the exact fraction.
            auto sA = flashAt(sys, ua, fixedIsP, fixed), sB = flashAt(sys, ub, fixedIsP, fixed);
            auto best = sA->phases.size() >= sB->phases.size() ? sA : sB;
            const PhaseState* v = phaseOfKind(*best, models::kVapour);
            const PhaseState* l = phaseOfKind(*best, models::kLiquid);
            if (v && l && best->phases.size() == 2) {
                SplitPoint sp;
                sp.T = best->T;
                sp.P = best->P;
                std::vector<double> lnK(sys.size(), 0.0);
                for (int c = 0; c < sys.size(); ++c)
                    if (z[c] > 0) lnK[c] = std::log(v->x[c] / l->x[c]);
                if (equilibrium::solveSplitPoint(fl, z, 1 - f, fixedIsP, sp, lnK)) return fromSplit(sys, sp);
            }
            return best;
        }
        prev = s;
        uPrev = grid[i];
    }
    throw Error("no state with liquid fraction " + std::to_string(f) + " found", kCalculation);
}

}  // namespace

std::shared_ptr<EquilibriumCache> liquidFractionFlash(const StreamSystem& sys, double fixed, bool fixedIsP, double f,
                                                      int k, bool counted) {
    if (!(f >= 0 && f <= 1)) throw Error("liquid fraction " + std::to_string(f) + " is not in [0, 1]");
    if (k < 1) throw Error("solution number " + std::to_string(k) + " is not positive");
    const double* z = sys.feed().data();
    const bool threePhase = sys.fluid().maxPhases > 2 && activeCount(sys) > 1;
    if (k == 1 && ((!threePhase && !counted) || activeCount(sys) == 1)) {
        SplitPoint sp;
        sp.T = sp.P = fixed;
        if (activeCount(sys) == 1 ? pureSplitPoint(sys, fixedIsP, 1 - f, sp)
                                  : equilibrium::solveSplitPoint(sys.fluid(), z, 1 - f, fixedIsP, sp))
            return fromSplit(sys, sp);
    }
    if (activeCount(sys) == 1) throw Error("no saturation state at this condition", kCalculation);
    return scanLiquidFraction(sys, fixed, fixedIsP, f, k);
}

double specValue(const EquilibriumCache& st, Spec spec) {
    switch (spec) {
    case Spec::H: return molarEnthalpy(st);
    case Spec::S: return molarEntropy(st);
    case Spec::V: return molarVolume(st);
    }
    return kNaN;
}

namespace {
// Slope of a specification with respect to T at fixed P (or P at fixed T)
// along the state's phases at fixed compositions.
double slope(const EquilibriumCache& st, Spec spec, bool fixedIsP) {
    double d = 0;
    for (const auto& p : st.phases) {
        double v;
        if (fixedIsP)
            v = spec == Spec::H ? p.cp : spec == Spec::S ? p.cp / st.T : p.v * p.alpha;
        else
            v = spec == Spec::H ? p.v * (1 - st.T * p.alpha) : spec == Spec::S ? -p.v * p.alpha : -p.v * p.kappa;
        d += p.beta * v;
    }
    return d;
}

// Two-phase state of a single-component feed at pressure P whose H or S
// equals the target, when the saturation temperature lies strictly between
// ta and tb and the target between the saturated phases' values; else null.
std::shared_ptr<EquilibriumCache> pureLeverState(const StreamSystem& sys, Spec spec, double target, double P,
                                                 double ta, double tb) {
    const double lo = std::min(ta, tb), hi = std::max(ta, tb);
    SplitPoint sp;
    sp.P = P;
    sp.T = 0.5 * (lo + hi);
    try {
        if (!pureSplitPoint(sys, true, 0.5, sp, std::vector<double>(sys.size(), 0.0))) return nullptr;
    } catch (const Error&) {
        return nullptr;
    }
    if (!(sp.T > lo && sp.T < hi) || std::fabs(sp.P - P) > 1e-9 * P) return nullptr;
    auto st = fromSplit(sys, sp);
    if (st->phases.size() != 2) return nullptr;
    const PhaseState& v = st->phases[0];
    const PhaseState& l = st->phases[1];
    auto val = [&](const PhaseState& p) { return spec == Spec::H ? p.h : p.s; };
    const double beta = (target - val(l)) / (val(v) - val(l));
    if (!(beta >= 0 && beta <= 1)) return nullptr;
    st->phases[0].beta = beta;
    st->phases[1].beta = 1 - beta;
    return st;
}
}  // namespace

std::shared_ptr<EquilibriumCache> stateFunctionFlash(const StreamSystem& sys, Spec spec, double target, double fixed,
                                                     bool fixedIsP, double estimate) {
    // Unknown u: temperature at fixed pressure, pressure at fixed temperature.
    // States that cannot be computed count as missing (NaN) while bracketing.
    // Each flash starts from the last state computed: the search moves
    // along one isobar (isotherm) in ever smaller steps.
    std::shared_ptr<EquilibriumCache> last;
    auto stateAt = [&](double u) {
        auto st = !last      ? flashAt(sys, u, fixedIsP, fixed)
                  : fixedIsP ? sys.flashFrom(u, fixed, *last)
                             : sys.flashFrom(fixed, u, *last);
        last = st;
        return st;
    };
    auto tryState = [&](double u, std::shared_ptr<EquilibriumCache>& st) {
        try {
            st = stateAt(u);
            return specValue(*st, spec) - target;
        } catch (const Error&) {
            st.reset();
            return kNaN;
        }
    };
    const double scale = std::max(std::fabs(target), 1e-12);
    const double umin = fixedIsP ? 5.0 : 1.0, umax = fixedIsP ? 6000.0 : 1e10;
    std::shared_ptr<EquilibriumCache> s0, s1;
    double u0 = estimate > umin && estimate < umax ? estimate : (fixedIsP ? 300.0 : 1e5);
    double g0 = tryState(u0, s0);
    for (double alt : {fixedIsP ? 300.0 : 1e5, fixedIsP ? 150.0 : 1e6, fixedIsP ? 600.0 : 1e4}) {
        if (std::isfinite(g0)) break;
        u0 = alt;
        g0 = tryState(u0, s0);
    }
    if (!std::isfinite(g0)) throw Error("no state can be computed near the estimate", kCalculation);
    if (std::fabs(g0) <= 1e-12 * scale) return s0;
    // Newton steps with the state's own slope (phase changes make the true
    // slope larger, so a step may overshoot: a sign change then brackets).
    double ua = u0, ga = g0, ub = u0, gb = g0;
    std::shared_ptr<EquilibriumCache> sa = s0, sb;
    bool bracketed = false;
    for (int it = 0; it < 12 && !bracketed; ++it) {
        const double d = slope(*sa, spec, fixedIsP);
        if (!std::isfinite(d) || d == 0) break;
        const double un = std::clamp(std::clamp(ua - ga / d, ua * 0.8, ua * 1.25), umin, umax);
        if (un == ua) break;
        std::shared_ptr<EquilibriumCache> sn;
        const double gn = tryState(un, sn);
        if (!std::isfinite(gn)) break;
        if (std::fabs(gn) <= 1e-12 * scale) return sn;
        if ((gn < 0) != (ga < 0)) {
            ub = un;
            gb = gn;
            sb = sn;
            bracketed = true;
        } else {
            ua = un;
            ga = gn;
            sa = sn;
        }
    }
    if (!bracketed) {
        // Bracket by geometric steps in the direction that reduces |g|.
        const double step = 1.15;
        double u1 = ua * step;
        double g1 = tryState(u1, s1);
        if (!std::isfinite(g1)) {
            u1 = ua / step;
            g1 = tryState(u1, s1);
        }
        const bool rising = std::isfinite(g1) ? (g1 - ga) * (u1 - ua) > 0 : spec != Spec::V || fixedIsP;
        const double dir = ((ga < 0) == rising) ? step : 1.0 / step;
        ub = ua;
        for (int it = 0; it < 300; ++it) {
            ub = std::clamp(ub * dir, umin, umax);
            gb = tryState(ub, sb);
            if (std::isfinite(gb)) {
                if ((ga < 0) != (gb < 0)) {
                    bracketed = true;
                    break;
                }
                ua = ub;
                ga = gb;
                sa = sb;
            }
            if (ub == umin || ub == umax) break;
        }
    }
    if (!bracketed) throw Error("the specified state lies outside the range of the models", kCalculation);
    // A pure component's enthalpy or entropy at fixed pressure rises with T
    // and jumps at the saturation temperature.  When that temperature lies
    // in the bracket and the target lies between the saturated phases'
    // values, the state is the two-phase split found by the lever rule; this
    // saves the long regula-falsi approach to the jump below.
    if (fixedIsP && spec != Spec::V && activeCount(sys) == 1) {
        if (auto st = pureLeverState(sys, spec, target, fixed, ua, ub)) return st;
    }
    // Illinois regula falsi.
    int lastSide = 0;
    for (int it = 0; it < 200; ++it) {
        double um = (ua * gb - ub * ga) / (gb - ga);
        if (!(um > std::min(ua, ub) && um < std::max(ua, ub))) um = 0.5 * (ua + ub);
        std::shared_ptr<EquilibriumCache> sm;
        const double gm = tryState(um, sm);
        if (!std::isfinite(gm)) break;
        if (std::fabs(gm) <= 1e-12 * scale) return sm;
        if ((gm < 0) == (ga < 0)) {
            ua = um;
            ga = gm;
            sa = sm;
            if (lastSide == -1) gb *= 0.5;
            lastSide = -1;
        } else {
            ub = um;
            gb = gm;
            sb = sm;
            if (lastSide == 1) ga *= 0.5;
            lastSide = 1;
        }
        if (std::fabs(ub - ua) <= 1e-13 * std::fabs(ub)) break;
    }
    // The function jumps between ua and ub.  When a solid appears across the
    // jump (a pure component's melting point), the state is the mixture of
    // the two bracketing states by the lever rule.
    auto hasSolid = [](const EquilibriumCache& st) {
        for (const auto& p : st.phases)
            if (p.kind == models::kSolidPhase) return true;
        return false;
    };
    if (sa && sb && hasSolid(*sa) != hasSolid(*sb)) {
        const double a = specValue(*sa, spec) - target, b = specValue(*sb, spec) - target;
        const double w = a / (a - b);  // share of the state at ub
        if (w >= 0 && w <= 1) {
            auto out = std::make_shared<EquilibriumCache>(*sa);
            out->T = fixedIsP ? 0.5 * (ua + ub) : sa->T;
            out->P = fixedIsP ? sa->P : 0.5 * (ua + ub);
            for (auto& p : out->phases) p.beta *= 1 - w;
            for (auto p : sb->phases) {
                p.beta *= w;
                out->phases.push_back(std::move(p));
            }
            // Fluid phases first, solids after them, as the flash orders them.
            std::stable_partition(out->phases.begin(), out->phases.end(),
                                  [](const PhaseState& p) { return p.kind != models::kSolidPhase; });
            return out;
        }
    }
    // A pure component's saturation: split the feed between the two saturated
    // phases by the lever rule.
    const double u = 0.5 * (ua + ub);
    SplitPoint sp;
    if (fixedIsP) {
        sp.P = fixed;
        sp.T = u;
    } else {
        sp.T = fixed;
        sp.P = u;
    }
    std::vector<double> lnK(sys.size(), 0.0);
    if (activeCount(sys) == 1 ? pureSplitPoint(sys, fixedIsP, 0.5, sp, lnK)
                              : equilibrium::solveSplitPoint(sys.fluid(), sys.feed().data(), 0.5, fixedIsP, sp, lnK)) {
        auto st = fromSplit(sys, sp);
        const PhaseState& v = st->phases[0];
        const PhaseState& l = st->phases[1];
        auto val = [&](const PhaseState& p) { return spec == Spec::H ? p.h : spec == Spec::S ? p.s : p.v; };
        const double beta = (target - val(l)) / (val(v) - val(l));
        if (beta >= -1e-9 && beta <= 1 + 1e-9) {
            auto out = std::make_shared<EquilibriumCache>(*st);
            out->phases[0].beta = std::clamp(beta, 0.0, 1.0);
            out->phases[1].beta = 1 - out->phases[0].beta;
            return out;
        }
    }
    return std::fabs(ga) < std::fabs(gb) ? sa : sb;
}

std::shared_ptr<EquilibriumCache> twoSpecFlash(const StreamSystem& sys, Spec a, double ta, Spec b, double tb,
                                               double T0, double P0) {
    // Nested: for a pressure, the temperature meeting spec a; outer secant in
    // ln P on spec b.
    auto inner = [&](double P) { return stateFunctionFlash(sys, a, ta, P, true, T0); };
    auto gb = [&](const EquilibriumCache& st) { return specValue(st, b) - tb; };
    const double scale = std::max(std::fabs(tb), 1e-12);
    double u0 = std::log(P0 > 0 ? P0 : 1e5), u1 = u0 + 0.05;
    auto s0 = inner(std::exp(u0));
    T0 = s0->T;
    double g0 = gb(*s0);
    auto s1 = inner(std::exp(u1));
    double g1 = gb(*s1);
    for (int it = 0; it < 100; ++it) {
        if (std::fabs(g1) <= 1e-10 * scale) return s1;
        double u2 = u1 - g1 * (u1 - u0) / (g1 - g0);
        if (!std::isfinite(u2)) break;
        u2 = std::clamp(u2, u1 - 1.0, u1 + 1.0);
        u0 = u1;
        g0 = g1;
        u1 = u2;
        T0 = s1->T;
        s1 = inner(std::exp(u1));
        g1 = gb(*s1);
    }
    throw Error("two-specification flash did not converge", kCalculation);
}

}  // namespace zpk::engine
