#include "models/lee_kesler.h"
#include "core/data_files.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "models/factory.h"
#include "thermo/evaluator.h"

namespace zpk::models {

// ---------------------------------------------------------------------------
// Mixing-rule quantities

double MixQuantity::value(const double* n, int size) const {
    double s = 0;
    if (!quadratic) {
        for (int i = 0; i < size; ++i)
            s += coef[i] * n[i];
        return s;
    }
    for (int i = 0; i < size; ++i) {
        if (n[i] == 0.0) continue;
        const double* row = &coef[static_cast<std::size_t>(i) * size];
        double r = 0;
        for (int j = 0; j < size; ++j)
            r += row[j] * n[j];
        s += n[i] * r;
    }
    return s;
}

void MixQuantity::gradient(const double* n, int size, double* g) const {
    for (int i = 0; i < size; ++i) {
        if (!quadratic) {
            g[i] = coef[i];
            continue;
        }
        const double* row = &coef[static_cast<std::size_t>(i) * size];
        double r = 0;
        for (int j = 0; j < size; ++j)
            r += row[j] * n[j];
        g[i] = 2.0 * r;
    }
}

// ---------------------------------------------------------------------------
// Volume roots and phase properties of a Helmholtz model

bool DensityEosModel::volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const {
    thread_local ResidualDerivs d;
    if (!residual(T, V, n, 1, d)) return false;
    FV = d.F_V;
    FVV = d.F_VV;
    return true;
}

bool DensityEosModel::pressure(double T, double V, const double* x, double& P, double& dPdV) const {
    double FV, FVV;
    if (!volumeDerivatives(T, V, x, FV, FVV)) return false;
    const double RT = kR * T;
    P = RT / V - RT * FV;
    dPdV = -RT / (V * V) - RT * FVV;
    return std::isfinite(P) && std::isfinite(dPdV);
}

double DensityEosModel::volumeScale(const double* x) const {
    thread_local std::vector<double> xn;
    const int n = size();
    xn.resize(n);
    double s = 0;
    for (int i = 0; i < n; ++i)
        s += x[i];
    for (int i = 0; i < n; ++i)
        xn[i] = x[i] / s;
    double Tc, Vc;
    pseudoCritical(xn.data(), Tc, Vc);
    // About the co-volume of a cubic with the same critical volume.
    return 0.26 * Vc;
}

bool DensityEosModel::volumeRoot(double T, double P, const double* x, bool liquid, double& V) const {
    double Tc, Vc;
    pseudoCritical(x, Tc, Vc);
    double p, dp;
    if (liquid) {
        // On the dense side the pressure falls and is convex in V, so Newton
        // steps started where P(V) lies above the target approach the liquid
        // root from the left without overshooting.  A bracket guards the rest.
        double v = 0.3 * Vc;
        bool ok = false;
        for (int k = 0; k < 60; ++k) {
            if (pressure(T, v, x, p, dp) && p > P && dp < 0) {
                ok = true;
                break;
            }
            v *= 0.85;
        }
        if (!ok) return false;
        double lo = v, hi = -1; // P(lo) > target, P(hi) < target
        for (int it = 0; it < 200; ++it) {
            if (!pressure(T, v, x, p, dp)) return false;
            const double f = p - P;
            if (f > 0)
                lo = std::max(lo, v);
            else
                hi = hi < 0 ? v : std::min(hi, v);
            if (!(dp < 0)) {
                // Past the liquid spinodal: without a bracket there is no liquid root.
                if (hi < 0) return false;
                v = 0.5 * (lo + hi);
                continue;
            }
            double vn = v - f / dp;
            if (vn <= lo || (hi > 0 && vn >= hi)) vn = hi > 0 ? 0.5 * (lo + hi) : 2.0 * v;
            if (std::fabs(vn - v) < 1e-13 * v) {
                V = vn;
                return true;
            }
            v = vn;
        }
        return false;
    }
    // Vapour: P(rho) rises and is concave from zero density up to the vapour
    // spinodal, so Newton steps in density started at zero climb monotonically.
    const double RT = kR * T;
    double rho = P / RT;
    for (int it = 0; it < 300; ++it) {
        const double v = 1.0 / rho;
        if (!pressure(T, v, x, p, dp)) return false;
        const double dpr = -dp * v * v; // dP/drho
        if (!(dpr > 0)) return false;   // beyond the vapour spinodal
        const double step = (p - P) / dpr;
        double rn = rho - step;
        if (rn <= 0) rn = 0.5 * rho;
        if (rn > 1.0 / (0.2 * Vc)) return false; // ran into liquid densities
        if (std::fabs(rn - rho) < 1e-13 * rho) {
            V = 1.0 / rn;
            return true;
        }
        rho = rn;
    }
    return false;
}

bool DensityEosModel::evaluate(double T, double P, const double* xin, Root root, int order,
                               PhaseProps& out) const {
    if (!(T > 0) || !(P > 0)) return false;
    const int n = size();
    thread_local std::vector<double> x;
    x.resize(n);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += xin[i];
    if (!(sum > 0)) return false;
    for (int i = 0; i < n; ++i)
        x[i] = xin[i] / sum;

    double vl = 0, vv = 0;
    const bool hasL = volumeRoot(T, P, x.data(), true, vl);
    const bool hasV = volumeRoot(T, P, x.data(), false, vv);
    if (!hasL && !hasV) return false;
    thread_local ResidualDerivs d;
    double V;
    int kind;
    const bool two = hasL && hasV && std::fabs(vv - vl) > 1e-7 * vv;
    if (two) {
        bool liquid = root == Root::Liquid;
        if (root == Root::Stable) {
            auto g = [&](double v) {
                if (!residual(T, v, x.data(), 0, d)) return 1e300;
                const double z = P * v / (kR * T);
                return d.F + z - 1.0 - std::log(z);
            };
            liquid = g(vl) < g(vv);
        }
        V = liquid ? vl : vv;
        kind = liquid ? kLiquid : kVapour;
    } else {
        V = hasL ? vl : vv;
        double Tc, Vc;
        pseudoCritical(x.data(), Tc, Vc);
        kind = (V < Vc && T < Tc) ? kLiquid : kVapour;
    }
    if (!residual(T, V, x.data(), order, d)) return false;
    thermo::propsFromResidual(T, P, V, x.data(), n, d, order, out);
    out.kind = kind;
    return true;
}

// ---------------------------------------------------------------------------
// Lee-Kesler simple and reference fluids

namespace {

// Lee & Kesler (1975), AIChE J. 21, 510: constants of the simple fluid
// (index 0) and of the reference fluid n-octane (index 1).
struct LkConstants {
    double b1, b2, b3, b4, c1, c2, c3, c4, d1, d2, beta, gamma;
};
constexpr LkConstants kLk[2] = {
    {0.1181193, 0.265728, 0.154790, 0.030323, 0.0236744, 0.0186984, 0.0, 0.042724, 0.155488e-4, 0.623689e-4,
     0.65392, 0.060167},
    {0.2026579, 0.331511, 0.027655, 0.203488, 0.0313385, 0.0503618, 0.016901, 0.041577, 0.48736e-4,
     0.0740336e-4, 1.226, 0.03754},
};

// Reduced residual Helmholtz energy of one Lee-Kesler fluid: the integral of
// (Z - 1) / rho over the reduced density rho = 1 / Vr, done analytically.
template <class S> S lkHelmholtz(const LkConstants& k, const S& Tr, const S& Vr) {
    using thermo::exp;
    const S t = 1.0 / Tr;
    const S t2 = t * t;
    const S t3 = t2 * t;
    const S rho = 1.0 / Vr;
    const S rho2 = rho * rho;
    const S rho5 = rho2 * rho2 * rho;
    const S B = k.b1 - k.b2 * t - k.b3 * t2 - k.b4 * t3;
    const S C = k.c1 - k.c2 * t + k.c3 * t3;
    const S D = k.d1 + k.d2 * t;
    const S e = exp(-k.gamma * rho2);
    const S E = k.c4 * t3 / (2.0 * k.gamma) * (k.beta + 1.0 - (k.beta + 1.0 + k.gamma * rho2) * e);
    return B * rho + C * rho2 * 0.5 + D * rho5 * 0.2 + E;
}

// The Ploecker mixture written over (T, V, N, Qv, Qt, W):
//   Vcm = Qv / N^2, Tcm = Qt / (N^2 Vcm^(1/4)), omega_m = W / N,
//   Pcm = Zcm R Tcm / Vcm with Zcm = 0.2905 - 0.085 omega_m,
// and the reduced volume Vr = Pcm v / (R Tcm) = v Zcm / Vcm.
template <class S> S lkpCore(const S& T, const S& V, const S& N, const S& Qv, const S& Qt, const S& W) {
    using thermo::sqrt;
    const S N2 = N * N;
    const S Vcm = Qv / N2;
    const S Tcm = Qt / (N2 * sqrt(sqrt(Vcm)));
    const S om = W / N;
    const S Zcm = 0.2905 - 0.085 * om;
    const S Tr = T / Tcm;
    const S Vr = V / N * Zcm / Vcm;
    const S f = om / LeeKeslerModel::kOmegaRef;
    return N * ((1.0 - f) * lkHelmholtz(kLk[0], Tr, Vr) + f * lkHelmholtz(kLk[1], Tr, Vr));
}

double lkCriticalVolume(const PureConstants& p) {
    return (0.2905 - 0.085 * p.omega) * kR * p.tc / p.pc;
}

} // namespace

double LeeKeslerModel::reducedHelmholtz(bool ref, double Tr, double Vr) {
    return lkHelmholtz<double>(kLk[ref ? 1 : 0], Tr, Vr);
}

double LeeKeslerModel::reducedZ(bool ref, double Tr, double Vr) {
    const LkConstants& k = kLk[ref ? 1 : 0];
    const double t = 1.0 / Tr, rho = 1.0 / Vr, rho2 = rho * rho;
    const double B = k.b1 - k.b2 * t - k.b3 * t * t - k.b4 * t * t * t;
    const double C = k.c1 - k.c2 * t + k.c3 * t * t * t;
    const double D = k.d1 + k.d2 * t;
    return 1.0 + B * rho + C * rho2 + D * rho2 * rho2 * rho +
           k.c4 * t * t * t * rho2 * (k.beta + k.gamma * rho2) * std::exp(-k.gamma * rho2);
}

LeeKeslerModel::LeeKeslerModel(std::vector<PureConstants> comps, const std::vector<LkpKij>& kij)
    : n_(static_cast<int>(comps.size())), pure_(std::move(comps)) {
    if (n_ == 0) throw std::invalid_argument("Lee-Kesler-Ploecker: no components");
    std::vector<double> vc(n_), cb(n_);
    for (int i = 0; i < n_; ++i) {
        const auto& p = pure_[i];
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw std::invalid_argument("Lee-Kesler-Ploecker: component without critical constants");
        vc[i] = lkCriticalVolume(p);
        cb[i] = std::cbrt(vc[i]);
    }
    std::vector<double> k(static_cast<std::size_t>(n_) * n_, 0.0);
    for (const auto& e : kij) {
        if (e.i < 0 || e.j < 0 || e.i >= n_ || e.j >= n_ || e.i == e.j) continue;
        k[static_cast<std::size_t>(e.i) * n_ + e.j] = e.k;
        k[static_cast<std::size_t>(e.j) * n_ + e.i] = e.k;
    }
    MixQuantity N{false, std::vector<double>(n_, 1.0)};
    MixQuantity Qv{true, std::vector<double>(static_cast<std::size_t>(n_) * n_)};
    MixQuantity Qt{true, std::vector<double>(static_cast<std::size_t>(n_) * n_)};
    MixQuantity W{false, std::vector<double>(n_)};
    for (int i = 0; i < n_; ++i) {
        W.coef[i] = pure_[i].omega;
        for (int j = 0; j < n_; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * n_ + j;
            const double s = cb[i] + cb[j];
            const double vij = s * s * s / 8.0;
            const double tij = (1.0 - k[q]) * std::sqrt(pure_[i].tc * pure_[j].tc);
            Qv.coef[q] = vij;
            Qt.coef[q] = std::sqrt(std::sqrt(vij)) * tij;
        }
    }
    q_ = {N, Qv, Qt, W};
}

void LeeKeslerModel::mixture(const double* x, double& Tcm, double& Vcm, double& omegam) const {
    const double N = q_[0].value(x, n_);
    Vcm = q_[1].value(x, n_) / (N * N);
    Tcm = q_[2].value(x, n_) / (N * N * std::sqrt(std::sqrt(Vcm)));
    omegam = q_[3].value(x, n_) / N;
}

void LeeKeslerModel::pseudoCritical(const double* x, double& Tc, double& Vc) const {
    double om;
    mixture(x, Tc, Vc, om);
}

bool LeeKeslerModel::residual(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    using J = thermo::Jet<6>;
    if (!(T > 0) || !(V > 0)) return false;
    double Q[4];
    thread_local std::vector<double> grad, g;
    grad.resize(static_cast<std::size_t>(n_) * 4);
    g.resize(n_);
    for (int q = 0; q < 4; ++q) {
        Q[q] = q_[q].value(n, n_);
        q_[q].gradient(n, n_, g.data());
        for (int i = 0; i < n_; ++i)
            grad[i * 4 + q] = g[i];
    }
    if (!(Q[0] > 0) || !(Q[1] > 0) || !(Q[2] > 0)) return false;
    const J core = lkpCore(J::seed(T, 0), J::seed(V, 1), J::seed(Q[0], 2), J::seed(Q[1], 3), J::seed(Q[2], 4),
                           J::seed(Q[3], 5));
    if (!std::isfinite(core.v)) return false;
    chainToMoles(core, q_, grad, n_, order, d);
    return true;
}

bool LeeKeslerModel::volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const {
    using J = thermo::Jet<1>;
    if (!(T > 0) || !(V > 0)) return false;
    double Q[4];
    for (int q = 0; q < 4; ++q)
        Q[q] = q_[q].value(n, n_);
    if (!(Q[0] > 0) || !(Q[1] > 0) || !(Q[2] > 0)) return false;
    const J core = lkpCore(J(T), J::seed(V, 0), J(Q[0]), J(Q[1]), J(Q[2]), J(Q[3]));
    FV = core.d(0);
    FVV = core.d2(0, 0);
    return std::isfinite(FV) && std::isfinite(FVV);
}

// ---------------------------------------------------------------------------
// Lee-Kesler-Ploecker, interpolation at equal (Tr, Pr)

namespace {

// Reduced pressure Pr = Tr rho Z of one Lee-Kesler fluid at rho = 1 / Vr and
// its derivative with respect to rho.
template <class S> void lkPressure(const LkConstants& k, const S& Tr, const S& rho, S& Pr, S& dPr) {
    using thermo::exp;
    const S t = 1.0 / Tr;
    const S t3 = t * t * t;
    const S r2 = rho * rho;
    const S r4 = r2 * r2;
    const S B = k.b1 - k.b2 * t - k.b3 * t * t - k.b4 * t3;
    const S C = k.c1 - k.c2 * t + k.c3 * t3;
    const S D = k.d1 + k.d2 * t;
    const S e = exp(-k.gamma * r2);
    const S Z = 1.0 + B * rho + C * r2 + D * r4 * rho + k.c4 * t3 * r2 * (k.beta + k.gamma * r2) * e;
    const S dZ = B + 2.0 * C * rho + 5.0 * D * r4 +
                 k.c4 * t3 * e *
                     (2.0 * k.beta * rho + 4.0 * k.gamma * r2 * rho -
                      2.0 * k.gamma * rho * (k.beta * r2 + k.gamma * r4));
    Pr = Tr * rho * Z;
    dPr = Tr * (Z + rho * dZ);
}

// Reduced density of one fluid at (Tr, Pr) on the liquid or the vapour
// branch.  Liquid: Newton steps from the dense side, where Pr(rho) rises and
// is convex, approach the root from above; vapour: from zero density, where
// it rises and is concave, from below.  False when the branch has no root.
bool lkDensity(const LkConstants& k, double Tr, double Pr, bool liquid, double& rho) {
    double p, dp;
    if (liquid) {
        rho = 12.0;
        bool ok = false;
        for (int i = 0; i < 80; ++i) {
            lkPressure(k, Tr, rho, p, dp);
            if (p > Pr && dp > 0) {
                ok = true;
                break;
            }
            rho *= 1.1;
        }
        if (!ok) return false;
    } else {
        rho = 0.0;
    }
    for (int it = 0; it < 300; ++it) {
        if (rho > 0) {
            lkPressure(k, Tr, rho, p, dp);
        } else {
            p = 0;
            dp = Tr;
        }
        if (!(dp > 0)) return false; // past a spinodal
        double rn = rho - (p - Pr) / dp;
        if (!(rn > 0)) rn = 0.5 * rho;
        if (!liquid && rn > 12.0) return false;
        if (std::fabs(rn - rho) <= 1e-14 * rn) {
            rho = rn;
            return true;
        }
        rho = rn;
    }
    return false;
}

// Reduced residual Gibbs energy of one fluid with the jets of (Tr, Pr): two
// Newton steps on jets from the converged density carry its first and second
// derivatives exactly.
template <class S> S lkGibbs(const LkConstants& k, const S& Tr, const S& Pr, double rho0) {
    using thermo::log;
    S rho(rho0);
    for (int it = 0; it < 2; ++it) {
        S p, dp;
        lkPressure(k, Tr, rho, p, dp);
        rho = rho - (p - Pr) / dp;
    }
    const S Z = Pr / (Tr * rho);
    return lkHelmholtz(k, Tr, 1.0 / rho) + Z - 1.0 - log(Z);
}

double lkGibbsValue(const LkConstants& k, double Tr, double Pr, double rho) {
    const double Z = Pr / (Tr * rho);
    return lkHelmholtz<double>(k, Tr, 1.0 / rho) + Z - 1.0 - std::log(Z);
}

} // namespace

LeeKeslerGibbsModel::LeeKeslerGibbsModel(std::vector<PureConstants> comps, const std::vector<LkpKij>& kij)
    : helmholtz_(std::move(comps), kij) {}

bool LeeKeslerGibbsModel::evaluate(double T, double P, const double* xin, Root root, int order,
                                   PhaseProps& out) const {
    using J = thermo::Jet<6>;
    if (!(T > 0) || !(P > 0)) return false;
    const int n = size();
    const auto& qs = helmholtz_.quantities();
    thread_local std::vector<double> x, grad, g;
    x.resize(n);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += xin[i];
    if (!(sum > 0)) return false;
    for (int i = 0; i < n; ++i)
        x[i] = xin[i] / sum;
    grad.resize(static_cast<std::size_t>(n) * 4);
    g.resize(n);
    double Q[4];
    for (int q = 0; q < 4; ++q) {
        Q[q] = qs[q].value(x.data(), n);
        qs[q].gradient(x.data(), n, g.data());
        for (int i = 0; i < n; ++i)
            grad[i * 4 + q] = g[i];
    }
    if (!(Q[1] > 0) || !(Q[2] > 0)) return false;
    const J TJ = J::seed(T, 0), PJ = J::seed(P, 1), N = J::seed(Q[0], 2), W = J::seed(Q[3], 5);
    const J N2 = N * N;
    const J Vcm = J::seed(Q[1], 3) / N2;
    const J Tcm = J::seed(Q[2], 4) / (N2 * thermo::sqrt(thermo::sqrt(Vcm)));
    const J om = W / N;
    const J Pcm = (0.2905 - 0.085 * om) * kR * Tcm / Vcm;
    const J Tr = TJ / Tcm, Pr = PJ / Pcm;
    const J f = om / LeeKeslerModel::kOmegaRef;

    // Densities of both fluids on both branches.  A phase puts both fluids
    // on the same branch: the liquid pair exists when both fluids have a
    // liquid root, the vapour pair when both have a vapour root.  Mixing a
    // vapour root of one fluid with a liquid root of the other is no phase
    // of either kind; with a negative acentric factor (argon) the reference
    // fluid's weight is negative, and such a mix would even look more stable
    // than the vapour.
    double rl[2], rv[2];
    bool hl[2], hv[2];
    for (int k = 0; k < 2; ++k) {
        hl[k] = lkDensity(kLk[k], Tr.v, Pr.v, true, rl[k]);
        hv[k] = lkDensity(kLk[k], Tr.v, Pr.v, false, rv[k]);
        if (!hl[k] && !hv[k]) return false;
        if (!hl[k]) rl[k] = rv[k];
        if (!hv[k]) rv[k] = rl[k];
    }
    const bool liquidPair = hl[0] && hl[1], vapourPair = hv[0] && hv[1];
    const bool two = liquidPair && vapourPair &&
                     (std::fabs(rl[0] - rv[0]) > 1e-7 * rl[0] || std::fabs(rl[1] - rv[1]) > 1e-7 * rl[1]);
    bool liquid = root == Root::Liquid;
    if (!liquidPair && vapourPair) {
        liquid = false; // the only phase there is serves both requests
    } else if (liquidPair && !vapourPair) {
        liquid = true;
    } else if (two && root == Root::Stable) {
        auto gmix = [&](const double* r) {
            return (1.0 - f.v) * lkGibbsValue(kLk[0], Tr.v, Pr.v, r[0]) +
                   f.v * lkGibbsValue(kLk[1], Tr.v, Pr.v, r[1]);
        };
        liquid = gmix(rl) < gmix(rv);
    }
    // Neither pair (each fluid has only its own branch): both sets hold the
    // single roots, which the choice above does not change.
    const double* rho = liquid ? rl : rv;
    // Each fluid's Gibbs energy depends on (Tr, Pr) only: evaluated on jets
    // of those two and carried to the six variables by the chain rule.
    auto fluidGibbs = [&](int k) {
        using J2 = thermo::Jet<2>;
        return thermo::compose(lkGibbs(kLk[k], J2::seed(Tr.v, 0), J2::seed(Pr.v, 1), rho[k]), Tr, Pr);
    };
    const J core = N * ((1.0 - f) * fluidGibbs(0) + f * fluidGibbs(1));
    if (!std::isfinite(core.v)) return false;
    // Derivatives of G_res / RT with respect to (T, P, n), in the slots of
    // the Helmholtz layout (the second variable is the pressure here).
    thread_local ResidualDerivs d;
    chainToMoles(core, qs, grad, n, 1, d);
    const double RT = kR * T;
    const double G = d.F, GT = d.F_T, GP = d.F_V, GTT = d.F_TT, GTP = d.F_TV, GPP = d.F_VV;
    out.lnfx.clear();
    out.lnphi = d.F_i;
    out.v = RT / P + RT * GP;
    out.z = P * out.v / RT;
    if (!(out.v > 0)) return false;
    out.hres = -RT * T * GT;
    out.sres = -kR * (T * GT + G);
    if (two)
        out.kind = liquid ? kLiquid : kVapour;
    else
        out.kind = (Tr.v < 1.0 && out.v < Vcm.v) ? kLiquid : kVapour;
    if (order < 1) return true;
    out.dlnphi_dT = d.F_iT;
    out.dlnphi_dP = d.F_iV;
    out.dlnphi_dn = d.F_ij;
    out.cpres = -kR * (2.0 * T * GT + T * T * GTT);
    out.dv_dT = kR / P + kR * GP + RT * GTP;
    out.dv_dP = -RT / (P * P) + RT * GPP;
    out.cvres = out.cpres + T * out.dv_dT * out.dv_dT / out.dv_dP + kR;
    out.dP_dV = 1.0 / out.dv_dP;
    out.dP_dT = -out.dv_dT / out.dv_dP;
    out.dhres_dT = out.cpres;
    out.dhres_dP = -RT * T * GTP;
    out.dsres_dT = out.cpres / T;
    out.dsres_dP = -kR * (T * GTP + GP);
    out.dv_dx.resize(n);
    out.dhres_dx.resize(n);
    out.dsres_dx.resize(n);
    for (int m = 0; m < n; ++m) {
        const double vbar = RT * out.dlnphi_dP[m] + RT / P;
        const double hbar = -RT * T * out.dlnphi_dT[m];
        const double sbar = -kR * (T * out.dlnphi_dT[m] + out.lnphi[m]);
        out.dv_dx[m] = vbar - out.v;
        out.dhres_dx[m] = hbar - out.hres;
        out.dsres_dx[m] = sbar - out.sres;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Builder

namespace {
constexpr int kLkpCode = 91;

const std::map<std::pair<std::int64_t, std::int64_t>, double>& lkpTable() {
    static const auto table = [] {
        std::map<std::pair<std::int64_t, std::int64_t>, double> t;
        if (std::ifstream in = openDataFile("lkp_kij.tsv"); in) {
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                std::istringstream ls(line);
                std::int64_t a, b;
                double k;
                if (!(ls >> a >> b >> k)) continue;
                if (a > b) std::swap(a, b);
                t[{a, b}] = k;
            }
        }
        return t;
    }();
    return table;
}
} // namespace

bool storedLkpKij(std::int64_t a, std::int64_t b, double& k) {
    if (a > b) std::swap(a, b);
    const auto& t = lkpTable();
    auto it = t.find({a, b});
    if (it == t.end()) return false;
    k = it->second;
    return true;
}

std::shared_ptr<const PhaseModel> buildLeeKesler(const ModelInputs& in) {
    const int n = static_cast<int>(in.pure.size());
    std::map<std::pair<int, int>, double> chosen;
    for (const auto& e : in.bips) {
        if (e.model != kLkpCode || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
        chosen[{std::min(e.i, e.j) - 1, std::max(e.i, e.j) - 1}] = e.p[0];
    }
    if (in.bipLoadLevel >= 0 && static_cast<int>(in.cas.size()) == n)
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                double k;
                if (!chosen.count({i, j}) && storedLkpKij(in.cas[i], in.cas[j], k)) chosen[{i, j}] = k;
            }
    std::vector<LkpKij> kij;
    for (const auto& [key, k] : chosen)
        kij.push_back({key.first, key.second, k});
    return std::make_shared<LeeKeslerGibbsModel>(in.pure, kij);
}

} // namespace zpk::models
