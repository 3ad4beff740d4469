#include "models/cpa.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>

#include "core/data_files.h"
#include "core/error.h"
#include "models/cubic.h"
#include "models/cubic_ge.h"
#include "models/factory.h"
#include "models/root_memory.h"
#include "thermo/evaluator.h"
#include "thermo/jet.h"

namespace zpk::models {

namespace {

constexpr double kD1 = 1.0 + 1.4142135623730951; // Peng-Robinson delta1, delta2
constexpr double kD2 = 1.0 - 1.4142135623730951;
constexpr double kOmegaA = 0.45723552892138218;
constexpr double kOmegaB = 0.07779607390388844;
constexpr double kGFactor = 1.9; // g(eta) = 1 / (1 - 1.9 eta), simplified radial distribution
constexpr int kModelCode = 111;

// Physical (Peng-Robinson) part in terms of the mixing-rule quantities:
// total moles N, co-volume B, attraction D = sum sum n n a, shift C.
template <class S> S prCore(const S& T, const S& V, const S& N, const S& B, const S& D, const S& C) {
    using thermo::log;
    using thermo::log1p;
    const S Vt = V + C;
    S F = -N * log1p(-B / Vt);
    F = F - D / (kR * T * B * (kD1 - kD2)) * (log(Vt + kD1 * B) - log(Vt + kD2 * B));
    return F - N * log(Vt / V);
}

// Dense LU factorisation with partial pivoting of an m x m row-major matrix;
// false when singular.
bool luFactor(std::vector<double>& a, std::vector<int>& piv, int m) {
    piv.resize(m);
    for (int k = 0; k < m; ++k) {
        int p = k;
        for (int i = k + 1; i < m; ++i)
            if (std::fabs(a[i * m + k]) > std::fabs(a[p * m + k])) p = i;
        piv[k] = p;
        if (a[p * m + k] == 0.0 || !std::isfinite(a[p * m + k])) return false;
        if (p != k)
            for (int j = 0; j < m; ++j)
                std::swap(a[k * m + j], a[p * m + j]);
        for (int i = k + 1; i < m; ++i) {
            const double f = a[i * m + k] / a[k * m + k];
            a[i * m + k] = f;
            for (int j = k + 1; j < m; ++j)
                a[i * m + j] -= f * a[k * m + j];
        }
    }
    return true;
}

// Solves a x = r in place with the factors of luFactor.  The factorisation
// swaps whole rows, multipliers included, so the row interchanges apply to r
// all at once before the forward substitution.
void luSolve(const std::vector<double>& a, const std::vector<int>& piv, int m, double* r) {
    for (int k = 0; k < m; ++k)
        std::swap(r[k], r[piv[k]]);
    for (int k = 0; k < m; ++k)
        for (int i = k + 1; i < m; ++i)
            r[i] -= a[i * m + k] * r[k];
    for (int k = m - 1; k >= 0; --k) {
        for (int j = k + 1; j < m; ++j)
            r[k] -= a[k * m + j] * r[j];
        r[k] /= a[k * m + k];
    }
}

struct PureTable {
    std::map<std::int64_t, CpaComponent> rows;
};

const PureTable& pureTable() {
    static const PureTable table = [] {
        PureTable t;
        if (std::ifstream in = openDataFile("cpa_pure.tsv"); in) {
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#' || line[0] == 'c') continue;
                std::istringstream ls(line);
                std::int64_t cas;
                std::string name, scheme;
                CpaComponent c;
                if (!(ls >> cas >> name >> scheme >> c.a0 >> c.b >> c.c1 >> c.epsR >> c.beta)) continue;
                if (scheme == "4C") {
                    c.donors = 2;
                    c.acceptors = 2;
                } else if (scheme == "2B") {
                    c.donors = 1;
                    c.acceptors = 1;
                }
                t.rows[cas] = c;
            }
        }
        return t;
    }();
    return table;
}

struct KijTable {
    std::map<std::pair<std::int64_t, std::int64_t>, double> pairs;
};

const KijTable& kijTable() {
    static const KijTable table = [] {
        KijTable t;
        if (std::ifstream in = openDataFile("cpa_kij.tsv"); in) {
            std::string line;
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#' || line[0] == 'c') continue;
                std::istringstream ls(line);
                std::int64_t a, b;
                double k;
                if (!(ls >> a >> b >> k)) continue;
                if (a > b) std::swap(a, b);
                t.pairs[{a, b}] = k;
            }
        }
        return t;
    }();
    return table;
}

// Stored k_ij of a pair for the CPA cubic part: the CPA table when one of
// the two associates, the Peng-Robinson table otherwise.
bool storedPairKij(std::int64_t a, std::int64_t b, bool associating, double& k) {
    if (!associating) return storedKij(a, b, false, k);
    const auto& t = kijTable().pairs;
    auto it = t.find({std::min(a, b), std::max(a, b)});
    if (it == t.end()) return false;
    k = it->second;
    return true;
}

} // namespace

bool storedCpaComponent(std::int64_t cas, double tc, CpaComponent& out) {
    const auto& rows = pureTable().rows;
    auto it = rows.find(cas);
    if (it == rows.end()) return false;
    out = it->second;
    out.tc = tc;
    out.shift = 0.0;
    return true;
}

CpaModel::CpaModel(std::vector<CpaComponent> comps, const std::vector<CpaKij>& kij)
    : n_(static_cast<int>(comps.size())), comp_(std::move(comps)), id_(newModelId()) {
    for (const auto& c : comp_)
        if (!(c.tc > 0) || !(c.a0 > 0) || !(c.b > 0) || !std::isfinite(c.c1) || !std::isfinite(c.shift))
            throw std::invalid_argument("CPA model: component without cubic parameters");
    const std::size_t nn = static_cast<std::size_t>(n_) * n_;
    k0_.assign(nn, 0.0);
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
    for (int i = 0; i < n_; ++i) {
        const auto& c = comp_[i];
        if (c.beta > 0 && c.epsR > 0 && c.donors > 0 && c.acceptors > 0) {
            sites_.push_back({i, static_cast<double>(c.donors), true});
            sites_.push_back({i, static_cast<double>(c.acceptors), false});
        }
    }
    for (const auto& c : comp_) {
        bs_.push_back(c.b);
        shifts_.push_back(c.shift);
        tcs_.push_back(c.tc);
    }
    pairedSites_ = true;
    for (std::size_t s = 0; s < sites_.size(); s += 2)
        pairedSites_ = pairedSites_ && sites_[s].mult == sites_[s + 1].mult;
    const std::size_t S = sites_.size();
    bb_.assign(S * S, 0.0);
    eps_.assign(S * S, 0.0);
    for (std::size_t s = 0; s < S; ++s)
        for (std::size_t t = 0; t < S; ++t) {
            if (sites_[s].donor == sites_[t].donor) continue;
            const auto& ci = comp_[sites_[s].comp];
            const auto& cj = comp_[sites_[t].comp];
            // CR-1: arithmetic mean energy, geometric mean volume.
            bb_[s * S + t] = 0.5 * (ci.b + cj.b) * std::sqrt(ci.beta * cj.beta);
            eps_[s * S + t] = 0.5 * (ci.epsR + cj.epsR);
        }
}

void CpaModel::kijTerms(int i, int j, double& k0, double& k1, double& k2) const {
    const std::size_t q = static_cast<std::size_t>(i) * n_ + j;
    k0 = k0_[q], k1 = k1_[q], k2 = k2_[q];
}

double CpaModel::volumeScale(const double* x) const {
    double B = 0, s = 0;
    for (int i = 0; i < n_; ++i) {
        B += x[i] * comp_[i].b;
        s += x[i];
    }
    return B / s;
}

void CpaModel::cubicPart(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    using J = thermo::Jet<6>;
    enum { iT, iV, iN, iB, iD, iC };
    thread_local std::vector<double> sa, dsa, d2sa, a, ap, app, Di, DiT;
    sa.resize(n_), dsa.resize(n_), d2sa.resize(n_);
    for (int i = 0; i < n_; ++i)
        soaveSqrtA(std::sqrt(comp_[i].a0), comp_[i].c1, comp_[i].tc, T, sa[i], dsa[i], d2sa[i]);
    const std::size_t nn = static_cast<std::size_t>(n_) * n_;
    a.resize(nn), ap.resize(nn), app.resize(nn);
    combineAttraction(n_, T, sa.data(), dsa.data(), d2sa.data(), k0_.data(), k1_.data(), k2_.data(), a.data(),
                      ap.data(), app.data());
    Di.assign(n_, 0.0);
    DiT.assign(n_, 0.0);
    double N = 0, B = 0, C = 0, D = 0, DT = 0, DTT = 0;
    for (int i = 0; i < n_; ++i) {
        N += n[i];
        B += n[i] * comp_[i].b;
        C += n[i] * comp_[i].shift;
        const std::size_t row = static_cast<std::size_t>(i) * n_;
        double ri = 0, rip = 0, ripp = 0;
        for (int j = 0; j < n_; ++j) {
            ri += n[j] * a[row + j];
            rip += n[j] * ap[row + j];
            ripp += n[j] * app[row + j];
        }
        Di[i] = 2.0 * ri;
        DiT[i] = 2.0 * rip;
        D += n[i] * ri;
        DT += n[i] * rip;
        DTT += n[i] * ripp;
    }
    const J core = prCore(J::seed(T, iT), J::seed(V, iV), J::seed(N, iN), J::seed(B, iB), J::seed(D, iD),
                          J::seed(C, iC));
    const double pD = core.d(iD);
    d.F = core.v;
    d.F_V = core.d(iV);
    d.F_T = core.d(iT) + pD * DT;
    d.F_i.resize(n_);
    for (int i = 0; i < n_; ++i)
        d.F_i[i] = core.d(iN) + core.d(iB) * comp_[i].b + pD * Di[i] + core.d(iC) * comp_[i].shift;
    d.F_iV.assign(n_, 0.0);
    d.F_iT.assign(n_, 0.0);
    d.F_ij.assign(nn, 0.0);
    if (order < 1) return;
    d.F_VV = core.d2(iV, iV);
    d.F_TV = core.d2(iT, iV) + core.d2(iV, iD) * DT;
    d.F_TT = core.d2(iT, iT) + 2.0 * core.d2(iT, iD) * DT + core.d2(iD, iD) * DT * DT + pD * DTT;
    const int Q[4] = {iN, iB, iD, iC};
    for (int i = 0; i < n_; ++i) {
        const double u[4] = {1.0, comp_[i].b, Di[i], comp_[i].shift};
        double fiv = 0, fit = pD * DiT[i];
        for (int q = 0; q < 4; ++q) {
            fiv += core.d2(iV, Q[q]) * u[q];
            fit += (core.d2(iT, Q[q]) + core.d2(iD, Q[q]) * DT) * u[q];
        }
        d.F_iV[i] = fiv;
        d.F_iT[i] = fit;
        for (int j = 0; j < n_; ++j) {
            const double w[4] = {1.0, comp_[j].b, Di[j], comp_[j].shift};
            double s = 2.0 * pD * a[static_cast<std::size_t>(i) * n_ + j];
            for (int q = 0; q < 4; ++q)
                for (int r = 0; r < 4; ++r)
                    s += u[q] * core.d2(Q[q], Q[r]) * w[r];
            d.F_ij[static_cast<std::size_t>(i) * n_ + j] = s;
        }
    }
}

const double* CpaModel::associationFactors(double T) const {
    // The last temperatures of this thread: the volume search, a flash and
    // a formation-condition search evaluate many states at one temperature.
    struct Slot {
        std::uint64_t id = 0;
        double T = 0;
        std::vector<double> e;
    };
    constexpr std::size_t kSlots = 4;
    thread_local std::array<Slot, kSlots> slots;
    thread_local std::size_t next = 0;
    for (const Slot& sl : slots)
        if (sl.id == id_ && sl.T == T) return sl.e.data();
    Slot& sl = slots[next];
    next = (next + 1) % kSlots;
    sl.id = id_;
    sl.T = T;
    sl.e.resize(eps_.size());
    for (std::size_t q = 0; q < eps_.size(); ++q)
        sl.e[q] = bb_[q] > 0 ? std::expm1(eps_[q] / T) : 0.0;
    return sl.e.data();
}

bool CpaModel::solveSites(double T, double Vt, const double* n, std::vector<double>& X,
                          bool useSymmetry) const {
    const int S = static_cast<int>(sites_.size());
    double B = 0;
    for (int i = 0; i < n_; ++i)
        B += n[i] * comp_[i].b;
    const double eta = B / (4.0 * Vt);
    const double P = 1.0 / ((1.0 - kGFactor * eta) * Vt); // g / Vt
    if (!(P > 0) || !std::isfinite(P)) return false;
    // Per-thread workspace; Y holds the unknowns, the last solution of this
    // thread for this model is kept in lastY.
    struct Work {
        std::vector<double> K, h, H, dx, R, Rt, Y, Yt, lastY;
        std::vector<int> piv;
        std::uint64_t lastId = 0;
    };
    thread_local Work w;
    // With every associating component carrying as many donor as acceptor
    // sites (its sites come in that pair), the CR-1 equations are symmetric
    // under exchanging each component's donors and acceptors, and so is
    // their unique solution: one unknown per component, K and h of the
    // reduced system taken from the donor row and the acceptor column.
    const bool reduced = useSymmetry && pairedSites_;
    const int m = reduced ? S / 2 : S;
    const double* e = associationFactors(T);
    std::vector<double>& K = w.K;
    std::vector<double>& h = w.h;
    K.resize(static_cast<std::size_t>(m) * m);
    h.resize(m);
    for (int s = 0; s < m; ++s) {
        const int site = reduced ? 2 * s + 1 : s;
        h[s] = n[sites_[site].comp] * sites_[site].mult;
    }
    for (int s = 0; s < m; ++s)
        for (int t = 0; t < m; ++t) {
            const std::size_t q = reduced ? static_cast<std::size_t>(2 * s) * S + 2 * t + 1
                                          : static_cast<std::size_t>(s) * S + t;
            K[static_cast<std::size_t>(s) * m + t] = bb_[q] > 0 ? P * bb_[q] * e[q] : 0.0;
        }
    // Newton on u = ln X for R_s = X_s (1 + sum_t K_st h_t X_t) - 1 = 0: X
    // stays positive, steps are limited to a factor e^2 and halved until
    // the residual norm decreases.
    std::vector<double>& R = w.R;
    std::vector<double>& Rt = w.Rt;
    std::vector<double>& Y = w.Y;
    std::vector<double>& Yt = w.Yt;
    std::vector<double>& H = w.H;
    std::vector<double>& dx = w.dx;
    R.resize(m), Rt.resize(m), Yt.resize(m), dx.resize(m);
    H.resize(static_cast<std::size_t>(m) * m);
    auto residual = [&](const std::vector<double>& x, std::vector<double>& res) {
        double norm = 0;
        for (int s = 0; s < m; ++s) {
            double sum = 0;
            for (int t = 0; t < m; ++t)
                sum += K[s * m + t] * h[t] * x[t];
            res[s] = x[s] * (1.0 + sum) - 1.0;
            norm += res[s] * res[s];
        }
        return norm;
    };
    Y.assign(m, 1.0);
    for (int s = 0; s < m; ++s) {
        double sum = 0;
        for (int t = 0; t < m; ++t)
            sum += K[s * m + t] * h[t];
        Y[s] = 1.0 / (1.0 + sum);
    }
    double norm = residual(Y, R);
    // The last solution of this thread for this model often starts closer
    // (the volume search moves along one isotherm).
    if (w.lastId == id_ && static_cast<int>(w.lastY.size()) == m) {
        const double warm = residual(w.lastY, Rt);
        if (warm < norm) {
            Y = w.lastY;
            R.swap(Rt);
            norm = warm;
        }
    }
    auto remember = [&] {
        w.lastId = id_;
        w.lastY = Y;
        X.resize(S);
        for (int s = 0; s < S; ++s)
            X[s] = Y[reduced ? s / 2 : s];
        return true;
    };
    for (int it = 0; it < 100; ++it) {
        if (norm < 1e-30) return remember();
        for (int s = 0; s < m; ++s) {
            double sum = 0;
            for (int t = 0; t < m; ++t) {
                H[s * m + t] = Y[s] * K[s * m + t] * h[t] * Y[t];
                sum += K[s * m + t] * h[t] * Y[t];
            }
            H[s * m + s] += Y[s] * (1.0 + sum);
            dx[s] = -R[s];
        }
        if (!luFactor(H, w.piv, m)) return false;
        luSolve(H, w.piv, m, dx.data());
        double big = 0;
        for (int s = 0; s < m; ++s)
            big = std::max(big, std::fabs(dx[s]));
        double step = big > 2.0 ? 2.0 / big : 1.0;
        double nt = norm;
        for (int k = 0; k < 40; ++k, step *= 0.5) {
            for (int s = 0; s < m; ++s)
                Yt[s] = Y[s] * std::exp(step * dx[s]);
            nt = residual(Yt, Rt);
            if (nt < norm) break;
        }
        if (!(nt < norm)) return norm < 1e-24 && remember(); // no further decrease: at rounding noise
        Y.swap(Yt);
        R.swap(Rt);
        norm = nt;
        if (big * step < 1e-14) return remember();
    }
    return norm < 1e-24 && remember();
}

std::vector<double> CpaModel::siteFractions(double T, double V, const double* n, bool useSymmetry) const {
    double C = 0;
    for (int i = 0; i < n_; ++i)
        C += n[i] * comp_[i].shift;
    std::vector<double> X;
    if (!sites_.empty() && !solveSites(T, V + C, n, X, useSymmetry)) X.assign(sites_.size(), kNaN);
    return X;
}

// Association part at the translated volume Vt: value and derivatives in
// (T, Vt, n) from Michelsen's Q function, whose stationary point in the site
// fractions X is the association Helmholtz energy.  First derivatives are the
// partial derivatives of Q at fixed X; second derivatives add the response of
// X from the implicit function theorem.  Results are added to d, carried to
// (T, V, n) through Vt = V + sum n_i c_i.
void CpaModel::assocPart(double T, double Vt, const double* n, int order, ResidualDerivs& d) const {
    const int S = static_cast<int>(sites_.size());
    const int N = n_;
    thread_local std::vector<double> X, h, Dm, Dp, Dpp, Ss, Sp, Wk, WkT, Wkl, phi;
    if (!solveSites(T, Vt, n, X)) {
        d.F = kNaN;
        return;
    }
    double B = 0, C = 0;
    for (int i = 0; i < N; ++i) {
        B += n[i] * comp_[i].b;
        C += n[i] * comp_[i].shift;
    }
    const double eta = B / (4.0 * Vt);
    const double g = 1.0 / (1.0 - kGFactor * eta);
    const double g1 = kGFactor * g * g, g2 = 2.0 * kGFactor * kGFactor * g * g * g;
    const double etaV = -eta / Vt, etaVV = 2.0 * eta / (Vt * Vt);
    const double P = g / Vt;
    const double PV = g1 * etaV / Vt - g / (Vt * Vt);
    const double PVV =
        (g2 * etaV * etaV + g1 * etaVV) / Vt - 2.0 * g1 * etaV / (Vt * Vt) + 2.0 * g / (Vt * Vt * Vt);
    auto etaK = [&](int k) { return comp_[k].b / (4.0 * Vt); };
    auto Pk = [&](int k) { return g1 * etaK(k) / Vt; };
    auto PVk = [&](int k) {
        return (g2 * etaV * etaK(k) - g1 * comp_[k].b / (4.0 * Vt * Vt)) / Vt - g1 * etaK(k) / (Vt * Vt);
    };

    const std::size_t SS = static_cast<std::size_t>(S) * S;
    Dm.resize(SS), Dp.resize(SS), Dpp.resize(SS);
    for (std::size_t q = 0; q < SS; ++q) {
        if (bb_[q] == 0.0) {
            Dm[q] = Dp[q] = Dpp[q] = 0.0;
            continue;
        }
        const double e = eps_[q] / T, ex = std::exp(e);
        Dm[q] = bb_[q] * std::expm1(e);
        Dp[q] = -bb_[q] * ex * e / T;
        Dpp[q] = bb_[q] * ex * (e * e + 2.0 * e) / (T * T);
    }
    h.resize(S), Ss.resize(S), Sp.resize(S), phi.resize(S);
    for (int s = 0; s < S; ++s)
        h[s] = n[sites_[s].comp] * sites_[s].mult;
    double W = 0, WT = 0, WTT = 0;
    for (int s = 0; s < S; ++s) {
        double a = 0, b = 0, c = 0;
        for (int t = 0; t < S; ++t) {
            const std::size_t q = static_cast<std::size_t>(s) * S + t;
            a += h[t] * X[t] * Dm[q];
            b += h[t] * X[t] * Dp[q];
            c += h[t] * X[t] * Dpp[q];
        }
        Ss[s] = a;
        Sp[s] = b;
        W += h[s] * X[s] * a;
        WT += h[s] * X[s] * b;
        WTT += h[s] * X[s] * c;
        phi[s] = std::log(X[s]) - X[s] + 1.0;
    }
    // W_k, W_kT per component
    Wk.assign(N, 0.0);
    WkT.assign(N, 0.0);
    for (int s = 0; s < S; ++s) {
        const int k = sites_[s].comp;
        Wk[k] += 2.0 * sites_[s].mult * X[s] * Ss[s];
        WkT[k] += 2.0 * sites_[s].mult * X[s] * Sp[s];
    }
    // Value and first derivatives in (T, Vt, n).
    double F = -0.5 * P * W;
    for (int s = 0; s < S; ++s)
        F += h[s] * phi[s];
    const double AT = -0.5 * P * WT;
    const double AV = -0.5 * PV * W;
    thread_local std::vector<double> Ak;
    Ak.assign(N, 0.0);
    for (int s = 0; s < S; ++s)
        Ak[sites_[s].comp] += sites_[s].mult * phi[s];
    for (int k = 0; k < N; ++k)
        Ak[k] -= 0.5 * (Pk(k) * W + P * Wk[k]);

    d.F += F;
    d.F_T += AT;
    d.F_V += AV;
    for (int k = 0; k < N; ++k)
        d.F_i[k] += Ak[k] + comp_[k].shift * AV;
    if (order < 1) return;

    // Second partial derivatives of Q at fixed X; directions 0 = T, 1 = Vt, 2 + k = n_k.
    const int M = N + 2;
    thread_local std::vector<double> H, dE, dX, Mat;
    thread_local std::vector<int> piv;
    H.assign(static_cast<std::size_t>(M) * M, 0.0);
    Wkl.assign(static_cast<std::size_t>(N) * N, 0.0);
    for (int s = 0; s < S; ++s)
        for (int t = 0; t < S; ++t) {
            const std::size_t q = static_cast<std::size_t>(s) * S + t;
            if (Dm[q] == 0.0) continue;
            Wkl[sites_[s].comp * N + sites_[t].comp] +=
                2.0 * sites_[s].mult * sites_[t].mult * X[s] * X[t] * Dm[q];
        }
    auto at = [&](int a, int b) -> double& { return H[static_cast<std::size_t>(a) * M + b]; };
    at(0, 0) = -0.5 * P * WTT;
    at(0, 1) = at(1, 0) = -0.5 * PV * WT;
    at(1, 1) = -0.5 * PVV * W;
    for (int k = 0; k < N; ++k) {
        at(0, 2 + k) = at(2 + k, 0) = -0.5 * (Pk(k) * WT + P * WkT[k]);
        at(1, 2 + k) = at(2 + k, 1) = -0.5 * (PVk(k) * W + PV * Wk[k]);
        for (int l = 0; l < N; ++l) {
            const double Pkl = g2 * etaK(k) * etaK(l) / Vt;
            at(2 + k, 2 + l) = -0.5 * (Pkl * W + Pk(k) * Wk[l] + Pk(l) * Wk[k] + P * Wkl[k * N + l]);
        }
    }
    // Derivatives of E_s = 1/X_s - 1 - P S_s in each direction.
    dE.assign(static_cast<std::size_t>(S) * M, 0.0);
    for (int s = 0; s < S; ++s) {
        dE[s * M + 0] = -P * Sp[s];
        dE[s * M + 1] = -PV * Ss[s];
        for (int k = 0; k < N; ++k)
            dE[s * M + 2 + k] = -Pk(k) * Ss[s];
        for (int t = 0; t < S; ++t) {
            const std::size_t q = static_cast<std::size_t>(s) * S + t;
            if (Dm[q] != 0.0) dE[s * M + 2 + sites_[t].comp] -= P * sites_[t].mult * X[t] * Dm[q];
        }
    }
    // dX/dz = Mhat^-1 (X^2 dE/dz), Mhat_st = delta_st + X_s^2 P h_t D_st.
    Mat.resize(SS);
    for (int s = 0; s < S; ++s)
        for (int t = 0; t < S; ++t)
            Mat[s * S + t] =
                (s == t ? 1.0 : 0.0) + X[s] * X[s] * P * h[t] * Dm[static_cast<std::size_t>(s) * S + t];
    if (!luFactor(Mat, piv, S)) {
        d.F = kNaN;
        return;
    }
    dX.resize(static_cast<std::size_t>(S) * M);
    thread_local std::vector<double> col;
    col.resize(S);
    for (int z = 0; z < M; ++z) {
        for (int s = 0; s < S; ++s)
            col[s] = X[s] * X[s] * dE[s * M + z];
        luSolve(Mat, piv, S, col.data());
        for (int s = 0; s < S; ++s)
            dX[s * M + z] = col[s];
    }
    for (int y = 0; y < M; ++y)
        for (int z = 0; z < M; ++z) {
            double c = 0;
            for (int s = 0; s < S; ++s)
                c += h[s] * dE[s * M + y] * dX[s * M + z];
            at(y, z) += c;
        }
    // Symmetrise rounding and carry to (T, V, n).
    const double ATT = at(0, 0), ATV = 0.5 * (at(0, 1) + at(1, 0)), AVV = at(1, 1);
    d.F_TT += ATT;
    d.F_TV += ATV;
    d.F_VV += AVV;
    for (int k = 0; k < N; ++k) {
        const double ck = comp_[k].shift;
        const double AkV = 0.5 * (at(1, 2 + k) + at(2 + k, 1));
        const double AkT = 0.5 * (at(0, 2 + k) + at(2 + k, 0));
        d.F_iV[k] += AkV + ck * AVV;
        d.F_iT[k] += AkT + ck * ATV;
        for (int l = 0; l < N; ++l) {
            const double cl = comp_[l].shift;
            const double AlV = 0.5 * (at(1, 2 + l) + at(2 + l, 1));
            const double Akl = 0.5 * (at(2 + k, 2 + l) + at(2 + l, 2 + k));
            d.F_ij[static_cast<std::size_t>(k) * N + l] += Akl + ck * AlV + cl * AkV + ck * cl * AVV;
        }
    }
    (void)C;
}

bool CpaModel::residualDerivatives(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    if (!(T > 0) || !(V > 0)) return false;
    cubicPart(T, V, n, order, d);
    if (!sites_.empty()) {
        double C = 0;
        for (int i = 0; i < n_; ++i)
            C += n[i] * comp_[i].shift;
        assocPart(T, V + C, n, order, d);
    }
    return std::isfinite(d.F) && std::isfinite(d.F_V);
}

bool CpaModel::addAssociation(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    if (sites_.empty()) return true;
    double C = 0;
    for (int i = 0; i < n_; ++i)
        C += n[i] * comp_[i].shift;
    assocPart(T, V + C, n, order, d);
    return std::isfinite(d.F);
}

double CpaModel::pressure(double T, double V, const double* n) const {
    thread_local ResidualDerivs d;
    if (!residualDerivatives(T, V, n, 0, d)) return kNaN;
    double N = 0;
    for (int i = 0; i < n_; ++i)
        N += n[i];
    return kR * T * (N / V - d.F_V);
}

namespace {

// Pressure and its derivative in the translated density rt = 1 / (V + C) on
// one isotherm of a normalised composition.
struct Isotherm {
    const CpaModel& assoc; // association part
    const double* x;
    double T, C, B, D; // cubic part at (T, x): shift, co-volume, attraction
    struct PD {
        double p, dp;
    };
    // Pressure and its derivative in the translated density: the cubic part
    // in closed form, the association part from its volume derivatives.
    PD at(double rt) const {
        const double Vt = 1.0 / rt;
        if (!(Vt - C > 0) || !(Vt > B)) return {kNaN, kNaN};
        const double RT = kR * T;
        const double e1 = Vt + kD1 * B, e2 = Vt + kD2 * B;
        double p = RT / (Vt - B) - D / (e1 * e2);
        double dpdV = -RT / ((Vt - B) * (Vt - B)) + D * (e1 + e2) / (e1 * e1 * e2 * e2);
        if (assoc.associating()) {
            double FV, FVV;
            if (!assoc.associationVolumeDerivatives(T, Vt, x, FV, FVV)) return {kNaN, kNaN};
            p -= RT * FV;
            dpdV -= RT * FVV;
        }
        return {p, -dpdV * Vt * Vt};
    }
    // Root on a mechanically stable branch: the vapour branch walked up from
    // the ideal gas, the liquid branch walked down from a compressed state.
    // A branch that turns unstable before reaching P has no root.
    bool solve(double P, bool up, double& rt, double hint = 0) const {
        const double rmax = 1.0 / B;
        double lo = 0, hi = rmax;
        bool haveLo = up, haveHi = !up, spinodalBound = false;
        double xk;
        PD first{kNaN, kNaN}; // the pressure at xk when already known
        if (up) {
            xk = std::min(1.0 / (kR * T / P + C), 0.5 * rmax);
            if (!(xk > 0)) xk = 1e-3 * rmax;
        } else {
            // A compressed state on the branch: just above the root of a
            // neighbouring state (hint) when that is one, else walked up
            // towards the close packing.
            auto compressed = [&](double x) {
                first = at(x);
                xk = x;
                return std::isfinite(first.p) && first.p > P && first.dp > 0;
            };
            bool found = false;
            if (hint > 0 && hint < rmax)
                for (double f : {1.002, 1.02})
                    if ((found = compressed(std::min(hint * f, 0.5 * (hint + rmax))))) break;
            double xi = 0.9;
            for (int k = 0; !found; ++k) {
                if ((found = compressed(xi * rmax))) break;
                if (k > 40) return false;
                xi = 1.0 - 0.5 * (1.0 - xi);
            }
            hi = xk;
        }
        // Once a bracket lies across the spinodal with P out of reach on
        // both sides, the extremum of the pressure between them decides; its
        // position, the zero of dp, is approached by regula falsi on dp with
        // the Illinois modification (dpLo, dpHi: dp at lo and hi, or their
        // halved weights).
        double dpLo = 0, dpHi = 0;
        bool dpLoKnown = false, dpHiKnown = false;
        int lastSide = 0;
        auto setLo = [&](double x, double dp) {
            lo = x, haveLo = true, dpLo = dp, dpLoKnown = true;
            if (lastSide < 0) dpHi *= 0.5;
            lastSide = -1;
        };
        auto setHi = [&](double x, double dp) {
            hi = x, haveHi = true, dpHi = dp, dpHiKnown = true;
            if (lastSide > 0) dpLo *= 0.5;
            lastSide = 1;
        };
        for (int it = 0; it < 300; ++it) {
            const PD q = it == 0 && std::isfinite(first.p) ? first : at(xk);
            if (!std::isfinite(q.p)) return false;
            const double r = q.p - P;
            const bool stable = q.dp > 0;
            // The pressure of a dense liquid is a difference of terms of the
            // order of R T rho: that scale bounds its rounding.
            const double scale = kR * T * xk;
            if (stable && std::fabs(r) <= 1e-12 * P + 1e-13 * scale) {
                rt = xk;
                return true;
            }
            if (!stable) {
                // Past the spinodal of the branch: bounds the root from the far
                // side.  When the pressure there is still on the near side of P,
                // a root needs the branch to cross P before its spinodal.
                if (up)
                    setHi(xk, q.dp), spinodalBound = r < 0;
                else
                    setLo(xk, q.dp), spinodalBound = r > 0;
            } else if (r < 0) {
                setLo(xk, q.dp);
                if (!up) spinodalBound = false;
            } else {
                setHi(xk, q.dp);
                if (up) spinodalBound = false;
            }
            // Bracketed against the spinodal without crossing P: no root.
            if (spinodalBound && haveLo && haveHi && hi - lo <= 1e-7 * hi) return false;
            double xn = stable ? xk - r / q.dp : 0.5 * (lo + hi);
            if (spinodalBound && dpLoKnown && dpHiKnown && (dpLo > 0) != (dpHi > 0))
                xn = lo + dpLo * (hi - lo) / (dpLo - dpHi);
            if (haveLo && haveHi) {
                if (!(xn > lo && xn < hi)) xn = 0.5 * (lo + hi);
                if (hi - lo <= 1e-15 * hi) {
                    rt = xk;
                    return stable && std::fabs(r) <= 1e-9 * P + 1e-11 * scale;
                }
            } else if (up) {
                xn = std::min(xn, 1.5 * xk);
            } else {
                xn = std::max(xn, 0.5 * xk);
            }
            xk = xn;
        }
        return false;
    }
};

// Liquid roots of this thread's recent states per model, as starts of the
// liquid branch at neighbouring states (same model, temperature within 2 %,
// pressure within a factor 2, every mole fraction within 0.05): flashes,
// stability tests and the searches built on them evaluate long sequences of
// nearby compositions.  A start only shortens the walk down the branch.
class LiquidRootHints {
  public:
    // The remembered translated density closest in composition, or 0.
    double find(std::uint64_t id, double T, double P, const double* x, int n) const {
        const int k = nearest(id, T, P, x, n);
        return k < 0 ? 0.0 : entries_[k].rt;
    }
    // Remembers a root in place of the nearest entry, else of the oldest.
    void store(std::uint64_t id, double T, double P, const double* x, int n, double rt) {
        int k = nearest(id, T, P, x, n);
        if (k < 0) {
            k = static_cast<int>(next_);
            next_ = (next_ + 1) % kSize;
        }
        Entry& e = entries_[k];
        e.id = id, e.T = T, e.P = P, e.rt = rt;
        e.x.assign(x, x + n);
    }

  private:
    static constexpr std::size_t kSize = 8;
    struct Entry {
        std::uint64_t id = 0;
        double T = 0, P = 0, rt = 0;
        std::vector<double> x;
    };
    int nearest(std::uint64_t id, double T, double P, const double* x, int n) const {
        int best = -1;
        double bestDist = 0.05;
        for (std::size_t k = 0; k < kSize; ++k) {
            const Entry& e = entries_[k];
            if (e.id != id || static_cast<int>(e.x.size()) != n || !(std::fabs(e.T - T) <= 0.02 * T) ||
                !(e.P <= 2.0 * P && P <= 2.0 * e.P))
                continue;
            double d = 0;
            for (int i = 0; i < n; ++i)
                d = std::max(d, std::fabs(e.x[i] - x[i]));
            if (d <= bestDist) best = static_cast<int>(k), bestDist = d;
        }
        return best;
    }
    std::array<Entry, kSize> entries_;
    std::size_t next_ = 0;
};

// Volume root of an equation of state at (T, P, x normalised) with cubic
// attraction D, co-volume B, volume shift C and pseudo-critical temperature
// tpc of x.  Each thread remembers its last roots per model: the engine
// evaluates one state for several properties in a row.
bool volumeRoot(std::uint64_t id, const PhaseModel& m, const CpaModel& assoc, double D, double T, double P,
                const double* x, double B, double C, double tpc, Root root, double& V, bool& liquidLike) {
    if (!(T > 0) || !(P > 0) || !std::isfinite(T) || !std::isfinite(P) || !std::isfinite(D)) return false;
    thread_local RootMemory<8> memory;
    const int n = m.size();
    if (memory.find(id, T, P, root, x, n, V, liquidLike)) return true;
    Isotherm iso{assoc, x, T, C, B, D};
    thread_local LiquidRootHints hints;
    double rv = 0, rl = 0;
    const bool hasV = iso.solve(P, true, rv);
    const bool hasL = iso.solve(P, false, rl, hints.find(id, T, P, x, n));
    if (hasL) hints.store(id, T, P, x, n, rl);
    if (!hasV && !hasL) return false;
    double rt;
    if (!hasV || !hasL || std::fabs(rl - rv) <= 1e-9 * rl) {
        rt = hasV ? rv : rl;
        // One root: liquid-like when denser than the pseudo-critical volume
        // of the Peng-Robinson equation and colder than the pseudo-critical
        // temperature.
        liquidLike = 1.0 / rt < 3.9514 * B && T < tpc;
    } else if (root == Root::Liquid) {
        rt = rl, liquidLike = true;
    } else if (root == Root::Vapour) {
        rt = rv, liquidLike = false;
    } else {
        thread_local ResidualDerivs d;
        auto gres = [&](double r) {
            const double v = 1.0 / r - C;
            if (!m.residualDerivatives(T, v, x, 0, d)) return kNaN;
            const double z = P * v / (kR * T);
            return d.F + z - 1.0 - std::log(z);
        };
        liquidLike = gres(rl) < gres(rv);
        rt = liquidLike ? rl : rv;
    }
    V = 1.0 / rt - C;
    if (!(V > 0)) return false;
    memory.store(id, T, P, root, x, n, V, liquidLike);
    return true;
}

// Phase properties of an equation of state from its volume root; attraction
// gives the cubic part's D = n^2 a at (T, x normalised).
template <class Attraction>
bool evaluateEos(std::uint64_t id, const PhaseModel& m, const CpaModel& assoc, Attraction attraction,
                 const std::vector<double>& b, const std::vector<double>& shift,
                 const std::vector<double>& tc, double T, double P, const double* xin, Root root, int order,
                 PhaseProps& out) {
    if (!(T > 0) || !(P > 0)) return false;
    const int n = m.size();
    thread_local std::vector<double> x;
    x.assign(xin, xin + n);
    double s = 0;
    for (double q : x)
        s += q;
    if (!(s > 0) || !std::isfinite(s)) return false;
    for (double& q : x)
        q /= s;
    double B = 0, C = 0, tpc = 0;
    for (int i = 0; i < n; ++i) {
        B += x[i] * b[i];
        C += x[i] * shift[i];
        tpc += x[i] * tc[i];
    }
    double V;
    bool liquidLike;
    if (!volumeRoot(id, m, assoc, attraction(T, x.data()), T, P, x.data(), B, C, tpc, root, V, liquidLike))
        return false;
    thread_local ResidualDerivs d;
    if (!m.residualDerivatives(T, V, x.data(), order, d)) return false;
    thermo::propsFromResidual(T, P, V, x.data(), n, d, order, out);
    out.kind = liquidLike ? kLiquid : kVapour;
    return std::isfinite(out.v) && std::isfinite(out.hres);
}

} // namespace

double CpaModel::attraction(double T, const double* x) const {
    thread_local std::vector<double> sa;
    sa.resize(n_);
    for (int i = 0; i < n_; ++i)
        sa[i] = std::sqrt(comp_[i].a0) * (1.0 + comp_[i].c1 * (1.0 - std::sqrt(T / comp_[i].tc)));
    double D = 0;
    for (int i = 0; i < n_; ++i)
        for (int j = 0; j < n_; ++j) {
            const std::size_t q = static_cast<std::size_t>(i) * n_ + j;
            D += x[i] * x[j] * sa[i] * sa[j] * (1.0 - (k0_[q] + k1_[q] * T + k2_[q] / T));
        }
    return D;
}

bool CpaModel::associationVolumeDerivatives(double T, double Vt, const double* x, double& FV, double& FVV,
                                            bool useSymmetry) const {
    // The volume derivatives alone: Q_V at fixed X, and Q_VV plus the
    // response of X to V (one linear solve), as in assocPart.
    const int S = static_cast<int>(sites_.size());
    struct Work {
        std::vector<double> X, h, Dm, Ss, Mat, y;
        std::vector<int> piv;
    };
    thread_local Work w;
    if (!solveSites(T, Vt, x, w.X, useSymmetry)) return false;
    double B = 0;
    for (int i = 0; i < n_; ++i)
        B += x[i] * comp_[i].b;
    const double eta = B / (4.0 * Vt);
    const double g = 1.0 / (1.0 - kGFactor * eta);
    const double g1 = kGFactor * g * g, g2 = 2.0 * kGFactor * kGFactor * g * g * g;
    const double etaV = -eta / Vt, etaVV = 2.0 * eta / (Vt * Vt);
    const double P = g / Vt;
    const double PV = g1 * etaV / Vt - g / (Vt * Vt);
    const double PVV =
        (g2 * etaV * etaV + g1 * etaVV) / Vt - 2.0 * g1 * etaV / (Vt * Vt) + 2.0 * g / (Vt * Vt * Vt);
    // Paired donor and acceptor sites (see solveSites): the sums over a
    // component's two site types are twice those over its donors, and the
    // response of X solves the reduced system; m unknowns of weight wt.
    const bool reduced = useSymmetry && pairedSites_;
    const int m = reduced ? S / 2 : S;
    const double wt = reduced ? 2.0 : 1.0;
    auto site = [&](int k, bool column) { return reduced ? 2 * k + (column ? 1 : 0) : k; };
    const std::size_t mm = static_cast<std::size_t>(m) * m;
    std::vector<double>& Dm = w.Dm;
    std::vector<double>& h = w.h;
    std::vector<double>& Ss = w.Ss;
    std::vector<double>& Mat = w.Mat;
    std::vector<double>& y = w.y;
    Dm.resize(mm);
    const double* e = associationFactors(T);
    for (int k = 0; k < m; ++k)
        for (int l = 0; l < m; ++l) {
            const std::size_t q = static_cast<std::size_t>(site(k, false)) * S + site(l, true);
            Dm[static_cast<std::size_t>(k) * m + l] = bb_[q] == 0.0 ? 0.0 : bb_[q] * e[q];
        }
    h.resize(m), Ss.resize(m), y.resize(m), Mat.resize(mm);
    for (int k = 0; k < m; ++k)
        h[k] = x[sites_[site(k, true)].comp] * sites_[site(k, true)].mult;
    auto X = [&](int k) { return w.X[site(k, false)]; };
    double W = 0;
    for (int s = 0; s < m; ++s) {
        double a = 0;
        for (int t = 0; t < m; ++t)
            a += h[t] * X(t) * Dm[static_cast<std::size_t>(s) * m + t];
        Ss[s] = a;
        W += wt * h[s] * X(s) * a;
    }
    for (int s = 0; s < m; ++s) {
        for (int t = 0; t < m; ++t)
            Mat[s * m + t] =
                (s == t ? 1.0 : 0.0) + X(s) * X(s) * P * h[t] * Dm[static_cast<std::size_t>(s) * m + t];
        y[s] = X(s) * X(s) * (-PV * Ss[s]);
    }
    if (!luFactor(Mat, w.piv, m)) return false;
    luSolve(Mat, w.piv, m, y.data());
    FV = -0.5 * PV * W;
    FVV = -0.5 * PVV * W;
    for (int s = 0; s < m; ++s)
        FVV += wt * h[s] * (-PV * Ss[s]) * y[s];
    return std::isfinite(FV) && std::isfinite(FVV);
}

bool CpaModel::volume(double T, double P, const double* x, Root root, double& V, bool& liquidLike) const {
    double B = 0, C = 0, tpc = 0;
    for (int i = 0; i < n_; ++i) {
        B += x[i] * comp_[i].b;
        C += x[i] * comp_[i].shift;
        tpc += x[i] * comp_[i].tc;
    }
    return volumeRoot(id_, *this, *this, attraction(T, x), T, P, x, B, C, tpc, root, V, liquidLike);
}

bool CpaModel::evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const {
    return evaluateEos(
        id_, *this, *this, [this](double t, const double* z) { return attraction(t, z); }, bs_, shifts_, tcs_,
        T, P, x, root, order, out);
}

std::shared_ptr<const PhaseModel> buildCpa(const ModelInputs& in) {
    const int n = static_cast<int>(in.pure.size());
    std::vector<CpaComponent> comps(n);
    std::vector<bool> assoc(n, false);
    for (int i = 0; i < n; ++i) {
        const PureConstants& p = in.pure[i];
        const std::int64_t cas = i < static_cast<int>(in.cas.size()) ? in.cas[i] : 0;
        if (storedCpaComponent(cas, p.tc, comps[i])) {
            assoc[i] = comps[i].donors > 0;
            continue;
        }
        // Peng-Robinson constants and Peneloux shift from Tc, Pc, omega.
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw std::invalid_argument("CPA model: component without critical constants");
        const double w = p.omega;
        CpaComponent& c = comps[i];
        c.tc = p.tc;
        c.a0 = kOmegaA * kR * kR * p.tc * p.tc / p.pc;
        c.b = kOmegaB * kR * p.tc / p.pc;
        c.c1 = w <= 0.491 ? 0.37464 + 1.54226 * w - 0.26992 * w * w
                          : 0.379642 + 1.48503 * w - 0.164423 * w * w + 0.016666 * w * w * w;
        const double zra = (std::isfinite(p.zra) && p.zra > 0) ? p.zra : 0.29056 - 0.08775 * w;
        c.shift = 0.50033 * kR * p.tc / p.pc * (0.25969 - zra);
    }
    std::map<std::pair<int, int>, CpaKij> chosen;
    for (const auto& e : in.bips) {
        if (e.model != kModelCode || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
        const std::pair<int, int> key{std::min(e.i, e.j) - 1, std::max(e.i, e.j) - 1};
        const double T0 = kKijReferenceT;
        // p0 + p1 (T/T0 - 1) + p2 (T0/T - 1)  ->  k0 + k1 T + k2 / T
        chosen[key] = {key.first, key.second, e.p[0] - e.p[1] - e.p[2], e.p[1] / T0, e.p[2] * T0};
    }
    if (in.bipLoadLevel >= 0 && static_cast<int>(in.cas.size()) == n)
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                if (chosen.count({i, j})) continue;
                double k;
                if (storedPairKij(in.cas[i], in.cas[j], assoc[i] || assoc[j], k))
                    chosen[{i, j}] = {i, j, k, 0.0, 0.0};
            }
    std::vector<CpaKij> kij;
    for (const auto& [key, v] : chosen)
        kij.push_back(v);
    return std::make_shared<CpaModel>(std::move(comps), kij);
}

PureConstants cubicEquivalent(const CpaComponent& c) {
    // a(T) = k Tc' (1 + m' (1 - sqrt(T/Tc')))^2 with k = (Omega_a / Omega_b) R b
    // once Pc' = Omega_b R Tc' / b; matching the coefficients of 1 and
    // sqrt(T) fixes m' and then Tc'.
    const double k = kOmegaA / kOmegaB * kR * c.b;
    const double m = c.c1 * std::sqrt(c.a0 / (k * c.tc));
    const double sq = std::sqrt(c.a0) * (1.0 + c.c1) / (std::sqrt(k) * (1.0 + m));
    PureConstants p;
    p.tc = sq * sq;
    p.pc = kOmegaB * kR * p.tc / c.b;
    // omega' from m(omega) of the Peng-Robinson models
    const double qa = 0.26992, qb = -1.54226, qc = m - 0.37464;
    double w = (-qb - std::sqrt(qb * qb - 4.0 * qa * qc)) / (2.0 * qa);
    if (w > 0.491) {
        for (int it = 0; it < 50; ++it) {
            const double f = 0.379642 + 1.48503 * w - 0.164423 * w * w + 0.016666 * w * w * w - m;
            const double fp = 1.48503 - 2.0 * 0.164423 * w + 3.0 * 0.016666 * w * w;
            const double dw = f / fp;
            w -= dw;
            if (std::fabs(dw) < 1e-16) break;
        }
    }
    p.omega = w;
    return p;
}

namespace {
std::vector<CpaComponent> unshifted(std::vector<CpaComponent> comps) {
    for (auto& c : comps)
        c.shift = 0.0;
    return comps;
}
} // namespace

CpaGeModel::CpaGeModel(std::shared_ptr<const PhaseModel> cubic, std::vector<CpaComponent> comps)
    : cubic_(std::move(cubic)), assoc_(unshifted(comps), {}), id_(newModelId()) {
    cubicGe_ = std::dynamic_pointer_cast<const CubicGeModel>(cubic_);
    if (!cubicGe_ || cubicGe_->size() != static_cast<int>(comps.size()))
        throw std::invalid_argument("CPA gE model: cubic part does not match");
    for (const auto& c : comps) {
        b_.push_back(c.b);
        tc_.push_back(c.tc);
        shift_.push_back(c.shift);
    }
}

bool CpaGeModel::residualDerivatives(double T, double V, const double* n, int order,
                                     ResidualDerivs& d) const {
    if (!(T > 0) || !(V > 0)) return false;
    const int N = size();
    double C = 0, Nt = 0;
    for (int i = 0; i < N; ++i) {
        C += n[i] * shift_[i];
        Nt += n[i];
    }
    // The untranslated model at Vt = V + C, then the translation.
    const double Vt = V + C;
    if (!(Vt > 0) || !cubic_->residualDerivatives(T, Vt, n, order, d)) return false;
    const std::size_t NN = static_cast<std::size_t>(N);
    if (d.F_i.size() != NN) return false;
    if (order >= 1 && (d.F_iV.size() != NN || d.F_iT.size() != NN || d.F_ij.size() != NN * NN)) return false;
    if (order < 1) {
        d.F_iV.assign(NN, 0.0);
        d.F_iT.assign(NN, 0.0);
        d.F_ij.assign(NN * NN, 0.0);
    }
    if (!assoc_.addAssociation(T, Vt, n, order, d) || !std::isfinite(d.F_V)) return false;
    if (C == 0.0) return true;
    // F(V) = F_u(Vt) - N ln(Vt / V) with Vt = V + sum n_i c_i.
    const double lnr = std::log(Vt / V), FVt = d.F_V;
    d.F += -Nt * lnr;
    d.F_V = FVt - Nt / Vt + Nt / V;
    for (int i = 0; i < N; ++i)
        d.F_i[i] += shift_[i] * FVt - lnr - Nt * shift_[i] / Vt;
    if (order < 1) return true;
    const double FVV = d.F_VV, FTV = d.F_TV;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j) {
            const double ci = shift_[i], cj = shift_[j];
            d.F_ij[i * NN + j] +=
                ci * d.F_iV[j] + cj * d.F_iV[i] + ci * cj * FVV - (ci + cj) / Vt + Nt * ci * cj / (Vt * Vt);
        }
    for (int i = 0; i < N; ++i) {
        d.F_iT[i] += shift_[i] * FTV;
        d.F_iV[i] += shift_[i] * FVV - 1.0 / Vt + 1.0 / V + Nt * shift_[i] / (Vt * Vt);
    }
    d.F_VV = FVV + Nt / (Vt * Vt) - Nt / (V * V);
    return true;
}

bool CpaGeModel::evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const {
    auto attraction = [this](double t, const double* z) {
        double b, alpha;
        if (!cubicGe_->mixture(t, z, b, alpha)) return kNaN;
        return alpha * b * kR * t;
    };
    return evaluateEos(id_, *this, assoc_, attraction, b_, shift_, tc_, T, P, x, root, order, out);
}

std::shared_ptr<const PhaseModel> buildCpaGe(int code, const ModelInputs& in) {
    const int geCode = code == 115 ? 60 : code == 116 ? 70 : 0;
    if (geCode == 0) throw std::invalid_argument("CPA gE model: unknown code");
    const int n = static_cast<int>(in.pure.size());
    // Entries of this code: [0] k_ij, [1] A_ij, [2] A_ji (J/mol), [3] NRTL alpha.
    // A pair with A_ij or A_ji set is an NRTL pair of the gE rule; the others
    // keep the van der Waals rule with k_ij.
    std::vector<streams::BipEntry> nrtl, kijEntries;
    for (const auto& e : in.bips) {
        if (e.model != code || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
        if (e.p[1] != 0.0 || e.p[2] != 0.0) {
            streams::BipEntry g;
            g.i = e.i, g.j = e.j, g.model = geCode;
            g.p[0] = e.p[1], g.p[1] = e.p[2], g.p[2] = e.p[3];
            nrtl.push_back(g);
        } else {
            streams::BipEntry k;
            k.i = e.i, k.j = e.j, k.model = kModelCode;
            k.p[0] = e.p[0];
            kijEntries.push_back(k);
        }
    }
    if (nrtl.empty() && code == 116) {
        // LCVM has no van der Waals limit: without gE parameters the cubic
        // part mixes by the van der Waals rule, that is model 111.
        ModelInputs base = in;
        base.bips = kijEntries;
        return buildCpa(base);
    }
    const auto cpa = std::dynamic_pointer_cast<const CpaModel>(buildCpa([&] {
        ModelInputs base = in;
        base.bips = kijEntries;
        return base;
    }()));
    std::vector<CpaComponent> comps(n);
    ModelInputs cub = in;
    cub.bips = nrtl;
    for (int i = 0; i < n; ++i) {
        comps[i] = cpa->component(i);
        const PureConstants e = cubicEquivalent(comps[i]);
        cub.pure[i].tc = e.tc;
        cub.pure[i].pc = e.pc;
        cub.pure[i].omega = e.omega;
    }
    if (code == 115) {
        // Huron-Vidal with NRTL: pairs without NRTL parameters follow the van
        // der Waals rule with the k_ij of model 111 (the gE model's stored NRTL
        // parameters were fitted without association and would count the
        // hydrogen bonds twice).
        cub.bipLoadLevel = -1;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                streams::BipEntry e;
                double k0, k1, k2;
                cpa->kijTerms(i, j, k0, k1, k2);
                // k0 + k1 T + k2 / T  ->  p0 + p1 (T/T0 - 1) + p2 (T0/T - 1)
                e.i = i + 1, e.j = j + 1, e.model = 51;
                e.p[1] = k1 * kKijReferenceT;
                e.p[2] = k2 / kKijReferenceT;
                e.p[0] = k0 + e.p[1] + e.p[2];
                cub.bips.push_back(e);
            }
    }
    return std::make_shared<CpaGeModel>(buildCubicGe(geCode, cub), std::move(comps));
}

} // namespace zpk::models
