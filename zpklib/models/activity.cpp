#include "models/activity.h"
#include "core/data_files.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "core/error.h"

namespace zpk::models {

namespace {

// First-order forward dual number: value and one directional derivative.
struct Dual {
    double v = 0, d = 0;
    Dual() = default;
    Dual(double value, double deriv = 0) : v(value), d(deriv) {} // NOLINT: constants promote
};
inline Dual operator+(Dual a, Dual b) {
    return {a.v + b.v, a.d + b.d};
}
inline Dual operator-(Dual a, Dual b) {
    return {a.v - b.v, a.d - b.d};
}
inline Dual operator-(Dual a) {
    return {-a.v, -a.d};
}
inline Dual operator*(Dual a, Dual b) {
    return {a.v * b.v, a.v * b.d + a.d * b.v};
}
inline Dual operator/(Dual a, Dual b) {
    return {a.v / b.v, (a.d * b.v - a.v * b.d) / (b.v * b.v)};
}
inline Dual exp(Dual a) {
    const double e = std::exp(a.v);
    return {e, e * a.d};
}
inline Dual log(Dual a) {
    return {std::log(a.v), a.d / a.v};
}
inline Dual sqrt(Dual a) {
    const double r = std::sqrt(a.v);
    return {r, 0.5 * a.d / r};
}
// Second-order Taylor number in one direction: value, first and second
// derivative (the temperature curvature of gE that enthalpies need).
struct Taylor2 {
    double v = 0, d = 0, dd = 0;
    Taylor2() = default;
    Taylor2(double value, double deriv = 0, double deriv2 = 0) : v(value), d(deriv), dd(deriv2) {} // NOLINT
};
inline Taylor2 operator+(Taylor2 a, Taylor2 b) {
    return {a.v + b.v, a.d + b.d, a.dd + b.dd};
}
inline Taylor2 operator-(Taylor2 a, Taylor2 b) {
    return {a.v - b.v, a.d - b.d, a.dd - b.dd};
}
inline Taylor2 operator-(Taylor2 a) {
    return {-a.v, -a.d, -a.dd};
}
inline Taylor2 operator*(Taylor2 a, Taylor2 b) {
    return {a.v * b.v, a.v * b.d + a.d * b.v, a.v * b.dd + 2.0 * a.d * b.d + a.dd * b.v};
}
inline Taylor2 operator/(Taylor2 a, Taylor2 b) {
    const double q = a.v / b.v;
    const double qd = (a.d - q * b.d) / b.v;
    return {q, qd, (a.dd - 2.0 * qd * b.d - q * b.dd) / b.v};
}
inline Taylor2 exp(Taylor2 a) {
    const double e = std::exp(a.v);
    return {e, e * a.d, e * (a.dd + a.d * a.d)};
}
inline Taylor2 log(Taylor2 a) {
    return {std::log(a.v), a.d / a.v, a.dd / a.v - a.d * a.d / (a.v * a.v)};
}
inline Taylor2 sqrt(Taylor2 a) {
    const double r = std::sqrt(a.v);
    const double d = 0.5 * a.d / r;
    return {r, d, 0.5 * a.dd / r - d * d / r};
}

using std::exp;
using std::log;
using std::sqrt;

inline double valueOf(double a) {
    return a;
}
inline double valueOf(Dual a) {
    return a.v;
}

constexpr double kUniquacZ = 10.0;

// Temperature-only pair quantities of the Wilson, NRTL and UNIQUAC models at
// T: Wilson w1 = Lambda_ij; NRTL w1 = tau_ij, w3 = G_ij (co-volume weights
// included); UNIQUAC w1 = tau_ij.  Unused for UNIFAC.
template <class S> void pairTablesOf(const ActivityParams& p, S T, std::vector<S>& w1, std::vector<S>& w3) {
    const int n = p.n;
    const S RT = kR * T;
    auto energy = [&](int i, int j) -> S {
        if (!p.vdw.pair.empty() && p.vdw.pair[i * n + j]) {
            // Energy that turns the Huron-Vidal rule into the van der Waals one.
            const auto& v = p.vdw;
            const S si = 1.0 + v.m[i] * (1.0 - sqrt(T / v.tc[i]));
            const S sj = 1.0 + v.m[j] * (1.0 - sqrt(T / v.tc[j]));
            const std::size_t q = static_cast<std::size_t>(i) * n + j;
            const S k = v.k0[q] + v.k1[q] * T + v.k2[q] / T;
            const S aij = std::sqrt(v.ac[i] * v.ac[j]) * si * sj * (1.0 - k);
            return v.q * (aij / v.b[i] - v.ac[j] * sj * sj / v.b[j]);
        }
        return p.a[i * n + j] + p.b[i * n + j] * (T - kActivityReferenceT);
    };
    const std::size_t nn = static_cast<std::size_t>(n) * n;
    switch (p.kind) {
    case ActivityKind::Wilson:
        w1.assign(nn, S(0.0));
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                w1[i * n + j] = (i == j) ? S(1.0) : S(p.vol[j] / p.vol[i]) * exp(-energy(i, j) / RT);
        break;
    case ActivityKind::NRTL:
        w1.assign(nn, S(0.0));
        w3.assign(nn, S(1.0));
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (i != j) {
                    w1[i * n + j] = energy(i, j) / RT;
                    w3[i * n + j] = exp(-p.alpha[i * n + j] * w1[i * n + j]);
                    if (!p.weight.empty()) w3[i * n + j] = w3[i * n + j] * (p.weight[i] / p.weight[j]);
                }
        break;
    case ActivityKind::UNIQUAC:
        w1.assign(nn, S(1.0));
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (i != j) w1[i * n + j] = exp(-energy(i, j) / RT);
        break;
    case ActivityKind::UNIFAC:
        break;
    }
}

// ln gamma_i of every component at temperature T and mole numbers n (any
// total), written once for plain and dual numbers.  pairs, when given, holds
// the tables of pairTablesOf at T (as numbers of type S), which are then not
// recomputed.
template <class S>
void lnGammaOf(const ActivityParams& p, S T, const S* nIn, std::vector<S>& out,
               const std::vector<S>* pairs1 = nullptr, const std::vector<S>* pairs3 = nullptr) {
    const int n = p.n;
    thread_local std::vector<S> x, t1, t2, t3, t1x;
    x.assign(n, S(0.0));
    S tot(0.0);
    for (int i = 0; i < n; ++i)
        tot = tot + nIn[i];
    for (int i = 0; i < n; ++i)
        x[i] = nIn[i] / tot;
    out.assign(n, S(0.0));
    if (p.kind != ActivityKind::UNIFAC && !pairs1) {
        pairTablesOf(p, T, t1, t3);
        pairs1 = &t1;
        pairs3 = &t3;
    }
    std::vector<S>& w2 = t2;

    switch (p.kind) {
    case ActivityKind::Wilson: {
        // w1[i * n + j] = Lambda_ij, w2[i] = sum_j x_j Lambda_ij
        const std::vector<S>& w1 = *pairs1;
        w2.assign(n, S(0.0));
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                w2[i] = w2[i] + x[j] * w1[i * n + j];
        for (int i = 0; i < n; ++i) {
            S s(0.0);
            for (int k = 0; k < n; ++k)
                s = s + x[k] * w1[k * n + i] / w2[k];
            out[i] = 1.0 - log(w2[i]) - s;
        }
        break;
    }
    case ActivityKind::NRTL: {
        // w1 = tau_ij, w3 = G_ij, w2[j] = sum_k x_k G_kj, out uses num_j = sum_k x_k tau_kj G_kj
        const std::vector<S>& w1 = *pairs1;
        const std::vector<S>& w3 = *pairs3;
        w2.assign(2 * n, S(0.0));
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                w2[j] = w2[j] + x[k] * w3[k * n + j];
                w2[n + j] = w2[n + j] + x[k] * w1[k * n + j] * w3[k * n + j];
            }
        // a_j = x_j / sum_k x_k G_kj and the mean tau_j of column j.
        t1x.resize(2 * n);
        for (int j = 0; j < n; ++j) {
            t1x[j] = x[j] / w2[j];
            t1x[n + j] = w2[n + j] / w2[j];
        }
        for (int i = 0; i < n; ++i) {
            S s = t1x[n + i];
            for (int j = 0; j < n; ++j)
                s = s + w3[i * n + j] * t1x[j] * (w1[i * n + j] - t1x[n + j]);
            out[i] = s;
        }
        break;
    }
    case ActivityKind::UNIQUAC:
    case ActivityKind::UNIFAC: {
        S rx(0.0), qx(0.0), lx(0.0);
        for (int i = 0; i < n; ++i) {
            const double li = kUniquacZ / 2 * (p.r[i] - p.q[i]) - (p.r[i] - 1.0);
            rx = rx + x[i] * p.r[i];
            qx = qx + x[i] * p.q[i];
            lx = lx + x[i] * li;
        }
        for (int i = 0; i < n; ++i) {
            const double li = kUniquacZ / 2 * (p.r[i] - p.q[i]) - (p.r[i] - 1.0);
            const S phiOverX = p.r[i] / rx;
            const S thetaOverPhi = (p.q[i] / qx) / phiOverX;
            out[i] = log(phiOverX) + kUniquacZ / 2 * p.q[i] * log(thetaOverPhi) + li - phiOverX * lx;
        }
        if (p.kind == ActivityKind::UNIQUAC) {
            // w1 = tau_ij, w2 = theta_i, w3[j] = sum_k theta_k tau_kj
            const std::vector<S>& w1 = *pairs1;
            std::vector<S>& w3 = t3;
            w2.assign(n, S(0.0));
            w3.assign(n, S(0.0));
            for (int i = 0; i < n; ++i)
                w2[i] = x[i] * p.q[i] / qx;
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k)
                    w3[j] = w3[j] + w2[k] * w1[k * n + j];
            for (int i = 0; i < n; ++i) {
                S s(0.0);
                for (int j = 0; j < n; ++j)
                    s = s + w2[j] * w1[i * n + j] / w3[j];
                out[i] = out[i] + p.q[i] * (1.0 - log(w3[i]) - s);
            }
        } else {
            const int G = p.groups;
            // w1 = psi_km, w3 = group area fractions (reused per composition)
            std::vector<S>& w1 = t1;
            w1.assign(static_cast<std::size_t>(G) * G, S(1.0));
            for (int k = 0; k < G; ++k)
                for (int m = 0; m < G; ++m)
                    w1[k * G + m] = exp(-S(p.amn[k * G + m]) / T);
            auto lnGroupGamma = [&](auto compWeight, std::vector<S>& lnG) {
                // compWeight(i): mole fraction of component i in the solution
                std::vector<S> theta(G, S(0.0));
                S tot(0.0);
                for (int k = 0; k < G; ++k) {
                    S xk(0.0);
                    for (int i = 0; i < n; ++i)
                        xk = xk + p.nu[i * G + k] * compWeight(i);
                    theta[k] = p.gQ[k] * xk;
                    tot = tot + theta[k];
                }
                for (int k = 0; k < G; ++k)
                    theta[k] = theta[k] / tot;
                std::vector<S> sm(G, S(0.0));
                for (int m = 0; m < G; ++m)
                    for (int j = 0; j < G; ++j)
                        sm[m] = sm[m] + theta[j] * w1[j * G + m];
                lnG.assign(G, S(0.0));
                for (int k = 0; k < G; ++k) {
                    S s(0.0);
                    for (int m = 0; m < G; ++m)
                        s = s + theta[m] * w1[k * G + m] / sm[m];
                    lnG[k] = p.gQ[k] * (1.0 - log(sm[k]) - s);
                }
            };
            std::vector<S> lnMix, lnPure;
            lnGroupGamma([&](int i) { return x[i]; }, lnMix);
            for (int i = 0; i < n; ++i) {
                lnGroupGamma([&](int j) { return S(j == i ? 1.0 : 0.0); }, lnPure);
                S s(0.0);
                for (int k = 0; k < G; ++k)
                    if (p.nu[i * G + k] != 0) s = s + p.nu[i * G + k] * (lnMix[k] - lnPure[k]);
                out[i] = out[i] + s;
            }
        }
        break;
    }
    }
}

// ---- data tables ------------------------------------------------------

std::ifstream openData(const std::string& name) {
    return openDataFile(name);
}

struct UnifacData {
    struct Group {
        int main = 0;
        double R = 0, Q = 0;
    };
    std::map<int, Group> groups;                                    // by subgroup number
    std::map<std::pair<int, int>, double> amn;                      // by main groups
    std::map<std::int64_t, std::vector<std::pair<int, int>>> comps; // cas -> (subgroup, count)
};

const UnifacData& unifacData() {
    static const UnifacData data = [] {
        UnifacData d;
        std::string line;
        if (auto in = openData("activity_unifac_groups.tsv"); in)
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                std::istringstream ls(line);
                int k, m;
                std::string name;
                double R, Q;
                if (ls >> k >> m >> name >> R >> Q) d.groups[k] = {m, R, Q};
            }
        if (auto in = openData("activity_unifac_interactions.tsv"); in)
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                std::istringstream ls(line);
                int m;
                if (!(ls >> m)) continue;
                double v;
                for (int col = 1; ls >> v; ++col)
                    if (v != 0.0) d.amn[{m, col}] = v;
            }
        if (auto in = openData("activity_unifac_components.tsv"); in)
            while (std::getline(in, line)) {
                if (line.empty() || line[0] == '#') continue;
                std::istringstream ls(line);
                std::int64_t cas;
                int k, c;
                if (ls >> cas >> k >> c) d.comps[cas].push_back({k, c});
            }
        return d;
    }();
    return data;
}

struct StoredPair {
    double p[5] = {0, 0, 0, 0, 0};
};
using StoredTable = std::map<std::tuple<int, std::int64_t, std::int64_t>, StoredPair>;

const StoredTable& storedTable() {
    static const StoredTable table = [] {
        StoredTable t;
        auto in = openData("activity_binary.tsv");
        std::string line;
        while (in && std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream ls(line);
            int model;
            std::int64_t a, b;
            StoredPair sp;
            if (!(ls >> model >> a >> b >> sp.p[0] >> sp.p[1] >> sp.p[2] >> sp.p[3] >> sp.p[4])) continue;
            t[{model, a, b}] = sp;
        }
        return t;
    }();
    return table;
}

} // namespace

// ---- public functions -------------------------------------------------

void lnGamma(const ActivityParams& p, double T, const double* x, double* lng, double* dT, double* dn) {
    const int n = p.n;
    thread_local std::vector<double> plain;
    lnGammaOf<double>(p, T, x, plain);
    for (int i = 0; i < n; ++i)
        lng[i] = plain[i];
    if (!dT && !dn) return;
    thread_local std::vector<Dual> nd, res;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += x[i];
    nd.resize(n);
    for (int i = 0; i < n; ++i)
        nd[i] = Dual(x[i] / sum);
    if (dT) {
        lnGammaOf<Dual>(p, Dual(T, 1.0), nd.data(), res);
        for (int i = 0; i < n; ++i)
            dT[i] = res[i].d;
    }
    if (dn)
        for (int j = 0; j < n; ++j) {
            nd[j].d = 1.0;
            lnGammaOf<Dual>(p, Dual(T), nd.data(), res);
            nd[j].d = 0.0;
            for (int i = 0; i < n; ++i)
                dn[i * n + j] = res[i].d;
        }
}

double reducedExcessGibbs(const ActivityParams& p, double T, const double* x) {
    thread_local std::vector<double> lng;
    lng.resize(p.n);
    lnGamma(p, T, x, lng.data());
    double s = 0, g = 0;
    for (int i = 0; i < p.n; ++i)
        s += x[i];
    for (int i = 0; i < p.n; ++i)
        g += x[i] / s * lng[i];
    return g;
}

namespace {

// Per-thread tables of pairTablesOf for the last few (model, temperature)
// pairs seen: a flash or a volume search evaluates many compositions at one
// temperature.  Taylor numbers in T for the excess Gibbs energy and its T
// derivatives; dual numbers with a zero T derivative for the composition
// derivatives.
struct PairTablesAtT {
    std::uint64_t key = 0;
    double T = 0;
    std::vector<Taylor2> w1, w3;
    std::vector<Dual> d1, d3;
    // NRTL by order of the T derivative: G_ij, tau_ij G_ij, tau_ij
    std::vector<double> g0, g1, g2, tg0, tg1, tg2, tau0;
};

const PairTablesAtT& cachedPairTables(const ActivityParams& p, double T, std::uint64_t key) {
    constexpr std::size_t kSlots = 4;
    thread_local std::array<PairTablesAtT, kSlots> slots;
    thread_local std::size_t next = 0;
    for (const PairTablesAtT& e : slots)
        if (e.key == key && e.T == T) return e;
    PairTablesAtT& e = slots[next];
    next = (next + 1) % kSlots;
    e.key = key;
    e.T = T;
    pairTablesOf<Taylor2>(p, Taylor2(T, 1.0), e.w1, e.w3);
    e.d1.resize(e.w1.size());
    e.d3.resize(e.w3.size());
    for (std::size_t q = 0; q < e.w1.size(); ++q)
        e.d1[q] = Dual(e.w1[q].v);
    for (std::size_t q = 0; q < e.w3.size(); ++q)
        e.d3[q] = Dual(e.w3[q].v);
    if (p.kind == ActivityKind::NRTL) {
        const std::size_t nn = e.w1.size();
        for (auto* v : {&e.g0, &e.g1, &e.g2, &e.tg0, &e.tg1, &e.tg2, &e.tau0})
            v->resize(nn);
        for (std::size_t q = 0; q < nn; ++q) {
            const Taylor2 g = e.w3[q], tg = e.w1[q] * e.w3[q];
            e.g0[q] = g.v, e.g1[q] = g.d, e.g2[q] = g.dd;
            e.tg0[q] = tg.v, e.tg1[q] = tg.d, e.tg2[q] = tg.dd;
            e.tau0[q] = e.w1[q].v;
        }
    }
    return e;
}

// NRTL on the stored tables in closed form (the formulas lnGammaOf runs
// through its number types):
//   S_j = sum_k x_k G_kj,  C_j = sum_k x_k tau_kj G_kj / S_j,  a_j = x_j / S_j,
//   ln gamma_i = C_i + sum_j (tau_ij G_ij a_j - G_ij a_j C_j)
// with its first two T derivatives, and, written in mole numbers (ln gamma
// is homogeneous of degree zero in them), at one mole in total
//   d ln gamma_i / d n_m = D_mi / S_i + D_im / S_m - sum_j (a_j / S_j) (D_ij G_mj + G_ij D_mj),
//   D_ij = G_ij (tau_ij - C_j),
// which is symmetric in i and m.  x sums to one.
void nrtlClosedForm(const PairTablesAtT& t, int n, const double* x, bool composition, ExcessGibbs& out) {
    // Order-wise arrays (value, first and second T derivative) keep the
    // inner loops plain multiply-adds.
    struct Scratch {
        std::vector<double> S0, S1, S2, C0, C1, C2, a0, a1, a2, c0, c1, c2, D, e;
    };
    thread_local Scratch w;
    for (auto* v : {&w.S0, &w.S1, &w.S2, &w.C0, &w.C1, &w.C2})
        v->assign(n, 0.0);
    for (auto* v : {&w.a0, &w.a1, &w.a2, &w.c0, &w.c1, &w.c2})
        v->resize(n);
    const double *G0 = t.g0.data(), *G1 = t.g1.data(), *G2 = t.g2.data();
    const double *H0 = t.tg0.data(), *H1 = t.tg1.data(), *H2 = t.tg2.data();
    double *S0 = w.S0.data(), *S1 = w.S1.data(), *S2 = w.S2.data();
    double *C0 = w.C0.data(), *C1 = w.C1.data(), *C2 = w.C2.data();
    // Second T derivatives only with the composition derivatives (they feed
    // the same second-order properties).
    for (int k = 0; k < n; ++k) {
        const double xk = x[k];
        if (xk == 0.0) continue;
        const int r = k * n;
        for (int j = 0; j < n; ++j) {
            S0[j] += xk * G0[r + j];
            S1[j] += xk * G1[r + j];
            C0[j] += xk * H0[r + j];
            C1[j] += xk * H1[r + j];
        }
        if (composition)
            for (int j = 0; j < n; ++j) {
                S2[j] += xk * G2[r + j];
                C2[j] += xk * H2[r + j];
            }
    }
    for (int j = 0; j < n; ++j) {
        const Taylor2 S(S0[j], S1[j], S2[j]);
        const Taylor2 C = Taylor2(C0[j], C1[j], C2[j]) / S;
        const Taylor2 a = Taylor2(x[j]) / S;
        const Taylor2 ac = a * C;
        C0[j] = C.v, C1[j] = C.d, C2[j] = C.dd;
        w.a0[j] = a.v, w.a1[j] = a.d, w.a2[j] = a.dd;
        w.c0[j] = ac.v, w.c1[j] = ac.d, w.c2[j] = ac.dd;
    }
    const double *a0 = w.a0.data(), *a1 = w.a1.data(), *a2 = w.a2.data();
    const double *c0 = w.c0.data(), *c1 = w.c1.data(), *c2 = w.c2.data();
    out.lng.resize(n);
    out.lngT.resize(n);
    out.lngTT.resize(n);
    out.g = out.gT = out.gTT = 0;
    if (!composition) {
        // Values only: with sum_i x_i G_ij = S_j and sum_i x_i tau_ij G_ij =
        // C_j S_j the pair sums cancel in g = sum_i x_i ln gamma_i, so
        // g = sum_i x_i C_i with its T derivatives.
        for (int i = 0; i < n; ++i) {
            const int r = i * n;
            double v = C0[i];
            for (int j = 0; j < n; ++j)
                v += H0[r + j] * a0[j] - G0[r + j] * c0[j];
            out.lng[i] = v;
            out.g += x[i] * v;
            out.gT += x[i] * C1[i];
        }
        out.lngN.clear();
        return;
    }
    for (int i = 0; i < n; ++i) {
        const int r = i * n;
        double v = C0[i], d = C1[i], dd = C2[i];
        for (int j = 0; j < n; ++j) {
            const int q = r + j;
            v += H0[q] * a0[j] - G0[q] * c0[j];
            d += H0[q] * a1[j] + H1[q] * a0[j] - G0[q] * c1[j] - G1[q] * c0[j];
            dd += H0[q] * a2[j] + 2.0 * H1[q] * a1[j] + H2[q] * a0[j] - G0[q] * c2[j] - 2.0 * G1[q] * c1[j] -
                  G2[q] * c0[j];
        }
        out.lng[i] = v;
        out.lngT[i] = d;
        out.lngTT[i] = dd;
        out.g += x[i] * v;
        out.gT += x[i] * d;
        out.gTT += x[i] * dd;
    }
    w.D.resize(static_cast<std::size_t>(n) * n);
    w.e.resize(n);
    const double* tau = t.tau0.data();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            w.D[i * n + j] = G0[i * n + j] * (tau[i * n + j] - C0[j]);
    for (int j = 0; j < n; ++j)
        w.e[j] = a0[j] / S0[j];
    out.lngN.resize(static_cast<std::size_t>(n) * n);
    const double* e = w.e.data();
    for (int i = 0; i < n; ++i)
        for (int m = i; m < n; ++m) {
            const double* Di = &w.D[i * n];
            const double* Dm = &w.D[m * n];
            const double* Gi = &G0[i * n];
            const double* Gm = &G0[m * n];
            double sum = 0;
            for (int j = 0; j < n; ++j)
                sum += e[j] * (Di[j] * Gm[j] + Gi[j] * Dm[j]);
            const double v = Dm[i] / S0[i] + Di[m] / S0[m] - sum;
            out.lngN[i * n + m] = out.lngN[m * n + i] = v;
        }
}

} // namespace

void excessGibbs(const ActivityParams& p, double T, const double* x, bool composition, ExcessGibbs& out,
                 std::uint64_t cacheKey) {
    const int n = p.n;
    thread_local std::vector<Taylor2> nt, res;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += x[i];
    nt.resize(n);
    for (int i = 0; i < n; ++i)
        nt[i] = Taylor2(x[i] / sum);
    const bool cached = cacheKey != 0 && p.kind != ActivityKind::UNIFAC;
    const PairTablesAtT* tables = cached ? &cachedPairTables(p, T, cacheKey) : nullptr;
    if (tables && p.kind == ActivityKind::NRTL) {
        thread_local std::vector<double> xs;
        xs.resize(n);
        for (int i = 0; i < n; ++i)
            xs[i] = nt[i].v;
        nrtlClosedForm(*tables, n, xs.data(), composition, out);
        return;
    }
    if (tables)
        lnGammaOf<Taylor2>(p, Taylor2(T, 1.0), nt.data(), res, &tables->w1, &tables->w3);
    else
        lnGammaOf<Taylor2>(p, Taylor2(T, 1.0), nt.data(), res);
    out.lng.resize(n);
    out.lngT.resize(n);
    out.lngTT.resize(n);
    out.g = out.gT = out.gTT = 0;
    for (int i = 0; i < n; ++i) {
        out.lng[i] = res[i].v;
        out.lngT[i] = res[i].d;
        out.lngTT[i] = res[i].dd;
        out.g += nt[i].v * res[i].v;
        out.gT += nt[i].v * res[i].d;
        out.gTT += nt[i].v * res[i].dd;
    }
    if (!composition) {
        out.lngN.clear();
        return;
    }
    out.lngN.resize(static_cast<std::size_t>(n) * n);
    if (!tables) {
        thread_local std::vector<double> plain;
        plain.resize(n);
        lnGamma(p, T, x, plain.data(), nullptr, out.lngN.data());
        return;
    }
    // d ln gamma_i / d n_j at one mole in total, one direction per j, on the
    // stored tables (as in lnGamma).
    thread_local std::vector<Dual> nd, dres;
    nd.resize(n);
    for (int i = 0; i < n; ++i)
        nd[i] = Dual(x[i] / sum);
    for (int j = 0; j < n; ++j) {
        nd[j].d = 1.0;
        lnGammaOf<Dual>(p, Dual(T), nd.data(), dres, &tables->d1, &tables->d3);
        nd[j].d = 0.0;
        for (int i = 0; i < n; ++i)
            out.lngN[i * n + j] = dres[i].d;
    }
}

bool unifacGroups(std::int64_t cas, std::vector<std::pair<int, int>>& sub) {
    const auto& d = unifacData();
    auto it = d.comps.find(cas);
    if (it == d.comps.end()) return false;
    sub = it->second;
    for (const auto& [k, c] : sub)
        if (!d.groups.count(k)) return false;
    return true;
}

bool unifacVolumeArea(std::int64_t cas, double& r, double& q) {
    std::vector<std::pair<int, int>> sub;
    if (!unifacGroups(cas, sub)) return false;
    const auto& d = unifacData();
    r = q = 0;
    for (const auto& [k, c] : sub) {
        r += c * d.groups.at(k).R;
        q += c * d.groups.at(k).Q;
    }
    return r > 0 && q > 0;
}

bool uniquacVolumeArea(std::int64_t cas, double& r, double& q) {
    static const std::map<std::int64_t, std::pair<double, double>> table = [] {
        std::map<std::int64_t, std::pair<double, double>> t;
        auto in = openData("activity_uniquac_rq.tsv");
        std::string line;
        while (in && std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream ls(line);
            std::int64_t c;
            double rr, qq;
            if (ls >> c >> rr >> qq && rr > 0 && qq > 0) t[c] = {rr, qq};
        }
        return t;
    }();
    auto it = table.find(cas);
    if (it == table.end()) return false;
    r = it->second.first;
    q = it->second.second;
    return true;
}

bool storedActivityParameters(ActivityKind kind, std::int64_t a, std::int64_t b, double p[5]) {
    const auto& t = storedTable();
    const int code = static_cast<int>(kind);
    if (auto it = t.find({code, a, b}); it != t.end()) {
        std::copy(it->second.p, it->second.p + 5, p);
        return true;
    }
    if (auto it = t.find({code, b, a}); it != t.end()) {
        const double* s = it->second.p;
        p[0] = s[1], p[1] = s[0], p[2] = s[2], p[3] = s[4], p[4] = s[3];
        return true;
    }
    return false;
}

ActivityParams buildActivityParams(ActivityKind kind, const ModelInputs& in) {
    ActivityParams p;
    p.kind = kind;
    const int n = static_cast<int>(in.pure.size());
    p.n = n;
    const std::size_t nn = static_cast<std::size_t>(n) * n;
    p.a.assign(nn, 0.0);
    p.b.assign(nn, 0.0);
    p.alpha.assign(nn, kNrtlDefaultAlpha);
    const int code = static_cast<int>(kind);
    std::set<std::pair<int, int>> set;
    auto apply = [&](int i, int j, const double* v) {
        p.a[i * n + j] = v[0];
        p.a[j * n + i] = v[1];
        p.b[i * n + j] = v[3];
        p.b[j * n + i] = v[4];
        const double al = v[2] != 0.0 ? v[2] : kNrtlDefaultAlpha;
        p.alpha[i * n + j] = p.alpha[j * n + i] = al;
        set.insert({std::min(i, j), std::max(i, j)});
    };
    if (kind != ActivityKind::UNIFAC) {
        // Explicit entries of this model; a later entry of the same pair wins.
        for (const auto& e : in.bips) {
            if (e.model != code || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
            apply(e.i - 1, e.j - 1, e.p.data());
        }
        // Stored values only for pairs without an explicit entry.
        if (in.bipLoadLevel >= 0 && in.cas.size() == static_cast<std::size_t>(n))
            for (int i = 0; i < n; ++i)
                for (int j = i + 1; j < n; ++j) {
                    double v[5];
                    if (set.count({i, j})) continue;
                    if (storedActivityParameters(kind, in.cas[i], in.cas[j], v)) apply(i, j, v);
                }
    }
    if (kind == ActivityKind::Wilson) {
        RegularModel ref(in.pure);
        for (int i = 0; i < n; ++i)
            p.vol.push_back(ref.liquidVolume(i, kActivityReferenceT));
    }
    if (kind == ActivityKind::UNIQUAC || kind == ActivityKind::UNIFAC) {
        for (int i = 0; i < n; ++i) {
            double r = 0, q = 0;
            const std::int64_t cas = i < static_cast<int>(in.cas.size()) ? in.cas[i] : 0;
            // UNIQUAC alone may take tabulated r and q of a component without groups.
            const bool found = unifacVolumeArea(cas, r, q) ||
                               (kind == ActivityKind::UNIQUAC && uniquacVolumeArea(cas, r, q));
            if (!found)
                throw Error("position " + std::to_string(i + 1) +
                                " has no UNIFAC groups (needed for r and q)",
                            kBadArgument);
            p.r.push_back(r);
            p.q.push_back(q);
        }
    }
    if (kind == ActivityKind::UNIFAC) {
        const auto& d = unifacData();
        std::vector<int> present;
        std::vector<std::vector<std::pair<int, int>>> subs(n);
        for (int i = 0; i < n; ++i) {
            unifacGroups(in.cas[i], subs[i]);
            for (const auto& [k, c] : subs[i])
                if (std::find(present.begin(), present.end(), k) == present.end()) present.push_back(k);
        }
        const int G = static_cast<int>(present.size());
        p.groups = G;
        p.nu.assign(static_cast<std::size_t>(n) * G, 0.0);
        for (int i = 0; i < n; ++i)
            for (const auto& [k, c] : subs[i]) {
                const int idx =
                    static_cast<int>(std::find(present.begin(), present.end(), k) - present.begin());
                p.nu[i * G + idx] += c;
            }
        for (int k : present) {
            p.gR.push_back(d.groups.at(k).R);
            p.gQ.push_back(d.groups.at(k).Q);
        }
        p.amn.assign(static_cast<std::size_t>(G) * G, 0.0);
        for (int k = 0; k < G; ++k)
            for (int m = 0; m < G; ++m) {
                const int mk = d.groups.at(present[k]).main, mm = d.groups.at(present[m]).main;
                if (auto it = d.amn.find({mk, mm}); it != d.amn.end()) p.amn[k * G + m] = it->second;
            }
    }
    return p;
}

ActivityModel::ActivityModel(ActivityParams params, std::shared_ptr<const RegularModel> ref)
    : params_(std::move(params)), ref_(std::move(ref)) {
    if (!ref_ || ref_->size() != params_.n)
        throw Error("activity model: reference liquid does not match", kBadArgument);
}

bool ActivityModel::evaluate(double T, double P, const double* xin, Root root, int order,
                             PhaseProps& out) const {
    const int n = params_.n;
    // The vapour of an activity model is the ideal gas of model 1.
    if (root == Root::Vapour) return ref_->evaluate(T, P, xin, Root::Vapour, order, out);
    // Model 1's liquid supplies the reference parts: volume, latent heats.
    if (!ref_->evaluate(T, P, xin, Root::Liquid, order, out)) return false;
    thread_local std::vector<double> x, lng, dT, dn, dlnp;
    x.resize(n);
    double s = 0;
    for (int i = 0; i < n; ++i)
        s += xin[i];
    for (int i = 0; i < n; ++i)
        x[i] = xin[i] / s;
    lng.resize(n);
    dT.resize(n);
    dlnp.resize(n);
    dn.resize(static_cast<std::size_t>(n) * n);
    lnGamma(params_, T, x.data(), lng.data(), dT.data(), order >= 1 ? dn.data() : nullptr);
    const double lnP = std::log(P);
    double hE = 0; // excess enthalpy, J/mol
    for (int i = 0; i < n; ++i) {
        const double lnPs = ref_->lnPsat(i, T, &dlnp[i]);
        if (!std::isfinite(lng[i]) || !std::isfinite(lnPs)) return false;
        out.lnfx[i] = lng[i] + lnPs;
        out.lnphi[i] = out.lnfx[i] - lnP;
        hE -= kR * T * T * x[i] * dT[i];
    }
    // Enthalpy: model 1's pure liquids (ideal gas minus the latent heat)
    // without its regular-solution term, plus the excess enthalpy of this
    // model.  Entropy: the one that belongs to these fugacities,
    // T s_res = h_res - R T sum x_i ln phi_i, so that h - T s = sum x_i mu_i.
    out.hres += hE;
    double gres = 0;
    for (int i = 0; i < n; ++i)
        gres += x[i] * out.lnphi[i];
    out.sres = out.hres / T - kR * gres;
    if (order < 1) return true;
    for (int i = 0; i < n; ++i) {
        out.dlnphi_dT[i] = dT[i] + dlnp[i];
        out.dlnphi_dP[i] = -1.0 / P;
        for (int j = 0; j < n; ++j)
            out.dlnphi_dn[i * n + j] = dn[i * n + j];
    }
    // Temperature and composition derivatives of the excess enthalpy by
    // central differences (they feed the heat capacities and the property
    // derivatives of this liquid).
    auto excessEnthalpy = [&](double t, const double* xx) {
        thread_local std::vector<double> l2, d2;
        l2.resize(n);
        d2.resize(n);
        lnGamma(params_, t, xx, l2.data(), d2.data());
        double sx = 0, h = 0;
        for (int i = 0; i < n; ++i)
            sx += xx[i];
        for (int i = 0; i < n; ++i)
            h -= kR * t * t * xx[i] / sx * d2[i];
        return h;
    };
    const double hT = 1e-4 * T;
    const double dhEdT = (excessEnthalpy(T + hT, x.data()) - excessEnthalpy(T - hT, x.data())) / (2 * hT);
    out.dhres_dT += dhEdT;
    out.cpres += dhEdT;
    out.cvres += dhEdT;
    thread_local std::vector<double> xp;
    for (int m = 0; m < n; ++m) {
        xp = x;
        const double h = 1e-6;
        xp[m] += h;
        const double hp = excessEnthalpy(T, xp.data());
        xp[m] -= 2 * h;
        if (xp[m] < 0) {
            out.dhres_dx[m] += (hp - hE) / h;
        } else {
            out.dhres_dx[m] += (hp - excessEnthalpy(T, xp.data())) / (2 * h);
        }
    }
    // The entropy's derivatives follow from T s_res = h_res - R T sum x ln phi
    // (Gibbs-Duhem removes sum_i x_i d ln phi_i / d x_m).
    double gresT = 0;
    for (int i = 0; i < n; ++i)
        gresT += x[i] * out.dlnphi_dT[i];
    out.dsres_dT = out.dhres_dT / T - out.hres / (T * T) - kR * gresT;
    out.dsres_dP = out.dhres_dP / T + kR / P;
    for (int m = 0; m < n; ++m)
        out.dsres_dx[m] = out.dhres_dx[m] / T - kR * (out.lnphi[m] - gres);
    return true;
}

bool isActivityCode(int code) {
    return code == 10 || code == 11 || code == 12 || code == 130;
}

std::shared_ptr<const PhaseModel> buildActivityModel(int code, const ModelInputs& in) {
    if (!isActivityCode(code))
        throw Error("model " + std::to_string(code) + " is no activity model", kBadArgument);
    auto ref = std::dynamic_pointer_cast<const RegularModel>(buildPhaseModel(1, in));
    return std::make_shared<ActivityModel>(buildActivityParams(static_cast<ActivityKind>(code), in),
                                           std::move(ref));
}

} // namespace zpk::models
