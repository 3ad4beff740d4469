#include "models/gerg2008.h"
#include "core/data_files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "core/error.h"
#include "models/root_memory.h"
#include "thermo/evaluator.h"
#include "thermo/jet.h"
#include "thermo/separable_terms.h"

namespace zpk::models::gerg2008 {

namespace {

using J2 = thermo::Jet<2>; // variables: 0 = tau, 1 = delta
using J1 = thermo::Jet<1>; // delta at fixed tau

using thermo::PowerTerm;
using thermo::powerTerm;
using thermo::Reduced;
struct ExpTerm {
    double n, d, t, eta, eps, beta, gamma;
    double dd1, tt1; // d (d - 1), t (t - 1)
};

struct Fluid {
    std::int64_t cas = 0;
    std::string name;
    double M = 0, Tc = 0, rhoc = 0; // kg/mol, K, mol/m3
    double n3 = 0;
    double peN[4] = {0, 0, 0, 0}, peTheta[4] = {0, 0, 0, 0};
    bool ideal = false;
    std::vector<PowerTerm> terms;
};

struct Reducing {
    double bv = 1, gv = 1, bT = 1, gT = 1;
};

struct Departure {
    double F = 0;
    std::vector<PowerTerm> poly;
    std::vector<ExpTerm> ex;
};

struct Formulation {
    std::vector<Fluid> fluids;
    std::vector<Reducing> red; // [i * N + j], asymmetric
    std::vector<int> dep;      // [i * N + j] -> index into departures or -1
    std::vector<Departure> departures;
    std::map<std::int64_t, int> byCas;
    std::string error;
    int N() const { return static_cast<int>(fluids.size()); }
};

std::int64_t parseCas(const std::string& s) {
    std::int64_t v = 0;
    int digits = 0;
    for (char ch : s) {
        if (ch == '-') continue;
        if (ch < '0' || ch > '9') return -1;
        v = v * 10 + (ch - '0');
        ++digits;
    }
    return digits ? v : -1;
}

// Reads the records of one file: kind, CAS numbers, then numbers.
template <class Handle>
void readFile(Formulation& f, const std::string& file, int casCount, bool hasKind, Handle handle) {
    if (!f.error.empty()) return;
    std::ifstream in = openDataFile(file);
    if (!in) {
        f.error = "the GERG-2008 coefficient file " + file + " was not found";
        return;
    }
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line) && f.error.empty()) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        std::istringstream ls(line);
        std::string kind, word;
        if (hasKind)
            ls >> kind;
        else
            kind = "pair";
        std::vector<std::int64_t> cas;
        for (int k = 0; k < casCount && ls >> word; ++k)
            cas.push_back(parseCas(word));
        std::string name;
        if (kind == "fluid") ls >> name;
        std::vector<double> v;
        for (double x; ls >> x;)
            v.push_back(x);
        std::string why;
        if (static_cast<int>(cas.size()) != casCount ||
            std::any_of(cas.begin(), cas.end(), [](std::int64_t c) { return c <= 0; }))
            why = "bad CAS number";
        else
            why = handle(kind, cas, name, v);
        if (!why.empty()) f.error = file + " line " + std::to_string(lineNo) + ": " + why;
    }
}

Formulation load() {
    Formulation f;
    readFile(f, "gerg2008_pure.tsv", 1, true,
             [&](const std::string& kind, const std::vector<std::int64_t>& cas, const std::string& name,
                 const std::vector<double>& v) -> std::string {
                 if (kind == "fluid") {
                     if (v.size() != 3) return "expected 3 numbers";
                     if (f.byCas.count(cas[0])) return "duplicate fluid";
                     Fluid fl;
                     fl.cas = cas[0];
                     fl.name = name;
                     fl.M = v[0], fl.Tc = v[1], fl.rhoc = v[2];
                     if (!(fl.M > 0 && fl.Tc > 0 && fl.rhoc > 0)) return "non-positive constant";
                     f.byCas[cas[0]] = f.N();
                     f.fluids.push_back(fl);
                     return {};
                 }
                 auto it = f.byCas.find(cas[0]);
                 if (it == f.byCas.end()) return "fluid not declared before its terms";
                 Fluid& fl = f.fluids[it->second];
                 if (kind == "ideal") {
                     if (v.size() != 9) return "expected 9 numbers";
                     fl.n3 = v[0];
                     for (int k = 0; k < 4; ++k)
                         fl.peN[k] = v[1 + 2 * k], fl.peTheta[k] = v[2 + 2 * k];
                     fl.ideal = true;
                     return {};
                 }
                 if (kind == "term") {
                     if (v.size() != 4) return "expected 4 numbers";
                     fl.terms.push_back(powerTerm(v[0], v[1], v[2], static_cast<int>(v[3])));
                     return {};
                 }
                 return "unknown record " + kind;
             });
    const int N = f.N();
    f.red.assign(static_cast<std::size_t>(N) * N, Reducing{});
    f.dep.assign(static_cast<std::size_t>(N) * N, -1);
    auto pairIndex = [&](const std::vector<std::int64_t>& cas, int& i, int& j) {
        auto a = f.byCas.find(cas[0]), b = f.byCas.find(cas[1]);
        if (a == f.byCas.end() || b == f.byCas.end() || a->second == b->second) return false;
        i = a->second, j = b->second;
        return true;
    };
    readFile(f, "gerg2008_binary.tsv", 2, false,
             [&](const std::string&, const std::vector<std::int64_t>& cas, const std::string&,
                 const std::vector<double>& v) -> std::string {
                 int i, j;
                 if (!pairIndex(cas, i, j)) return "unknown pair";
                 if (v.size() != 4) return "expected 4 numbers";
                 if (!(v[0] > 0 && v[2] > 0)) return "non-positive beta";
                 f.red[i * N + j] = {v[0], v[1], v[2], v[3]};
                 f.red[j * N + i] = {1 / v[0], v[1], 1 / v[2], v[3]};
                 return {};
             });
    readFile(f, "gerg2008_departure.tsv", 2, true,
             [&](const std::string& kind, const std::vector<std::int64_t>& cas, const std::string&,
                 const std::vector<double>& v) -> std::string {
                 int i, j;
                 if (!pairIndex(cas, i, j)) return "unknown pair";
                 int& slot = f.dep[i * N + j];
                 if (kind == "pair") {
                     if (v.size() != 1) return "expected 1 number";
                     if (slot >= 0) return "duplicate pair";
                     slot = f.dep[j * N + i] = static_cast<int>(f.departures.size());
                     f.departures.push_back({v[0], {}, {}});
                     return {};
                 }
                 if (slot < 0) return "pair not declared before its terms";
                 Departure& d = f.departures[slot];
                 if (kind == "poly") {
                     if (v.size() != 3) return "expected 3 numbers";
                     d.poly.push_back(powerTerm(v[0], v[1], v[2], 0));
                     return {};
                 }
                 if (kind == "exp") {
                     if (v.size() != 7) return "expected 7 numbers";
                     d.ex.push_back(
                         {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[1] * (v[1] - 1), v[2] * (v[2] - 1)});
                     return {};
                 }
                 return "unknown record " + kind;
             });
    if (f.error.empty()) {
        if (f.fluids.empty()) f.error = "gerg2008_pure.tsv holds no fluids";
        for (const Fluid& fl : f.fluids)
            if (fl.terms.empty() || !fl.ideal) f.error = "gerg2008_pure.tsv is incomplete for " + fl.name;
    }
    return f;
}

const Formulation& formulation() {
    static const Formulation f = load();
    if (!f.error.empty()) throw Error(f.error, kCalculation);
    return f;
}

// ---------------------------------------------------------------------------
// Terms in (tau, delta).

// Each term is n exp(A) with an exponent that separates in tau and delta
// (thermo::TauDeltaSum): value and derivatives up to second order in
// closed form, one exp per term.

// The sums as a jet: J2 over (tau, delta), or J1 over delta alone.
template <bool WithTau> auto jetOf(const thermo::TauDeltaSum& s) {
    if constexpr (WithTau) {
        J2 j(s.v);
        j.g = {s.t, s.d};
        j.h = {s.tt, s.td, s.td, s.dd};
        return j;
    } else {
        J1 j(s.v);
        j.g = {s.d};
        j.h = {s.dd};
        return j;
    }
}

template <bool WithTau = true> auto pureAlpha(const Fluid& fl, const Reduced& r) {
    thermo::TauDeltaSum s;
    for (const auto& t : fl.terms)
        thermo::addPower<WithTau>(s, t, r);
    return jetOf<WithTau>(s);
}

// Departure function: polynomial terms and terms
// n delta^d tau^t exp(-eta (delta - eps)^2 - beta (delta - gamma)).
template <bool WithTau = true> auto departureAlpha(const Departure& d, const Reduced& r) {
    thermo::TauDeltaSum s;
    for (const auto& t : d.poly)
        thermo::addPower<WithTau>(s, t, r);
    for (const auto& t : d.ex) {
        const double de = r.delta - t.eps;
        const double A = t.d * r.ld + t.t * r.lt - t.eta * de * de - t.beta * (r.delta - t.gamma);
        thermo::ExponentPart pt{};
        if constexpr (WithTau) pt = thermo::exponentPart(t.t, t.tt1, r.it, r.it2);
        const thermo::ExponentPart pd =
            thermo::exponentPart(t.d, t.dd1, r.id, r.id2, -2 * t.eta * de - t.beta, -2 * t.eta);
        s.addTerm<WithTau>(t.n * std::exp(A), pt, pd);
    }
    return jetOf<WithTau>(s);
}

// alpha_r of composition x at (tau, delta) as a jet, composition fixed: J2
// over (tau, delta), or with WithTau false J1 over delta alone at fixed tau
// (the volume solver; the same arithmetic as the delta components of J2).
template <bool WithTau = true>
auto mixtureAlpha(const Formulation& f, const std::vector<int>& comp, const double* x, double tau,
                  double delta) {
    using J = std::conditional_t<WithTau, J2, J1>;
    const Reduced r(tau, delta);
    const int n = static_cast<int>(comp.size());
    J sum(0.0);
    for (int i = 0; i < n; ++i)
        if (x[i] != 0) sum = sum + x[i] * pureAlpha<WithTau>(f.fluids[comp[i]], r);
    const int N = f.N();
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const int k = f.dep[comp[i] * N + comp[j]];
            if (k < 0 || x[i] == 0 || x[j] == 0) continue;
            const Departure& dp = f.departures[k];
            sum = sum + (x[i] * x[j] * dp.F) * departureAlpha<WithTau>(dp, r);
        }
    return sum;
}

// (ρc_i^-1/3 + ρc_j^-1/3)^3 / 8 and sqrt(Tc_i Tc_j).
double volumeMean(const Fluid& a, const Fluid& b) {
    const double s = std::cbrt(1 / a.rhoc) + std::cbrt(1 / b.rhoc);
    return s * s * s / 8;
}
double temperatureMean(const Fluid& a, const Fluid& b) {
    return std::sqrt(a.Tc * b.Tc);
}

void reducingValues(const Formulation& f, const std::vector<int>& comp, const double* x, double& Tr,
                    double& rhor) {
    const int n = static_cast<int>(comp.size()), N = f.N();
    double T = 0, v = 0;
    for (int i = 0; i < n; ++i) {
        const Fluid& a = f.fluids[comp[i]];
        T += x[i] * x[i] * a.Tc;
        v += x[i] * x[i] / a.rhoc;
        for (int j = i + 1; j < n; ++j) {
            if (x[i] == 0 && x[j] == 0) continue;
            const Fluid& b = f.fluids[comp[j]];
            const Reducing& r = f.red[comp[i] * N + comp[j]];
            const double xx = 2 * x[i] * x[j] * (x[i] + x[j]);
            T += xx * r.bT * r.gT / (r.bT * r.bT * x[i] + x[j]) * temperatureMean(a, b);
            v += xx * r.bv * r.gv / (r.bv * r.bv * x[i] + x[j]) * volumeMean(a, b);
        }
    }
    Tr = T;
    rhor = 1 / v;
}

// ---------------------------------------------------------------------------
// Dynamic second-order jet in K variables (T, V, n_1..n_N).

// Whether the jets of the calling thread carry second derivatives (set for
// one residual evaluation; fugacities alone need first derivatives only).
thread_local bool tSecondOrder = true;

struct DJet {
    double v = 0;
    std::vector<double> g, h; // h empty: first order only
    DJet() = default;
    DJet(int K, double value)
        : v(value), g(K, 0.0), h(tSecondOrder ? static_cast<std::size_t>(K) * K : 0, 0.0) {}
    int K() const { return static_cast<int>(g.size()); }
};

DJet seedD(int K, double value, int k) {
    DJet r(K, value);
    r.g[k] = 1;
    return r;
}
DJet add(const DJet& a, const DJet& b, double sb = 1.0) {
    DJet r = a;
    r.v += sb * b.v;
    for (std::size_t i = 0; i < r.g.size(); ++i)
        r.g[i] += sb * b.g[i];
    for (std::size_t i = 0; i < r.h.size(); ++i)
        r.h[i] += sb * b.h[i];
    return r;
}
void scaleInPlace(DJet& a, double s) {
    a.v *= s;
    for (double& q : a.g)
        q *= s;
    for (double& q : a.h)
        q *= s;
}
DJet mul(const DJet& a, const DJet& b) {
    const int K = a.K();
    DJet r(K, a.v * b.v);
    for (int i = 0; i < K; ++i)
        r.g[i] = a.v * b.g[i] + b.v * a.g[i];
    if (r.h.empty()) return r;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const std::size_t ij = static_cast<std::size_t>(i) * K + j;
            r.h[ij] = a.v * b.h[ij] + b.v * a.h[ij] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
        }
    return r;
}
// f(a) with value f0 and derivatives f1, f2.
DJet chain1(const DJet& a, double f0, double f1, double f2) {
    const int K = a.K();
    DJet r(K, f0);
    for (int i = 0; i < K; ++i)
        r.g[i] = f1 * a.g[i];
    if (r.h.empty()) return r;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const std::size_t ij = static_cast<std::size_t>(i) * K + j;
            r.h[ij] = f1 * a.h[ij] + f2 * a.g[i] * a.g[j];
        }
    return r;
}
DJet inverse(const DJet& a) {
    const double inv = 1 / a.v;
    return chain1(a, inv, -inv * inv, 2 * inv * inv * inv);
}
DJet divide(const DJet& a, const DJet& b) {
    return mul(a, inverse(b));
}
// f(tau, delta) given as a (tau, delta) jet, composed with tau and delta.
DJet chain2(const J2& f, const DJet& tau, const DJet& delta) {
    const int K = tau.K();
    const double ft = f.d(0), fd = f.d(1), ftt = f.d2(0, 0), ftd = f.d2(0, 1), fdd = f.d2(1, 1);
    DJet r(K, f.v);
    for (int i = 0; i < K; ++i)
        r.g[i] = ft * tau.g[i] + fd * delta.g[i];
    if (r.h.empty()) return r;
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) {
            const std::size_t ij = static_cast<std::size_t>(i) * K + j;
            r.h[ij] = ft * tau.h[ij] + fd * delta.h[ij] + ftt * tau.g[i] * tau.g[j] +
                      ftd * (tau.g[i] * delta.g[j] + delta.g[i] * tau.g[j]) + fdd * delta.g[i] * delta.g[j];
        }
    return r;
}

// x_i x_j (x_i + x_j) / (beta^2 x_i + x_j) as a jet in (x_i, x_j); with both
// fractions zero the quotient takes its limit along x_i = x_j, 2 / (1 + beta^2),
// so that the mixed second derivative stays finite.
J2 pairFunction(double xi, double xj, double beta) {
    const J2 a = J2::seed(xi, 0), b = J2::seed(xj, 1);
    if (xi == 0 && xj == 0) return a * b * (2 / (beta * beta + 1));
    return a * b * (a + b) / (beta * beta * a + b);
}

// Y(x(T, V, n)) from Y's value, gradient and Hessian (row-major) in the
// fractions and the fraction jets.
DJet fromFractions(const std::vector<DJet>& x, double v, const std::vector<double>& gr,
                   const std::vector<double>& he) {
    const int n = static_cast<int>(x.size()), K = x[0].K();
    DJet r(K, v);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < K; ++k)
            r.g[k] += gr[i] * x[i].g[k];
    if (r.h.empty()) return r;
    thread_local std::vector<double> w;
    for (int i = 0; i < n; ++i) {
        for (std::size_t k = 0; k < r.h.size(); ++k)
            r.h[k] += gr[i] * x[i].h[k];
        // w = sum_j Y_ij grad x_j; h += grad x_i w^T.
        w.assign(K, 0.0);
        for (int j = 0; j < n; ++j) {
            const double c = he[static_cast<std::size_t>(i) * n + j];
            if (c != 0)
                for (int k = 0; k < K; ++k)
                    w[k] += c * x[j].g[k];
        }
        for (int a = 0; a < K; ++a)
            for (int b = 0; b < K; ++b)
                r.h[static_cast<std::size_t>(a) * K + b] += x[i].g[a] * w[b];
    }
    return r;
}

} // namespace

int componentOf(std::int64_t cas) {
    const Formulation& f = formulation();
    auto it = f.byCas.find(cas);
    return it == f.byCas.end() ? -1 : it->second;
}

int componentCount() {
    return formulation().N();
}

void reducing(const std::vector<int>& comp, const double* x, double& Tr, double& rhor) {
    reducingValues(formulation(), comp, x, Tr, rhor);
}

double idealCp(int c, double T) {
    const Fluid& fl = formulation().fluids.at(static_cast<std::size_t>(c));
    const double tau = fl.Tc / T;
    double cv = fl.n3;
    for (int k = 0; k < 4; ++k) {
        const double u = fl.peTheta[k] * tau;
        if (u == 0) continue;
        // Terms 0 and 2 are ln|sinh|, 1 and 3 are -ln cosh.
        const double q = (k % 2 == 0) ? u / std::sinh(u) : u / std::cosh(u);
        cv += fl.peN[k] * q * q;
    }
    return kRStar * cv + kRGerg;
}

namespace {
// ln sinh u and ln cosh u for u >= 0 without overflow.
double logSinh(double u) {
    return u + std::log1p(-std::exp(-2 * u)) - std::log(2.0);
}
double logCosh(double u) {
    return u + std::log1p(std::exp(-2 * u)) - std::log(2.0);
}
} // namespace

// Integrals of cp0 = R + R* (n3 + sum ...): with u = theta / T, a sinh term
// contributes R* n theta coth u to h and R* n (u coth u - ln sinh u) to s, a
// cosh term -R* n theta tanh u and R* n (ln cosh u - u tanh u) (all even in
// theta).
double idealH(int c, double T) {
    const Fluid& fl = formulation().fluids.at(static_cast<std::size_t>(c));
    double h = (kRGerg + kRStar * fl.n3) * T;
    for (int k = 0; k < 4; ++k) {
        const double theta = std::fabs(fl.peTheta[k] * fl.Tc), u = theta / T;
        if (u == 0) continue;
        h += kRStar * fl.peN[k] * theta * ((k % 2 == 0) ? 1 / std::tanh(u) : -std::tanh(u));
    }
    return h;
}

double idealS(int c, double T) {
    const Fluid& fl = formulation().fluids.at(static_cast<std::size_t>(c));
    double s = (kRGerg + kRStar * fl.n3) * std::log(T);
    for (int k = 0; k < 4; ++k) {
        const double u = std::fabs(fl.peTheta[k] * fl.Tc) / T;
        if (u == 0) continue;
        s += kRStar * fl.peN[k] *
             ((k % 2 == 0) ? u / std::tanh(u) - logSinh(u) : logCosh(u) - u * std::tanh(u));
    }
    return s;
}

double molarMass(int c) {
    return 1e3 * formulation().fluids.at(static_cast<std::size_t>(c)).M;
}

GasConstantTerm gasConstantTerm(double T, double V, double n) {
    const double r = kRGerg / kR, e = r - 1;
    GasConstantTerm q;
    q.F_i = e * std::log(n * kRGerg * T / (V * kP0)) + std::log(r);
    q.F = n * (q.F_i - e);
    q.F_T = n * e / T;
    q.F_V = -n * e / V;
    q.F_TT = -n * e / (T * T);
    q.F_VV = n * e / (V * V);
    q.F_iT = e / T;
    q.F_iV = -e / V;
    q.F_ij = e / n;
    return q;
}

DeltaTerms alphaInDelta(const std::vector<int>& comp, const double* x, double T, double rho) {
    const Formulation& f = formulation();
    double Tr, rhor;
    reducingValues(f, comp, x, Tr, rhor);
    const J1 a = mixtureAlpha<false>(f, comp, x, Tr / T, rho / rhor);
    return {a.v, a.d(0), a.d2(0, 0)};
}

State stateTRho(const std::vector<int>& comp, const double* x, double T, double rho) {
    const Formulation& f = formulation();
    double Tr, rhor;
    reducingValues(f, comp, x, Tr, rhor);
    const double tau = Tr / T, delta = rho / rhor;
    const J2 a = mixtureAlpha(f, comp, x, tau, delta);
    const double at = a.d(0), ad = a.d(1), att = a.d2(0, 0), adt = a.d2(0, 1), add2 = a.d2(1, 1);
    const double R = kRGerg;
    State s;
    s.alphar = a.v;
    s.P = rho * R * T * (1 + delta * ad);
    s.Z = 1 + delta * ad;
    s.dPdrho = R * T * (1 + 2 * delta * ad + delta * delta * add2);
    s.dPdT = rho * R * (1 + delta * ad - delta * tau * adt);
    double cv0 = 0, M = 0;
    for (std::size_t i = 0; i < comp.size(); ++i) {
        cv0 += x[i] * (idealCp(comp[i], T) - kRGerg);
        M += x[i] * f.fluids[comp[i]].M;
    }
    s.cv = cv0 - R * tau * tau * att;
    s.cp = s.cv + T * s.dPdT * s.dPdT / (rho * rho * s.dPdrho);
    const double w2 = s.cp / s.cv * s.dPdrho / M;
    s.w = w2 > 0 ? std::sqrt(w2) : kNaN;
    s.hres = R * T * (tau * at + delta * ad);
    s.sres = R * (tau * at - a.v);
    return s;
}

} // namespace zpk::models::gerg2008

namespace zpk::models {

namespace g = gerg2008;
using J2 = thermo::Jet<2>;

double Gerg2008IdealGas::molarMass(int i) const {
    return g::molarMass(comp_[i]);
}
double Gerg2008IdealGas::cp(int i, double T) const {
    return g::idealCp(comp_[i], T);
}
double Gerg2008IdealGas::deltaH(int i, double T0, double T) const {
    return g::idealH(comp_[i], T) - g::idealH(comp_[i], T0);
}
double Gerg2008IdealGas::deltaS(int i, double T0, double T) const {
    return g::idealS(comp_[i], T) - g::idealS(comp_[i], T0);
}

Gerg2008Model::Gerg2008Model(const std::vector<std::int64_t>& cas) {
    // Identifies this model in the per-thread root memory (addresses are reused).
    static std::atomic<std::uint64_t> counter{0};
    id_ = ++counter;
    for (std::int64_t c : cas) {
        const int k = g::componentOf(c);
        if (k < 0)
            throw Error("model 315 (GERG-2008) does not cover the component with CAS number " +
                            std::to_string(c),
                        kBadArgument);
        comp_.push_back(k);
    }
    if (comp_.empty()) throw Error("model 315 (GERG-2008) needs at least one component", kBadArgument);
    ideal_ = Gerg2008IdealGas(comp_);
}

bool Gerg2008Model::residualDerivatives(double T, double V, const double* nin, int order,
                                        ResidualDerivs& d) const {
    if (!(T > 0) || !(V > 0)) return false;
    // Order 0 needs F and its first derivatives only (what lnphi, hres and
    // sres use): the jets then skip their Hessians.
    struct SecondOrder {
        bool saved = g::tSecondOrder;
        ~SecondOrder() { g::tSecondOrder = saved; }
    } restore;
    g::tSecondOrder = order >= 1;
    const g::Formulation& f = g::formulation();
    const int n = size(), K = n + 2, N = f.N();
    double total = 0;
    for (int i = 0; i < n; ++i) {
        if (!(nin[i] >= 0) || !std::isfinite(nin[i])) return false;
        total += nin[i];
    }
    if (!(total > 0)) return false;
    const g::DJet Tj = g::seedD(K, T, 0), Vj = g::seedD(K, V, 1);
    std::vector<g::DJet> x(n);
    g::DJet ntot(K, 0.0);
    for (int i = 0; i < n; ++i) {
        x[i] = g::seedD(K, nin[i], 2 + i);
        ntot.v += nin[i];
        ntot.g[2 + i] = 1;
    }
    const g::DJet invN = g::inverse(ntot);
    for (int i = 0; i < n; ++i)
        x[i] = g::mul(x[i], invN);
    // Reducing functions: value, gradient and Hessian in the mole fractions
    // (each pair term depends on two fractions only), then carried to (T, V,
    // n) through the fraction jets.
    thread_local std::vector<double> xv, tg, th, vg, vh;
    xv.resize(n);
    for (int i = 0; i < n; ++i)
        xv[i] = x[i].v;
    const std::size_t nn = static_cast<std::size_t>(n) * n;
    double tv = 0, vv = 0;
    tg.assign(n, 0.0);
    vg.assign(n, 0.0);
    th.assign(nn, 0.0);
    vh.assign(nn, 0.0);
    for (int i = 0; i < n; ++i) {
        const g::Fluid& a = f.fluids[comp_[i]];
        tv += xv[i] * xv[i] * a.Tc;
        vv += xv[i] * xv[i] / a.rhoc;
        tg[i] += 2 * xv[i] * a.Tc;
        vg[i] += 2 * xv[i] / a.rhoc;
        th[i * n + i] += 2 * a.Tc;
        vh[i * n + i] += 2 / a.rhoc;
        for (int j = i + 1; j < n; ++j) {
            const g::Fluid& b = f.fluids[comp_[j]];
            const g::Reducing& r = f.red[comp_[i] * N + comp_[j]];
            auto addPair = [&](double beta, double c, double& v, std::vector<double>& gr,
                               std::vector<double>& he) {
                const J2 p = g::pairFunction(xv[i], xv[j], beta);
                v += c * p.v;
                gr[i] += c * p.d(0);
                gr[j] += c * p.d(1);
                he[i * n + i] += c * p.d2(0, 0);
                he[j * n + j] += c * p.d2(1, 1);
                he[i * n + j] += c * p.d2(0, 1);
                he[j * n + i] += c * p.d2(0, 1);
            };
            addPair(r.bT, 2 * r.bT * r.gT * g::temperatureMean(a, b), tv, tg, th);
            addPair(r.bv, 2 * r.bv * r.gv * g::volumeMean(a, b), vv, vg, vh);
        }
    }
    const g::DJet Tr = g::fromFractions(x, tv, tg, th);
    const g::DJet vr = g::fromFractions(x, vv, vg, vh);
    // delta = (n / V) v_r, tau = T_r / T.
    const g::DJet delta = g::divide(g::mul(ntot, vr), Vj);
    const g::DJet tau = g::divide(Tr, Tj);
    if (!(delta.v > 0) || !(tau.v > 0)) return false;
    const thermo::Reduced r(tau.v, delta.v);
    g::DJet alpha(K, 0.0);
    for (int i = 0; i < n; ++i)
        alpha = g::add(alpha, g::mul(x[i], g::chain2(g::pureAlpha(f.fluids[comp_[i]], r), tau, delta)));
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j) {
            const int k = f.dep[comp_[i] * N + comp_[j]];
            if (k < 0) continue;
            const g::Departure& dp = f.departures[k];
            alpha = g::add(alpha, g::mul(g::mul(x[i], x[j]), g::chain2(g::departureAlpha(dp, r), tau, delta)),
                           dp.F);
        }
    g::DJet F = g::mul(ntot, alpha);
    g::scaleInPlace(F, g::kRGerg / kR);
    if (!std::isfinite(F.v)) return false;
    d.F = F.v;
    d.F_T = F.g[0];
    d.F_V = F.g[1];
    d.F_i.resize(n);
    for (int i = 0; i < n; ++i)
        d.F_i[i] = F.g[2 + i];
    const g::GasConstantTerm q = g::gasConstantTerm(T, V, total);
    d.F += q.F;
    d.F_T += q.F_T;
    d.F_V += q.F_V;
    for (int i = 0; i < n; ++i)
        d.F_i[i] += q.F_i;
    if (F.h.empty()) return true;
    auto H = [&](int a, int b) { return F.h[static_cast<std::size_t>(a) * K + b]; };
    d.F_TT = H(0, 0) + q.F_TT;
    d.F_TV = H(0, 1);
    d.F_VV = H(1, 1) + q.F_VV;
    d.F_iT.resize(n);
    d.F_iV.resize(n);
    d.F_ij.resize(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i) {
        d.F_iT[i] = H(2 + i, 0) + q.F_iT;
        d.F_iV[i] = H(2 + i, 1) + q.F_iV;
        for (int j = 0; j < n; ++j)
            d.F_ij[static_cast<std::size_t>(i) * n + j] = 0.5 * (H(2 + i, 2 + j) + H(2 + j, 2 + i)) + q.F_ij;
    }
    return true;
}

double Gerg2008Model::volumeScale(const double* x) const {
    std::vector<double> y(x, x + size());
    double s = 0;
    for (double q : y)
        s += q;
    if (!(s > 0)) return kNaN;
    for (double& q : y)
        q /= s;
    double Tr, rhor;
    g::reducing(comp_, y.data(), Tr, rhor);
    // About the co-volume of a cubic: a quarter of the critical volume.
    return 0.27 / rhor;
}

namespace {

struct Isotherm {
    const g::Formulation& f;
    const std::vector<int>& comp;
    const double* x;
    double T, Tr, rhor;
    struct PD {
        double p, dp;
    };
    // Engine pressure and its density derivative at rho.
    PD at(double rho) const {
        const auto a = g::mixtureAlpha<false>(f, comp, x, Tr / T, rho / rhor);
        const double delta = rho / rhor, ad = a.d(0), add2 = a.d2(0, 0);
        return {rho * T * g::kRGerg * (1 + delta * ad),
                T * g::kRGerg * (1 + 2 * delta * ad + delta * delta * add2)};
    }
    double tol(double P, double rho) const { return 1e-13 * P + 1e-14 * rho * kR * T * 10; }

    // Root on a mechanically stable branch.  `up`: the vapour branch, walked
    // up from low density; otherwise the liquid branch, walked down from a
    // compressed state.  Points with dp/drho <= 0 belong to the far side of
    // the spinodal: the walk stops there (no root on this branch) or the
    // bracket treats them as outside.
    bool solve(double P, bool up, double& rho) const {
        double x0;
        double lo = 0, hi = 0; // bracket: p(lo) < P < p(hi), both stable
        bool haveLo = up, haveHi = false;
        if (up) {
            x0 = std::min(P / (g::kRGerg * T), 0.1 * rhor);
        } else {
            x0 = 3.0 * rhor;
            for (int k = 0;; ++k) {
                const PD q = at(x0);
                if (std::isfinite(q.p) && q.p > P && q.dp > 0) break;
                if (k > 20) return false;
                x0 *= 1.1;
            }
        }
        double xk = x0;
        for (int it = 0; it < 300; ++it) {
            const PD q = at(xk);
            if (!std::isfinite(q.p)) return false;
            const double r = q.p - P;
            const bool stable = q.dp > 0;
            if (stable && std::fabs(r) <= tol(P, xk)) {
                rho = xk;
                return true;
            }
            if (!stable) {
                if (up) {
                    if (r < 0 && !haveHi) return false; // spinodal before reaching P
                    hi = xk, haveHi = true;
                } else {
                    if (r > 0 && !haveLo) return false;
                    lo = xk, haveLo = true;
                }
            } else if (r < 0) {
                lo = xk, haveLo = true;
            } else {
                hi = xk, haveHi = true;
            }
            double xn = stable ? xk - r / q.dp : 0.5 * (lo + hi);
            if (haveLo && haveHi) {
                if (!(xn > lo && xn < hi)) xn = 0.5 * (lo + hi);
                if (hi - lo <= 1e-15 * hi) {
                    rho = xk;
                    return stable && std::fabs(r) <= 1e-9 * P;
                }
            } else if (up) {
                xn = std::min(xn, 1.3 * xk);
                if (xk > 10 * rhor) return false;
            } else {
                xn = std::max(xn, 0.8 * xk);
                if (!(xn > 0)) return false;
            }
            xk = xn;
        }
        return false;
    }
};

} // namespace

double Gerg2008Model::pressure(double T, double V, const double* xin) const {
    const g::Formulation& f = g::formulation();
    std::vector<double> x(xin, xin + size());
    double s = 0;
    for (double q : x)
        s += q;
    for (double& q : x)
        q /= s;
    Isotherm iso{f, comp_, x.data(), T, 0, 0};
    g::reducingValues(f, comp_, x.data(), iso.Tr, iso.rhor);
    return iso.at(1 / V).p;
}

bool Gerg2008Model::volume(double T, double P, const double* x, Root root, double& V,
                           bool& liquidLike) const {
    if (!(T > 0) || !(P > 0) || !std::isfinite(T) || !std::isfinite(P)) return false;
    thread_local RootMemory<4> memory;
    const int n = size();
    if (memory.find(id_, T, P, root, x, n, V, liquidLike)) return true;
    if (!solveVolume(T, P, x, root, V, liquidLike)) return false;
    memory.store(id_, T, P, root, x, n, V, liquidLike);
    return true;
}

bool Gerg2008Model::solveVolume(double T, double P, const double* x, Root root, double& V,
                                bool& liquidLike) const {
    const g::Formulation& f = g::formulation();
    Isotherm iso{f, comp_, x, T, 0, 0};
    g::reducingValues(f, comp_, x, iso.Tr, iso.rhor);
    double rv = 0, rl = 0;
    const bool hasV = iso.solve(P, true, rv);
    const bool hasL = iso.solve(P, false, rl);
    if (!hasV && !hasL) return false;
    const bool single = !hasV || !hasL || std::fabs(rl - rv) <= 1e-9 * rl;
    double rho;
    if (single) {
        rho = hasV ? rv : rl;
        if (hasV && hasL) rho = 0.5 * (rv + rl);
        // One root: liquid-like when denser than the reducing density and
        // colder than the reducing temperature.
        liquidLike = rho > iso.rhor && T < iso.Tr;
        if (hasV && !hasL) liquidLike = false;
        if (hasL && !hasV) liquidLike = true;
    } else if (root == Root::Liquid) {
        rho = rl, liquidLike = true;
    } else if (root == Root::Vapour) {
        rho = rv, liquidLike = false;
    } else {
        // Lower residual Gibbs energy per mole: alpha_r + Z - 1 - ln Z.
        auto gres = [&](double r) {
            const auto a = g::mixtureAlpha<false>(f, comp_, x, iso.Tr / T, r / iso.rhor);
            const double z = P / (r * g::kRGerg * T);
            return a.v + z - 1 - std::log(z);
        };
        liquidLike = gres(rl) < gres(rv);
        rho = liquidLike ? rl : rv;
    }
    V = 1 / rho;
    return true;
}

bool Gerg2008Model::evaluate(double T, double P, const double* xin, Root root, int order,
                             PhaseProps& out) const {
    if (!(T > 0) || !(P > 0)) return false;
    const int n = size();
    thread_local std::vector<double> x;
    x.assign(xin, xin + n);
    double s = 0;
    for (double q : x)
        s += q;
    if (!(s > 0) || !std::isfinite(s)) return false;
    for (double& q : x)
        q /= s;
    double V;
    bool liquidLike;
    if (!volume(T, P, x.data(), root, V, liquidLike)) return false;
    thread_local ResidualDerivs d;
    if (!residualDerivatives(T, V, x.data(), order, d)) return false;
    thermo::propsFromResidual(T, P, V, x.data(), n, d, order, out);
    out.kind = liquidLike ? kLiquid : kVapour;
    return std::isfinite(out.v) && std::isfinite(out.hres);
}

} // namespace zpk::models
