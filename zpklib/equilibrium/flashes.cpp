#include "equilibrium/flashes.h"
#include "models/solid.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/error.h"
#include "equilibrium/envelope.h"
#include "equilibrium/gibbs_hessian.h"
#include "equilibrium/saturation.h"
#include "equilibrium/system.h"
#include "equilibrium/verify.h"

namespace zpk::engine {

using equilibrium::Phase;
using equilibrium::SplitPoint;

namespace {

// Largest difference between the liquid fraction of a result and the target.
constexpr double kFractionTolerance = 1e-8;
// Relative temperature step above a saturation point at which the side of
// the two-phase region is tested, and the tangent-plane distance below which
// the feed counts as splitting there.
constexpr double kSideStep = 1e-5;
constexpr double kSideDistance = 1e-10;
// Fractions this close to 0 or 1 count as dew or bubble points for the
// choice among several solutions.
constexpr double kNearSaturation = 1e-6;
// Largest relative deviation of a state-function flash from its
// specification (scale: |target|, at least R T for H and R for S).
constexpr double kSpecTolerance = 1e-9;

int activeCount(const StreamSystem& sys) {
    int a = 0;
    for (double v : sys.feed())
        a += v > 0;
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
bool pureSplitPoint(const StreamSystem& sys, bool fixedIsP, double beta, SplitPoint& sp,
                    std::vector<double> lnK = {}) {
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

// What the state misses of being an equilibrium at liquid fraction f with at
// least two fluid phases ("" when nothing).
std::string fractionDefect(const StreamSystem& sys, const EquilibriumCache& st, double f) {
    std::vector<equilibrium::CheckedPhase> ph;
    int fluid = 0;
    for (const auto& p : st.phases) {
        ph.push_back({p.kind, p.beta, &p.x});
        fluid += p.kind == models::kVapour || p.kind == models::kLiquid;
    }
    if (fluid < 2) return "the state has a single fluid phase";
    const double lf = liquidFraction(st);
    if (!(std::fabs(lf - f) <= kFractionTolerance))
        return "the liquid fraction is " + std::to_string(lf) + " instead of " + std::to_string(f);
    return equilibrium::equilibriumDefect(sys.fluid(), st.T, st.P, sys.feed().data(), ph);
}

// A water dew point: nearly pure water (at least 90 %) condenses out of a
// feed of at most 10 % water, a wet gas (the dew point of its hydrocarbons
// is another one).  Aqueous mixtures such as water-methanol have ordinary
// dew points.
bool waterDewPoint(const StreamSystem& sys, const EquilibriumCache& st) {
    const int w = sys.fluid().water;
    const PhaseState* l = phaseOfKind(st, models::kLiquid);
    if (w < 0 || !l || sys.feed()[w] > 0.1) return false;
    double sum = 0;
    for (double v : l->x)
        sum += v;
    return l->x[w] > 0.9 * sum;
}

// One state of the scan of the unknown u (T at fixed P, P at fixed T).
struct Probe {
    double u = 0;
    std::shared_ptr<EquilibriumCache> st; // null when the flash failed
    bool multi = false;                   // two or more fluid phases
    double lf = 0;
    int label = 0; // kind of a single fluid phase
};

Probe probeAt(const StreamSystem& sys, double u, bool fixedIsP, double fixed) {
    Probe p;
    p.u = u;
    try {
        p.st = flashAt(sys, u, fixedIsP, fixed);
    } catch (const Error&) {
        return p;
    }
    int fluid = 0;
    for (const auto& ph : p.st->phases)
        if (ph.kind == models::kVapour || ph.kind == models::kLiquid) {
            ++fluid;
            p.label = ph.kind;
        }
    p.multi = fluid >= 2;
    p.lf = liquidFraction(*p.st);
    return p;
}

// Scan of the unknown for the states where the liquid fraction passes f,
// counted from high to low temperature at fixed pressure and from low to
// high pressure at fixed temperature.
//
// The liquid fraction of a single phase is only a label (the models call a
// dense fluid above its critical temperature a vapour or a liquid by their
// own rules), so single-phase states take the fraction of the boundary of
// the two-phase region next to them: 0 at a dew boundary, 1 at a bubble
// boundary.  Between two single-phase states of different labels the scan
// looks for a narrow two-phase region; where it finds none the label change
// is no phase boundary (a path around the critical point) and counts for
// nothing.  k = 0 asks for the last state; otherwise the k-th.
class FractionScan {
  public:
    // skipWater: water dew points (see waterDewPoint) are not counted.
    FractionScan(const StreamSystem& sys, double fixed, bool fixedIsP, double f, int k, bool skipWater)
        : sys_(sys), fixed_(fixed), fixedIsP_(fixedIsP), f_(f), k_(k), skipWater_(skipWater) {}

    std::shared_ptr<EquilibriumCache> run() {
        const int N = 160;
        const double l0 = std::log(range().first), l1 = std::log(range().second);
        Probe prev;
        for (int i = 0; i <= N && !done_; ++i) {
            const double u = fixedIsP_ ? std::exp(l1 - (l1 - l0) * i / N) : std::exp(l0 + (l1 - l0) * i / N);
            Probe cur = probeAt(sys_, u, fixedIsP_, fixed_);
            if (!cur.st) continue;
            if (prev.st) between(prev, cur, 0);
            prev = std::move(cur);
        }
        return result_;
    }
    int found() const { return found_; }
    // The state on the other side of the one run() returned (null at a
    // phase boundary).
    std::shared_ptr<EquilibriumCache> other() const { return other_; }

  private:
    bool side(double lf) const { return f_ >= 0.5 ? lf >= f_ - 1e-12 : lf > f_ + 1e-12; }

    std::pair<double, double> range() const {
        const auto& fl = sys_.fluid();
        const double* z = sys_.feed().data();
        if (fixedIsP_) {
            double tmin = 1e9, tmax = 0;
            for (int i = 0; i < sys_.size(); ++i)
                if (z[i] > 0) {
                    const double ts =
                        fl.tc[i] / (1 - std::log(fixed_ / fl.pc[i]) / (5.373 * (1 + fl.omega[i])));
                    if (ts > 0) {
                        tmin = std::min(tmin, ts);
                        tmax = std::max(tmax, ts);
                    }
                }
            if (tmax <= 0) tmax = 1000, tmin = 50;
            return {std::max(10.0, 0.5 * tmin), std::min(5000.0, 1.6 * tmax)};
        }
        double pmin = 1e12, pmax = 0;
        for (int i = 0; i < sys_.size(); ++i)
            if (z[i] > 0) {
                const double ps = fl.pc[i] * std::exp(5.373 * (1 + fl.omega[i]) * (1 - fl.tc[i] / fixed_));
                pmin = std::min(pmin, ps);
                pmax = std::max(pmax, ps);
            }
        return {std::max(1.0, 0.2 * pmin), std::min(1e9, 20.0 * std::max(pmax, 1e5))};
    }

    // p: the state found; q: the state on the other side of a jump of the
    // fraction, when there is one.
    void record(const Probe& p, const Probe* q = nullptr) {
        if (skipWater_ && waterDewPoint(sys_, *p.st)) return;
        ++found_;
        if (k_ == 0 || found_ == k_) {
            result_ = p.st;
            other_ = q ? q->st : nullptr;
        }
        if (found_ == k_) done_ = true;
    }

    // Crossings strictly between a and b, in scan order.
    void between(const Probe& a, const Probe& b, int depth) {
        if (done_) return;
        if (!a.multi && !b.multi && a.label == b.label) return;
        if (a.multi && b.multi && side(a.lf) == side(b.lf)) return;
        if (std::fabs(b.u - a.u) <= 1e-13 * b.u || depth > 80) {
            if (a.multi && b.multi) {
                record(b, &a);
            } else if (a.multi != b.multi) {
                // A phase boundary: the single phase takes the boundary's
                // fraction; f counts when it lies between that and the
                // fraction of the two-phase state (closed at the boundary).
                const Probe& m = a.multi ? a : b;
                const double edge = m.lf < 0.5 ? 0.0 : 1.0;
                const bool hit = edge == 0.0 ? (f_ >= 0 && f_ <= 1e-12) || side(m.lf) != side(edge)
                                             : (f_ >= 1 - 1e-12) || side(m.lf) != side(edge);
                if (hit) record(m);
            }
            return; // two single phases of different labels: no boundary
        }
        Probe m = probeAt(sys_, std::sqrt(a.u * b.u), fixedIsP_, fixed_);
        if (!m.st) return;
        between(a, m, depth + 1);
        between(m, b, depth + 1);
    }

    const StreamSystem& sys_;
    double fixed_;
    bool fixedIsP_;
    double f_;
    int k_;
    bool skipWater_;
    int found_ = 0;
    bool done_ = false;
    std::shared_ptr<EquilibriumCache> result_, other_;
};

// Newton's method on the exact fraction from a vapour-liquid state near it;
// where the fraction jumps on the flash path (a second liquid that the
// two-phase split leaves out), by continuation in the fraction from the
// state's own one in steps of at most 0.05.
std::shared_ptr<EquilibriumCache> polish(const StreamSystem& sys, std::shared_ptr<EquilibriumCache> st,
                                         double f, bool fixedIsP) {
    const PhaseState* v = phaseOfKind(*st, models::kVapour);
    const PhaseState* l = phaseOfKind(*st, models::kLiquid);
    if (!v || !l || st->phases.size() != 2) return st;
    const double* z = sys.feed().data();
    std::vector<double> lnK(sys.size(), 0.0);
    for (int c = 0; c < sys.size(); ++c)
        if (z[c] > 0) lnK[c] = std::log(v->x[c] / l->x[c]);
    SplitPoint sp;
    sp.T = st->T;
    sp.P = st->P;
    if (equilibrium::solveSplitPoint(sys.fluid(), z, 1 - f, fixedIsP, sp, lnK)) {
        auto out = fromSplit(sys, sp);
        if (fractionDefect(sys, *out, f).empty()) return out;
    }
    const double lf0 = liquidFraction(*st);
    const int steps = std::clamp(static_cast<int>(std::ceil(std::fabs(f - lf0) / 0.05)), 1, 20);
    sp.T = st->T;
    sp.P = st->P;
    for (int k = 1; k <= steps; ++k) {
        const double fk = lf0 + (f - lf0) * k / steps;
        if (!equilibrium::solveSplitPoint(sys.fluid(), z, 1 - fk, fixedIsP, sp, lnK)) return st;
        for (int c = 0; c < sys.size(); ++c)
            if (z[c] > 0) lnK[c] = std::log(sp.y[c] / sp.x[c]);
    }
    auto out = fromSplit(sys, sp);
    return fractionDefect(sys, *out, f).empty() ? out : st;
}

std::string describeFraction(double f) {
    if (f == 0) return "dew point";
    if (f == 1) return "bubble point";
    return "state with liquid fraction " + std::to_string(f);
}

std::string numberText(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

// Whether a solution of Newton's method is the one the rule of
// liquidFractionFlash asks for (k = 0), for fractions within kNearSaturation
// of a dew or bubble point: a dew point must be no water dew point, and the
// feed must not split just above it (or just below a dew pressure); it must
// split just above a bubble point
// (or just below a bubble pressure).  One tangent-plane minimisation from
// the incipient phase slightly beyond the solution.  Other fractions are
// taken as Newton's method finds them.
bool wantedSolution(const StreamSystem& sys, const EquilibriumCache& st, double f, bool fixedIsP) {
    const bool dew = f <= kNearSaturation, bubble = f >= 1 - kNearSaturation;
    if (!dew && !bubble) return true;
    if (dew && waterDewPoint(sys, st)) return false;
    const PhaseState* inc = phaseOfKind(st, dew ? models::kLiquid : models::kVapour);
    if (!inc) return false;
    const double T = fixedIsP ? st.T * (1 + kSideStep) : st.T;
    const double P = fixedIsP ? st.P : st.P * (1 - kSideStep);
    const double tm = equilibrium::trialDistance(sys.fluid(), T, P, sys.feed().data(), inc->x);
    const bool split = tm < -kSideDistance;
    return dew ? !split : split;
}

// The state of liquid fraction f (0 < f < 1) at the fixed T or P from the
// traced line of that fraction: the line's crossings of the fixed value,
// re-solved on the line's equations, in the scan's order (rising pressure at
// a fixed T, falling temperature at a fixed P); the first verified one for
// nth = 1, the last for nth = 0.  Near a critical point the flashes the scan
// probes with cannot tell the nearly identical phases apart, while the line,
// traced in ln K, runs into the critical point.
std::shared_ptr<EquilibriumCache> fromFractionLine(const StreamSystem& sys, double fixed, bool fixedIsP,
                                                   double f, int nth) {
    const double* z = sys.feed().data();
    const double beta = 1 - f;
    const auto line = equilibrium::traceLine(sys.fluid(), z, beta, true);
    std::vector<std::shared_ptr<EquilibriumCache>> found;
    for (const auto& p : equilibrium::pointsAt(sys.fluid(), z, beta, line, !fixedIsP, fixed)) {
        if (p.swapped) continue;
        SplitPoint sp;
        sp.T = p.T;
        sp.P = p.P;
        sp.beta = beta;
        sp.x.assign(sys.size(), 0.0);
        sp.y.assign(sys.size(), 0.0);
        for (int i = 0; i < sys.size(); ++i)
            if (z[i] > 0) {
                const double K = std::exp(p.lnK[i]);
                sp.x[i] = z[i] / (1 + beta * (K - 1));
                sp.y[i] = K * sp.x[i];
            }
        auto st = fromSplit(sys, sp);
        // The vapour is the lighter phase (near the critical point a state
        // with the labels the other way round also solves the equations).
        if (st->phases[0].v > st->phases[1].v && fractionDefect(sys, *st, f).empty())
            found.push_back(std::move(st));
    }
    if (found.empty()) return nullptr;
    std::sort(found.begin(), found.end(),
              [&](const auto& a, const auto& b) { return fixedIsP ? a->T > b->T : a->P < b->P; });
    return nth == 1 ? found.front() : found.back();
}

} // namespace

std::shared_ptr<EquilibriumCache> liquidFractionFlash(const StreamSystem& sys, double fixed, bool fixedIsP,
                                                      double f, int k) {
    if (!(f >= 0 && f <= 1)) throw Error("liquid fraction " + std::to_string(f) + " is not in [0, 1]");
    if (k < 0) throw Error("solution number " + std::to_string(k) + " is negative");
    const double* z = sys.feed().data();
    const bool single = activeCount(sys) == 1;
    const bool threePhase = sys.fluid().maxPhases > 2 && !single;
    const std::string what = describeFraction(f) + " at " + numberText(fixed) + (fixedIsP ? " Pa" : " K");
    if (single || (k == 0 && !threePhase)) {
        SplitPoint sp;
        sp.T = sp.P = fixed;
        if (single ? pureSplitPoint(sys, fixedIsP, 1 - f, sp)
                   : equilibrium::solveSplitPoint(sys.fluid(), z, 1 - f, fixedIsP, sp)) {
            auto st = fromSplit(sys, sp);
            const std::string defect = fractionDefect(sys, *st, f);
            if (single && !defect.empty()) throw Error("no " + what + ": " + defect, kCalculation);
            if (defect.empty() && (single || wantedSolution(sys, *st, f, fixedIsP))) return st;
        }
        if (single) throw Error("no " + what + " (no saturation state)", kCalculation);
    }
    // The rule of k = 0: the first state from the vapour side for the dew
    // side of the envelope, the last one for the bubble side.
    const int nth = k > 0 ? k : (f < 0.5 ? 1 : 0);
    FractionScan scan(sys, fixed, fixedIsP, f, nth, k == 0 && f <= kNearSaturation);
    auto st = scan.run();
    if (!st && k <= 1 && scan.found() == 0 && f > 0 && f < 1 && !threePhase)
        if (auto line = fromFractionLine(sys, fixed, fixedIsP, f, nth)) return line;
    if (!st) {
        if (k > 1 && scan.found() > 0)
            throw Error("no " + what + " number " + std::to_string(k) + " (" + std::to_string(scan.found()) +
                            " found)",
                        kCalculation);
        throw Error("no " + what, kCalculation);
    }
    st = polish(sys, st, f, fixedIsP);
    if (!fractionDefect(sys, *st, f).empty() && scan.other()) {
        auto alt = polish(sys, scan.other(), f, fixedIsP);
        if (fractionDefect(sys, *alt, f).empty()) st = alt;
    }
    const std::string defect = fractionDefect(sys, *st, f);
    if (!defect.empty()) throw Error("no " + what + " verified: " + defect, kCalculation);
    return st;
}

double specValue(const EquilibriumCache& st, Spec spec) {
    switch (spec) {
    case Spec::H:
        return molarEnthalpy(st);
    case Spec::S:
        return molarEntropy(st);
    case Spec::V:
        return molarVolume(st);
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
            v = spec == Spec::H   ? p.v * (1 - st.T * p.alpha)
                : spec == Spec::S ? -p.v * p.alpha
                                  : -p.v * p.kappa;
        d += p.beta * v;
    }
    return d;
}

} // namespace

// Slope of a specification along the equilibrium (phase amounts and
// compositions following T at fixed P, or P at fixed T) for a state of two
// or more fluid phases: the state's own slope plus the transfer between the
// phases.  With phase 0 taking the rest of the feed, the mole numbers n_k of
// phases 1..p-1 change by dn = -H^-1 D_u, H the Gibbs-energy Hessian of the
// isothermal flash's Newton step and D_u,k = d ln phi_k/du - d ln phi_0/du;
// the specified quantity then changes by sum_k (Y_k - Y_0) dn_k with the
// partial molar differences Y_k - Y_0: -R T^2 D_T (H), -R T D_T (S),
// R T D_P (V).  Falls back to the state's own slope for a single phase, a
// solid or hydrate phase, or a model that cannot be evaluated.
double equilibriumSlope(const StreamSystem& sys, const EquilibriumCache& st, Spec spec, bool fixedIsP) {
    const double own = slope(st, spec, fixedIsP);
    const int p = static_cast<int>(st.phases.size());
    if (p < 2) return own;
    for (const auto& ph : st.phases)
        if (ph.kind != models::kVapour && ph.kind != models::kLiquid) return own;
    const auto& fl = sys.fluid();
    const int n = sys.size();
    const double* z = sys.feed().data();
    thread_local std::vector<models::PhaseProps> pr;
    thread_local std::vector<int> act;
    thread_local Eigen::MatrixXd H;
    thread_local Eigen::VectorXd du, dy;
    thread_local Eigen::LDLT<Eigen::MatrixXd> ldlt;
    pr.resize(p);
    for (int k = 0; k < p; ++k) {
        if (!(st.phases[k].beta > 0)) return own;
        if (!equilibrium::evalPhase(fl, st.T, st.P, st.phases[k].x.data(), models::Root::Stable, 1, pr[k]))
            return own;
    }
    equilibrium::gibbsHessian(st.phases, pr, z, n, act, H);
    const int m = static_cast<int>(act.size());
    du.resize((p - 1) * m);
    dy.resize((p - 1) * m);
    const double RT = models::kR * st.T;
    for (int k = 1; k < p; ++k)
        for (int a = 0; a < m; ++a) {
            const int r = (k - 1) * m + a, i = act[a];
            const double dT = pr[k].dlnphi_dT[i] - pr[0].dlnphi_dT[i];
            const double dP = pr[k].dlnphi_dP[i] - pr[0].dlnphi_dP[i];
            du(r) = fixedIsP ? dT : dP;
            dy(r) = spec == Spec::H ? -RT * st.T * dT : spec == Spec::S ? -RT * dT : RT * dP;
        }
    ldlt.compute(H);
    if (ldlt.info() != Eigen::Success || !ldlt.isPositive()) return own;
    const double d = own - dy.dot(ldlt.solve(du));
    return std::isfinite(d) ? d : own;
}

namespace {

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

// The search of stateFunctionFlash: the state it ends on (not verified).
std::shared_ptr<EquilibriumCache> searchStateFunction(const StreamSystem& sys, Spec spec, double target,
                                                      double fixed, bool fixedIsP, double estimate) {
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
    // The slope at the previous Newton point, for the curvature.
    double uPrev = kNaN, dPrev = kNaN;
    std::size_t phasesPrev = 0;
    // Newton's step from (u, g) with slope d, with Chebyshev's correction
    // -g'' s^2 / (2 d) when the previous point has as many phases (g'' from
    // the change of the slope) and the correction is small against the step.
    auto stepFrom = [&](const EquilibriumCache& st, double u, double g, double d) {
        double s = -g / d;
        if (st.phases.size() == phasesPrev && std::isfinite(dPrev) && uPrev != u) {
            const double corr = -0.5 * (d - dPrev) / (u - uPrev) * s * s / d;
            if (std::fabs(corr) < 0.5 * std::fabs(s)) s += corr;
        }
        uPrev = u;
        dPrev = d;
        phasesPrev = st.phases.size();
        return u + s;
    };
    for (int it = 0; it < 12 && !bracketed; ++it) {
        const double d = equilibriumSlope(sys, *sa, spec, fixedIsP);
        if (!std::isfinite(d) || d == 0) break;
        const double un = std::clamp(std::clamp(stepFrom(*sa, ua, ga, d), ua * 0.8, ua * 1.25), umin, umax);
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
    // Newton steps on the equilibrium slope from the latest state while they
    // stay inside the bracket and at least halve |g|; Illinois regula falsi
    // otherwise (across a jump, where the slope says nothing).
    int lastSide = 0;
    std::shared_ptr<EquilibriumCache> sl = std::fabs(ga) < std::fabs(gb) ? sa : sb;
    double ul = sl == sa ? ua : ub, gl = sl == sa ? ga : gb;
    bool newtonPays = true;
    for (int it = 0; it < 200; ++it) {
        double um = kNaN;
        if (newtonPays && sl) {
            const double d = equilibriumSlope(sys, *sl, spec, fixedIsP);
            if (std::isfinite(d) && d != 0) um = stepFrom(*sl, ul, gl, d);
        }
        const bool newton = um > std::min(ua, ub) && um < std::max(ua, ub);
        if (!newton) {
            um = (ua * gb - ub * ga) / (gb - ga);
            if (!(um > std::min(ua, ub) && um < std::max(ua, ub))) um = 0.5 * (ua + ub);
        }
        std::shared_ptr<EquilibriumCache> sm;
        const double gm = tryState(um, sm);
        if (!std::isfinite(gm)) break;
        if (std::fabs(gm) <= 1e-12 * scale) return sm;
        newtonPays = !newton || std::fabs(gm) <= 0.5 * std::fabs(gl);
        sl = sm;
        ul = um;
        gl = gm;
        if ((gm < 0) == (ga < 0)) {
            ua = um;
            ga = gm;
            sa = sm;
            if (!newton && lastSide == -1) gb *= 0.5;
            lastSide = -1;
        } else {
            ub = um;
            gb = gm;
            sb = sm;
            if (!newton && lastSide == 1) ga *= 0.5;
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
        const double w = a / (a - b); // share of the state at ub
        if (w >= 0 && w <= 1) {
            auto out = std::make_shared<EquilibriumCache>(*sa);
            out->T = fixedIsP ? 0.5 * (ua + ub) : sa->T;
            out->P = fixedIsP ? sa->P : 0.5 * (ua + ub);
            for (auto& p : out->phases)
                p.beta *= 1 - w;
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
    if (activeCount(sys) == 1
            ? pureSplitPoint(sys, fixedIsP, 0.5, sp, lnK)
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

// What the state misses of meeting the specified value and of being an
// equilibrium ("" when nothing).
std::string specDefect(const StreamSystem& sys, const EquilibriumCache& st, Spec spec, double target) {
    const double value = specValue(st, spec);
    const double scale = spec == Spec::H   ? std::max(std::fabs(target), models::kR * st.T)
                         : spec == Spec::S ? std::max(std::fabs(target), models::kR)
                                           : std::fabs(target);
    if (!(std::fabs(value - target) <= kSpecTolerance * scale))
        return "the closest state found is off the specified value by " +
               numberText((value - target) / scale) + " (relative)";
    std::vector<equilibrium::CheckedPhase> ph;
    for (const auto& p : st.phases)
        ph.push_back({p.kind, p.beta, &p.x});
    return equilibrium::equilibriumDefect(sys.fluid(), st.T, st.P, sys.feed().data(), ph);
}

const char* specName(Spec spec) {
    return spec == Spec::H ? "enthalpy" : spec == Spec::S ? "entropy" : "volume";
}

} // namespace

std::shared_ptr<EquilibriumCache> stateFunctionFlash(const StreamSystem& sys, Spec spec, double target,
                                                     double fixed, bool fixedIsP, double estimate) {
    auto st = searchStateFunction(sys, spec, target, fixed, fixedIsP, estimate);
    const std::string defect = specDefect(sys, *st, spec, target);
    if (!defect.empty())
        throw Error(std::string("no state of the given ") + specName(spec) + " at " + numberText(fixed) +
                        (fixedIsP ? " Pa: " : " K: ") + defect,
                    kCalculation);
    return st;
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

} // namespace zpk::engine
