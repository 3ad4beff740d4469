#include "models/bwrs.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

#include "models/factory.h"

namespace zpk::models {

namespace {

// Starling & Han generalised correlations (Starling 1973, "Fluid
// Thermodynamic Properties for Light Petroleum Systems"): A_j + B_j omega
// gives each parameter reduced by the critical density and temperature.
constexpr double kA[11] = {0.443690,  1.28438,  0.356306,  0.544979,  0.528629, 0.484011,
                           0.0705233, 0.504087, 0.0307452, 0.0732828, 0.006450};
constexpr double kB[11] = {0.115449,  -0.920731, 1.70871,  -0.270896, 0.349261, 0.754130,
                           -0.044448, 1.32245,   0.179433, 0.463492,  -0.022143};

// Jet variables: T, V, then the mixing quantities in this order.
enum Quantity { qN, qB0, qA0, qC0, qD0, qE0, qGamma, qb, qa, qAlpha, qc, qd, kQuantities };

// Reduced residual Helmholtz energy: the integral of (Z - 1) / rho over the
// molar density rho = N / V of Starling's equation
//   Z = 1 + (B0 - A0/RT - C0/RT^3 + D0/RT^4 - E0/RT^5) rho + (b - a/RT - d/RT^2) rho^2
//         + alpha (a + d/T) rho^5 / RT + c rho^2 / (R T^3) (1 + gamma rho^2) exp(-gamma rho^2),
// with the mixture parameters from sums over the mole numbers.
template <class S> S bwrsCore(const S& T, const S& V, const S* Q) {
    using thermo::exp;
    const S& N = Q[qN];
    const S iN = 1.0 / N;
    const S iN2 = iN * iN;
    auto cube = [](const S& s) { return s * s * s; };
    const S B0 = Q[qB0] * iN;
    const S A0 = Q[qA0] * iN2, C0 = Q[qC0] * iN2, D0 = Q[qD0] * iN2, E0 = Q[qE0] * iN2;
    const S gs = Q[qGamma] * iN;
    const S gamma = gs * gs;
    const S b = cube(Q[qb] * iN), a = cube(Q[qa] * iN), alpha = cube(Q[qAlpha] * iN);
    const S c = cube(Q[qc] * iN), d = cube(Q[qd] * iN);
    const S RT = kR * T;
    const S iT = 1.0 / T;
    const S iT2 = iT * iT;
    const S rho = N / V;
    const S rho2 = rho * rho;
    const S rho5 = rho2 * rho2 * rho;
    const S second = B0 - (A0 + (C0 - (D0 - E0 * iT) * iT) * iT2) / RT;
    const S third = b - (a + d * iT) / RT;
    const S sixth = alpha * (a + d * iT) / RT;
    const S e = exp(-gamma * rho2);
    const S last = c * iT2 / (RT * gamma) * (1.0 - (1.0 + 0.5 * gamma * rho2) * e);
    return N * (second * rho + 0.5 * third * rho2 + 0.2 * sixth * rho5 + last);
}

double lkCriticalVolume(const PureConstants& p) {
    return (0.2905 - 0.085 * p.omega) * kR * p.tc / p.pc;
}

} // namespace

BwrsPure BwrsModel::generalised(double tc, double vc, double w) {
    auto f = [&](int j) { return kA[j - 1] + kB[j - 1] * w; };
    const double R = kR, v2 = vc * vc;
    BwrsPure p;
    p.B0 = f(1) * vc;
    p.A0 = f(2) * R * tc * vc;
    p.C0 = f(3) * R * std::pow(tc, 3) * vc;
    p.gamma = f(4) * v2;
    p.b = f(5) * v2;
    p.a = f(6) * R * tc * v2;
    p.alpha = f(7) * v2 * vc;
    p.c = f(8) * R * std::pow(tc, 3) * v2;
    p.D0 = f(9) * R * std::pow(tc, 4) * vc;
    p.d = f(10) * R * tc * tc * v2;
    p.E0 = (kA[10] + kB[10] * w * std::exp(-3.8 * w)) * R * std::pow(tc, 5) * vc;
    return p;
}

BwrsModel::BwrsModel(std::vector<PureConstants> comps, std::vector<double> vc,
                     const std::vector<BwrsKij>& kij)
    : n_(static_cast<int>(comps.size())), pure_(std::move(comps)), vc_(std::move(vc)) {
    if (n_ == 0) throw std::invalid_argument("BWRS: no components");
    vc_.resize(n_, 0.0);
    for (int i = 0; i < n_; ++i) {
        const auto& p = pure_[i];
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw std::invalid_argument("BWRS: component without critical constants");
        if (!(vc_[i] > 0)) vc_[i] = lkCriticalVolume(p);
        par_.push_back(generalised(p.tc, vc_[i], p.omega));
    }
    const std::size_t nn = static_cast<std::size_t>(n_) * n_;
    std::vector<double> k(nn, 0.0);
    for (const auto& e : kij) {
        if (e.i < 0 || e.j < 0 || e.i >= n_ || e.j >= n_ || e.i == e.j) continue;
        k[static_cast<std::size_t>(e.i) * n_ + e.j] = e.k;
        k[static_cast<std::size_t>(e.j) * n_ + e.i] = e.k;
    }
    q_.assign(kQuantities, MixQuantity{});
    auto linear = [&](int q, auto value) {
        q_[q].quadratic = false;
        q_[q].coef.resize(n_);
        for (int i = 0; i < n_; ++i)
            q_[q].coef[i] = value(par_[i]);
    };
    // Quadratic rules sum_ij n_i n_j sqrt(P_i P_j) (1 - k_ij)^power.
    auto quadratic = [&](int q, auto value, int power) {
        q_[q].quadratic = true;
        q_[q].coef.resize(nn);
        for (int i = 0; i < n_; ++i)
            for (int j = 0; j < n_; ++j) {
                const std::size_t ij = static_cast<std::size_t>(i) * n_ + j;
                q_[q].coef[ij] = std::sqrt(value(par_[i]) * value(par_[j])) * std::pow(1.0 - k[ij], power);
            }
    };
    linear(qN, [](const BwrsPure&) { return 1.0; });
    linear(qB0, [](const BwrsPure& p) { return p.B0; });
    quadratic(
        qA0, [](const BwrsPure& p) { return p.A0; }, 1);
    quadratic(
        qC0, [](const BwrsPure& p) { return p.C0; }, 3);
    quadratic(
        qD0, [](const BwrsPure& p) { return p.D0; }, 4);
    quadratic(
        qE0, [](const BwrsPure& p) { return p.E0; }, 5);
    linear(qGamma, [](const BwrsPure& p) { return std::sqrt(p.gamma); });
    linear(qb, [](const BwrsPure& p) { return std::cbrt(p.b); });
    linear(qa, [](const BwrsPure& p) { return std::cbrt(p.a); });
    linear(qAlpha, [](const BwrsPure& p) { return std::cbrt(p.alpha); });
    linear(qc, [](const BwrsPure& p) { return std::cbrt(p.c); });
    linear(qd, [](const BwrsPure& p) { return std::cbrt(p.d); });
}

void BwrsModel::pseudoCritical(const double* x, double& Tc, double& Vc) const {
    Tc = 0;
    Vc = 0;
    double s = 0;
    for (int i = 0; i < n_; ++i) {
        Tc += x[i] * pure_[i].tc;
        Vc += x[i] * vc_[i];
        s += x[i];
    }
    Tc /= s;
    Vc /= s;
}

bool BwrsModel::residual(double T, double V, const double* n, int order, ResidualDerivs& d) const {
    constexpr int K = kQuantities + 2;
    using J = thermo::Jet<K>;
    if (!(T > 0) || !(V > 0)) return false;
    thread_local std::vector<double> grad, g;
    grad.resize(static_cast<std::size_t>(n_) * kQuantities);
    g.resize(n_);
    J Q[kQuantities];
    for (int q = 0; q < kQuantities; ++q) {
        Q[q] = J::seed(q_[q].value(n, n_), 2 + q);
        q_[q].gradient(n, n_, g.data());
        for (int i = 0; i < n_; ++i)
            grad[i * kQuantities + q] = g[i];
    }
    if (!(Q[qN].v > 0) || !(Q[qGamma].v > 0)) return false;
    const J core = bwrsCore(J::seed(T, 0), J::seed(V, 1), Q);
    if (!std::isfinite(core.v)) return false;
    chainToMoles(core, q_, grad, n_, order, d);
    return true;
}

bool BwrsModel::volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const {
    using J = thermo::Jet<1>;
    if (!(T > 0) || !(V > 0)) return false;
    J Q[kQuantities];
    for (int q = 0; q < kQuantities; ++q)
        Q[q] = J(q_[q].value(n, n_));
    if (!(Q[qN].v > 0) || !(Q[qGamma].v > 0)) return false;
    const J core = bwrsCore(J(T), J::seed(V, 0), Q);
    FV = core.d(0);
    FVV = core.d2(0, 0);
    return std::isfinite(FV) && std::isfinite(FVV);
}

std::shared_ptr<const PhaseModel> buildBwrs(const ModelInputs& in) {
    constexpr int kBwrsCode = 81;
    const int n = static_cast<int>(in.pure.size());
    std::map<std::pair<int, int>, double> chosen;
    for (const auto& e : in.bips) {
        if (e.model != kBwrsCode || e.i < 1 || e.j < 1 || e.i > n || e.j > n || e.i == e.j) continue;
        chosen[{std::min(e.i, e.j) - 1, std::max(e.i, e.j) - 1}] = e.p[0];
    }
    std::vector<BwrsKij> kij;
    for (const auto& [key, k] : chosen)
        kij.push_back({key.first, key.second, k});
    std::vector<double> vc(n, 0.0);
    for (int i = 0; i < n && i < static_cast<int>(in.comps.size()); ++i)
        if (in.comps[i] && in.comps[i]->vc > 0) vc[i] = in.comps[i]->vc * 1e-3; // m3/kmol -> m3/mol
    return std::make_shared<BwrsModel>(in.pure, vc, kij);
}

} // namespace zpk::models
