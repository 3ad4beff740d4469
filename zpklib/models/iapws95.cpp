#include "models/iapws95.h"
#include "core/data_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "core/error.h"
#include "thermo/jet.h"
#include "thermo/separable_terms.h"

namespace zpk::models::iapws95 {

namespace {

using J2 = thermo::Jet<2>;

using thermo::PowerTerm;
struct GaussTerm {
    double n, d, t, alpha, beta, gamma, eps;
    double dd1, tt1; // d (d - 1), t (t - 1)
};
struct NonAnalyticTerm {
    double n, a, b, B, C, D, A, beta;
};
struct AuxTerm {
    double k, t;
};

struct Formulation {
    Constants c;
    double n1 = 0, n2 = 0, n3 = 0;
    std::vector<std::pair<double, double>> pe; // n, gamma
    std::vector<PowerTerm> power;
    std::vector<GaussTerm> gauss;
    std::vector<NonAnalyticTerm> nonAnalytic;
    std::vector<AuxTerm> psat, rhol, rhov;
    std::string error; // empty when loaded
};

Formulation load() {
    Formulation f;
    std::ifstream in = openDataFile("iapws95.tsv");
    if (!in) {
        f.error = "the IAPWS-95 coefficient file iapws95.tsv was not found";
        return f;
    }
    std::string line;
    int lineNo = 0;
    bool lead = false, logtau = false;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ls(line);
        std::string kind;
        ls >> kind;
        std::vector<double> v;
        std::string name;
        if (kind == "constant") ls >> name;
        for (double x; ls >> x;)
            v.push_back(x);
        auto need = [&](std::size_t k) {
            if (v.size() != k && f.error.empty())
                f.error = "iapws95.tsv line " + std::to_string(lineNo) + ": expected " + std::to_string(k) +
                          " numbers";
            return v.size() == k;
        };
        if (kind == "constant") {
            if (!need(1)) continue;
            if (name == "Tc")
                f.c.Tc = v[0];
            else if (name == "rhoc")
                f.c.rhoc = v[0];
            else if (name == "R")
                f.c.R = v[0];
            else if (name == "M")
                f.c.M = v[0];
            else if (name == "pc")
                f.c.pc = v[0];
            else if (name == "Tt")
                f.c.Tt = v[0];
        } else if (kind == "ideal_lead") {
            if (need(2)) f.n1 = v[0], f.n2 = v[1], lead = true;
        } else if (kind == "ideal_logtau") {
            if (need(1)) f.n3 = v[0], logtau = true;
        } else if (kind == "ideal_pe") {
            if (need(2)) f.pe.emplace_back(v[0], v[1]);
        } else if (kind == "power") {
            if (need(4)) f.power.push_back(thermo::powerTerm(v[0], v[1], v[2], static_cast<int>(v[3])));
        } else if (kind == "gauss") {
            if (need(7))
                f.gauss.push_back(
                    {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[1] * (v[1] - 1), v[2] * (v[2] - 1)});
        } else if (kind == "nonanalytic") {
            // The derivative formulas below need (delta-1)^2 raised to powers above 1.
            if (need(8)) {
                const NonAnalyticTerm t{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
                if (!(t.a > 1 && t.beta > 0 && t.beta < 0.5) && f.error.empty())
                    f.error =
                        "iapws95.tsv line " + std::to_string(lineNo) + ": unsupported non-analytic exponents";
                f.nonAnalytic.push_back(t);
            }
        } else if (kind == "aux_psat" || kind == "aux_rhol" || kind == "aux_rhov") {
            if (!need(2)) continue;
            (kind == "aux_psat" ? f.psat : kind == "aux_rhol" ? f.rhol : f.rhov).push_back({v[0], v[1]});
        } else if (f.error.empty()) {
            f.error = "iapws95.tsv line " + std::to_string(lineNo) + ": unknown record " + kind;
        }
    }
    if (f.error.empty() &&
        (!lead || !logtau || f.power.empty() || !(f.c.Tc > 0) || !(f.c.rhoc > 0) || !(f.c.R > 0) ||
         !(f.c.M > 0) || !(f.c.pc > 0) || f.psat.empty() || f.rhol.empty() || f.rhov.empty()))
        f.error = "iapws95.tsv is incomplete";
    return f;
}

const Formulation& formulation() {
    static const Formulation f = load();
    if (!f.error.empty()) throw Error(f.error, kCalculation);
    return f;
}

// |x|^q with its derivatives; q > 2 keeps value and both derivatives finite
// (zero) at x = 0, which is where the non-analytic terms need them.
J2 powAbs(const J2& x, double q) {
    const double ax = std::fabs(x.v);
    if (ax == 0) return thermo::detail::chain(x, 0.0, 0.0, 0.0);
    const double sg = x.v < 0 ? -1.0 : 1.0;
    const double p2 = std::pow(ax, q - 2);
    return thermo::detail::chain(x, p2 * ax * ax, q * p2 * ax * sg, q * (q - 1) * p2);
}
// x^q for x > 0 (the distance function Delta vanishes only at the critical point).
J2 powPos(const J2& x, double q) {
    const double v = std::max(x.v, 1e-300);
    const double p2 = std::pow(v, q - 2);
    return thermo::detail::chain(x, p2 * v * v, q * p2 * v, q * (q - 1) * p2);
}

// The non-analytic terms near the critical point:
// theta = (1 - tau) + A ((delta-1)^2)^(1/(2 beta)), Delta = theta^2 + B ((delta-1)^2)^a,
// psi = exp(-C (delta-1)^2 - D (tau-1)^2); term n Delta^b delta psi.
template <class S> S nonAnalyticSum(const Formulation& f, const S& tau, const S& delta) {
    using thermo::exp;
    S sum(0.0);
    for (const auto& t : f.nonAnalytic) {
        const S dm = delta - 1.0, tm = tau - 1.0;
        const S theta = (1.0 - tau) + t.A * powAbs(dm, 1.0 / t.beta);
        const S Delta = theta * theta + t.B * powAbs(dm, 2.0 * t.a);
        const S psi = exp(-t.C * dm * dm - t.D * tm * tm);
        sum = sum + t.n * powPos(Delta, t.b) * delta * psi;
    }
    return sum;
}

// phir written once over the scalar type (the reference for the closed form
// below).
template <class S> S phiResidual(const Formulation& f, const S& tau, const S& delta) {
    using thermo::exp;
    using thermo::log;
    const S lt = log(tau), ld = log(delta);
    std::array<S, 8> dpow; // delta^c for the exponential terms
    dpow[0] = S(0.0);
    dpow[1] = delta;
    for (std::size_t c = 2; c < dpow.size(); ++c)
        dpow[c] = dpow[c - 1] * delta;
    S sum(0.0);
    for (const auto& t : f.power) {
        S arg = t.d * ld + t.t * lt;
        if (t.c > 0) arg = arg - (t.c < 8 ? dpow[t.c] : exp(static_cast<double>(t.c) * ld));
        sum = sum + t.n * exp(arg);
    }
    for (const auto& t : f.gauss) {
        const S dd = delta - t.eps, dt = tau - t.gamma;
        sum = sum + t.n * exp(t.d * ld + t.t * lt - t.alpha * dd * dd - t.beta * dt * dt);
    }
    return sum + nonAnalyticSum(f, tau, delta);
}

Derivs fromJet(const J2& j) {
    Derivs d;
    d.a = j.v;
    d.a_t = j.d(0);
    d.a_d = j.d(1);
    d.a_tt = j.d2(0, 0);
    d.a_dt = j.d2(0, 1);
    d.a_dd = j.d2(1, 1);
    return d;
}

// |x|^q with its first and second derivatives; finite (zero) at x = 0 for
// q > 2, where the non-analytic terms need them.
struct AbsPower {
    double v, d1, d2;
};
AbsPower absPower(double x, double q) {
    const double ax = std::fabs(x);
    if (ax == 0) return {0, 0, 0};
    const double p2 = std::pow(ax, q - 2);
    return {p2 * ax * ax, q * p2 * ax * (x < 0 ? -1 : 1), q * (q - 1) * p2};
}

// The non-analytic terms n Delta^b delta psi (see nonAnalyticSum) in closed
// form, added to r.  A term whose bell psi underflows adds exactly nothing
// (below about 318 K both do).
void addNonAnalytic(const Formulation& f, double tau, double delta, Derivs& r) {
    const double dm = delta - 1, tm = tau - 1;
    for (const auto& t : f.nonAnalytic) {
        const double psi = std::exp(-t.C * dm * dm - t.D * tm * tm);
        if (psi == 0) continue;
        // theta = (1 - tau) + A |dm|^(1/beta) (theta_t = -1), Delta = theta^2 + B |dm|^(2a).
        const AbsPower u = absPower(dm, 1 / t.beta), w = absPower(dm, 2 * t.a);
        const double th = -tm + t.A * u.v, th_d = t.A * u.d1, th_dd = t.A * u.d2;
        const double D = th * th + t.B * w.v;
        const double D_d = 2 * th * th_d + t.B * w.d1, D_dd = 2 * (th_d * th_d + th * th_dd) + t.B * w.d2;
        const double D_t = -2 * th, D_tt = 2, D_dt = -2 * th_d;
        // P = Delta^b (Delta vanishes only at the critical point).
        const double Dv = std::max(D, 1e-300), pb2 = std::pow(Dv, t.b - 2);
        const double P = pb2 * Dv * Dv, P1 = t.b * pb2 * Dv, P2 = t.b * (t.b - 1) * pb2;
        const double P_d = P1 * D_d, P_t = P1 * D_t;
        const double P_dd = P1 * D_dd + P2 * D_d * D_d, P_tt = P1 * D_tt + P2 * D_t * D_t,
                     P_dt = P1 * D_dt + P2 * D_d * D_t;
        // psi's derivatives.
        const double s_d = -2 * t.C * dm, s_t = -2 * t.D * tm;
        const double ps_d = psi * s_d, ps_t = psi * s_t, ps_dd = psi * (s_d * s_d - 2 * t.C),
                     ps_tt = psi * (s_t * s_t - 2 * t.D), ps_dt = psi * s_d * s_t;
        // Q = P psi; the term is n delta Q.
        const double Q = P * psi, Q_d = P_d * psi + P * ps_d, Q_t = P_t * psi + P * ps_t;
        const double Q_dd = P_dd * psi + 2 * P_d * ps_d + P * ps_dd;
        const double Q_tt = P_tt * psi + 2 * P_t * ps_t + P * ps_tt;
        const double Q_dt = P_dt * psi + P_d * ps_t + P_t * ps_d + P * ps_dt;
        r.a += t.n * delta * Q;
        r.a_d += t.n * (Q + delta * Q_d);
        r.a_dd += t.n * (2 * Q_d + delta * Q_dd);
        r.a_t += t.n * delta * Q_t;
        r.a_tt += t.n * delta * Q_tt;
        r.a_dt += t.n * (Q_t + delta * Q_dt);
    }
}

// phir with its derivatives in closed form: the power and Gaussian terms
// separate in tau and delta (thermo::TauDeltaSum), the non-analytic terms
// follow the product and chain rules by hand.  Equal to phiResidual on jets
// to rounding (a test holds them together), at a third of the cost.
// WithTau false: phir and its delta derivatives alone (a, a_d, a_dd; the
// tau derivatives left zero), what the density and saturation solvers need,
// by the same arithmetic as the delta parts of the full evaluation.
template <bool WithTau> Derivs residualTerms(const Formulation& f, double tau, double delta) {
    // At zero density ln delta has no finite derivative: the jets give the
    // limits the callers expect there.
    if (!(delta > 0) || !(tau > 0)) return fromJet(phiResidual(f, J2::seed(tau, 0), J2::seed(delta, 1)));
    const thermo::Reduced red(tau, delta);
    thermo::TauDeltaSum s;
    for (const auto& t : f.power)
        thermo::addPower<WithTau>(s, t, red);
    for (const auto& t : f.gauss) {
        const double dd = delta - t.eps, dt = tau - t.gamma;
        const double A = t.d * red.ld + t.t * red.lt - t.alpha * dd * dd - t.beta * dt * dt;
        thermo::ExponentPart pt{};
        if constexpr (WithTau)
            pt = thermo::exponentPart(t.t, t.tt1, red.it, red.it2, -2 * t.beta * dt, -2 * t.beta);
        const thermo::ExponentPart pd =
            thermo::exponentPart(t.d, t.dd1, red.id, red.id2, -2 * t.alpha * dd, -2 * t.alpha);
        s.addTerm<WithTau>(t.n * std::exp(A), pt, pd);
    }
    Derivs r;
    r.a = s.v;
    r.a_t = s.t;
    r.a_d = s.d;
    r.a_tt = s.tt;
    r.a_dt = s.td;
    r.a_dd = s.dd;
    addNonAnalytic(f, tau, delta, r);
    if constexpr (!WithTau) r.a_t = r.a_tt = r.a_dt = 0;
    return r;
}
Derivs residualClosedForm(const Formulation& f, double tau, double delta) {
    return residualTerms<true>(f, tau, delta);
}

template <class S> S phiIdeal(const Formulation& f, const S& tau, const S& delta) {
    using thermo::exp;
    using thermo::log;
    S sum = log(delta) + f.n1 + f.n2 * tau + f.n3 * log(tau);
    for (const auto& [n, g] : f.pe)
        sum = sum + n * log(1.0 - exp(-g * tau));
    return sum;
}

// Pressure and its derivative with respect to delta at fixed T.
struct PD {
    double p, dp;
};
PD pressureDelta(const Formulation& f, double T, double delta) {
    const Derivs r = residualTerms<false>(f, f.c.Tc / T, delta);
    const double RT = f.c.Rm() * T, rc = f.c.rhocMolar();
    return {delta * rc * RT * (1 + delta * r.a_d),
            rc * RT * (1 + 2 * delta * r.a_d + delta * delta * r.a_dd)};
}

// Pressure resolution at delta: p = rho R T (1 + delta phir_d) loses digits
// where the bracket nearly cancels (dense liquid at low pressure); phir_d is
// a sum of terms of order one, good to some 1e-15.
double tolerance(const Formulation& f, double T, double P, double delta) {
    return 1e-13 * P + 1e-14 * delta * (1 + delta) * f.c.rhocMolar() * f.c.Rm() * T;
}

// Root of p(delta) = P where p increases on [lo, hi] with p(lo) <= P <= p(hi):
// Newton steps kept inside the bracket, bisection otherwise.
bool solveBracketed(const Formulation& f, double T, double P, double lo, double hi, double start,
                    double& delta) {
    double x = std::clamp(start, lo, hi);
    if (!(x > lo && x < hi)) x = 0.5 * (lo + hi);
    for (int it = 0; it < 300; ++it) {
        const PD q = pressureDelta(f, T, x);
        if (!std::isfinite(q.p)) return false;
        const double r = q.p - P;
        if (std::fabs(r) <= tolerance(f, T, P, x)) break;
        (r < 0 ? lo : hi) = x;
        double xn = x - r / q.dp;
        if (!(q.dp > 0) || !(xn > lo && xn < hi)) xn = 0.5 * (lo + hi);
        const bool done = std::fabs(xn - x) <= 3e-16 * x || hi - lo <= 3e-16 * hi;
        x = xn;
        if (done) break;
    }
    delta = x;
    return true;
}

// Newton from a saturation density into the metastable region of its branch
// (moving away from it towards P); false when the spinodal comes first.
bool solveMetastable(const Formulation& f, double T, double P, double start, double& delta) {
    double x = start;
    PD q = pressureDelta(f, T, x);
    for (int it = 0; it < 100; ++it) {
        const double r = q.p - P;
        if (std::fabs(r) <= tolerance(f, T, P, x)) {
            delta = x;
            return true;
        }
        if (!(q.dp > 0)) return false;
        double step = -r / q.dp;
        PD qn{};
        bool ok = false;
        for (int h = 0; h < 40; ++h) {
            const double xn = x + step;
            if (xn > 0) {
                qn = pressureDelta(f, T, xn);
                // Stay on the branch: positive slope and closer to the target.
                ok = qn.dp > 0 && std::isfinite(qn.p) &&
                     (std::fabs(qn.p - P) < std::fabs(r) || std::fabs(qn.p - P) <= tolerance(f, T, P, xn));
            }
            if (ok) break;
            step *= 0.5;
        }
        if (!ok) {
            // No further progress: accept a state at rounding distance.
            delta = x;
            return std::fabs(r) <= 1e-10 * P;
        }
        x += step;
        q = qn;
        if (std::fabs(step) <= 1e-15 * x) {
            delta = x;
            return std::fabs(q.p - P) <= 1e-9 * P;
        }
    }
    return false;
}

double auxPsat(const Formulation& f, double T) {
    const double th = 1 - T / f.c.Tc;
    double s = 0;
    for (const auto& a : f.psat)
        s += a.k * std::pow(th, a.t);
    return f.c.pc * std::exp(f.c.Tc / T * s);
}
double auxRhoL(const Formulation& f, double T) {
    const double th = 1 - T / f.c.Tc;
    double s = 1;
    for (const auto& a : f.rhol)
        s += a.k * std::pow(th, a.t);
    return s; // reduced
}
double auxRhoV(const Formulation& f, double T) {
    const double th = 1 - T / f.c.Tc;
    double s = 0;
    for (const auto& a : f.rhov)
        s += a.k * std::pow(th, a.t);
    return std::exp(s); // reduced
}

// Lowest temperature at which the Maxwell construction is attempted (the
// formulation extrapolates reasonably into the supercooled liquid).
constexpr double kLowestSaturationT = 200.0;

bool maxwell(const Formulation& f, double T, Saturation& s) {
    const double Tc = f.c.Tc;
    if (!(T >= kLowestSaturationT && T < Tc)) return false;
    const double tau = Tc / T;
    double dl = std::max(auxRhoL(f, T), 1.0 + 1e-9), dv = std::min(auxRhoV(f, T), 1.0 - 1e-9);
    // J = delta (1 + delta phir_d) (reduced pressure), K = delta phir_d + phir + ln delta
    // (reduced Gibbs energy without the temperature-only parts): equal in both phases.
    struct Best {
        double dl, dv, err;
    } best{dl, dv, std::numeric_limits<double>::infinity()};
    int sinceBest = 0;
    for (int it = 0; it < 200; ++it) {
        const Derivs l = residualTerms<false>(f, tau, dl), v = residualTerms<false>(f, tau, dv);
        const double Jl = dl * (1 + dl * l.a_d), Jv = dv * (1 + dv * v.a_d);
        const double Kl = dl * l.a_d + l.a + std::log(dl), Kv = dv * v.a_d + v.a + std::log(dv);
        const double Jdl = 1 + 2 * dl * l.a_d + dl * dl * l.a_dd, Jdv = 1 + 2 * dv * v.a_d + dv * dv * v.a_dd;
        const double Kdl = 2 * l.a_d + dl * l.a_dd + 1 / dl, Kdv = 2 * v.a_d + dv * v.a_dd + 1 / dv;
        const double F1 = Jl - Jv, F2 = Kl - Kv;
        if (!std::isfinite(F1) || !std::isfinite(F2)) return false;
        // Newton on [Jdl -Jdv; Kdl -Kdv] (ddl, ddv) = -(F1, F2).
        const double det = -Jdl * Kdv + Jdv * Kdl;
        if (det == 0) return false;
        double ddl = (-F1 * -Kdv - -Jdv * -F2) / det;
        double ddv = (Jdl * -F2 - Kdl * -F1) / det;
        double scale = 1;
        if (dl + ddl <= 1.0) scale = std::min(scale, 0.5 * (dl - 1.0) / -ddl);
        if (dv + ddv >= 1.0) scale = std::min(scale, 0.5 * (1.0 - dv) / ddv);
        if (dv + ddv <= 0) scale = std::min(scale, 0.5 * dv / -ddv);
        // Converged when both differences are at rounding level (near the
        // critical point the densities themselves stay noisy at ~1e-11).
        // The liquid's J and K are differences of terms of order delta phir_d.
        const double lScale = 1 + std::fabs(dl * l.a_d);
        const double err =
            std::max(std::fabs(F1) / (1e-13 * std::fabs(Jv) + 1e-14 * dl * lScale),
                     std::fabs(F2) / (1e-14 * (lScale + std::fabs(l.a) + std::fabs(std::log(dv)))));
        if (err < best.err) {
            best = {dl, dv, err};
            sinceBest = 0;
        } else {
            ++sinceBest;
        }
        // At the rounding floor the Newton steps only move between states
        // whose differences are noise (a few tens of the bounds above near
        // the triple point): a tiny step, or no better state in six steps
        // once within 1e3 of the bounds, ends the iteration with the best
        // state met.
        const bool tiny = std::fabs(ddl) <= 1e-14 * dl && std::fabs(ddv) <= 1e-14 * dv;
        const bool floor = best.err < 1e3 && sinceBest >= 6;
        if (err <= 1 || tiny || floor) {
            if (!tiny && best.err > 1e2) return false; // stuck short of the floor
            dl = best.dl;
            dv = best.dv;
            if (std::fabs(dl - dv) < 1e-7) return false; // collapsed onto one phase
            const double rc = f.c.rhocMolar();
            s.T = T;
            s.rhoL = dl * rc;
            s.rhoV = dv * rc;
            s.P = pressureDelta(f, T, dv).p;
            return true;
        }
        dl += scale * ddl;
        dv += scale * ddv;
    }
    return false;
}

// Per-thread memory of the last saturation states (flashes ask for the same
// temperatures many times over).
const Saturation* cachedSaturation(const Formulation& f, double T) {
    struct Entry {
        double T = -1;
        bool ok = false;
        Saturation s;
    };
    thread_local std::array<Entry, 4> cache;
    thread_local std::size_t next = 0;
    for (const auto& e : cache)
        if (e.T == T) return e.ok ? &e.s : nullptr;
    Entry& e = cache[next];
    next = (next + 1) % cache.size();
    e.T = T;
    e.ok = maxwell(f, T, e.s);
    return e.ok ? &e.s : nullptr;
}

// Upper end of a bracket on an increasing branch: p(hi) > P.
bool expandUpper(const Formulation& f, double T, double P, double lo, double& hi) {
    double step = std::max(0.05 * lo, 0.05);
    hi = lo + step;
    for (int k = 0; k < 60; ++k) {
        const PD q = pressureDelta(f, T, hi);
        if (std::isfinite(q.p) && q.p > P) return true;
        if (!(q.dp > 0)) return false;
        step *= 1.6;
        hi += step;
        if (hi > 10.0) return false;
    }
    return false;
}

bool densityReduced(const Formulation& f, double T, double P, Root root, double& delta, bool& liquidLike) {
    const double rc = f.c.rhocMolar();
    const double ideal = P / (f.c.Rm() * T * rc);
    const Saturation* s = T < f.c.Tc ? cachedSaturation(f, T) : nullptr;
    // Above Tc, and in the last millikelvins below it where the two phases
    // are no longer told apart, the isotherm is solved as one branch.
    if (T >= f.c.Tc || (!s && T > 0.99 * f.c.Tc)) {
        double hi;
        if (!expandUpper(f, T, P, std::min(ideal, 0.5), hi)) return false;
        if (!solveBracketed(f, T, P, 0.0, hi, std::min(ideal, 0.5 * hi), delta)) return false;
        liquidLike = delta > 1.0;
        return true;
    }
    if (!s) {
        // Below the saturation range: the liquid when it exists, else the vapour.
        if (root != Root::Vapour) {
            double hi;
            const double lo = auxRhoL(f, std::max(T, f.c.Tt));
            if (pressureDelta(f, T, lo).p <= P && expandUpper(f, T, P, lo, hi) &&
                solveBracketed(f, T, P, lo, hi, lo, delta)) {
                liquidLike = true;
                return true;
            }
        }
        return false;
    }
    const double dl = s->rhoL / rc, dv = s->rhoV / rc;
    const bool liquid = root == Root::Liquid || (root == Root::Stable && P >= s->P);
    liquidLike = liquid;
    if (liquid) {
        if (P >= s->P) {
            double hi;
            if (!expandUpper(f, T, P, dl, hi)) return false;
            const PD q = pressureDelta(f, T, dl);
            return solveBracketed(f, T, P, dl, hi, dl + (P - q.p) / q.dp, delta);
        }
        return solveMetastable(f, T, P, dl, delta);
    }
    if (P <= s->P) return solveBracketed(f, T, P, 0.0, dv, std::min(ideal, dv), delta);
    return solveMetastable(f, T, P, dv, delta);
}

} // namespace

const Constants& constants() {
    return formulation().c;
}

Derivs residual(double tau, double delta) {
    return residualClosedForm(formulation(), tau, delta);
}

Derivs residualDelta(double tau, double delta) {
    return residualTerms<false>(formulation(), tau, delta);
}

Derivs residualByJets(double tau, double delta) {
    const Formulation& f = formulation();
    return fromJet(phiResidual(f, J2::seed(tau, 0), J2::seed(delta, 1)));
}

Derivs ideal(double tau, double delta) {
    const Formulation& f = formulation();
    return fromJet(phiIdeal(f, J2::seed(tau, 0), J2::seed(delta, 1)));
}

double pressure(double T, double rho) {
    const Formulation& f = formulation();
    return pressureDelta(f, T, rho / f.c.rhocMolar()).p;
}

State stateTRho(double T, double rho) {
    const Formulation& f = formulation();
    const double tau = f.c.Tc / T, delta = rho / f.c.rhocMolar();
    const Derivs r = residual(tau, delta), o = ideal(tau, delta);
    const double R = f.c.Rm();
    State st;
    st.T = T;
    st.rho = rho;
    const double at = o.a_t + r.a_t, att = o.a_tt + r.a_tt;
    const double A = 1 + delta * r.a_d - delta * tau * r.a_dt;
    const double B = 1 + 2 * delta * r.a_d + delta * delta * r.a_dd;
    st.P = rho * R * T * (1 + delta * r.a_d);
    st.u = R * T * tau * at;
    st.h = R * T * (1 + tau * at + delta * r.a_d);
    st.s = R * (tau * at - o.a - r.a);
    st.g = R * T * (1 + o.a + r.a + delta * r.a_d);
    st.cv = -R * tau * tau * att;
    st.cp = st.cv + R * A * A / B;
    const double w2 = f.c.R * T * (B - A * A / (tau * tau * att));
    st.w = w2 > 0 ? std::sqrt(w2) : kNaN;
    st.dPdrho = R * T * B;
    st.dPdT = rho * R * A;
    return st;
}

bool density(double T, double P, Root root, double& rho, bool& liquidLike) {
    const Formulation& f = formulation();
    if (!(T > 0) || !(P > 0) || !std::isfinite(T) || !std::isfinite(P)) return false;
    // The engine evaluates one state for several properties in a row: the
    // last few solutions of each thread are remembered.
    struct Entry {
        double T = -1, P = -1;
        Root root = Root::Stable;
        bool ok = false, liquidLike = false;
        double delta = 0;
    };
    thread_local std::array<Entry, 4> cache;
    thread_local std::size_t next = 0;
    for (const Entry& e : cache)
        if (e.T == T && e.P == P && e.root == root) {
            if (!e.ok) return false;
            rho = e.delta * f.c.rhocMolar();
            liquidLike = e.liquidLike;
            return true;
        }
    Entry& e = cache[next];
    next = (next + 1) % cache.size();
    e.T = T;
    e.P = P;
    e.root = root;
    e.ok = densityReduced(f, T, P, root, e.delta, e.liquidLike);
    if (!e.ok) return false;
    rho = e.delta * f.c.rhocMolar();
    liquidLike = e.liquidLike;
    return true;
}

bool saturationT(double T, Saturation& s) {
    const Formulation& f = formulation();
    if (!(T >= f.c.Tt - 1e-9)) return false;
    const Saturation* c = cachedSaturation(f, T);
    if (!c) return false;
    s = *c;
    return true;
}

bool saturationP(double P, Saturation& s) {
    const Formulation& f = formulation();
    const double Tt = f.c.Tt, Tc = f.c.Tc;
    if (!(P >= auxPsat(f, Tt) * (1 - 1e-3) && P < f.c.pc)) return false;
    // Start: the auxiliary equation inverted by bisection on ln p.
    double lo = Tt, hi = Tc;
    for (int it = 0; it < 80; ++it) {
        const double mid = 0.5 * (lo + hi);
        (auxPsat(f, mid) < P ? lo : hi) = mid;
    }
    double T = std::min(0.5 * (lo + hi), Tc - 1e-6);
    for (int it = 0; it < 50; ++it) {
        Saturation q;
        if (!maxwell(f, T, q)) return false;
        // Clausius-Clapeyron: d ln p / dT = (h'' - h') / (T p (v'' - v')).
        const State l = stateTRho(T, q.rhoL), v = stateTRho(T, q.rhoV);
        const double slope = (v.h - l.h) / (T * q.P * (1 / q.rhoV - 1 / q.rhoL));
        const double dT = -std::log(q.P / P) / slope;
        if (std::fabs(dT) <= 1e-12 * T) {
            s = q;
            return true;
        }
        T = std::clamp(T + dT, 0.5 * (T + kLowestSaturationT), 0.5 * (T + Tc));
    }
    return false;
}

} // namespace zpk::models::iapws95

namespace zpk::models {

namespace {
// Clears the pressure-free fugacity field of PhaseProps where it exists.
template <class P> auto clearPressureFree(P& p, int) -> decltype(p.lnfx.clear(), void()) {
    p.lnfx.clear();
}
template <class P> void clearPressureFree(P&, long) {}
} // namespace

namespace {
// Ideal-gas enthalpy R T (1 + tau phi0_tau) and entropy at constant
// pressure R (tau phi0_tau - phi0(tau, 1) + ln T), up to a constant.
double idealEnthalpy(double T) {
    const iapws95::Constants& c = iapws95::constants();
    const double tau = c.Tc / T;
    return c.Rm() * T * (1 + tau * iapws95::ideal(tau, 1.0).a_t);
}
double idealEntropy(double T) {
    const iapws95::Constants& c = iapws95::constants();
    const double tau = c.Tc / T;
    const iapws95::Derivs d = iapws95::ideal(tau, 1.0);
    return c.Rm() * (tau * d.a_t - d.a + std::log(T));
}
} // namespace

double Iapws95IdealGas::molarMass(int) const {
    return 1e3 * iapws95::constants().M;
}
double Iapws95IdealGas::cp(int, double T) const {
    const iapws95::Constants& c = iapws95::constants();
    const double tau = c.Tc / T;
    return c.Rm() * (1 - tau * tau * iapws95::ideal(tau, 1.0).a_tt);
}
double Iapws95IdealGas::deltaH(int, double T0, double T) const {
    return idealEnthalpy(T) - idealEnthalpy(T0);
}
double Iapws95IdealGas::deltaS(int, double T0, double T) const {
    return idealEntropy(T) - idealEntropy(T0);
}

Iapws95Model::Iapws95Model() {
    (void)iapws95::constants();
}

bool Iapws95Model::pureSaturation(bool atPressure, double& T, double& P) const {
    iapws95::Saturation s;
    if (!(atPressure ? iapws95::saturationP(P, s) : iapws95::saturationT(T, s))) return false;
    T = s.T;
    P = s.P;
    return true;
}

bool Iapws95Model::evaluate(double T, double P, const double* x, Root root, int order,
                            PhaseProps& out) const {
    (void)x; // one component: the composition does not matter
    namespace w = iapws95;
    if (!(T > 0) || !(P > 0)) return false;
    const w::Constants& c = w::constants();
    double rho;
    bool liquidLike;
    if (!w::density(T, P, root, rho, liquidLike)) {
        // The requested branch does not exist here: the other one.
        if (root == Root::Stable) return false;
        const Root other = root == Root::Liquid ? Root::Vapour : Root::Liquid;
        if (!w::density(T, P, other, rho, liquidLike)) return false;
    }
    const double R = c.Rm(), RT = R * T;
    const double tau = c.Tc / T, delta = rho / c.rhocMolar();
    const w::Derivs r = w::residual(tau, delta);
    // Z from the given pressure: in the dense liquid 1 + delta phir_d is a
    // near cancellation, P v / (R T) is exact to rounding.
    const double v = 1 / rho;
    const double Z = P * v / RT;
    if (!(Z > 0) || !std::isfinite(r.a)) return false;
    clearPressureFree(out, 0);
    out.kind = liquidLike ? kLiquid : kVapour;
    out.v = v;
    out.z = Z;
    out.lnphi.assign(1, r.a + Z - 1 - std::log(Z));
    out.hres = RT * (tau * r.a_t + delta * r.a_d);
    // The engine's ideal-gas entropy carries -kR ln(P / 101325 Pa).
    const double gasConstantShift = kR - R;
    out.sres = R * (tau * r.a_t - r.a + std::log(Z)) + gasConstantShift * std::log(P / kP0);
    if (order < 1) return true;

    const double dPdrho = RT * (1 + 2 * delta * r.a_d + delta * delta * r.a_dd);
    const double dPdT = rho * R * (1 + delta * r.a_d - delta * tau * r.a_dt);
    out.dP_dV = -rho * rho * dPdrho;
    out.dP_dT = dPdT;
    out.dv_dP = 1 / out.dP_dV;
    out.dv_dT = -dPdT / out.dP_dV;
    const double cvr = -R * tau * tau * r.a_tt;
    out.cvres = cvr + gasConstantShift;
    out.cpres = cvr + T * dPdT * dPdT / (rho * rho * dPdrho) - R;
    out.dlnphi_dT.assign(1, -out.hres / (RT * T));
    out.dlnphi_dP.assign(1, v / RT - 1 / P);
    out.dlnphi_dn.assign(1, 0.0);
    out.dv_dx.assign(1, 0.0);
    out.dhres_dx.assign(1, 0.0);
    out.dsres_dx.assign(1, 0.0);
    out.dhres_dT = out.cpres;
    out.dhres_dP = v - T * out.dv_dT;
    out.dsres_dT = out.cpres / T;
    out.dsres_dP = -out.dv_dT + kR / P;
    return std::isfinite(out.cpres) && std::isfinite(out.dv_dP);
}

} // namespace zpk::models
