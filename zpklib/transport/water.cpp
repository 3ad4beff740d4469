#include "transport/water.h"

#include <cmath>

namespace zpk::transport::water {

namespace {

// Reducing constants of the 2008 viscosity formulation.
constexpr double kTstar = 647.096; // K
constexpr double kRhoStar = 322.0; // kg/m3
constexpr double kMuStar = 1.0e-6; // Pa s

// Dilute-gas coefficients H_i, i = 0..3.
constexpr double kH0[4] = {1.67752, 2.20462, 0.6366564, -0.241605};

// Residual coefficients H_ij (i = 0..5 powers of 1/Tbar - 1, j = 0..6
// powers of rhobar - 1); zero entries are absent from the formulation.
constexpr double kH1[6][7] = {
    {5.20094e-1, 2.22531e-1, -2.81378e-1, 1.61913e-1, -3.25372e-2, 0, 0},
    {8.50895e-2, 9.99115e-1, -9.06851e-1, 2.57399e-1, 0, 0, 0},
    {-1.08374, 1.88797, -7.72479e-1, 0, 0, 0, 0},
    {-2.89555e-1, 1.26613, -4.89837e-1, 0, 6.98452e-2, 0, -4.35673e-3},
    {0, 0, -2.57040e-1, 0, 0, 8.72102e-3, 0},
    {0, 1.20573e-1, 0, 0, 0, 0, -5.93264e-4},
};

double mubar0(double Tb) {
    double s = 0;
    for (int i = 0; i < 4; ++i)
        s += kH0[i] / std::pow(Tb, i);
    return 100.0 * std::sqrt(Tb) / s;
}

} // namespace

double viscosityDilute(double T) {
    return kMuStar * mubar0(T / kTstar);
}

double viscosity(double T, double rho) {
    const double Tb = T / kTstar, rb = rho / kRhoStar;
    const double a = 1.0 / Tb - 1.0, b = rb - 1.0;
    double sum = 0, ai = 1;
    for (int i = 0; i < 6; ++i) {
        double inner = 0, bj = 1;
        for (int j = 0; j < 7; ++j) {
            inner += kH1[i][j] * bj;
            bj *= b;
        }
        sum += ai * inner;
        ai *= a;
    }
    return kMuStar * mubar0(Tb) * std::exp(rb * sum);
}

// The 1985 industrial equation: lambda = lambda0 + lambda1 + lambda2 with
// Tbar = T / 647.26 K, rhobar = rho / 317.7 kg/m3 (the reducing constants of
// the 1985 formulation, not those of IAPWS-95).
double conductivity(double T, double rho) {
    const double Tb = T / 647.26, rb = rho / 317.7;
    const double l0 = std::sqrt(Tb) * (0.0102811 + Tb * (0.0299621 + Tb * (0.0156146 - 0.00422464 * Tb)));
    const double l1 =
        -0.397070 + 0.400302 * rb + 1.060000 * std::exp(-0.171587 * (rb + 2.392190) * (rb + 2.392190));
    const double dT = std::fabs(Tb - 1.0) + 0.00308976;
    const double Q = 2.0 + 0.0822994 / std::pow(dT, 0.6);
    const double S = Tb >= 1.0 ? 1.0 / dT : 10.0932 / std::pow(dT, 0.6);
    const double l2 =
        (0.0701309 / std::pow(Tb, 10) + 0.0118520) * std::pow(rb, 1.8) *
            std::exp(0.642857 * (1.0 - std::pow(rb, 2.8))) +
        0.00169937 * S * std::pow(rb, Q) * std::exp(Q / (1.0 + Q) * (1.0 - std::pow(rb, 1.0 + Q))) -
        1.0200 * std::exp(-4.11717 * std::pow(Tb, 1.5) - 6.17937 / std::pow(rb, 5));
    return l0 + l1 + l2;
}

double surfaceTension(double T) {
    if (!(T < kTc)) return 0.0;
    const double tau = 1.0 - T / kTc;
    return 0.2358 * std::pow(tau, 1.256) * (1.0 - 0.625 * tau);
}

} // namespace zpk::transport::water
