#include "models/cubic.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "thermo/evaluator.h"
#include "thermo/jet.h"

namespace zpk::models {

namespace {

// Reduced residual Helmholtz energy of a translated two-parameter cubic in
// terms of its mixing-rule quantities: total moles N, co-volume B = sum n b,
// attraction D = sum sum n n a, translation C = sum n c.  Written once for
// doubles and for automatic-differentiation Jets.
template <class S>
S cubicCore(const S& T, const S& V, const S& N, const S& B, const S& D, const S& C, double d1, double d2) {
    using thermo::log;
    using thermo::log1p;
    const S Vt = V + C;
    S F = -N * log1p(-B / Vt);
    F = F - D / (kR * T * B * (d1 - d2)) * (log(Vt + d1 * B) - log(Vt + d2 * B));
    F = F - N * log(Vt / V);
    return F;
}

// Value and first partial derivatives of cubicCore in T, V, N, B, D and C.
struct CoreGradient {
    double F, T, V, N, B, D, C;
};

CoreGradient cubicCoreGradient(double T, double V, double N, double B, double D, double C, double d1,
                               double d2) {
    const double Vt = V + C;
    const double e1 = Vt + d1 * B, e2 = Vt + d2 * B;
    const double L = std::log(e1) - std::log(e2);
    const double rep = -std::log1p(-B / Vt); // -ln(1 - B/Vt)
    const double lnVtV = std::log(Vt / V);
    const double k = 1.0 / (kR * T * B * (d1 - d2));
    const double g = D * k; // F = N rep - g L - N ln(Vt/V)
    CoreGradient r{};
    r.F = N * rep - g * L - N * lnVtV; // cubicCore from the logarithms above
    r.N = rep - lnVtV;
    r.D = -k * L;
    r.T = g * L / T;
    r.B = N / (Vt - B) + g * L / B - g * (d1 / e1 - d2 / e2);
    r.C = -N * B / (Vt * (Vt - B)) - g * (1.0 / e1 - 1.0 / e2) - N / Vt;
    r.V = r.C + N / V;
    return r;
}

// Real roots of z^3 + a2 z^2 + a1 z + a0, ascending; returns their count.
int solveCubic(double a2, double a1, double a0, double r[3]) {
    const double q = (a2 * a2 - 3.0 * a1) / 9.0;
    const double rr = (2.0 * a2 * a2 * a2 - 9.0 * a2 * a1 + 27.0 * a0) / 54.0;
    const double q3 = q * q * q;
    int count;
    if (rr * rr < q3) {
        const double th = std::acos(std::clamp(rr / std::sqrt(q3), -1.0, 1.0));
        const double sq = -2.0 * std::sqrt(q);
        r[0] = sq * std::cos(th / 3.0) - a2 / 3.0;
        r[1] = sq * std::cos((th + 2.0 * std::numbers::pi) / 3.0) - a2 / 3.0;
        r[2] = sq * std::cos((th - 2.0 * std::numbers::pi) / 3.0) - a2 / 3.0;
        count = 3;
    } else {
        const double a = -std::copysign(std::cbrt(std::fabs(rr) + std::sqrt(rr * rr - q3)), rr);
        const double b = (a != 0.0) ? q / a : 0.0;
        r[0] = (a + b) - a2 / 3.0;
        count = 1;
    }
    // Newton polish: the trigonometric form loses digits near double roots.
    for (int k = 0; k < count; ++k) {
        for (int it = 0; it < 3; ++it) {
            const double z = r[k];
            const double f = ((z + a2) * z + a1) * z + a0;
            const double fp = (3.0 * z + 2.0 * a2) * z + a1;
            if (fp == 0.0) break;
            const double dz = f / fp;
            r[k] = z - dz;
            if (std::fabs(dz) < 1e-15 * std::fabs(z)) break;
        }
    }
    std::sort(r, r + count);
    return count;
}

} // namespace

thermo::Jet<6> cubicCoreByJets(double T, double V, double N, double B, double D, double C, double d1,
                               double d2) {
    using J = thermo::Jet<6>;
    return cubicCore(J::seed(T, 0), J::seed(V, 1), J::seed(N, 2), J::seed(B, 3), J::seed(D, 4), J::seed(C, 5),
                     d1, d2);
}

thermo::Jet<6> cubicCoreDerivatives(double T, double V, double N, double B, double D, double C, double d1,
                                    double d2) {
    // F = N f1(Vt, B) - a(T, D) q(Vt, B) - N (ln Vt - ln V) with Vt = V + C,
    // f1 = ln Vt - ln(Vt - B), q = [ln(Vt + d1 B) - ln(Vt + d2 B)] / B and
    // a = D / (R T (d1 - d2)).
    enum { iT, iV, iN, iB, iD, iC };
    const double Vt = V + C, e1 = Vt + d1 * B, e2 = Vt + d2 * B, vb = Vt - B;
    const double L = std::log(e1) - std::log(e2);
    const double f1Vt = 1.0 / Vt - 1.0 / vb, f1B = 1.0 / vb;
    const double f1VtVt = -1.0 / (Vt * Vt) + 1.0 / (vb * vb), f1VtB = -1.0 / (vb * vb),
                 f1BB = 1.0 / (vb * vb);
    const double LVt = 1.0 / e1 - 1.0 / e2, LB = d1 / e1 - d2 / e2;
    const double LVtVt = -1.0 / (e1 * e1) + 1.0 / (e2 * e2);
    const double LVtB = -d1 / (e1 * e1) + d2 / (e2 * e2);
    const double LBB = -d1 * d1 / (e1 * e1) + d2 * d2 / (e2 * e2);
    const double q = L / B, qVt = LVt / B, qB = LB / B - L / (B * B);
    const double qVtVt = LVtVt / B, qVtB = LVtB / B - LVt / (B * B);
    const double qBB = LBB / B - 2.0 * LB / (B * B) + 2.0 * L / (B * B * B);
    const double c = 1.0 / (kR * (d1 - d2));
    const double a = c * D / T, aD = c / T, aT = -a / T, aTT = 2.0 * a / (T * T), aTD = -c / (T * T);
    const double rep = -std::log1p(-B / Vt), lnVtV = std::log(Vt / V);
    thermo::Jet<6> r(N * rep - a * q - N * lnVtV);
    auto set = [&](int i, int j, double v) {
        r.h[i * 6 + j] = v;
        r.h[j * 6 + i] = v;
    };
    const double FC = N * f1Vt - a * qVt - N / Vt;
    r.g[iT] = -aT * q;
    r.g[iD] = -aD * q;
    r.g[iN] = rep - lnVtV;
    r.g[iB] = N * f1B - a * qB;
    r.g[iC] = FC;
    r.g[iV] = FC + N / V;
    set(iT, iT, -aTT * q);
    set(iT, iD, -aTD * q);
    set(iT, iB, -aT * qB);
    set(iT, iC, -aT * qVt);
    set(iT, iV, -aT * qVt);
    set(iT, iN, 0.0);
    set(iD, iD, 0.0);
    set(iD, iB, -aD * qB);
    set(iD, iC, -aD * qVt);
    set(iD, iV, -aD * qVt);
    set(iD, iN, 0.0);
    set(iN, iN, 0.0);
    set(iN, iB, f1B);
    set(iN, iC, f1Vt - 1.0 / Vt);
    set(iN, iV, f1Vt - 1.0 / Vt + 1.0 / V);
    const double FBC = N * f1VtB - a * qVtB;
    set(iB, iB, N * f1BB - a * qBB);
    set(iB, iC, FBC);
    set(iB, iV, FBC);
    const double FCC = N * f1VtVt - a * qVtVt + N / (Vt * Vt);
    set(iC, iC, FCC);
    set(iC, iV, FCC);
    set(iV, iV, FCC - N / (V * V));
    return r;
}

CubicModel::CubicModel(CubicKind kind, bool translated, std::vector<PureConstants> comps,
                       const std::vector<BinaryKij>& kij)
    : n_(static_cast<int>(comps.size())), kind_(kind), translated_(translated), pure_(std::move(comps)) {
    id_ = newModelId();
    double omA, omB;
    if (kind == CubicKind::SRK) {
        d1_ = 1.0;
        d2_ = 0.0;
        // exact values, so that the pure-component critical point is Tc, Pc
        const double c = std::cbrt(2.0) - 1.0;
        omA = 1.0 / (9.0 * c);
        omB = c / 3.0;
    } else {
        d1_ = 1.0 + std::sqrt(2.0);
        d2_ = 1.0 - std::sqrt(2.0);
        omA = 0.45723552892138218;
        omB = 0.07779607390388844;
    }
    ac_.resize(n_);
    sqac_.resize(n_);
    b_.resize(n_);
    m_.resize(n_);
    c_.assign(n_, 0.0);
    for (int i = 0; i < n_; ++i) {
        const auto& p = pure_[i];
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw std::invalid_argument("cubic model: component without critical constants");
        const double w = p.omega;
        ac_[i] = omA * kR * kR * p.tc * p.tc / p.pc;
        sqac_[i] = std::sqrt(ac_[i]);
        b_[i] = omB * kR * p.tc / p.pc;
        if (kind == CubicKind::SRK)
            m_[i] = 0.480 + 1.574 * w - 0.176 * w * w;
        else if (w <= 0.491)
            m_[i] = 0.37464 + 1.54226 * w - 0.26992 * w * w;
        else
            m_[i] = 0.379642 + 1.48503 * w - 0.164423 * w * w + 0.016666 * w * w * w;
        if (translated) {
            const double zra = (std::isfinite(p.zra) && p.zra > 0) ? p.zra : 0.29056 - 0.08775 * w;
            const double rtp = kR * p.tc / p.pc;
            c_[i] =
                (kind == CubicKind::PR) ? 0.50033 * rtp * (0.25969 - zra) : 0.40768 * rtp * (0.29441 - zra);
        }
    }
    k0_.assign(static_cast<std::size_t>(n_) * n_, 0.0);
    k1_ = k0_;
    k2_ = k0_;
    for (const auto& e : kij) {
        if (e.i < 0 || e.j < 0 || e.i >= n_ || e.j >= n_ || e.i == e.j) continue;
        for (auto [a, b] : {std::pair{e.i, e.j}, std::pair{e.j, e.i}}) {
            k0_[a * n_ + b] = e.k0;
            k1_[a * n_ + b] = e.k1;
            k2_[a * n_ + b] = e.k2;
        }
    }
    nzStart_.assign(n_ + 1, 0);
    for (int i = 0; i < n_; ++i) {
        for (int j = 0; j < n_; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * n_ + j;
            if (k0_[q] == 0.0 && k1_[q] == 0.0 && k2_[q] == 0.0) continue;
            nzCol_.push_back(j);
            nzK0_.push_back(k0_[q]);
            nzK1_.push_back(k1_[q]);
            nzK2_.push_back(k2_[q]);
            kijOfT_ = kijOfT_ || k1_[q] != 0.0 || k2_[q] != 0.0;
        }
        nzStart_[i + 1] = static_cast<int>(nzCol_.size());
    }
}

double CubicModel::kij(int i, int j, double T) const {
    const std::size_t q = static_cast<std::size_t>(i) * n_ + j;
    return k0_[q] + k1_[q] * T + k2_[q] / T;
}

void soaveSqrtA(double sqrtAc, double m, double tc, double T, double& s, double& ds, double& d2s) {
    s = sqrtAc * (1.0 + m * (1.0 - std::sqrt(T / tc)));
    ds = -sqrtAc * m * 0.5 / std::sqrt(T * tc);
    d2s = sqrtAc * m * 0.25 / (std::sqrt(tc) * T * std::sqrt(T));
}

void combineAttraction(int n, double T, const double* s, const double* ds, const double* d2s,
                       const double* k0, const double* k1, const double* k2, double* a, double* ap,
                       double* app) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * n + j;
            const double k = k0[q] + k1[q] * T + k2[q] / T;
            const double kp = k1[q] - k2[q] / (T * T);
            const double kpp = 2.0 * k2[q] / (T * T * T);
            const double ss = s[i] * s[j];
            const double ssp = ds[i] * s[j] + s[i] * ds[j];
            const double sspp = d2s[i] * s[j] + 2.0 * ds[i] * ds[j] + s[i] * d2s[j];
            a[q] = ss * (1.0 - k);
            ap[q] = ssp * (1.0 - k) - ss * kp;
            app[q] = sspp * (1.0 - k) - 2.0 * ssp * kp - ss * kpp;
        }
}

const CubicModel::Attraction& CubicModel::attraction(double T) const {
    thread_local Attraction c;
    if (c.id == id_ && c.T == T) return c;
    c.s.resize(n_);
    c.ds.resize(n_);
    c.d2s.resize(n_);
    for (int i = 0; i < n_; ++i)
        soaveSqrtA(sqac_[i], m_[i], pure_[i].tc, T, c.s[i], c.ds[i], c.d2s[i]);
    const std::size_t nz = nzCol_.size();
    c.k.resize(nz);
    c.kp.resize(nz);
    c.kpp.resize(nz);
    for (std::size_t e = 0; e < nz; ++e) {
        c.k[e] = nzK0_[e] + nzK1_[e] * T + nzK2_[e] / T;
        c.kp[e] = nzK1_[e] - nzK2_[e] / (T * T);
        c.kpp[e] = 2.0 * nzK2_[e] / (T * T * T);
    }
    c.a.resize(static_cast<std::size_t>(n_) * n_);
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j)
            c.a[static_cast<std::size_t>(i) * n_ + j] = c.s[i] * c.s[j];
    for (int i = 0; i < n_; ++i)
        for (int e = nzStart_[i]; e < nzStart_[i + 1]; ++e)
            c.a[static_cast<std::size_t>(i) * n_ + nzCol_[e]] *= 1.0 - c.k[e];
    c.id = id_;
    c.T = T;
    return c;
}

CubicModel::Sums CubicModel::sums(double T, const double* n, int order) const {
    const Attraction& at = attraction(T);
    thread_local std::vector<double> xs, xds, xd2s, Di, DiT;
    xs.resize(n_);
    xds.resize(n_);
    xd2s.resize(n_);
    Di.resize(n_);
    DiT.resize(n_);
    const double* s = at.s.data();
    const double* ds = at.ds.data();
    const double* d2s = at.d2s.data();
    double* xsp = xs.data();
    double* xdsp = xds.data();
    double* xd2sp = xd2s.data();
    double* Dip = Di.data();
    double* DiTp = DiT.data();
    Sums m;
    const bool second = order >= 1;
    double N = 0, B = 0, C = 0, S = 0, dS = 0, d2S = 0;
    for (int i = 0; i < n_; ++i) {
        const double ni = n[i];
        N += ni;
        B += ni * b_[i];
        C += ni * c_[i];
        xsp[i] = ni * s[i];
        xdsp[i] = ni * ds[i];
        S += xsp[i];
        dS += xdsp[i];
    }
    if (second)
        for (int i = 0; i < n_; ++i) {
            xd2sp[i] = n[i] * d2s[i];
            d2S += xd2sp[i];
        }
    m.N = N;
    m.B = B;
    m.C = C;
    m.Di = Dip;
    m.DiT = DiTp;
    if (nzCol_.empty()) {
        // No k_ij: a_ij = s_i s_j, so r_i = s_i S and D = S^2.
        for (int i = 0; i < n_; ++i)
            Dip[i] = 2.0 * s[i] * S;
        if (second) // DiT enters only the temperature derivatives of F_i
            for (int i = 0; i < n_; ++i)
                DiTp[i] = 2.0 * (ds[i] * S + s[i] * dS);
        m.D = S * S;
        m.DT = 2.0 * S * dS;
        if (second) m.DTT = 2.0 * (S * d2S + dS * dS);
        return m;
    }
    double D = 0, DT = 0, DTT = 0;
    for (int i = 0; i < n_; ++i) {
        // Sums over the non-zero k_ij of row i (c0 = sum k n_j s_j, ...).
        double c0 = 0, c1 = 0, c2 = 0, p0 = 0, p1 = 0, q0 = 0;
        for (int e = nzStart_[i]; e < nzStart_[i + 1]; ++e) {
            const int j = nzCol_[e];
            c0 += at.k[e] * xsp[j];
            c1 += at.k[e] * xdsp[j];
            if (second) c2 += at.k[e] * xd2sp[j];
            if (kijOfT_) {
                p0 += at.kp[e] * xsp[j];
                if (second) {
                    p1 += at.kp[e] * xdsp[j];
                    q0 += at.kpp[e] * xsp[j];
                }
            }
        }
        const double si = s[i], dsi = ds[i];
        // r_i = sum_j n_j a_ij and its temperature derivatives.
        const double r = si * (S - c0);
        const double rT = dsi * (S - c0) + si * (dS - c1) - si * p0;
        Dip[i] = 2.0 * r;
        DiTp[i] = 2.0 * rT;
        D += n[i] * r;
        DT += n[i] * rT;
        if (second) {
            const double rTT = d2s[i] * (S - c0) + 2.0 * dsi * (dS - c1) + si * (d2S - c2) -
                               2.0 * (dsi * p0 + si * p1) - si * q0;
            DTT += n[i] * rTT;
        }
    }
    m.D = D;
    m.DT = DT;
    m.DTT = DTT;
    return m;
}

double CubicModel::volumeScale(const double* x) const {
    double B = 0, s = 0;
    for (int i = 0; i < n_; ++i) {
        B += x[i] * b_[i];
        s += x[i];
    }
    return B / s;
}

double CubicModel::pressure(double T, double V, const double* n) const {
    const Sums m = sums(T, n, 0);
    const double Vt = V + m.C;
    return m.N * kR * T / (Vt - m.B) - m.D / ((Vt + d1_ * m.B) * (Vt + d2_ * m.B));
}

int CubicModel::volumeRoots(double T, double P, const double* x, double roots[3]) const {
    const Sums m = sums(T, x, 0);
    return rootsFrom(T, P, m.D, m.B, m.C, roots);
}

int CubicModel::rootsFrom(double T, double P, double D, double B, double C, double roots[3]) const {
    const double RT = kR * T;
    const double A = D * P / (RT * RT);
    const double Bb = B * P / RT;
    const double s = d1_ + d2_, p = d1_ * d2_;
    const double a2 = (s - 1.0) * Bb - 1.0;
    const double a1 = A + p * Bb * Bb - s * Bb * (Bb + 1.0);
    const double a0 = -(A * Bb + p * Bb * Bb * (Bb + 1.0));
    double z[3];
    const int nz = solveCubic(a2, a1, a0, z);
    int count = 0;
    for (int k = 0; k < nz; ++k)
        if (z[k] > Bb * (1.0 + 1e-12)) roots[count++] = z[k] * RT / P - C;
    return count;
}

void CubicModel::residual(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    residualFrom(T, V, order, sums(T, n, order), d);
}

void CubicModel::residualFrom(double T, double V, int order, const Sums& m, ResidualDerivs& d) const {
    using J = thermo::Jet<6>;
    enum { iT, iV, iN, iB, iD, iC };
    const double N = m.N, B = m.B, C = m.C, D = m.D, DT = m.DT, DTT = m.DTT;
    const double* Di = m.Di;
    const double* DiT = m.DiT;
    d.F_i.resize(n_);
    if (order < 1) {
        // First derivatives only: the core's gradient in closed form, far
        // cheaper than the second-order jet.
        const CoreGradient g = cubicCoreGradient(T, V, N, B, D, C, d1_, d2_);
        d.F = g.F;
        d.F_V = g.V;
        d.F_T = g.T + g.D * DT;
        for (int i = 0; i < n_; ++i)
            d.F_i[i] = g.N + g.B * b_[i] + g.D * Di[i] + g.C * c_[i];
        return;
    }
    const J core = cubicCoreDerivatives(T, V, N, B, D, C, d1_, d2_);
    const double pD = core.d(iD);
    d.F = core.v;
    d.F_V = core.d(iV);
    d.F_T = core.d(iT) + pD * DT;
    for (int i = 0; i < n_; ++i)
        d.F_i[i] = core.d(iN) + core.d(iB) * b_[i] + pD * Di[i] + core.d(iC) * c_[i];
    d.F_VV = core.d2(iV, iV);
    d.F_TV = core.d2(iT, iV) + core.d2(iV, iD) * DT;
    d.F_TT = core.d2(iT, iT) + 2.0 * core.d2(iT, iD) * DT + core.d2(iD, iD) * DT * DT + pD * DTT;
    d.F_iV.resize(n_);
    d.F_iT.resize(n_);
    d.F_ij.resize(static_cast<std::size_t>(n_) * n_);
    // u_i: derivatives of the quantities (N, B, D, C) with respect to n_i;
    // wq[j] = sum_r H_qr u_jr, kept per quantity so that the row loop below
    // runs over contiguous arrays.
    thread_local std::vector<double> w;
    w.resize(static_cast<std::size_t>(n_) * 4);
    double* wq[4] = {w.data(), w.data() + n_, w.data() + 2 * n_, w.data() + 3 * n_};
    const int Q[4] = {iN, iB, iD, iC};
    double hVQ[4], hTQ[4], hQQ[4][4];
    for (int q = 0; q < 4; ++q) {
        hVQ[q] = core.d2(iV, Q[q]);
        hTQ[q] = core.d2(iT, Q[q]) + core.d2(iD, Q[q]) * DT;
        for (int r = 0; r < 4; ++r)
            hQQ[q][r] = core.d2(Q[q], Q[r]);
    }
    for (int i = 0; i < n_; ++i) {
        const double u[4] = {1.0, b_[i], Di[i], c_[i]};
        double fiv = 0, fit = pD * DiT[i];
        for (int q = 0; q < 4; ++q) {
            fiv += hVQ[q] * u[q];
            fit += hTQ[q] * u[q];
            wq[q][i] = hQQ[q][0] + hQQ[q][1] * u[1] + hQQ[q][2] * u[2] + hQQ[q][3] * u[3];
        }
        d.F_iV[i] = fiv;
        d.F_iT[i] = fit;
    }
    // F_ij is symmetric: the upper triangle is computed and mirrored.
    const double* aij = attraction(T).a.data();
    const double twoPD = 2.0 * pD;
    double* F = d.F_ij.data();
    for (int i = 0; i < n_; ++i) {
        const double bi = b_[i], di = Di[i], ci = c_[i];
        const std::size_t row = static_cast<std::size_t>(i) * n_;
        for (int j = i; j < n_; ++j) {
            const double f = twoPD * aij[row + j] + wq[0][j] + bi * wq[1][j] + di * wq[2][j] + ci * wq[3][j];
            F[row + j] = f;
            F[static_cast<std::size_t>(j) * n_ + i] = f;
        }
    }
}

bool CubicModel::evaluate(double T, double P, const double* xin, Root root, int order,
                          PhaseProps& out) const {
    if (!(T > 0) || !(P > 0)) return false;
    thread_local std::vector<double> x;
    x.resize(n_);
    double sum = 0;
    for (int i = 0; i < n_; ++i)
        sum += xin[i];
    if (!(sum > 0)) return false;
    const double inv = 1.0 / sum;
    for (int i = 0; i < n_; ++i)
        x[i] = xin[i] * inv;

    double roots[3];
    const Sums mix = sums(T, x.data(), order);
    const double Dm = mix.D, Bm = mix.B, Cm = mix.C;
    const int nr = rootsFrom(T, P, Dm, Bm, Cm, roots);
    if (nr == 0) return false;
    thread_local ResidualDerivs d;
    // Residual Gibbs energy per mole, g/RT = F + Z - 1 - ln Z.
    auto gres = [&](double v) {
        const double z = P * v / (kR * T);
        return cubicCore<double>(T, v, 1.0, Bm, Dm, Cm, d1_, d2_) + z - 1.0 - std::log(z);
    };
    // One root: liquid-like when denser than the mixture's pseudo-critical
    // volume of this equation and colder than its pseudo-critical temperature.
    auto liquidLike = [&] {
        const double B = Bm, C = Cm;
        double tpc = 0;
        for (int i = 0; i < n_; ++i)
            tpc += x[i] * pure_[i].tc;
        const double vcRatio = (kind_ == CubicKind::SRK) ? 3.8473 : 3.9514;
        return roots[0] + C < vcRatio * B && T < tpc;
    };
    double V;
    int kind;
    chooseRoot(roots, nr, root, gres, liquidLike, V, kind);
    residualFrom(T, V, order, mix, d);
    thermo::propsFromResidual(T, P, V, x.data(), n_, d, order, out);
    out.kind = kind;
    return true;
}

} // namespace zpk::models
