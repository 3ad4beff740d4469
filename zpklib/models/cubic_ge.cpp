#include "models/cubic_ge.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <string>

#include "core/error.h"
#include "models/cubic.h"
#include "thermo/evaluator.h"
#include "thermo/jet.h"

namespace zpk::models {

namespace {

const double kSqrt2 = std::sqrt(2.0);
const double kD1 = 1.0 + kSqrt2, kD2 = 1.0 - kSqrt2;
constexpr double kOmegaA = 0.45723552892138218, kOmegaB = 0.07779607390388844;
// V / b of the Peng-Robinson critical point: the single root of a state is
// liquid-like when denser than this and colder than the pseudo-critical T.
constexpr double kCriticalVolumeRatio = 3.9514;

// A quantity over z = (T, n_1 .. n_k) with its gradient and Hessian; index 0
// is the temperature.
struct Quad {
    double v = 0;
    std::vector<double> g, h;
    void reset(int K) {
        v = 0;
        g.assign(K, 0.0);
        h.assign(static_cast<std::size_t>(K) * K, 0.0);
    }
    int size() const { return static_cast<int>(g.size()); }
};

// The operations below fill the Hessian only when `second` is true (it is
// left zero otherwise).

// out = a * b
void product(const Quad& a, const Quad& b, Quad& out, bool second) {
    const int K = a.size();
    out.reset(K);
    out.v = a.v * b.v;
    for (int i = 0; i < K; ++i)
        out.g[i] = a.v * b.g[i] + b.v * a.g[i];
    if (!second) return;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * K + j;
            out.h[q] = a.v * b.h[q] + b.v * a.h[q] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
        }
}

// out = 1 / a
void inverse(const Quad& a, Quad& out, bool second) {
    const int K = a.size();
    out.reset(K);
    const double iv = 1.0 / a.v, iv2 = iv * iv;
    out.v = iv;
    for (int i = 0; i < K; ++i)
        out.g[i] = -a.g[i] * iv2;
    if (!second) return;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * K + j;
            out.h[q] = -a.h[q] * iv2 + 2.0 * a.g[i] * a.g[j] * iv2 * iv;
        }
}

// out = N f(Rt / N) for a scalar function f with value f0, slope f1 and
// curvature f2 at r = Rt / N (N = sum of the mole numbers).
void homogeneous(const Quad& Rt, double N, double f0, double f1, double f2, Quad& out, bool second) {
    const int K = Rt.size();
    out.reset(K);
    const double r = Rt.v / N;
    thread_local std::vector<double> rg;
    rg.resize(K);
    auto Nd = [](int a) { return a == 0 ? 0.0 : 1.0; };
    for (int a = 0; a < K; ++a)
        rg[a] = (Rt.g[a] - r * Nd(a)) / N;
    out.v = N * f0;
    for (int a = 0; a < K; ++a)
        out.g[a] = Nd(a) * f0 + N * f1 * rg[a];
    if (!second) return;
    for (int a = 0; a < K; ++a)
        for (int b = 0; b < K; ++b) {
            const std::size_t q = static_cast<std::size_t>(a) * K + b;
            const double rab = (Rt.h[q] - rg[a] * Nd(b) - rg[b] * Nd(a)) / N;
            out.h[q] = f1 * (Nd(a) * rg[b] + Nd(b) * rg[a]) + N * f2 * rg[a] * rg[b] + N * f1 * rab;
        }
}

// Reduced residual Helmholtz energy of Peng-Robinson in terms of the total
// mole number N, co-volume B = n b and attraction D = n^2 a, written once for
// doubles and Jets.
template <class S> S helmholtz(const S& T, const S& V, const S& N, const S& B, const S& D) {
    using thermo::log;
    using thermo::log1p;
    return -N * log1p(-B / V) - D / (kR * T * B * (kD1 - kD2)) * (log(V + kD1 * B) - log(V + kD2 * B));
}

// The same function with its gradient and Hessian over (T, V, N, B, D) in
// closed form (the mixing rule's chain rule needs all of them at every
// evaluation).  With g = ln(1 - B/V), f = ln((V + d1 B) / (V + d2 B)),
// h = f / B and c = 1 / (R (d1 - d2)):  F = -N g - c D h / T.
struct HelmholtzDerivs {
    double v = 0;
    double g[5] = {};
    double h[25] = {};
    double d(int a) const { return g[a]; }
    double d2(int a, int b) const { return h[a * 5 + b]; }
};

HelmholtzDerivs helmholtzDerivs(double T, double V, double N, double B, double D) {
    enum { iT, iV, iN, iB, iD };
    const double c = 1.0 / (kR * (kD1 - kD2));
    const double vb = V - B, e1 = V + kD1 * B, e2 = V + kD2 * B;
    const double g = std::log1p(-B / V);
    const double gV = 1.0 / vb - 1.0 / V, gB = -1.0 / vb;
    const double gVV = -1.0 / (vb * vb) + 1.0 / (V * V), gVB = 1.0 / (vb * vb), gBB = -1.0 / (vb * vb);
    const double f = std::log(e1) - std::log(e2);
    const double fV = 1.0 / e1 - 1.0 / e2, fB = kD1 / e1 - kD2 / e2;
    const double i1 = 1.0 / (e1 * e1), i2 = 1.0 / (e2 * e2);
    const double fVV = -i1 + i2, fVB = -kD1 * i1 + kD2 * i2, fBB = -kD1 * kD1 * i1 + kD2 * kD2 * i2;
    const double rB = 1.0 / B;
    const double h = f * rB, hV = fV * rB, hB = (fB - h) * rB;
    const double hVV = fVV * rB, hVB = (fVB - hV) * rB, hBB = (fBB - 2.0 * hB) * rB;
    const double cT = c / T, cDT = cT * D;
    HelmholtzDerivs r;
    r.v = -N * g - cDT * h;
    r.g[iT] = cDT * h / T;
    r.g[iV] = -N * gV - cDT * hV;
    r.g[iN] = -g;
    r.g[iB] = -N * gB - cDT * hB;
    r.g[iD] = -cT * h;
    auto set = [&r](int a, int b, double x) { r.h[a * 5 + b] = r.h[b * 5 + a] = x; };
    set(iT, iT, -2.0 * cDT * h / (T * T));
    set(iT, iV, cDT * hV / T);
    set(iT, iB, cDT * hB / T);
    set(iT, iD, cT * h / T);
    set(iV, iV, -N * gVV - cDT * hVV);
    set(iV, iN, -gV);
    set(iV, iB, -N * gVB - cDT * hVB);
    set(iV, iD, -cT * hV);
    set(iN, iB, -gB);
    set(iB, iB, -N * gBB - cDT * hBB);
    set(iB, iD, -cT * hB);
    return r;
}

// Real roots of z^3 + c2 z^2 + c1 z + c0, ascending; returns their count.
int cubicRoots(double c2, double c1, double c0, double z[3]) {
    const double Q = (c2 * c2 - 3.0 * c1) / 9.0;
    const double Rr = (2.0 * c2 * c2 * c2 - 9.0 * c2 * c1 + 27.0 * c0) / 54.0;
    int count;
    if (Rr * Rr < Q * Q * Q) {
        const double theta = std::acos(std::clamp(Rr / std::sqrt(Q * Q * Q), -1.0, 1.0));
        const double s = -2.0 * std::sqrt(Q);
        for (int k = 0; k < 3; ++k)
            z[k] = s * std::cos((theta + 2.0 * std::numbers::pi * (k - 1)) / 3.0) - c2 / 3.0;
        count = 3;
    } else {
        const double u = -std::copysign(std::cbrt(std::fabs(Rr) + std::sqrt(Rr * Rr - Q * Q * Q)), Rr);
        z[0] = u + (u != 0.0 ? Q / u : 0.0) - c2 / 3.0;
        count = 1;
    }
    // Newton steps restore the digits the closed form loses near double roots.
    for (int k = 0; k < count; ++k)
        for (int it = 0; it < 4; ++it) {
            const double f = ((z[k] + c2) * z[k] + c1) * z[k] + c0;
            const double fp = (3.0 * z[k] + 2.0 * c2) * z[k] + c1;
            if (fp == 0.0) break;
            const double dz = f / fp;
            z[k] -= dz;
            if (std::fabs(dz) <= 1e-15 * std::fabs(z[k])) break;
        }
    std::sort(z, z + count);
    return count;
}

} // namespace

void pengRobinsonHelmholtz(double T, double V, double N, double B, double D, bool closedForm, double& F,
                           double g[5], double h[25]) {
    if (closedForm) {
        const HelmholtzDerivs r = helmholtzDerivs(T, V, N, B, D);
        F = r.v;
        std::copy(r.g, r.g + 5, g);
        std::copy(r.h, r.h + 25, h);
        return;
    }
    using J = thermo::Jet<5>;
    const J r = helmholtz(J::seed(T, 0), J::seed(V, 1), J::seed(N, 2), J::seed(B, 3), J::seed(D, 4));
    F = r.v;
    for (int a = 0; a < 5; ++a) {
        g[a] = r.d(a);
        for (int b = 0; b < 5; ++b)
            h[a * 5 + b] = r.d2(a, b);
    }
}

struct CubicGeModel::Totals {
    double N = 0;
    Quad B, D;
    // scratch
    Quad G, La, A, Q, W;
    ExcessGibbs eg;
};

CubicGeModel::CubicGeModel(GeMixingRule rule, std::vector<PureConstants> comps, ActivityParams ge,
                           std::vector<double> kij)
    : n_(static_cast<int>(comps.size())), rule_(rule), pure_(std::move(comps)), ge_(std::move(ge)),
      kij_(std::move(kij)), id_(newModelId()) {
    if (ge_.n != n_) throw Error("cubic gE model: excess Gibbs energy model does not match", kBadArgument);
    const std::size_t nn = static_cast<std::size_t>(n_) * n_;
    if (kij_.empty()) kij_.assign(nn, 0.0);
    if (kij_.size() != nn) throw Error("cubic gE model: k_ij matrix does not match", kBadArgument);
    ac_.resize(n_);
    b_.resize(n_);
    m_.resize(n_);
    for (int i = 0; i < n_; ++i) {
        const PureConstants& p = pure_[i];
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw Error("cubic gE model: component without critical constants", kBadArgument);
        const double w = p.omega;
        ac_[i] = kOmegaA * kR * kR * p.tc * p.tc / p.pc;
        b_[i] = kOmegaB * kR * p.tc / p.pc;
        m_[i] = w <= 0.491 ? 0.37464 + 1.54226 * w - 0.26992 * w * w
                           : 0.379642 + 1.48503 * w - 0.164423 * w * w + 0.016666 * w * w * w;
    }
    if (rule_ == GeMixingRule::HuronVidal && ge_.kind == ActivityKind::NRTL) {
        // Huron and Vidal's NRTL: weights b_i, and pairs without parameters
        // reproduce the van der Waals rule of these pure-component a_i, b_i.
        ge_.weight = b_;
        auto& v = ge_.vdw;
        if (!v.pair.empty()) {
            if (v.pair.size() != nn || v.k0.size() != nn || v.k1.size() != nn || v.k2.size() != nn)
                throw Error("cubic gE model: van der Waals pairs do not match", kBadArgument);
            v.q = kHuronVidalQ;
            v.ac = ac_;
            v.m = m_;
            v.b = b_;
            v.tc.resize(n_);
            for (int i = 0; i < n_; ++i)
                v.tc[i] = pure_[i].tc;
        }
    }
}

void CubicGeModel::pureAt(double T, double* al, double* alT, double* alTT) const {
    // alpha_i = ac_i (1 + m (1 - sqrt(T/Tc)))^2 / (b_i R T)
    for (int i = 0; i < n_; ++i) {
        const double tc = pure_[i].tc;
        const double st = std::sqrt(T / tc);
        const double s = 1.0 + m_[i] * (1.0 - st);
        const double sT = -m_[i] * 0.5 * st / T;
        const double sTT = m_[i] * 0.25 * st / (T * T);
        const double a = ac_[i] * s * s, aT = 2.0 * ac_[i] * s * sT, aTT = 2.0 * ac_[i] * (sT * sT + s * sTT);
        const double k = 1.0 / (b_[i] * kR);
        al[i] = k * a / T;
        alT[i] = k * (aT / T - a / (T * T));
        alTT[i] = k * (aTT / T - 2.0 * aT / (T * T) + 2.0 * a / (T * T * T));
    }
}

const CubicGeModel::Totals* CubicGeModel::totalsAt(double T, const double* n, bool second) const {
    struct Memo {
        std::uint64_t id = 0;
        double T = 0;
        bool second = false, ok = false;
        std::vector<double> n;
        Totals t;
    };
    thread_local Memo m;
    if (m.id == id_ && m.T == T && (m.second || !second) && std::equal(n, n + n_, m.n.begin(), m.n.end()))
        return m.ok ? &m.t : nullptr;
    m.id = 0; // not valid until filled
    m.ok = totals(T, n, second, m.t);
    m.id = id_, m.T = T, m.second = second;
    m.n.assign(n, n + n_);
    return m.ok ? &m.t : nullptr;
}

bool CubicGeModel::totals(double T, const double* n, bool second, Totals& t) const {
    const int k = n_, K = n_ + 1;
    // The pure-component alpha_i depend on T alone: kept per thread for the
    // last model and temperature (a flash evaluates many compositions at one).
    struct PureMemo {
        std::uint64_t id = 0;
        double T = 0;
        std::vector<double> al, alT, alTT;
    };
    thread_local PureMemo pm;
    if (pm.id != id_ || pm.T != T) {
        pm.id = 0; // not valid until filled
        pm.al.resize(k);
        pm.alT.resize(k);
        pm.alTT.resize(k);
        pureAt(T, pm.al.data(), pm.alT.data(), pm.alTT.data());
        pm.id = id_, pm.T = T;
    }
    const std::vector<double>& al = pm.al;
    const std::vector<double>& alT = pm.alT;
    const std::vector<double>& alTT = pm.alTT;
    double N = 0, Lb = 0;
    for (int i = 0; i < k; ++i) {
        if (!(n[i] >= 0)) return false;
        N += n[i];
        Lb += n[i] * b_[i];
    }
    if (!(N > 0)) return false;
    t.N = N;

    // G = n gE / (R T) and L = sum n alpha_i
    excessGibbs(ge_, T, n, second, t.eg, id_);
    const ExcessGibbs& e = t.eg;
    Quad& G = t.G;
    Quad& La = t.La;
    G.reset(K);
    La.reset(K);
    G.v = N * e.g;
    G.g[0] = N * e.gT;
    if (second) G.h[0] = N * e.gTT;
    for (int i = 0; i < k; ++i) {
        if (!std::isfinite(e.lng[i])) return false;
        G.g[1 + i] = e.lng[i];
        if (second) {
            G.h[1 + i] = G.h[(1 + i) * K] = e.lngT[i];
            for (int j = 0; j < k; ++j)
                G.h[(1 + i) * K + 1 + j] = e.lngN[i * k + j] / N;
        }
        La.v += n[i] * al[i];
        La.g[0] += n[i] * alT[i];
        La.h[0] += n[i] * alTT[i];
        La.g[1 + i] = al[i];
        La.h[1 + i] = La.h[(1 + i) * K] = alT[i];
    }
    if (!std::isfinite(G.v) || !std::isfinite(G.g[0])) return false;

    // H = sum n_i ln(b / b_i) with b = sum x b_i (MHV2 and LCVM).
    auto addH = [&](Quad& X, double c) {
        const double bm = Lb / N;
        X.v += c * (N * std::log(bm) - [&] {
                   double s = 0;
                   for (int i = 0; i < k; ++i)
                       s += n[i] * std::log(b_[i]);
                   return s;
               }());
        for (int i = 0; i < k; ++i) {
            X.g[1 + i] += c * (std::log(bm / b_[i]) + b_[i] / bm - 1.0);
            for (int j = 0; j < k; ++j)
                X.h[(1 + i) * K + 1 + j] +=
                    c * (b_[i] / Lb + b_[j] / Lb - 1.0 / N - N * b_[i] * b_[j] / (Lb * Lb));
        }
    };

    Quad& A = t.A; // n alpha
    Quad& B = t.B;
    switch (rule_) {
    case GeMixingRule::HuronVidal:
    case GeMixingRule::WongSandler:
    case GeMixingRule::LCVM: {
        double cg = 1.0 / kHuronVidalQ;
        if (rule_ == GeMixingRule::LCVM) cg = kLcvmLambda / kLcvmAV + (1.0 - kLcvmLambda) / kLcvmAM;
        A = La;
        A.v += cg * G.v;
        for (std::size_t q = 0; q < A.g.size(); ++q)
            A.g[q] += cg * G.g[q];
        if (second)
            for (std::size_t q = 0; q < A.h.size(); ++q)
                A.h[q] += cg * G.h[q];
        if (rule_ == GeMixingRule::LCVM) addH(A, (1.0 - kLcvmLambda) / kLcvmAM);
        break;
    }
    case GeMixingRule::MHV2: {
        // q1 (alpha - sum x alpha_i) + q2 (alpha^2 - sum x alpha_i^2) = g + sum x ln(b / b_i)
        Quad& Rt = t.Q; // n times the right-hand side plus q1 L + q2 sum n alpha_i^2
        Rt.reset(K);
        for (int i = 0; i < k; ++i) {
            const double a2 = al[i] * al[i], a2T = 2.0 * al[i] * alT[i];
            const double a2TT = 2.0 * (alT[i] * alT[i] + al[i] * alTT[i]);
            Rt.v += n[i] * (kMhv2Q1 * al[i] + kMhv2Q2 * a2);
            Rt.g[0] += n[i] * (kMhv2Q1 * alT[i] + kMhv2Q2 * a2T);
            Rt.h[0] += n[i] * (kMhv2Q1 * alTT[i] + kMhv2Q2 * a2TT);
            Rt.g[1 + i] = kMhv2Q1 * al[i] + kMhv2Q2 * a2;
            Rt.h[1 + i] = Rt.h[(1 + i) * K] = kMhv2Q1 * alT[i] + kMhv2Q2 * a2T;
        }
        Rt.v += G.v;
        for (std::size_t q = 0; q < Rt.g.size(); ++q)
            Rt.g[q] += G.g[q];
        if (second)
            for (std::size_t q = 0; q < Rt.h.size(); ++q)
                Rt.h[q] += G.h[q];
        addH(Rt, 1.0);
        // alpha = f(r), r = Rt / N: the root of q2 f^2 + q1 f - r = 0 that
        // tends to r / q1 as q2 -> 0 (the pure-component alpha_i at x_i = 1).
        const double r = Rt.v / N;
        const double disc = kMhv2Q1 * kMhv2Q1 + 4.0 * kMhv2Q2 * r;
        if (!(disc > 0)) return false;
        const double f0 = (-kMhv2Q1 - std::sqrt(disc)) / (2.0 * kMhv2Q2);
        const double f1 = 1.0 / (kMhv2Q1 + 2.0 * kMhv2Q2 * f0);
        const double f2 = -2.0 * kMhv2Q2 * f1 * f1 * f1;
        homogeneous(Rt, N, f0, f1, f2, A, second);
        break;
    }
    }

    if (rule_ == GeMixingRule::WongSandler) {
        // B = sum sum n_i n_j (b - a/RT)_ij / (N - n alpha), the second virial
        // coefficient quadratic in composition.
        Quad& Q = t.Q;
        Quad& W = t.W;
        Q.reset(K);
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j) {
                const double c = 0.5 * (1.0 - kij_[static_cast<std::size_t>(i) * k + j]);
                const double s = c * (b_[i] * (1.0 - al[i]) + b_[j] * (1.0 - al[j]));
                const double sT = -c * (b_[i] * alT[i] + b_[j] * alT[j]);
                const double sTT = -c * (b_[i] * alTT[i] + b_[j] * alTT[j]);
                Q.v += n[i] * n[j] * s;
                Q.g[0] += n[i] * n[j] * sT;
                Q.h[0] += n[i] * n[j] * sTT;
                Q.g[1 + i] += 2.0 * n[j] * s;
                Q.h[1 + i] += 2.0 * n[j] * sT;
                Q.h[(1 + i) * K] += 2.0 * n[j] * sT;
                Q.h[(1 + i) * K + 1 + j] = 2.0 * s;
            }
        W.reset(K);
        W.v = N - A.v;
        for (int a = 0; a < K; ++a)
            W.g[a] = (a == 0 ? 0.0 : 1.0) - A.g[a];
        if (second)
            for (std::size_t q = 0; q < W.h.size(); ++q)
                W.h[q] = -A.h[q];
        if (W.v == 0.0) return false;
        Quad& iW = t.G; // G is no longer needed
        inverse(W, iW, second);
        product(Q, iW, B, second);
    } else {
        B.reset(K);
        B.v = Lb;
        for (int i = 0; i < k; ++i)
            B.g[1 + i] = b_[i];
    }
    if (!(B.v > 0) || !std::isfinite(B.v) || !std::isfinite(A.v)) return false;

    // D = R T B A
    Quad& P = t.W;
    product(B, A, P, second);
    Quad& D = t.D;
    D.reset(K);
    const double RT = kR * T;
    D.v = RT * P.v;
    for (int a = 0; a < K; ++a)
        D.g[a] = RT * P.g[a];
    D.g[0] += kR * P.v;
    if (!second) return std::isfinite(D.v);
    for (int a = 0; a < K; ++a)
        for (int b = 0; b < K; ++b) {
            const std::size_t q = static_cast<std::size_t>(a) * K + b;
            D.h[q] = RT * P.h[q];
            if (a == 0) D.h[q] += kR * P.g[b];
            if (b == 0) D.h[q] += kR * P.g[a];
        }
    return std::isfinite(D.v);
}

bool CubicGeModel::mixture(double T, const double* x, double& b, double& alpha) const {
    const Totals* tp = T > 0 ? totalsAt(T, x, false) : nullptr;
    if (!tp) return false;
    const Totals& t = *tp;
    b = t.B.v / t.N;
    alpha = t.D.v / (t.N * t.B.v * kR * T);
    return true;
}

double CubicGeModel::volumeScale(const double* x) const {
    double s = 0, B = 0;
    for (int i = 0; i < n_; ++i) {
        s += x[i];
        B += x[i] * b_[i];
    }
    return B / s;
}

double CubicGeModel::pressure(double T, double V, const double* n) const {
    const Totals* tp = totalsAt(T, n, false);
    if (!tp) return kNaN;
    const Totals& t = *tp;
    const double B = t.B.v, D = t.D.v;
    return t.N * kR * T / (V - B) - D / ((V + kD1 * B) * (V + kD2 * B));
}

int CubicGeModel::volumeRoots(double T, double P, const double* x, double roots[3]) const {
    double b, alpha;
    if (!mixture(T, x, b, alpha)) return 0;
    const double Bb = b * P / (kR * T), Aa = alpha * Bb;
    // Peng-Robinson in Z: Z^3 - (1 - B) Z^2 + (A - 3 B^2 - 2 B) Z - (A B - B^2 - B^3) = 0
    double z[3];
    const int nz =
        cubicRoots(Bb - 1.0, Aa - 3.0 * Bb * Bb - 2.0 * Bb, -(Aa * Bb - Bb * Bb - Bb * Bb * Bb), z);
    int count = 0;
    for (int k = 0; k < nz; ++k)
        if (z[k] > Bb * (1.0 + 1e-12)) roots[count++] = z[k] * kR * T / P;
    return count;
}

bool CubicGeModel::residual(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    const Totals* tp = T > 0 && V > 0 ? totalsAt(T, n, order >= 1) : nullptr;
    if (!tp) return false;
    const Totals& t = *tp;
    return assemble(T, V, t, order, d);
}

bool CubicGeModel::assemble(double T, double V, const Totals& t, int order, ResidualDerivs& d) const {
    const Quad& B = t.B;
    const Quad& D = t.D;
    if (!(V > B.v)) return false;
    enum { iT, iV, iN, iB, iD };
    const HelmholtzDerivs F = helmholtzDerivs(T, V, t.N, B.v, D.v);
    const int k = n_, K = n_ + 1;
    d.F = F.v;
    d.F_V = F.d(iV);
    d.F_T = F.d(iT) + F.d(iB) * B.g[0] + F.d(iD) * D.g[0];
    d.F_i.resize(k);
    for (int i = 0; i < k; ++i)
        d.F_i[i] = F.d(iN) + F.d(iB) * B.g[1 + i] + F.d(iD) * D.g[1 + i];
    if (order < 1) return std::isfinite(d.F) && std::isfinite(d.F_T);

    // Chain rule over w = (T, n_1..n_k) plus V: F_ab = u_a' H u_b + F_B B_ab + F_D D_ab,
    // u_a = d(T, V, N, B, D) / d w_a = e_(T or N) + B_a e_B + D_a e_D.
    thread_local std::vector<double> w; // w[a * 5 + q] = (H u_a)_q
    w.resize(static_cast<std::size_t>(K) * 5);
    for (int a = 0; a < K; ++a) {
        const int c = a == 0 ? iT : iN;
        for (int q = 0; q < 5; ++q)
            w[a * 5 + q] = F.d2(q, c) + B.g[a] * F.d2(q, iB) + D.g[a] * F.d2(q, iD);
    }
    auto second = [&](int a, int b) {
        const double* wb = &w[b * 5];
        return F.d(iB) * B.h[static_cast<std::size_t>(a) * K + b] +
               F.d(iD) * D.h[static_cast<std::size_t>(a) * K + b] + wb[a == 0 ? iT : iN] + B.g[a] * wb[iB] +
               D.g[a] * wb[iD];
    };
    // derivative with V: u_V = e_V, so F_aV = (H u_a)_V
    d.F_VV = F.d2(iV, iV);
    d.F_TV = w[0 * 5 + iV];
    d.F_TT = second(0, 0);
    d.F_iT.resize(k);
    d.F_iV.resize(k);
    d.F_ij.resize(static_cast<std::size_t>(k) * k);
    for (int i = 0; i < k; ++i) {
        d.F_iT[i] = second(1 + i, 0);
        d.F_iV[i] = w[(1 + i) * 5 + iV];
        for (int j = 0; j < k; ++j)
            d.F_ij[static_cast<std::size_t>(i) * k + j] = second(1 + i, 1 + j);
    }
    return std::isfinite(d.F) && std::isfinite(d.F_TT);
}

bool CubicGeModel::evaluate(double T, double P, const double* xin, Root root, int order,
                            PhaseProps& out) const {
    if (!(T > 0) || !(P > 0)) return false;
    thread_local std::vector<double> x;
    x.resize(n_);
    double sum = 0;
    for (int i = 0; i < n_; ++i)
        sum += xin[i];
    if (!(sum > 0)) return false;
    for (int i = 0; i < n_; ++i)
        x[i] = xin[i] / sum;

    // The mixing rule does not depend on the volume: one evaluation serves
    // the roots and the residual properties.
    const Totals* tp = totalsAt(T, x.data(), order >= 1);
    if (!tp) return false;
    const Totals& t = *tp;
    const double b = t.B.v, alpha = t.D.v / (t.B.v * kR * T);
    const double Bb = b * P / (kR * T), Aa = alpha * Bb;
    double z[3], roots[3];
    const int nz =
        cubicRoots(Bb - 1.0, Aa - 3.0 * Bb * Bb - 2.0 * Bb, -(Aa * Bb - Bb * Bb - Bb * Bb * Bb), z);
    int nr = 0;
    for (int k = 0; k < nz; ++k)
        if (z[k] > Bb * (1.0 + 1e-12)) roots[nr++] = z[k] * kR * T / P;
    if (nr == 0) return false;
    // Residual Gibbs energy per mole, F + Z - 1 - ln Z.
    const double a = alpha * b * kR * T;
    auto gres = [&](double v) {
        const double zz = P * v / (kR * T);
        return helmholtz<double>(T, v, 1.0, b, a) + zz - 1.0 - std::log(zz);
    };
    auto liquidLike = [&] {
        double tpc = 0;
        for (int i = 0; i < n_; ++i)
            tpc += x[i] * pure_[i].tc;
        return roots[0] < kCriticalVolumeRatio * b && T < tpc;
    };
    double V;
    int kind;
    chooseRoot(roots, nr, root, gres, liquidLike, V, kind);
    thread_local ResidualDerivs d;
    if (!assemble(T, V, t, order, d)) return false;
    thermo::propsFromResidual(T, P, V, x.data(), n_, d, order, out);
    out.kind = kind;
    return true;
}

// ---- model codes and construction ---------------------------------------

namespace {

struct CodeInfo {
    GeMixingRule rule;
    ActivityKind ge;
};

const std::map<int, CodeInfo>& codes() {
    static const std::map<int, CodeInfo> table = {
        {55, {GeMixingRule::WongSandler, ActivityKind::Wilson}},
        {56, {GeMixingRule::WongSandler, ActivityKind::UNIQUAC}},
        {57, {GeMixingRule::WongSandler, ActivityKind::NRTL}},
        {60, {GeMixingRule::HuronVidal, ActivityKind::NRTL}},
        {61, {GeMixingRule::HuronVidal, ActivityKind::Wilson}},
        {62, {GeMixingRule::HuronVidal, ActivityKind::UNIQUAC}},
        {65, {GeMixingRule::MHV2, ActivityKind::Wilson}},
        {66, {GeMixingRule::MHV2, ActivityKind::UNIQUAC}},
        {67, {GeMixingRule::MHV2, ActivityKind::NRTL}},
        {70, {GeMixingRule::LCVM, ActivityKind::NRTL}},
        {71, {GeMixingRule::LCVM, ActivityKind::Wilson}},
        {72, {GeMixingRule::LCVM, ActivityKind::UNIQUAC}},
    };
    return table;
}

const CodeInfo& info(int code) {
    auto it = codes().find(code);
    if (it == codes().end())
        throw Error("model " + std::to_string(code) + " is no cubic gE model", kBadArgument);
    return it->second;
}

} // namespace

bool isCubicGeCode(int code) {
    return codes().count(code) != 0;
}
GeMixingRule cubicGeRule(int code) {
    return info(code).rule;
}
ActivityKind cubicGeActivity(int code) {
    return info(code).ge;
}

std::shared_ptr<const PhaseModel> buildCubicGe(int code, const ModelInputs& in) {
    const CodeInfo& ci = info(code);
    const int n = static_cast<int>(in.pure.size());
    const bool ws = ci.rule == GeMixingRule::WongSandler;
    const int first = ws ? 1 : 0; // index of A_ij in an entry
    // The entries of this code, rewritten in the layout of the activity
    // models (A_ij, A_ji, alpha) for the excess Gibbs energy model.
    ModelInputs act = in;
    act.bips.clear();
    std::vector<double> kij(static_cast<std::size_t>(n) * n, 0.0);
    for (const auto& e : in.bips) {
        if (e.model != code || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
        streams::BipEntry g;
        g.i = e.i;
        g.j = e.j;
        g.model = static_cast<int>(ci.ge);
        g.p[0] = e.p[first];
        g.p[1] = e.p[first + 1];
        g.p[2] = e.p[first + 2];
        act.bips.push_back(g);
        if (ws)
            kij[static_cast<std::size_t>(e.i - 1) * n + e.j - 1] =
                kij[static_cast<std::size_t>(e.j - 1) * n + e.i - 1] = e.p[0];
    }
    ActivityParams ge = buildActivityParams(ci.ge, act);
    if (ci.rule == GeMixingRule::HuronVidal && ci.ge == ActivityKind::NRTL) {
        // Pairs with neither an entry nor stored NRTL parameters take the
        // energies that make the rule the van der Waals one of Peng-Robinson
        // (model 50) with k_ij from an entry of model 50 or 51, else the
        // stored value when loadSB was asked for, else 0.
        const std::size_t nn = static_cast<std::size_t>(n) * n;
        auto& v = ge.vdw;
        v.pair.assign(nn, 1);
        v.k0.assign(nn, 0.0);
        v.k1.assign(nn, 0.0);
        v.k2.assign(nn, 0.0);
        auto mark = [&](int i, int j) {
            v.pair[static_cast<std::size_t>(i) * n + j] = v.pair[static_cast<std::size_t>(j) * n + i] = 0;
        };
        for (int i = 0; i < n; ++i)
            mark(i, i);
        for (const auto& e : act.bips)
            mark(e.i - 1, e.j - 1);
        const bool load = in.bipLoadLevel >= 0 && in.cas.size() == static_cast<std::size_t>(n);
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                double stored[5], k;
                if (load && storedActivityParameters(ci.ge, in.cas[i], in.cas[j], stored)) mark(i, j);
                if (load && storedKij(in.cas[i], in.cas[j], false, k))
                    v.k0[static_cast<std::size_t>(i) * n + j] = v.k0[static_cast<std::size_t>(j) * n + i] = k;
            }
        for (const auto& e : in.bips) {
            if ((e.model != 50 && e.model != 51) || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j)
                continue;
            const double T0 = kKijReferenceT;
            for (auto [a, b] : {std::pair{e.i - 1, e.j - 1}, std::pair{e.j - 1, e.i - 1}}) {
                const std::size_t q = static_cast<std::size_t>(a) * n + b;
                v.k0[q] = e.p[0] - e.p[1] - e.p[2];
                v.k1[q] = e.p[1] / T0;
                v.k2[q] = e.p[2] * T0;
            }
        }
        for (std::size_t q = 0; q < nn; ++q)
            if (v.pair[q]) ge.alpha[q] = 0.0;
    }
    return std::make_shared<CubicGeModel>(ci.rule, in.pure, std::move(ge), std::move(kij));
}

} // namespace zpk::models
